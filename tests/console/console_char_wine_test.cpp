// getConsoleChar against a scripted console (the DLL's console imports
// redirected), so that every record sequence, failure and call order can be
// produced on demand.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "console/scripted_console.h"
#include "support/child_process.h"
#include "support/fake_jni.h"
#include "support/vantrel_dll.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace console_test;

const char kGetMode[] = "GetConsoleMode";
const char kRawMode[] = "SetConsoleMode 0x0";
const char kRestore[] = "SetConsoleMode 0x1F7";
const char kRead[] = "ReadConsoleInputA length=1 in mode 0x0";
const char kOpen[] =
    "CreateFileA CONIN$ access=0xC0000000 share=0x3 security=null disposition=3 attributes=0x0 template=null";

int getConsoleChar(fakejni::Env& jni) { return VANTREL(getConsoleChar)(jni.env(), nullptr); }

// One read's worth of console operations, with `reads` records taken.
std::vector<std::string> readWith(int reads) {
  std::vector<std::string> calls = {kGetMode, kRawMode};
  calls.insert(calls.end(), reads, kRead);
  calls.push_back(kRestore);
  return calls;
}

class ConsoleChar : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(console_.installed());
    // The reader's pending code and open handle live as long as the process:
    // a code left by an earlier test in this process is taken here.
    getConsoleChar(jni_);
    console_.clearCalls();
  }
  void TearDown() override {
    EXPECT_EQ(console_.scriptLeft(), 0u) << "records the reader did not take";
    EXPECT_EQ(console_.mode(), kSavedMode) << "the saved mode is back";
    EXPECT_THAT(jni_.calls(), IsEmpty()) << "no JNI function is called";
  }

  int key() { return getConsoleChar(jni_); }
  // The two results of an extended key.
  std::vector<int> twoKeys() { return {key(), key()}; }

  fakejni::Env jni_;
  ScriptedConsole console_;
};

TEST_F(ConsoleChar, RecordsWithoutAKeyAreTakenAndDropped) {
  console_.push(keyUp('a', 30));
  console_.push(mouseRecord());
  console_.push(focusRecord());
  console_.push(windowSizeRecord());
  console_.push(menuRecord());
  console_.push(keyDown(0, 42, SHIFT_PRESSED));      // Shift alone
  console_.push(keyDown(0, 29, LEFT_CTRL_PRESSED));  // Ctrl alone
  console_.push(keyDown(0, 58, CAPSLOCK_ON));        // Caps Lock
  console_.push(keyDown(0, 30, 0));                  // no character, no code
  console_.push(keyDown(0, 0x6A, 0));                // past the table's last scan code
  console_.push(keyDown('a', 30));
  EXPECT_EQ(key(), 97);
  EXPECT_EQ(console_.calls(), readWith(11));
}

TEST_F(ConsoleChar, AnOrdinaryCharacterIsItsByteAndLeavesNothingPending) {
  console_.push(keyDown('a', 30, 0, 3));  // a repeat count of 3 is still one key
  console_.push(keyDown(0xE0, 40, 0));    // a high code-page byte, unsigned
  console_.push(keyDown('A', 30, SHIFT_PRESSED | CAPSLOCK_ON));
  EXPECT_EQ(key(), 97);
  EXPECT_EQ(key(), 224);
  EXPECT_EQ(key(), 65);
  EXPECT_EQ(console_.calls().size(), 3 * readWith(1).size()) << "each call read the console";
  // Nothing pending: the next call reads, and fails on the empty script.
  EXPECT_EQ(key(), -1);
}

TEST_F(ConsoleChar, FunctionKeyF1InEveryModifierColumn) {
  struct Case {
    DWORD state;
    int code;
  } cases[] = {
      {0, 59},
      {SHIFT_PRESSED, 84},
      {LEFT_CTRL_PRESSED, 94},
      {RIGHT_CTRL_PRESSED, 94},
      {LEFT_ALT_PRESSED, 104},
      {RIGHT_ALT_PRESSED, 104},
      {LEFT_CTRL_PRESSED | LEFT_ALT_PRESSED, 104},
      {SHIFT_PRESSED | RIGHT_CTRL_PRESSED, 94},
      {NUMLOCK_ON | SCROLLLOCK_ON | CAPSLOCK_ON, 59},
  };
  for (const Case& c : cases) {
    console_.push(keyDown(0, 59, c.state));
    EXPECT_THAT(twoKeys(), ElementsAre(0, c.code)) << "state 0x" << std::hex << c.state;
  }
}

TEST_F(ConsoleChar, FunctionKeysF11AndF12) {
  console_.push(keyDown(0, 87, 0));
  console_.push(keyDown(0, 88, 0));
  console_.push(keyDown(0, 88, SHIFT_PRESSED));
  console_.push(keyDown(0, 87, LEFT_CTRL_PRESSED));
  console_.push(keyDown(0, 88, RIGHT_ALT_PRESSED));
  EXPECT_THAT(twoKeys(), ElementsAre(224, 133));
  EXPECT_THAT(twoKeys(), ElementsAre(224, 134));
  EXPECT_THAT(twoKeys(), ElementsAre(224, 136));
  EXPECT_THAT(twoKeys(), ElementsAre(224, 137));
  EXPECT_THAT(twoKeys(), ElementsAre(224, 140));
}

TEST_F(ConsoleChar, ArrowsWithAndWithoutEnhancedKey) {
  console_.push(keyDown(0, 72, ENHANCED_KEY));                      // grey Up
  console_.push(keyDown(0, 72, 0));                                 // keypad 8, Num Lock off
  console_.push(keyDown(0, 72, ENHANCED_KEY | LEFT_ALT_PRESSED));   // Alt+Up
  console_.push(keyDown(0, 75, ENHANCED_KEY | LEFT_CTRL_PRESSED));  // Ctrl+Left
  console_.push(keyDown(0, 80, LEFT_CTRL_PRESSED));                 // Ctrl+keypad 2
  console_.push(keyDown(0, 77, ENHANCED_KEY | SHIFT_PRESSED));      // Shift+Right
  EXPECT_THAT(twoKeys(), ElementsAre(224, 72));
  EXPECT_THAT(twoKeys(), ElementsAre(0, 72));
  EXPECT_THAT(twoKeys(), ElementsAre(0, 152));
  EXPECT_THAT(twoKeys(), ElementsAre(224, 115));
  EXPECT_THAT(twoKeys(), ElementsAre(0, 145));
  EXPECT_THAT(twoKeys(), ElementsAre(224, 77));
}

TEST_F(ConsoleChar, AltLetterHasACodeButTheBareKeyIsDropped) {
  console_.push(keyDown(0, 30, 0));
  console_.push(keyDown(0, 30, LEFT_ALT_PRESSED));
  EXPECT_THAT(twoKeys(), ElementsAre(0, 30));
  EXPECT_EQ(console_.calls(), readWith(2));
}

TEST_F(ConsoleChar, KeypadEnterWithoutCharacterGivesThirteenThenZero) {
  console_.push(keyDown(0, 28, ENHANCED_KEY));
  console_.push(keyDown(0, 28, ENHANCED_KEY | RIGHT_CTRL_PRESSED));
  EXPECT_THAT(twoKeys(), ElementsAre(13, 0));
  EXPECT_THAT(twoKeys(), ElementsAre(10, 0));
}

TEST_F(ConsoleChar, ThePendingCodeComesWithoutAnyConsoleOperation) {
  console_.push(keyDown(0, 59, 0));
  EXPECT_EQ(key(), 0);
  EXPECT_EQ(console_.calls(), readWith(1));
  EXPECT_EQ(console_.mode(), kSavedMode);
  console_.clearCalls();
  EXPECT_EQ(key(), 59);
  EXPECT_THAT(console_.calls(), IsEmpty());
  // Taken once: the call after reads again.
  console_.push(keyDown('z', 44));
  EXPECT_EQ(key(), 'z');
  EXPECT_EQ(console_.calls(), readWith(1));
}

TEST_F(ConsoleChar, AFailedReadGivesMinusOneRestoresTheModeAndKeepsTheHandle) {
  console_.push(focusRecord());
  console_.pushFailedRead();
  EXPECT_EQ(key(), -1);
  EXPECT_EQ(console_.calls(), readWith(2));
  console_.clearCalls();
  console_.pushEmptyRead();  // succeeds, but with no record
  EXPECT_EQ(key(), -1);
  EXPECT_EQ(console_.calls(), readWith(1));
  console_.clearCalls();
  // The console stays open: the next call reads again, without a new open.
  console_.push(keyDown('b', 48));
  EXPECT_EQ(key(), 'b');
  EXPECT_EQ(console_.calls(), readWith(1));
}

// The second reader's first take of the reader's lock: whether it found the
// lock held (it then waits for it), said as soon as it knows.
DWORD secondReader = 0;
bool secondFoundTheLockHeld = false;
HANDLE secondReaderAtTheLock = CreateEventA(nullptr, TRUE, FALSE, nullptr);
void WINAPI enterNotingTheSecondReader(LPCRITICAL_SECTION section) {
  if (GetCurrentThreadId() == secondReader && WaitForSingleObject(secondReaderAtTheLock, 0) == WAIT_TIMEOUT) {
    secondFoundTheLockHeld = !TryEnterCriticalSection(section);
    SetEvent(secondReaderAtTheLock);
    if (!secondFoundTheLockHeld) return;
  }
  EnterCriticalSection(section);
}

TEST_F(ConsoleChar, TwoReadersAreSerialisedAndThePendingCodeGoesToTheNextCall) {
  support::ImportHook lock(support::vantrelModule(), "KERNEL32.dll", "EnterCriticalSection",
                           &enterNotingTheSecondReader);
  ASSERT_TRUE(lock.installed());
  ResetEvent(secondReaderAtTheLock);
  console_.pushGate();
  console_.push(keyDown(0, 59, 0));
  std::atomic<int> first{-2};
  std::atomic<int> second{-2};
  std::thread reader1([&] {
    fakejni::Env jni;
    first = getConsoleChar(jni);
  });
  ASSERT_TRUE(console_.waitUntilGateEntered(10000));
  std::thread reader2([&] {
    secondReader = GetCurrentThreadId();
    fakejni::Env jni;
    second = getConsoleChar(jni);
  });
  // The second reader waits for the first one's whole read, the wait for a
  // key included: it has touched nothing.
  ASSERT_EQ(WaitForSingleObject(secondReaderAtTheLock, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(secondFoundTheLockHeld);
  EXPECT_EQ(second.load(), -2);
  EXPECT_EQ(console_.calls(), std::vector<std::string>({kGetMode, kRawMode, kRead}));
  console_.releaseGate();
  reader1.join();
  reader2.join();
  EXPECT_EQ(first.load(), 0);
  EXPECT_EQ(second.load(), 59);
  EXPECT_EQ(console_.calls(), readWith(1));
}

// The console is opened on the first read that needs it, once, with the
// arguments that ask for the process's console input for reading and
// writing, shared.
CHILD_SCENARIO(ConsoleOpenedOnceWithItsArguments) {
  ChildChecks check;
  fakejni::Env jni;
  ScriptedConsole console;
  if (!check.expect(console.installed(), "hooks installed")) return 100;
  console.push(keyDown(0, 59, 0));
  console.push(keyDown('x', 45));
  check.expectEqual(getConsoleChar(jni), 0, "F1 prefix");
  check.expectEqual(getConsoleChar(jni), 59, "F1 code");
  check.expectEqual(getConsoleChar(jni), 'x', "x");
  std::vector<std::string> expected = {kOpen};
  for (int i = 0; i < 2; ++i) {
    const std::vector<std::string> read = readWith(1);
    expected.insert(expected.end(), read.begin(), read.end());
  }
  check.expect(console.calls() == expected, "calls were:\n" + joinLines(console.calls()));
  return check.exitCode();
}

CHILD_SCENARIO(FailedOpenIsFinal) {
  ChildChecks check;
  fakejni::Env jni;
  ScriptedConsole console;
  if (!check.expect(console.installed(), "hooks installed")) return 100;
  console.failOpen(true);
  console.push(keyDown('a', 30));
  check.expectEqual(getConsoleChar(jni), -1, "the call that fails to open");
  check.expect(console.calls() == std::vector<std::string>{kOpen},
               "only the open, no mode change or read:\n" + joinLines(console.calls()));
  console.clearCalls();
  console.failOpen(false);  // a console now there is never asked for again
  for (int i = 0; i < 3; ++i) check.expectEqual(getConsoleChar(jni), -1, "a later call");
  check.expect(console.calls().empty(), "later calls touch nothing:\n" + joinLines(console.calls()));
  check.expectEqual(static_cast<long long>(console.scriptLeft()), 1, "the record is never read");
  check.expect(jni.calls().empty(), "no JNI calls");
  return check.exitCode();
}

// The console handle stays open between calls and is closed when the
// library unloads.
CHILD_SCENARIO(HandleClosedAtUnload) {
  ChildChecks check;
  const HANDLE handle = ScriptedConsole::handle();
  {
    fakejni::Env jni;
    ScriptedConsole console;
    if (!check.expect(console.installed(), "hooks installed")) return 100;
    console.push(keyDown('q', 16));
    check.expectEqual(getConsoleChar(jni), 'q', "q");
  }
  DWORD flags = 0;
  check.expect(GetHandleInformation(handle, &flags) != FALSE, "the handle is open after the call");
  const HMODULE module = support::vantrelModule();
  check.expect(FreeLibrary(module) != FALSE, "FreeLibrary");
  check.expect(GetModuleHandleA("Vantrel.dll") == nullptr, "the library is unloaded");
  check.expect(GetHandleInformation(handle, &flags) == FALSE, "the handle is closed at unload");
  return check.exitCode();
}

// Without hooks: a process run without a console (as these tests are) has
// no console input, so the reader answers -1 at once.
constexpr int kNoScenario = 77;

CHILD_SCENARIO(NoConsoleAtAll) {
  ChildChecks check;
  if (!check.expect(CreateFileA("CONIN$", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr) == INVALID_HANDLE_VALUE,
                    "this process has no console")) {
    return kNoScenario;
  }
  fakejni::Env jni;
  check.expectEqual(getConsoleChar(jni), -1, "first call");
  check.expectEqual(getConsoleChar(jni), -1, "second call");
  return check.exitCode();
}

// Each scenario needs the library's console state fresh, or torn down: a
// child process of its own.
class ConsoleOpen : public ::testing::TestWithParam<const char*> {};

TEST_P(ConsoleOpen, InAFreshProcess) {
  const support::ChildResult result = support::runChild(GetParam());
  ASSERT_TRUE(result.finished);
  if (result.exitCode == kNoScenario) GTEST_SKIP() << "the test process was given a console";
  EXPECT_EQ(result.exitCode, 0u) << result.notes;
}

INSTANTIATE_TEST_SUITE_P(Console, ConsoleOpen,
                         ::testing::Values("ConsoleOpenedOnceWithItsArguments", "FailedOpenIsFinal",
                                           "HandleClosedAtUnload", "NoConsoleAtAll"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

}  // namespace
