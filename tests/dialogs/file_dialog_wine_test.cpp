// getOpenSaveFileName with Wine's real common dialogs, driven from a watcher
// thread the way a user drives them.

#include <windows.h>
// Declared in terms of windows.h, so after it.
#include <commdlg.h>
#include <dlgs.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dialogs/dialog_call.h"
#include "support/debug_output.h"
#include "support/fake_jni.h"
#include "support/file_dialog_driver.h"
#include "support/import_hook.h"
#include "support/jni_test.h"
#include "support/vantrel_dll.h"
#include "support/window_thread.h"

namespace {

using dialogs::DialogCall;
using support::FileDialog;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Result = std::optional<std::vector<std::string>>;

class RealDialog : public support::JniTest {
 protected:
  // Shows the dialog while `script` drives it; the script closes it.
  Result run(const DialogCall& call, std::function<void(FileDialog&)> script, bool shown = true) {
    support::DialogWatcher watcher(std::move(script));
    jobjectArray result = dialogs::callDialog(jni_, call);
    watcher.join();
    EXPECT_EQ(watcher.sawDialog(), shown);
    EXPECT_FALSE(watcher.leftOpen()) << "the script did not close the dialog";
    return jni_.strings(result);
  }
};

DialogCall save(const std::string& folder, const std::string& name) {
  DialogCall call;
  call.mode = 2;
  call.directory = folder;
  call.name = name;
  return call;
}

TEST_F(RealDialog, CancelGivesNullAndGivesTheStringsBackInOrder) {
  const std::string folder = dialogs::scratchFolder("cancel");
  DialogCall call = save(folder, "report");
  call.title = "Where to?";
  std::string title;
  const Result result = run(call, [&](FileDialog& dialog) {
    title = support::windowText(dialog.window());
    dialog.cancel();
  });
  EXPECT_FALSE(result.has_value());
  EXPECT_EQ(title, "Where to?");
  EXPECT_THAT(jni_.callsStartingWith("NewObjectArray"), IsEmpty());
  const auto calls = jni_.calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_THAT(std::vector<std::string>(calls.end() - 3, calls.end()),
              ElementsAre("ReleaseStringUTFChars report", "ReleaseStringUTFChars " + folder,
                          "ReleaseStringUTFChars Where to?"));
}

TEST_F(RealDialog, SaveOpensWithTheFiltersExtensionAndReturnsItWithTheIndex) {
  const std::string folder = dialogs::scratchFolder("save");
  std::string shown;
  const Result result = run(save(folder, "report"), [&](FileDialog& dialog) {
    shown = dialog.nameBox();
    dialog.pressOk();
  });
  EXPECT_EQ(shown, "report.txt");
  EXPECT_THAT(result, ::testing::Optional(ElementsAre(folder + "\\report.txt", "1")));
}

TEST_F(RealDialog, PickingAnotherTypeRewritesTheNameAndTheResultFollowsTheLastPick) {
  const std::string folder = dialogs::scratchFolder("type");
  support::NameBoxProbe probe;
  std::string shown;
  const Result result = run(save(folder, "report"), [&](FileDialog& dialog) {
    dialog.pickType(2);
    dialog.pickType(1);
    dialog.pickType(2);
    shown = dialog.nameBox();
    dialog.pressOk();
  });
  // Wine's name box is not edt1, so it keeps report.txt, which the hook
  // reads back at each pick and once more on accept.
  EXPECT_EQ(shown, "report.txt");
  EXPECT_THAT(probe.writes(), ElementsAre("report.csv", "report.txt", "report.csv"));
  EXPECT_THAT(result, ::testing::Optional(ElementsAre(folder + "\\report.csv", "2")));
}

TEST_F(RealDialog, FilterIndexPastTheListOpensWithTheFallbackExtension) {
  const std::string folder = dialogs::scratchFolder("past");
  DialogCall call = save(folder, "data");
  call.filterIndex = 7;
  std::string shown;
  std::vector<std::string> types;
  const Result result = run(call, [&](FileDialog& dialog) {
    shown = dialog.nameBox();
    types = dialog.types();
    dialog.pressOk();
  });
  EXPECT_EQ(shown, "data.err");
  EXPECT_THAT(types, ElementsAre("Text files", "CSV files"));
  // Wine selects the first filter for an index it does not list and says
  // so in the record, so the accepted name takes that filter's extension.
  EXPECT_THAT(result, ::testing::Optional(ElementsAre(folder + "\\data.txt", "1")));
}

TEST_F(RealDialog, OpenReturnsTheFullPath) {
  const std::string folder = dialogs::scratchFolder("open");
  dialogs::createFile(folder + "\\a.txt");
  DialogCall call;
  call.mode = 1;
  call.directory = folder;
  call.filterIndex = 2;
  const Result result = run(call, [&](FileDialog& dialog) {
    dialog.setNameBox("a.txt");
    dialog.pressOk();
  });
  EXPECT_THAT(result, ::testing::Optional(ElementsAre(folder + "\\a.txt", "2")));
}

TEST_F(RealDialog, MultipleSelectionReturnsTheFolderTheNamesAndTheIndex) {
  const std::string folder = dialogs::scratchFolder("multiple");
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) dialogs::createFile(folder + "\\" + name);
  DialogCall call;
  call.mode = 1;
  call.directory = folder;
  call.flags = OFN_ALLOWMULTISELECT;
  const Result result = run(call, [&](FileDialog& dialog) {
    dialog.setNameBox("\"a.txt\" \"b.txt\" \"c.txt\"");
    dialog.pressOk();
  });
  EXPECT_THAT(result, ::testing::Optional(ElementsAre(folder, "a.txt", "b.txt", "c.txt", "1")));
}

DWORD flagsSeenBySave = 0;
BOOL WINAPI passThroughSave(LPOPENFILENAMEA record);
support::ImportHook* saveHook = nullptr;
BOOL WINAPI passThroughSave(LPOPENFILENAMEA record) {
  flagsSeenBySave = record->Flags;
  return saveHook->original<decltype(&GetSaveFileNameA)>()(record);
}

TEST_F(RealDialog, SaveClearsMultipleSelection) {
  support::ImportHook hook(support::vantrelModule(), "COMDLG32.dll", "GetSaveFileNameA", &passThroughSave);
  ASSERT_TRUE(hook.installed());
  saveHook = &hook;
  const std::string folder = dialogs::scratchFolder("save-multiple");
  DialogCall call = save(folder, "one");
  call.flags = OFN_ALLOWMULTISELECT | OFN_OVERWRITEPROMPT;
  const Result result = run(call, [&](FileDialog& dialog) { dialog.pressOk(); });
  EXPECT_EQ(flagsSeenBySave & (OFN_ALLOWMULTISELECT | OFN_OVERWRITEPROMPT), DWORD{OFN_OVERWRITEPROMPT});
  EXPECT_THAT(result, ::testing::Optional(ElementsAre(folder + "\\one.txt", "1")));
}

// Typing a name and pressing OK in the save dialog, answering each message
// box the dialog raises with `answer`; what was asked, each box's default
// button, and whether the dialog was still open afterwards (the script then
// cancels it).
struct SaveAttempt {
  std::string title;
  std::vector<support::MessageBoxView> prompts;
  std::vector<int> defaults;
  bool stayedOpen = false;
  Result result;
};

// The id of the message box's button drawn as the default, 0 for none.
int defaultButton(HWND box) {
  for (int id : {IDOK, IDYES, IDNO}) {
    HWND button = GetDlgItem(box, id);
    if (button != nullptr && (GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return id;
  }
  return 0;
}

const char kReplace[] = "report.txt already exists.\nDo you want to replace it?";
const char kFolder[] = "folder.txt\nThis name is a folder.\nTry again with a different file name.";
const char kReadOnly[] = "ro.txt\nThis file is set to read-only.\nTry again with a different file name.";

struct OverwriteCase {
  const char* typed;
  jint flags;
  int answer;
  std::size_t prompts;
  const char* libraryText;  // the last prompt, the library's own; null: none of its own
  const char* returned;     // in the folder; null: the dialog stayed open
};

// report.txt exists, ro.txt is read-only, folder.txt is a folder. Typed
// without its extension, the name changes after the platform's own checks:
// the library checks the changed name as the platform checks a typed one.
// Typed whole, in any case, the platform checks it, and the library adds
// nothing.
const OverwriteCase kOverwriteCases[] = {
    {"report.txt", OFN_OVERWRITEPROMPT, IDYES, 1, nullptr, "report.txt"},
    {"report", OFN_OVERWRITEPROMPT, IDYES, 1, kReplace, "report.txt"},
    {"report", OFN_OVERWRITEPROMPT, IDNO, 1, kReplace, nullptr},
    {"report", 0, IDNO, 0, nullptr, "report.txt"},
    {"report.TXT", OFN_OVERWRITEPROMPT, IDYES, 1, nullptr, "report.txt"},
    {"folder", OFN_OVERWRITEPROMPT, IDOK, 1, kFolder, nullptr},
    {"ro", OFN_NOREADONLYRETURN, IDOK, 1, kReadOnly, nullptr},
};

TEST_F(RealDialog, ANameTheExtensionChangedIsCheckedAsThePlatformChecksATypedOne) {
  const std::string folder = dialogs::scratchFolder("overwrite");
  dialogs::createFile(folder + "\\report.txt");
  dialogs::createFile(folder + "\\ro.txt");
  SetFileAttributesA((folder + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  CreateDirectoryA((folder + "\\folder.txt").c_str(), nullptr);
  std::vector<SaveAttempt> attempts;
  for (const OverwriteCase& test : kOverwriteCases) {
    SCOPED_TRACE(testing::Message() << test.typed << " flags " << test.flags << " answer " << test.answer);
    DialogCall call = save(folder, "x");
    call.flags = test.flags;
    SaveAttempt attempt;
    attempt.result = run(call, [&](FileDialog& dialog) {
      attempt.title = support::windowText(dialog.window());
      dialog.setNameBox(test.typed);
      dialog.pressOk();
      for (int round = 0; round < 3; ++round) {
        const support::MessageBoxView box = dialog.nextMessageBox();
        if (box.window == nullptr) break;
        attempt.prompts.push_back(box);
        attempt.defaults.push_back(defaultButton(box.window));
        dialog.answer(box, test.answer);
      }
      attempt.stayedOpen = IsWindowVisible(dialog.window()) != FALSE;
      if (attempt.stayedOpen) dialog.cancel();
    });
    EXPECT_EQ(attempt.prompts.size(), test.prompts);
    EXPECT_EQ(attempt.stayedOpen, test.returned == nullptr);
    if (test.returned != nullptr) {
      EXPECT_THAT(attempt.result, ::testing::Optional(ElementsAre(folder + "\\" + test.returned, "1")));
    } else {
      EXPECT_EQ(attempt.result, std::nullopt);
    }
    // The library asks under the dialog's title, naming the file, which the
    // user did not type; its question has the platform's buttons, with No
    // the default.
    if (test.libraryText != nullptr && !attempt.prompts.empty()) {
      const support::MessageBoxView& asked = attempt.prompts.back();
      EXPECT_EQ(asked.caption, attempt.title);
      EXPECT_EQ(asked.text, test.libraryText);
      if (test.answer == IDOK) {
        EXPECT_THAT(asked.buttons, ElementsAre("OK"));
      } else {
        ASSERT_THAT(attempts.at(0).prompts, ::testing::SizeIs(1));
        EXPECT_EQ(asked.buttons, attempts[0].prompts[0].buttons);
        EXPECT_EQ(attempt.defaults.back(), IDNO);
      }
    }
    attempts.push_back(attempt);
  }
}

// A template or item-notification bit from the caller must not keep the
// hook from doing its work: the typed extension still follows the filter.
class RealDialogWithFlag : public RealDialog, public ::testing::WithParamInterface<jint> {};

TEST_P(RealDialogWithFlag, StillRunsTheHook) {
  const std::string folder = dialogs::scratchFolder("flag");
  DialogCall call = save(folder, "notes");
  call.flags = GetParam();
  const Result result = run(call, [&](FileDialog& dialog) {
    dialog.setNameBox("notes.doc");
    dialog.pressOk();
  });
  EXPECT_THAT(result, ::testing::Optional(ElementsAre(folder + "\\notes.txt", "1")));
}

INSTANTIATE_TEST_SUITE_P(Dialogs, RealDialogWithFlag,
                         ::testing::Values(OFN_ENABLETEMPLATE, OFN_ENABLETEMPLATEHANDLE,
                                           OFN_ENABLEINCLUDENOTIFY));

struct FolderView {
  std::vector<bool> fileControlsVisible;
  std::string okText;
  std::vector<std::string> types;
};

FolderView lookAt(const FileDialog& dialog) {
  FolderView view;
  for (int control : {stc2, cmb1, stc3, cmb13}) view.fileControlsVisible.push_back(dialog.isVisible(control));
  view.okText = dialog.okText();
  view.types = dialog.types();
  return view;
}

TEST_F(RealDialog, FolderModeAtADriveRootShowsThePlaceholderAndReturnsTheRoot) {
  support::NameBoxProbe probe;
  DialogCall call;
  call.mode = 3;
  call.directory = "C:\\";
  FolderView view;
  const Result result = run(call, [&](FileDialog& dialog) {
    view = lookAt(dialog);
    // What Windows shows in its name box, Wine's is given by hand.
    dialog.setNameBox(probe.last());
    dialog.pressOk();
  });
  EXPECT_THAT(view.fileControlsVisible, ElementsAre(false, false, false, false));
  EXPECT_EQ(view.okText, "OK");
  EXPECT_THAT(view.types, ElementsAre("Folders"));
  EXPECT_EQ(probe.last(), "C:\\X_Y_X");
  EXPECT_THAT(result, ::testing::Optional(ElementsAre("C:\\", "1")));
}

TEST_F(RealDialog, FolderModeInAFolderShowsItsPathAndReturnsIt) {
  const std::string folder = dialogs::scratchFolder("folder");
  support::NameBoxProbe probe;
  DialogCall call;
  call.mode = 3;
  call.filters.reset();
  call.directory = folder;
  FolderView view;
  const Result result = run(call, [&](FileDialog& dialog) {
    view = lookAt(dialog);
    dialog.setNameBox(probe.last());
    dialog.pressOk();
  });
  EXPECT_THAT(view.types, ElementsAre("Folders"));
  EXPECT_EQ(probe.last(), folder);
  EXPECT_THAT(result, ::testing::Optional(ElementsAre(folder, "1")));
}

TEST_F(RealDialog, IsCentredOverItsOwner) {
  support::WindowThread windows;
  // Smaller than the dialog both ways, with odd differences: the dialog
  // overlaps it on every side.
  HWND owner = windows.create("Owner", 100, 120, 400, 300);
  RECT ownerRect = {};
  GetWindowRect(owner, &ownerRect);
  DialogCall call;
  call.mode = 1;
  call.owner = static_cast<jint>(reinterpret_cast<INT_PTR>(owner));
  RECT dialogRect = {};
  HWND dialogOwner = nullptr;
  run(call, [&](FileDialog& dialog) {
    dialogRect = dialog.rect();
    dialogOwner = GetWindow(dialog.window(), GW_OWNER);
    dialog.cancel();
  });
  EXPECT_EQ(dialogOwner, owner);
  const long width = dialogRect.right - dialogRect.left;
  const long height = dialogRect.bottom - dialogRect.top;
  ASSERT_GT(width, ownerRect.right - ownerRect.left);
  EXPECT_EQ(dialogRect.left, ownerRect.left + (ownerRect.right - ownerRect.left - width) / 2);
  EXPECT_EQ(dialogRect.top, ownerRect.top + (ownerRect.bottom - ownerRect.top - height) / 2);
  windows.destroy(owner);
}

int moves = 0;
support::ImportHook* moveHook = nullptr;
BOOL WINAPI countingMoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  ++moves;
  return moveHook->original<decltype(&MoveWindow)>()(window, x, y, width, height, repaint);
}

TEST_F(RealDialog, WithoutOwnerStaysWhereThePlatformPutsIt) {
  support::ImportHook hook(support::vantrelModule(), "USER32.dll", "MoveWindow", &countingMoveWindow);
  ASSERT_TRUE(hook.installed());
  moveHook = &hook;
  DialogCall call;
  call.mode = 1;
  run(call, [&](FileDialog& dialog) { dialog.cancel(); });
  EXPECT_EQ(moves, 0);
}

// The debugger output names the directory when one is given, within its
// line's buffer, and always the result, even when no dialog shows.
TEST_F(RealDialog, DebuggerOutputNamesTheDirectoryWhenGivenAndAlwaysTheResult) {
  const std::string folder = dialogs::scratchFolder("debug-output");
  const std::string overlong = "C:\\" + std::string(300, 'd');
  DialogCall accepted;
  accepted.name = folder + "\\accepted";
  DialogCall unknownMode = save(folder, "x");
  unknownMode.mode = 4;
  const struct {
    DialogCall call;
    bool accept;
    bool shown;
    std::vector<std::string> lines;
  } cases[] = {
      {save(folder, "x"), false, true, {"IntialDir: " + folder + "\n", "Result: 0\n"}},
      {accepted, true, true, {"Result: 1\n"}},
      {unknownMode, false, false, {"IntialDir: " + folder + "\n", "Result: 0\n"}},
      {save(overlong, "x"), false, true, {("IntialDir: " + overlong).substr(0, 199), "Result: 0\n"}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.lines.front());
    support::DebugOutputCapture output;
    ASSERT_TRUE(output.installed());
    run(
        test.call, [&](FileDialog& dialog) { test.accept ? dialog.pressOk() : dialog.cancel(); }, test.shown);
    EXPECT_EQ(output.lines(), test.lines);
  }
}

}  // namespace
