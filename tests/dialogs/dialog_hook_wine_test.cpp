// The dialog hook against a stand-in dialog whose answers the test scripts:
// the exact centring arithmetic, what it writes into the name box, and what
// it makes of the accepted name, including answers Wine's dialog never gives.

#include <windows.h>
// Declared in terms of windows.h, so after it.
#include <commdlg.h>
#include <dlgs.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dialogs/dialog_call.h"
#include "dialogs/dialog_stand_in.h"
#include "support/fake_jni.h"
#include "support/import_hook.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The hook as the DLL hands it to the dialog.
LPOFNHOOKPROC dialogHook() {
  dialogs::DialogStandIn standIn;
  fakejni::Env jni;
  dialogs::DialogCall call;
  call.mode = 1;
  dialogs::callDialog(jni, call);
  return dialogs::seenDialogs.empty() ? nullptr : dialogs::seenDialogs[0].record.lpfnHook;
}

// What the stand-in dialog answers, and what it was told.
struct Script {
  std::string nameText;
  LRESULT specAnswer = 0;  // 0: the text's size with its NUL
  std::string folder;
  LRESULT folderAnswer = 0;
  std::vector<std::string> told;
};
Script script;

LRESULT answerText(const std::string& text, LRESULT answer, WPARAM size, LPARAM buffer) {
  char* out = reinterpret_cast<char*>(buffer);
  if (answer < 0) {
    // Nothing written: the buffer keeps whatever stood there.
    lstrcpynA(out, "stale", static_cast<int>(size));
    return answer;
  }
  lstrcpynA(out, text.c_str(), static_cast<int>(size));
  return answer != 0 ? answer : static_cast<LRESULT>(text.size() + 1);
}

std::string hex(WPARAM value) {
  char text[16];
  std::snprintf(text, sizeof text, "%#x", static_cast<unsigned>(value));
  return text;
}

LRESULT CALLBACK standInDialog(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case CDM_GETSPEC:
      return answerText(script.nameText, script.specAnswer, wParam, lParam);
    case CDM_GETFOLDERPATH:
      return answerText(script.folder, script.folderAnswer, wParam, lParam);
    case CDM_SETCONTROLTEXT:
      script.told.push_back("text " + hex(wParam) + " " + reinterpret_cast<const char*>(lParam));
      return 0;
    case CDM_HIDECONTROL:
      script.told.push_back("hide " + hex(wParam));
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

const char kDialogClass[] = "VantrelStandInDialog";

class Hook : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA dialogClass = {};
    dialogClass.lpfnWndProc = standInDialog;
    dialogClass.cbWndExtra = DLGWINDOWEXTRA;  // room for DWLP_MSGRESULT
    dialogClass.hInstance = GetModuleHandleA(nullptr);
    dialogClass.lpszClassName = kDialogClass;
    RegisterClassA(&dialogClass);
  }

  void SetUp() override {
    script = Script{};
    hook_ = dialogHook();
    ASSERT_NE(hook_, nullptr);
    record_.lStructSize = sizeof record_;
    record_.lpstrFilter = filters_.c_str();
    record_.nFilterIndex = 1;
    record_.lpstrFile = file_;
    record_.nMaxFile = sizeof file_ - 1;
  }
  void TearDown() override {
    for (HWND window : {hookWindow_, dialog_, owner_}) {
      if (window != nullptr) DestroyWindow(window);
    }
  }

  // A popup owned by `owner` (none when null) with the hook's child inside.
  void openDialog(HWND owner, int x, int y, int width, int height) {
    dialog_ = CreateWindowExA(0, kDialogClass, "", WS_POPUP, x, y, width, height, owner, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    hookWindow_ = CreateWindowExA(0, kDialogClass, "", WS_CHILD, 0, 0, 10, 10, dialog_, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
  }
  HWND makeOwner(int x, int y, int width, int height) {
    owner_ = CreateWindowExA(0, kDialogClass, "", WS_POPUP, x, y, width, height, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    return owner_;
  }

  UINT_PTR initialise(LPARAM mode) {
    record_.lCustData = mode;
    return hook_(hookWindow_, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&record_));
  }
  UINT_PTR notify(LPARAM mode, UINT code) {
    record_.lCustData = mode;
    OFNOTIFYA notification = {};
    notification.hdr.hwndFrom = dialog_;
    notification.hdr.code = code;
    notification.lpOFN = &record_;
    return hook_(hookWindow_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notification));
  }
  RECT dialogRect() const {
    RECT rect = {};
    GetWindowRect(dialog_, &rect);
    return rect;
  }
  void setFile(const std::string& name) { lstrcpynA(file_, name.c_str(), sizeof file_); }

  LPOFNHOOKPROC hook_ = nullptr;
  HWND owner_ = nullptr;
  HWND dialog_ = nullptr;
  HWND hookWindow_ = nullptr;
  std::string filters_ = dialogs::filterListBytes({"Text", "*.txt;*.text", "CSV", "*.csv"});
  char file_[300] = {};
  OPENFILENAMEA record_ = {};
};

TEST_F(Hook, CentresOverTheOwnerTruncatingTowardZero) {
  openDialog(makeOwner(100, 50, 200, 300), 0, 0, 101, 151);
  EXPECT_EQ(initialise(1), 0u);
  RECT rect = dialogRect();
  EXPECT_EQ(rect.left, 149);  // 100 + 99 / 2
  EXPECT_EQ(rect.top, 124);   // 50 + 149 / 2
  EXPECT_EQ(rect.right - rect.left, 101);
  EXPECT_EQ(rect.bottom - rect.top, 151);
  EXPECT_THAT(script.told, IsEmpty());

  // Larger than the owner: it overlaps the owner on both sides.
  DestroyWindow(hookWindow_);
  DestroyWindow(dialog_);
  openDialog(owner_, 0, 0, 105, 107);
  SetWindowPos(owner_, nullptr, 100, 200, 100, 100, SWP_NOZORDER | SWP_NOACTIVATE);
  initialise(2);
  rect = dialogRect();
  EXPECT_EQ(rect.left, 98);  // 100 + (-5) / 2
  EXPECT_EQ(rect.top, 197);  // 200 + (-7) / 2
  EXPECT_EQ(rect.right - rect.left, 105);
}

int moves = 0;
BOOL WINAPI countMove(HWND, int, int, int, int, BOOL) {
  ++moves;
  return TRUE;
}

TEST_F(Hook, WithoutAnOwnerTheDialogStaysWhereItIs) {
  support::ImportHook move(support::vantrelModule(), "USER32.dll", "MoveWindow", &countMove);
  ASSERT_TRUE(move.installed());
  openDialog(nullptr, 30, 40, 200, 100);
  initialise(1);
  EXPECT_EQ(moves, 0);
  EXPECT_EQ(dialogRect().left, 30);
}

TEST_F(Hook, FolderModeHidesTheFileControlsAndLabelsTheButton) {
  openDialog(makeOwner(0, 0, 500, 500), 0, 0, 100, 100);
  initialise(3);
  EXPECT_THAT(script.told,
              ElementsAre("hide 0x441", "hide 0x470", "hide 0x442", "hide 0x47c", "text 0x1 OK"));
}

TEST_F(Hook, SaveModeFollowsTheNewTypeInTheNameBox) {
  openDialog(nullptr, 0, 0, 100, 100);
  script.nameText = "report.txt";
  record_.nFilterIndex = 2;
  EXPECT_EQ(notify(2, CDN_TYPECHANGE), 0u);
  script.nameText = "report.text";
  record_.nFilterIndex = 1;
  notify(2, CDN_TYPECHANGE);
  // Written back even when nothing changed, an empty name included.
  script.nameText = "";
  notify(2, CDN_TYPECHANGE);
  script.nameText = "data";
  record_.nFilterIndex = 9;
  notify(2, CDN_TYPECHANGE);
  EXPECT_THAT(script.told, ElementsAre("text 0x480 report.csv", "text 0x480 report.text", "text 0x480 ",
                                       "text 0x480 data.err"));
}

TEST_F(Hook, ANameBoxWithoutTextCountsAsEmptyAndAnOverlongOneIsLeftAlone) {
  openDialog(nullptr, 0, 0, 100, 100);
  script.nameText = "report";
  script.specAnswer = -1;
  notify(2, CDN_TYPECHANGE);
  script.nameText = std::string(3000, 'r');
  script.specAnswer = 0;
  notify(2, CDN_TYPECHANGE);
  EXPECT_THAT(script.told, ElementsAre("text 0x480 "));
}

TEST_F(Hook, FolderModeShowsTheFolderWithThePlaceholderAtADriveRoot) {
  openDialog(nullptr, 0, 0, 100, 100);
  const char* folders[] = {"C:\\", "C:\\data", "D:\\", "\\", ":\\"};
  for (const char* folder : folders) {
    script.folder = folder;
    notify(3, CDN_FOLDERCHANGE);
  }
  script.folder = "E:\\";
  notify(3, CDN_SELCHANGE);
  script.folderAnswer = -1;
  notify(3, CDN_FOLDERCHANGE);
  // No room left for the placeholder: the path goes unchanged.
  script.folderAnswer = 0;
  script.folder = std::string(2044, 'p') + ":\\";
  notify(3, CDN_FOLDERCHANGE);
  ASSERT_EQ(script.told.size(), 8u);
  EXPECT_THAT(std::vector<std::string>(script.told.begin(), script.told.begin() + 7),
              ElementsAre("text 0x480 C:\\X_Y_X", "text 0x480 C:\\data", "text 0x480 D:\\X_Y_X",
                          "text 0x480 \\", "text 0x480 :\\X_Y_X", "text 0x480 E:\\X_Y_X", "text 0x480 "));
  EXPECT_EQ(script.told[7], "text 0x480 " + script.folder);
}

TEST_F(Hook, AcceptingInFolderModeCutsThePlaceholder) {
  openDialog(nullptr, 0, 0, 100, 100);
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\X_Y_X", "C:\\"}, {"C:\\data", "C:\\data"}, {"C:\\a\\X_Y_X\\b", "C:\\a\\"}, {"X_Y_XX_Y_X", ""}};
  for (const auto& [accepted, returned] : cases) {
    setFile(accepted);
    EXPECT_EQ(notify(3, CDN_FILEOK), 0u);
    EXPECT_STREQ(file_, returned);
  }
  EXPECT_THAT(script.told, IsEmpty());
}

TEST_F(Hook, AcceptingInSaveModeForcesTheExtensionOnTheFullPath) {
  openDialog(nullptr, 0, 0, 100, 100);
  setFile("C:\\my.dir\\report");
  notify(2, CDN_FILEOK);
  EXPECT_STREQ(file_, "C:\\my.dir\\report.txt");
  record_.nFilterIndex = 2;
  notify(2, CDN_FILEOK);
  EXPECT_STREQ(file_, "C:\\my.dir\\report.csv");
  record_.nFilterIndex = 5;
  notify(2, CDN_FILEOK);
  EXPECT_STREQ(file_, "C:\\my.dir\\report.err");
  // The dialog's buffer size is the limit: a name that cannot grow stays.
  record_.nMaxFile = 12;
  setFile("C:\\d\\report");
  notify(2, CDN_FILEOK);
  EXPECT_STREQ(file_, "C:\\d\\report");
}

// The question a stand-in message box was asked, and its scripted answer.
struct Question {
  HWND owner = nullptr;
  std::string text;
  UINT type = 0;
  int count = 0;
} question;
int questionAnswer = IDNO;

int WINAPI askedQuestion(HWND owner, LPCSTR text, LPCSTR, UINT type) {
  question.owner = owner;
  question.text = text;
  question.type = type;
  ++question.count;
  return questionAnswer;
}

// In `folder`, report.txt exists, ro.txt is read-only and folder.txt is a
// folder. A name the rule turns into one of them (compared without regard
// to case) is checked as the platform checks a typed name: a folder is
// refused, a read-only file is refused under OFN_NOREADONLYRETURN, and an
// existing file is asked about under OFN_OVERWRITEPROMPT, with No the
// default. A refused name goes back as typed.
TEST_F(Hook, AcceptingInSaveModeChecksTheChangedNameAsThePlatformChecksATypedOne) {
  support::ImportHook ask(support::vantrelModule(), "USER32.dll", "MessageBoxA", &askedQuestion);
  ASSERT_TRUE(ask.installed());
  const std::string folder = dialogs::scratchFolder("hook-overwrite") + "\\";
  dialogs::createFile(folder + "report.txt");
  dialogs::createFile(folder + "ro.txt");
  SetFileAttributesA((folder + "ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  CreateDirectoryA((folder + "folder.txt").c_str(), nullptr);
  openDialog(nullptr, 0, 0, 100, 100);
  const std::string replace = "report.txt already exists.\nDo you want to replace it?";
  const std::string isFolder = "folder.txt\nThis name is a folder.\nTry again with a different file name.";
  const std::string readOnly = "ro.txt\nThis file is set to read-only.\nTry again with a different file name.";
  struct Case {
    const char* typed;
    DWORD flags;
    int answer;
    const std::string* shown;  // the message box's text; null: none
    const char* returned;      // the name after the hook; null: refused, as typed
  };
  const Case cases[] = {
      {"report", OFN_OVERWRITEPROMPT, IDNO, &replace, nullptr},
      {"report.doc", OFN_OVERWRITEPROMPT, IDNO, &replace, nullptr},
      {"report", OFN_OVERWRITEPROMPT, IDYES, &replace, "report.txt"},
      {"report.txt", OFN_OVERWRITEPROMPT, IDNO, nullptr, "report.txt"},
      {"Report.TXT", OFN_OVERWRITEPROMPT, IDNO, nullptr, "Report.txt"},
      {"new", OFN_OVERWRITEPROMPT, IDNO, nullptr, "new.txt"},
      {"./report", OFN_OVERWRITEPROMPT, IDNO, &replace, nullptr},
      {"report", OFN_OVERWRITEPROMPT | OFN_FILEMUSTEXIST, IDNO, &replace, nullptr},
      {"report", OFN_CREATEPROMPT, IDNO, nullptr, "report.txt"},
      {"folder", OFN_OVERWRITEPROMPT, IDYES, &isFolder, nullptr},
      {"folder", 0, IDYES, &isFolder, nullptr},
      {"ro", OFN_NOREADONLYRETURN | OFN_OVERWRITEPROMPT, IDYES, &readOnly, nullptr},
      {"ro", OFN_NOREADONLYRETURN, IDYES, &readOnly, nullptr},
      {"ro", 0, IDNO, nullptr, "ro.txt"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(testing::Message() << test.typed << " flags " << test.flags);
    question = Question{};
    questionAnswer = test.answer;
    record_.Flags = test.flags;
    setFile(folder + test.typed);
    SetWindowLongPtrA(hookWindow_, DWLP_MSGRESULT, 0);
    const UINT_PTR result = notify(2, CDN_FILEOK);
    EXPECT_EQ(question.count, test.shown != nullptr ? 1 : 0);
    EXPECT_EQ(file_, folder + (test.returned != nullptr ? test.returned : test.typed));
    EXPECT_EQ(result, test.returned != nullptr ? 0u : 1u);
    EXPECT_EQ(GetWindowLongPtrA(hookWindow_, DWLP_MSGRESULT), test.returned != nullptr ? 0 : 1);
    if (test.shown != nullptr) {
      EXPECT_EQ(question.owner, dialog_);
      EXPECT_EQ(question.text, *test.shown);
      EXPECT_EQ(question.type, test.shown == &replace ? UINT{MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2}
                                                      : UINT{MB_OK | MB_ICONWARNING});
    }
  }
}

TEST_F(Hook, EverythingElseIsLeftToTheDialog) {
  openDialog(nullptr, 0, 0, 100, 100);
  script.nameText = "report";
  script.folder = "C:\\";
  setFile("C:\\X_Y_X\\report");
  // Type changes outside save mode, folder changes outside folder mode,
  // accepting in open mode.
  notify(1, CDN_TYPECHANGE);
  notify(3, CDN_TYPECHANGE);
  notify(1, CDN_FOLDERCHANGE);
  notify(2, CDN_SELCHANGE);
  EXPECT_EQ(notify(1, CDN_FILEOK), 0u);
  for (UINT code : {CDN_INITDONE, CDN_HELP, CDN_SHAREVIOLATION, CDN_INCLUDEITEM}) {
    for (LPARAM mode : {1, 2, 3}) EXPECT_EQ(notify(mode, code), 0u);
  }
  // Another control's notification carries no record.
  NMHDR bare = {dialog_, 0, static_cast<UINT>(-2)};  // NM_CLICK
  EXPECT_EQ(hook_(hookWindow_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&bare)), 0u);
  EXPECT_EQ(hook_(hookWindow_, WM_COMMAND, IDOK, 0), 0u);
  EXPECT_THAT(script.told, IsEmpty());
  EXPECT_STREQ(file_, "C:\\X_Y_X\\report");
}

}  // namespace
