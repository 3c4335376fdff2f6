// Window lookup, show commands and topmost state against real top-level
// windows owned by a thread that pumps their messages.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_jni.h"
#include "support/import_hook.h"
#include "support/jni_test.h"
#include "support/vantrel_dll.h"
#include "support/window_thread.h"

namespace {

using ::testing::ElementsAre;

jint handleOf(HWND window) { return static_cast<jint>(reinterpret_cast<INT_PTR>(window)); }
HWND windowOf(jint handle) { return reinterpret_cast<HWND>(static_cast<INT_PTR>(handle)); }

bool isTopmost(HWND window) { return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

class WindowControl : public support::JniTest {
 protected:
  jint find(const std::string& title) { return VANTREL(getHwnd)(jni_.env(), nullptr, jni_.string(title)); }

  support::WindowThread windows_;
};

// ---------------------------------------------------------------------------
// getHwnd

TEST_F(WindowControl, FindsATopLevelWindowByItsTitle) {
  HWND window = windows_.create("Vantrel lookup: exact title");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(find("Vantrel lookup: exact title"), handleOf(window));
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars Vantrel lookup: exact title",
                                        "ReleaseStringUTFChars Vantrel lookup: exact title"));
  // Only the whole title matches.
  EXPECT_EQ(find("Vantrel lookup: exact"), 0);
  EXPECT_EQ(find("Vantrel lookup: exact title "), 0);
  EXPECT_EQ(find("Vantrel: no window has this title"), 0);
}

TEST_F(WindowControl, TitlesThatDifferOnlyInCaseMatchAsThePlatformSays) {
  HWND window = windows_.create("Vantrel Mixed Case Title");
  ASSERT_NE(window, nullptr);
  for (const char* title : {"VANTREL MIXED CASE TITLE", "vantrel mixed case title"}) {
    const HWND platform = FindWindowA(nullptr, title);
    EXPECT_EQ(platform, window) << title;
    EXPECT_EQ(find(title), handleOf(platform)) << title;
  }
}

TEST_F(WindowControl, EmptyTitleLooksForAnEmptyTitleNotForAnyWindow) {
  windows_.create("Vantrel a window with a title");
  // The platform's own answer for an empty name (Wine has a hidden window
  // titled ""); a lookup without a name would give the first window instead.
  const HWND platform = FindWindowA(nullptr, "");
  EXPECT_EQ(find(""), handleOf(platform));
  char title[64] = "?";
  if (platform != nullptr) {
    GetWindowTextA(platform, title, sizeof title);
    EXPECT_STREQ(title, "");
  }
}

TEST_F(WindowControl, TitleBytesReachTheLookupUnconverted) {
  // U+00E4 comes from Java as the bytes C3 A4; the window whose byte title
  // holds those two bytes is found, the one with the single code-page
  // byte E4 is not.
  HWND twoBytes = windows_.create("Vantrel \xC3\xA4 two bytes");
  HWND oneByte = windows_.create("Vantrel \xE4 two bytes");
  ASSERT_NE(twoBytes, nullptr);
  ASSERT_NE(oneByte, nullptr);
  EXPECT_EQ(find("Vantrel \xC3\xA4 two bytes"), handleOf(twoBytes));
  EXPECT_EQ(find("Vantrel \xE4 two bytes"), handleOf(oneByte));
}

struct LookupSeen {
  int calls = 0;
  bool classWasNull = false;
  std::string name;
  std::size_t jniCallsSoFar = 0;
  HWND answer = nullptr;
};
LookupSeen lookupSeen;
fakejni::Env* lookupEnv = nullptr;

HWND WINAPI recordingFindWindow(LPCSTR className, LPCSTR windowName) {
  ++lookupSeen.calls;
  lookupSeen.classWasNull = className == nullptr;
  lookupSeen.name = windowName != nullptr ? windowName : "<null>";
  lookupSeen.jniCallsSoFar = lookupEnv->calls().size();
  return lookupSeen.answer;
}

TEST_F(WindowControl, LookupGetsNoClassAndTheTitleIsGivenBackRightAfterIt) {
  support::ImportHook hook(support::vantrelModule(), "USER32.dll", "FindWindowA", &recordingFindWindow);
  ASSERT_TRUE(hook.installed());
  lookupSeen = {};
  lookupEnv = &jni_;
  // A handle with the top bit set comes back bit for bit.
  lookupSeen.answer = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x80010203));
  EXPECT_EQ(find("Any title"), static_cast<jint>(0x80010203));
  EXPECT_EQ(lookupSeen.calls, 1);
  EXPECT_TRUE(lookupSeen.classWasNull);
  EXPECT_EQ(lookupSeen.name, "Any title");
  EXPECT_EQ(lookupSeen.jniCallsSoFar, 1u);  // borrowed, not yet given back
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars Any title", "ReleaseStringUTFChars Any title"));

  lookupSeen = {};
  EXPECT_EQ(find(""), 0);
  EXPECT_EQ(lookupSeen.name, "");  // an empty name, not a missing one
}

TEST_F(WindowControl, NullOrUnborrowableTitleGivesZeroWithoutALookup) {
  support::ImportHook hook(support::vantrelModule(), "USER32.dll", "FindWindowA", &recordingFindWindow);
  ASSERT_TRUE(hook.installed());
  lookupSeen = {};
  lookupSeen.answer = reinterpret_cast<HWND>(1);
  EXPECT_EQ(VANTREL(getHwnd)(jni_.env(), nullptr, nullptr), 0);
  EXPECT_THAT(jni_.calls(), ElementsAre());

  jstring title = jni_.string("Vantrel title");
  jni_.failBorrowOf(title);
  EXPECT_EQ(VANTREL(getHwnd)(jni_.env(), nullptr, title), 0);
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars Vantrel title"));
  EXPECT_EQ(lookupSeen.calls, 0);
}

// ---------------------------------------------------------------------------
// getActiveWindow, getForegroundWindow

TEST_F(WindowControl, ActiveAndForegroundWindowsAreThoseOfTheCallingThread) {
  HWND window = windows_.create("Vantrel active window");
  ASSERT_NE(window, nullptr);
  jint activeThere = -1, platformActiveThere = -2, foregroundThere = -1, platformForegroundThere = -2;
  windows_.run([&] {
    SetForegroundWindow(window);
    SetActiveWindow(window);
    activeThere = VANTREL(getActiveWindow)(jni_.env(), nullptr);
    platformActiveThere = handleOf(GetActiveWindow());
    foregroundThere = VANTREL(getForegroundWindow)(jni_.env(), nullptr);
    platformForegroundThere = handleOf(GetForegroundWindow());
  });
  EXPECT_EQ(platformActiveThere, handleOf(window));
  EXPECT_EQ(activeThere, platformActiveThere);
  EXPECT_EQ(foregroundThere, platformForegroundThere);

  // The test thread has no window of its own: its active window is the
  // platform's answer for this thread (none), whatever the other thread has.
  EXPECT_EQ(VANTREL(getActiveWindow)(jni_.env(), nullptr), handleOf(GetActiveWindow()));
  EXPECT_EQ(VANTREL(getForegroundWindow)(jni_.env(), nullptr), handleOf(GetForegroundWindow()));
  EXPECT_EQ(handleOf(GetActiveWindow()), 0);
  EXPECT_THAT(jni_.calls(), ElementsAre());
}

TEST_F(WindowControl, ActiveWindowOfTheTestThreadItself) {
  // A window owned by the calling thread, made active there.
  HWND own = CreateWindowExA(0, "STATIC", "Vantrel own window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 200,
                             100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(own, nullptr);
  SetForegroundWindow(own);
  SetActiveWindow(own);
  EXPECT_EQ(handleOf(GetActiveWindow()), handleOf(own));
  EXPECT_EQ(VANTREL(getActiveWindow)(jni_.env(), nullptr), handleOf(GetActiveWindow()));
  EXPECT_EQ(VANTREL(getForegroundWindow)(jni_.env(), nullptr), handleOf(GetForegroundWindow()));
  DestroyWindow(own);
  EXPECT_EQ(VANTREL(getActiveWindow)(jni_.env(), nullptr), handleOf(GetActiveWindow()));
}

// ---------------------------------------------------------------------------
// setWindowMinimized, setWindowMaximized, setWindowRestored

TEST_F(WindowControl, ShowCommandsChangeTheWindowsState) {
  HWND window = windows_.create("Vantrel show commands");
  ASSERT_NE(window, nullptr);
  const jint handle = handleOf(window);
  ASSERT_FALSE(IsIconic(window));
  ASSERT_FALSE(IsZoomed(window));

  VANTREL(setWindowMinimized)(jni_.env(), nullptr, handle);
  EXPECT_TRUE(IsIconic(window));
  EXPECT_FALSE(IsZoomed(window));

  VANTREL(setWindowRestored)(jni_.env(), nullptr, handle);
  EXPECT_FALSE(IsIconic(window));
  EXPECT_FALSE(IsZoomed(window));

  VANTREL(setWindowMaximized)(jni_.env(), nullptr, handle);
  EXPECT_FALSE(IsIconic(window));
  EXPECT_TRUE(IsZoomed(window));
  // A command that matches the state is sent all the same and changes nothing.
  VANTREL(setWindowMaximized)(jni_.env(), nullptr, handle);
  EXPECT_TRUE(IsZoomed(window));

  VANTREL(setWindowMinimized)(jni_.env(), nullptr, handle);
  EXPECT_TRUE(IsIconic(window));
  // Restoring a window minimised from maximised brings it back maximised.
  VANTREL(setWindowRestored)(jni_.env(), nullptr, handle);
  EXPECT_FALSE(IsIconic(window));
  EXPECT_TRUE(IsZoomed(window));
  VANTREL(setWindowRestored)(jni_.env(), nullptr, handle);
  EXPECT_FALSE(IsZoomed(window));
  EXPECT_THAT(jni_.calls(), ElementsAre());
}

struct Message {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Message> sentMessages;
LRESULT scriptedAnswer = 0;

LRESULT WINAPI recordingSendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  sentMessages.push_back({window, message, wParam, lParam});
  return scriptedAnswer;
}

TEST_F(WindowControl, ShowCommandsSendOneSystemCommandAndReturnTheAnswerUnchanged) {
  support::ImportHook hook(support::vantrelModule(), "USER32.dll", "SendMessageA", &recordingSendMessage);
  ASSERT_TRUE(hook.installed());
  sentMessages.clear();
  const jint handle = static_cast<jint>(0x8000ABCD);  // any bits, passed on unchecked
  scriptedAnswer = static_cast<LRESULT>(0x80000001);
  EXPECT_EQ(VANTREL(setWindowMinimized)(jni_.env(), nullptr, handle), static_cast<jint>(0x80000001));
  scriptedAnswer = 7;
  EXPECT_EQ(VANTREL(setWindowMaximized)(jni_.env(), nullptr, handle), 7);
  scriptedAnswer = -1;
  EXPECT_EQ(VANTREL(setWindowRestored)(jni_.env(), nullptr, handle), -1);

  ASSERT_EQ(sentMessages.size(), 3u);
  const WPARAM commands[] = {0xF020, 0xF030, 0xF120};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(sentMessages[i].window, windowOf(handle));
    EXPECT_EQ(sentMessages[i].message, 0x0112u);
    EXPECT_EQ(sentMessages[i].wParam, commands[i]);
    EXPECT_EQ(sentMessages[i].lParam, 0);
  }
}

// A window handle with the top bit of its 32 bits set: on 64-bit Windows the
// platform widens such a handle by sign extension.
#ifdef _WIN64
const HWND kTopBitWindow = reinterpret_cast<HWND>(0xFFFFFFFF8000ABCDull);
#else
const HWND kTopBitWindow = reinterpret_cast<HWND>(0x8000ABCDu);
#endif
const jint kTopBitHandle = static_cast<jint>(0x8000ABCDu);

HWND WINAPI topBitForegroundWindow() { return kTopBitWindow; }

TEST_F(WindowControl, HandlesWithTheTopBitSetCrossWidenedAndComeBackCut) {
  support::ImportHook send(support::vantrelModule(), "USER32.dll", "SendMessageA", &recordingSendMessage);
  support::ImportHook foreground(support::vantrelModule(), "USER32.dll", "GetForegroundWindow",
                                 &topBitForegroundWindow);
  ASSERT_TRUE(send.installed() && foreground.installed());
  sentMessages.clear();
  VANTREL(setWindowMinimized)(jni_.env(), nullptr, kTopBitHandle);
  ASSERT_EQ(sentMessages.size(), 1u);
  EXPECT_EQ(sentMessages[0].window, kTopBitWindow);
  EXPECT_EQ(VANTREL(getForegroundWindow)(jni_.env(), nullptr), kTopBitHandle);
}

// ---------------------------------------------------------------------------
// setWindowAlwaysOnTop

// The export as a JVM may call it: the Boolean in a whole 32-bit slot, of
// which only the low byte is meant.
using WideBooleanSetter = jint(JNICALL*)(JNIEnv*, jclass, jint, jint);

WideBooleanSetter wideBoolean(const char* method) {
  return reinterpret_cast<WideBooleanSetter>(
      support::vantrelExportAddress((std::string("Java_quendril_utils_Vantrel_") + method).c_str()));
}

TEST_F(WindowControl, AlwaysOnTopSetsAndClearsTheTopmostStyle) {
  HWND window = windows_.create("Vantrel topmost");
  ASSERT_NE(window, nullptr);
  const jint handle = handleOf(window);
  ASSERT_FALSE(isTopmost(window));

  EXPECT_NE(VANTREL(setWindowAlwaysOnTop)(jni_.env(), nullptr, handle, JNI_TRUE), 0);
  EXPECT_TRUE(isTopmost(window));
  EXPECT_NE(VANTREL(setWindowAlwaysOnTop)(jni_.env(), nullptr, handle, JNI_TRUE), 0);  // again: still on top
  EXPECT_TRUE(isTopmost(window));
  EXPECT_NE(VANTREL(setWindowAlwaysOnTop)(jni_.env(), nullptr, handle, JNI_FALSE), 0);
  EXPECT_FALSE(isTopmost(window));
  EXPECT_NE(VANTREL(setWindowAlwaysOnTop)(jni_.env(), nullptr, handle, 0x80), 0);
  EXPECT_TRUE(isTopmost(window));
  EXPECT_THAT(jni_.calls(), ElementsAre());
}

TEST_F(WindowControl, AlwaysOnTopReadsOnlyTheLowByteOfItsBoolean) {
  HWND window = windows_.create("Vantrel topmost wide");
  ASSERT_NE(window, nullptr);
  const jint handle = handleOf(window);
  WideBooleanSetter setOnTop = wideBoolean("setWindowAlwaysOnTop");

  EXPECT_NE(setOnTop(jni_.env(), nullptr, handle, 0x201), 0);
  EXPECT_TRUE(isTopmost(window));
  EXPECT_NE(setOnTop(jni_.env(), nullptr, handle, 0x100), 0);
  EXPECT_FALSE(isTopmost(window));
  EXPECT_NE(setOnTop(jni_.env(), nullptr, handle, static_cast<jint>(0xFFFFFF01)), 0);
  EXPECT_TRUE(isTopmost(window));
  EXPECT_NE(setOnTop(jni_.env(), nullptr, handle, static_cast<jint>(0xFFFFFF00)), 0);
  EXPECT_FALSE(isTopmost(window));
}

struct Placement {
  HWND window;
  HWND insertAfter;
  int x, y, cx, cy;
  UINT flags;
};
std::vector<Placement> placements;
BOOL scriptedPlacementResult = 0;

BOOL WINAPI recordingSetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  placements.push_back({window, insertAfter, x, y, cx, cy, flags});
  return scriptedPlacementResult;
}

TEST_F(WindowControl, AlwaysOnTopMakesOnePlacementCallAndReturnsItsResultUnchanged) {
  support::ImportHook hook(support::vantrelModule(), "USER32.dll", "SetWindowPos", &recordingSetWindowPos);
  ASSERT_TRUE(hook.installed());
  placements.clear();
  const jint handle = static_cast<jint>(0xFEDC0042);
  scriptedPlacementResult = 0x100;  // a flag whose low byte is 0 still comes back whole
  EXPECT_EQ(VANTREL(setWindowAlwaysOnTop)(jni_.env(), nullptr, handle, JNI_TRUE), 0x100);
  scriptedPlacementResult = 0;
  EXPECT_EQ(VANTREL(setWindowAlwaysOnTop)(jni_.env(), nullptr, handle, JNI_FALSE), 0);
  scriptedPlacementResult = 1;
  EXPECT_EQ(VANTREL(setWindowAlwaysOnTop)(jni_.env(), nullptr, handle, JNI_FALSE),
            1);  // repeated, not remembered

  ASSERT_EQ(placements.size(), 3u);
  const HWND insertAfter[] = {HWND_TOPMOST, HWND_NOTOPMOST, HWND_NOTOPMOST};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(placements[i].window, windowOf(handle));
    EXPECT_EQ(placements[i].insertAfter, insertAfter[i]);
    EXPECT_EQ(placements[i].x, 0);
    EXPECT_EQ(placements[i].y, 0);
    EXPECT_EQ(placements[i].cx, 0);
    EXPECT_EQ(placements[i].cy, 0);
    EXPECT_EQ(placements[i].flags, 0x0003u);
  }
  EXPECT_EQ(reinterpret_cast<INT_PTR>(HWND_TOPMOST), -1);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(HWND_NOTOPMOST), -2);
}

// ---------------------------------------------------------------------------
// Handles that name no window

TEST_F(WindowControl, HandlesOfNoWindowGetThePlatformsFailure) {
  HWND gone = windows_.create("Vantrel soon gone");
  ASSERT_NE(gone, nullptr);
  windows_.destroy(gone);
  ASSERT_FALSE(IsWindow(gone));
  for (jint handle : {jint{0}, handleOf(gone)}) {
    EXPECT_EQ(VANTREL(setWindowMinimized)(jni_.env(), nullptr, handle), 0) << handle;
    EXPECT_EQ(VANTREL(setWindowMaximized)(jni_.env(), nullptr, handle), 0) << handle;
    EXPECT_EQ(VANTREL(setWindowRestored)(jni_.env(), nullptr, handle), 0) << handle;
    EXPECT_EQ(VANTREL(setWindowAlwaysOnTop)(jni_.env(), nullptr, handle, JNI_TRUE), 0) << handle;
    EXPECT_EQ(VANTREL(setWindowAlwaysOnTop)(jni_.env(), nullptr, handle, JNI_FALSE), 0) << handle;
  }
}

}  // namespace
