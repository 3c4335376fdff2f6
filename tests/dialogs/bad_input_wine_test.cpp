// getOpenSaveFileName on input beyond what callers should pass: each call
// shows a real dialog (cancelled at once), or none where the input asks for
// none, and ends normally with null and every borrowed string given back.

#include <windows.h>
// Declared in terms of windows.h, so after it.
#include <commdlg.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "dialogs/dialog_call.h"
#include "support/fake_jni.h"
#include "support/file_dialog_driver.h"
#include "support/import_hook.h"
#include "support/jni_test.h"
#include "support/vantrel_dll.h"

namespace {

using dialogs::DialogCall;
using dialogs::FilterArray;

DialogCall named(const std::string& name, jint mode = 2) {
  DialogCall call;
  call.mode = mode;
  call.name = name;
  return call;
}

DialogCall withFilters(const FilterArray& filters, jint filterIndex = 1) {
  DialogCall call = named("data.old");
  call.filters = filters;
  call.filterIndex = filterIndex;
  return call;
}

DialogCall inDirectory(const std::string& directory) {
  DialogCall call = named("x");
  call.directory = directory;
  return call;
}

DialogCall overlongPatterns() {
  return withFilters({"Long", "*." + std::string(300, 'x') + ";*.y", "Wide", std::string(3000, 'w')});
}

DialogCall nullFilterArray() {
  DialogCall call = named("data");
  call.filters.reset();
  return call;
}

DialogCall modeFour() {
  DialogCall call = inDirectory("C:\\");
  call.mode = 4;
  call.title = "t";
  return call;
}

struct BadCall {
  const char* name;
  DialogCall call;
  bool shown;
};

void PrintTo(const BadCall& bad, std::ostream* out) { *out << bad.name; }

const BadCall kBadCalls[] = {
    {"overlongNameToSave", named(std::string(40000, 'n')), true},
    {"overlongNameToOpen", named(std::string(32767, 'o'), 1), true},
    {"overlongDirectory", inDirectory("C:\\" + std::string(1000, 'd')), true},
    {"directoryOfMaxPath", inDirectory("C:\\" + std::string(257, 'd')), true},
    {"oddFilterArray", withFilters({"Text", "*.txt", "Orphan"}, 2), true},
    {"nullFilterElements", withFilters({"Text", "*.txt", std::nullopt, "*.csv", "CSV", "*.csv"}, 2), true},
    {"nullFilterArray", nullFilterArray(), true},
    {"overlongPatterns", overlongPatterns(), true},
    {"modeZero", named("x", 0), false},
    {"modeFour", modeFour(), false},
    {"modeMinusOne", named("x", -1), false},
};

class BadInput : public support::JniTest, public ::testing::WithParamInterface<BadCall> {
 protected:
  // The call, with its dialog cancelled at once.
  jobjectArray callAndCancel(const DialogCall& call, bool shown) {
    support::DialogWatcher watcher([](support::FileDialog& dialog) { dialog.cancel(); });
    jobjectArray result = dialogs::callDialog(jni_, call);
    watcher.join();
    EXPECT_EQ(watcher.sawDialog(), shown);
    EXPECT_FALSE(watcher.leftOpen());
    return result;
  }
};

TEST_P(BadInput, EndsNormallyWithNullAndNoBorrowLeft) {
  EXPECT_EQ(callAndCancel(GetParam().call, GetParam().shown), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, BadInput, ::testing::ValuesIn(kBadCalls),
                         [](const ::testing::TestParamInfo<BadCall>& info) {
                           return std::string(info.param.name);
                         });

// Wine's own save dialog at times never opens in a process that holds an
// array this large (seen under Xvfb: the call waits inside comdlg32 before
// any window exists), so here the dialog is stood in for; it checks that the
// list it was given ends inside its buffer.
bool listEndsInside = false;
BOOL WINAPI standInSaveDialog(OPENFILENAMEA* record) {
  const char* list = record->lpstrFilter;
  for (std::size_t i = 0; i + 1 < 2048 && !listEndsInside; ++i) {
    listEndsInside = list[i] == '\0' && list[i + 1] == '\0';
  }
  return FALSE;
}

TEST_F(BadInput, HugeFilterArrayIsCutInsideTheListBuffer) {
  support::ImportHook dialog(support::vantrelModule(), "COMDLG32.dll", "GetSaveFileNameA",
                             &standInSaveDialog);
  ASSERT_TRUE(dialog.installed());
  FilterArray filters;
  for (int i = 0; i < 20000; ++i) {
    filters.push_back("Filter number " + std::to_string(i));
    filters.push_back("*.e" + std::to_string(i));
  }
  EXPECT_EQ(callAndCancel(withFilters(filters, 19000), false), nullptr);
  EXPECT_TRUE(listEndsInside);
}

}  // namespace
