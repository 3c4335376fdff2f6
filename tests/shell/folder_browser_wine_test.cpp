// SHBrowseForFolder: Wine's folder browser driven from a watcher thread, and
// a stand-in browser for the record the library fills and the answers Wine
// will not give on demand.

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <commctrl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/fake_jni.h"
#include "support/file_dialog_driver.h"
#include "support/import_hook.h"
#include "support/jni_test.h"
#include "support/vantrel_dll.h"
#include "support/window_thread.h"

namespace {

using ::testing::ElementsAre;
using ::testing::MatchesRegex;

constexpr int kHeading = 0x3742;
constexpr int kTree = 0x3741;

std::string temporaryDirectory() {
  char path[MAX_PATH] = {};
  GetTempPathA(sizeof path, path);
  return path;
}

// What the watcher saw of the real browser before it acted on it.
struct BrowserView {
  std::string heading;
  HWND owner = nullptr;
  bool hasTree = false;
};

std::string selectedItemText(HWND tree) {
  char text[MAX_PATH] = {};
  TVITEMA item = {};
  item.mask = TVIF_TEXT;
  item.hItem = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  item.pszText = text;
  item.cchTextMax = sizeof text;
  if (item.hItem == nullptr || !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
    return {};
  return text;
}

void press(HWND dialog, int button) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

// Every last-error read of the library, passed through and recorded.
std::vector<DWORD> lastErrorsRead;
DWORD WINAPI recordingGetLastError() {
  const DWORD error = GetLastError();
  lastErrorsRead.push_back(error);
  return error;
}

std::vector<void*> freedByLibrary;
void WINAPI recordingCoTaskMemFree(void* memory) {
  freedByLibrary.push_back(memory);
  CoTaskMemFree(memory);
}

class FolderBrowser : public support::JniTest {
 protected:
  void SetUp() override {
    lastErrorsRead.clear();
    freedByLibrary.clear();
    ASSERT_TRUE(lastErrorHook_.installed());
    ASSERT_TRUE(freeHook_.installed());
  }

  std::optional<std::string> browse(HWND owner, jint ignored1 = 0, jint ignored2 = 0, jint ignored3 = 0) {
    return jni_.text(VANTREL(SHBrowseForFolder)(jni_.env(), nullptr,
                                                static_cast<jint>(reinterpret_cast<std::intptr_t>(owner)),
                                                ignored1, ignored2, ignored3));
  }

  // Shows the real browser, which `act` closes; view_ then holds what it
  // showed.
  std::optional<std::string> browseAndAct(HWND owner, const std::function<void(HWND)>& act, jint ignored1 = 0,
                                          jint ignored2 = 0, jint ignored3 = 0) {
    support::DialogWatcher watcher([&](support::FileDialog& dialog) {
      const HWND window = dialog.window();
      view_.heading = support::windowText(GetDlgItem(window, kHeading));
      view_.owner = GetWindow(window, GW_OWNER);
      view_.hasTree = GetDlgItem(window, kTree) != nullptr;
      act(window);
    });
    std::optional<std::string> result = browse(owner, ignored1, ignored2, ignored3);
    watcher.join();
    EXPECT_TRUE(watcher.sawDialog());
    EXPECT_FALSE(watcher.leftOpen());
    return result;
  }

  BrowserView view_;
  support::ImportHook lastErrorHook_{support::vantrelModule(), "KERNEL32.dll", "GetLastError",
                                     &recordingGetLastError};
  support::ImportHook freeHook_{support::vantrelModule(), "ole32.dll", "CoTaskMemFree",
                                &recordingCoTaskMemFree};
};

TEST_F(FolderBrowser, CancelGivesTheErrorTextWithTheLastErrorCode) {
  const std::optional<std::string> result =
      browseAndAct(nullptr, [](HWND dialog) { press(dialog, IDCANCEL); });
  EXPECT_EQ(view_.heading, "Select a directory");
  EXPECT_EQ(view_.owner, nullptr);
  ASSERT_THAT(lastErrorsRead, ::testing::SizeIs(1));
  EXPECT_EQ(result, "Error: " + std::to_string(static_cast<int>(lastErrorsRead[0])));
  EXPECT_THAT(freedByLibrary, ElementsAre());  // nothing to free
}

TEST_F(FolderBrowser, ChosenFolderGivesItsPathAndTheOwnerOwnsTheBrowser) {
  const std::string folder = temporaryDirectory() + "vantrel-browse";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  support::WindowThread windows;
  HWND owner = windows.create("Browser owner");
  ASSERT_NE(owner, nullptr);

  std::string selected;
  const std::optional<std::string> result = browseAndAct(owner, [&](HWND dialog) {
    // Selects the folder in the tree, then accepts as the user would. The
    // browser opens every folder on the way, which under emulation can take
    // longer than a send is usually given. Once in a few dozen emulated runs
    // the browser's own start-up selection of its root came after ours: the
    // tree then shows "Desktop", and selecting again settles it.
    for (int attempt = 0; attempt < 3 && selected != "vantrel-browse"; ++attempt) {
      support::sendBounded(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.c_str()), 60000);
      selected = selectedItemText(GetDlgItem(dialog, kTree));
    }
    press(dialog, IDOK);
  });
  EXPECT_EQ(selected, "vantrel-browse");
  EXPECT_TRUE(view_.hasTree);
  EXPECT_EQ(view_.owner, owner);
  EXPECT_EQ(result, folder);
  EXPECT_THAT(lastErrorsRead, ElementsAre());
  EXPECT_THAT(freedByLibrary, ::testing::SizeIs(1));
  windows.destroy(owner);
}

TEST_F(FolderBrowser, IgnoredArgumentsChangeNothing) {
  for (jint ignored : std::initializer_list<jint>{-1, static_cast<jint>(0x80000000)}) {
    SCOPED_TRACE(ignored);
    lastErrorsRead.clear();
    const std::optional<std::string> result = browseAndAct(
        nullptr, [](HWND dialog) { press(dialog, IDCANCEL); }, ignored, ~ignored, ignored ^ 0x5A5A5A5A);
    EXPECT_EQ(view_.heading, "Select a directory");
    ASSERT_THAT(lastErrorsRead, ::testing::SizeIs(1));
    EXPECT_EQ(result, "Error: " + std::to_string(static_cast<int>(lastErrorsRead[0])));
  }
}

// A stand-in browser: keeps a copy of the record it was given and answers
// the item list the test scripts.
struct Recorded {
  int calls = 0;
  BROWSEINFOA record = {};
  std::string title;
  bool displayNameStartedEmpty = false;
  PIDLIST_ABSOLUTE answer = nullptr;
  DWORD lastErrorToLeave = 0;
} recorded;

PIDLIST_ABSOLUTE WINAPI standInBrowser(BROWSEINFOA* record) {
  ++recorded.calls;
  recorded.record = *record;
  recorded.title = record->lpszTitle != nullptr ? record->lpszTitle : "<null>";
  recorded.displayNameStartedEmpty = record->pszDisplayName != nullptr && record->pszDisplayName[0] == '\0';
  SetLastError(recorded.lastErrorToLeave);
  return recorded.answer;
}

class StandInBrowser : public FolderBrowser {
 protected:
  void SetUp() override {
    FolderBrowser::SetUp();
    recorded = Recorded();
    ASSERT_TRUE(browserHook_.installed());
  }

  support::ImportHook browserHook_{support::vantrelModule(), "SHELL32.dll", "SHBrowseForFolderA",
                                   &standInBrowser};
};

TEST_F(StandInBrowser, RecordAsksForTheTitledEditableValidatingBrowserOverTheOwner) {
  const HWND owner = reinterpret_cast<HWND>(static_cast<std::intptr_t>(0x00ABCDEF));
  browse(owner, 11, 22, 33);
  ASSERT_EQ(recorded.calls, 1);
  EXPECT_EQ(recorded.record.hwndOwner, owner);
  EXPECT_EQ(recorded.record.pidlRoot, nullptr);
  EXPECT_NE(recorded.record.pszDisplayName, nullptr);
  EXPECT_TRUE(recorded.displayNameStartedEmpty);
  EXPECT_EQ(recorded.title, "Select a directory");
  EXPECT_EQ(recorded.record.ulFlags, 0x0070u);
  EXPECT_EQ(recorded.record.lpfn, nullptr);
  EXPECT_EQ(recorded.record.lParam, 0);
  EXPECT_EQ(recorded.record.iImage, 0);

  // A negative owner handle travels bit for bit as well.
  const HWND highOwner = reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<int>(0xFFFF1234)));
  browse(highOwner);
  EXPECT_EQ(recorded.record.hwndOwner, highOwner);
}

DWORD WINAPI highBitLastError() { return 0x80000005; }

TEST_F(StandInBrowser, LastErrorIsReadRightAfterTheBrowserAndPrintedSigned) {
  recorded.lastErrorToLeave = ERROR_CANCELLED;
  EXPECT_EQ(browse(nullptr), "Error: 1223");
  EXPECT_THAT(lastErrorsRead, ElementsAre(ERROR_CANCELLED));
  {
    support::ImportHook hook(support::vantrelModule(), "KERNEL32.dll", "GetLastError", &highBitLastError);
    ASSERT_TRUE(hook.installed());
    EXPECT_EQ(browse(nullptr), "Error: -2147483643");
  }
  EXPECT_THAT(jni_.calls(), ElementsAre("NewStringUTF Error: 1223", "NewStringUTF Error: -2147483643"));
}

std::size_t jniCallsAtFree = 0;
const fakejni::Env* watchedEnv = nullptr;
void WINAPI orderNotingCoTaskMemFree(void* memory) {
  jniCallsAtFree = watchedEnv->calls().size();
  recordingCoTaskMemFree(memory);
}

TEST_F(StandInBrowser, ItemListIsFreedOnceAfterThePathBecameTheResult) {
  const std::string windowsFolder = [] {
    char path[MAX_PATH] = {};
    GetWindowsDirectoryA(path, sizeof path);
    return std::string(path);
  }();
  std::wstring wide(windowsFolder.begin(), windowsFolder.end());
  ASSERT_EQ(SHParseDisplayName(wide.c_str(), nullptr, &recorded.answer, 0, nullptr), S_OK);
  support::ImportHook orderHook(support::vantrelModule(), "ole32.dll", "CoTaskMemFree",
                                &orderNotingCoTaskMemFree);
  watchedEnv = &jni_;

  EXPECT_EQ(browse(nullptr), windowsFolder);
  EXPECT_THAT(freedByLibrary, ElementsAre(recorded.answer));
  EXPECT_EQ(jniCallsAtFree, 1u);  // NewStringUTF came first
  EXPECT_THAT(lastErrorsRead, ElementsAre());
}

int coInitializeCalls = 0;
void* coInitializeReserved = reinterpret_cast<void*>(1);
HRESULT WINAPI refusingCoInitialize(void* reserved) {
  ++coInitializeCalls;
  coInitializeReserved = reserved;
  return RPC_E_CHANGED_MODE;
}

TEST_F(StandInBrowser, RefusedInitialisationStillShowsTheBrowser) {
  support::ImportHook hook(support::vantrelModule(), "ole32.dll", "CoInitialize", &refusingCoInitialize);
  ASSERT_TRUE(hook.installed());
  coInitializeCalls = 0;
  recorded.lastErrorToLeave = 0;
  EXPECT_EQ(browse(nullptr), "Error: 0");
  EXPECT_EQ(coInitializeCalls, 1);
  EXPECT_EQ(coInitializeReserved, nullptr);
  EXPECT_EQ(recorded.calls, 1);
}

}  // namespace
