// What getOpenSaveFileName hands the platform's dialog, and how it turns the
// dialog's answer into the Java result, with the dialog stood in for.

#include <windows.h>
// Declared in terms of windows.h, so after it.
#include <commdlg.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/dialog_call.h"
#include "dialogs/dialog_stand_in.h"
#include "support/fake_jni.h"
#include "support/import_hook.h"
#include "support/jni_test.h"
#include "support/vantrel_dll.h"

namespace {

using dialogs::DialogCall;
using dialogs::FilterArray;
using dialogs::filterListBytes;
using dialogs::seenDialogs;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

using Result = std::optional<std::vector<std::string>>;

// The record's sizes as the platform knows them, in full and without the
// last three fields that platforms before version 5 lack.
#ifdef _WIN64
constexpr DWORD kFullRecordSize = 152;
constexpr DWORD kShortRecordSize = 136;
#else
constexpr DWORD kFullRecordSize = 88;
constexpr DWORD kShortRecordSize = 76;
#endif

const std::string kTextAndCsvList = filterListBytes({"Text files", "*.txt;*.text", "CSV files", "*.csv"});

class DialogRecord : public support::JniTest {
 protected:
  void SetUp() override { ASSERT_TRUE(standIn_.installed()); }

  Result call(const DialogCall& call) { return jni_.strings(dialogs::callDialog(jni_, call)); }

  // Calls with the dialog answering `answer`, and keeps only the JNI calls
  // made after the dialog.
  Result callAnswered(const DialogCall& call, std::function<BOOL(OPENFILENAMEA&)> answer) {
    dialogs::dialogAnswer = [this, answer](OPENFILENAMEA& record) {
      jni_.clearCalls();
      return answer(record);
    };
    return this->call(call);
  }

  dialogs::DialogStandIn standIn_;
};

DialogCall inMode(jint mode, jint flags = 0) {
  DialogCall call;
  call.mode = mode;
  call.flags = flags;
  return call;
}

// Writes what the dialog returns into the file name buffer, NULs included.
std::function<BOOL(OPENFILENAMEA&)> chooses(const std::string& names, DWORD filterIndex) {
  return [names, filterIndex](OPENFILENAMEA& record) {
    std::memcpy(record.lpstrFile, names.data(), names.size());
    record.lpstrFile[names.size()] = '\0';
    record.nFilterIndex = filterIndex;
    return TRUE;
  };
}

TEST_F(DialogRecord, EachModeFillsTheRecordItsOwnWay) {
  struct Expected {
    jint mode;
    const char* function;
    DWORD flags;
    std::string filterList;
  };
  const Expected modes[] = {
      {1, "GetOpenFileNameA", 0x81828, kTextAndCsvList},
      {2, "GetSaveFileNameA", 0x80828, kTextAndCsvList},
      {3, "GetOpenFileNameA", 0x8092C, filterListBytes({"Folders", "*."})},
  };
  for (const Expected& expected : modes) {
    SCOPED_TRACE(expected.mode);
    seenDialogs.clear();
    DialogCall call = inMode(expected.mode);
    call.owner = 0x1234;
    call.filterIndex = 2;
    EXPECT_FALSE(this->call(call).has_value());
    ASSERT_THAT(seenDialogs, SizeIs(1));
    const dialogs::SeenDialog& seen = seenDialogs[0];
    const OPENFILENAMEA& record = seen.record;
    EXPECT_EQ(seen.function, expected.function);
    EXPECT_EQ(record.lStructSize, kFullRecordSize);
    EXPECT_EQ(record.hwndOwner, reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(record.Flags, expected.flags);
    EXPECT_EQ(seen.filterList, expected.filterList);
    EXPECT_EQ(record.nFilterIndex, 2u);
    EXPECT_EQ(record.lCustData, expected.mode);
    EXPECT_NE(record.lpfnHook, nullptr);
    EXPECT_NE(record.lpstrFile, nullptr);
    EXPECT_EQ(record.nMaxFile, 32767u);
    EXPECT_EQ(record.hInstance, nullptr);
    EXPECT_EQ(record.lpstrCustomFilter, nullptr);
    EXPECT_EQ(record.lpstrFileTitle, nullptr);
    EXPECT_EQ(record.nMaxFileTitle, 0u);
    EXPECT_EQ(record.lpstrInitialDir, nullptr);
    EXPECT_EQ(record.lpstrTitle, nullptr);
    EXPECT_EQ(record.lpstrDefExt, nullptr);
    EXPECT_EQ(record.lpTemplateName, nullptr);
    EXPECT_EQ(record.FlagsEx, 0u);
  }
}

TEST_F(DialogRecord, CallersFlagsPassThroughButMultipleSelectionOnlyToOpen) {
  const DWORD extra = OFN_ALLOWMULTISELECT | OFN_OVERWRITEPROMPT | OFN_FORCESHOWHIDDEN;
  for (jint mode : {1, 2, 3}) call(inMode(mode, static_cast<jint>(extra)));
  call(inMode(2, -1));
  call(inMode(3, -1));
  ASSERT_THAT(seenDialogs, SizeIs(5));
  EXPECT_EQ(seenDialogs[0].record.Flags, 0x81828u | extra);
  EXPECT_EQ(seenDialogs[1].record.Flags, 0x80828u | OFN_OVERWRITEPROMPT | OFN_FORCESHOWHIDDEN);
  EXPECT_EQ(seenDialogs[2].record.Flags, 0x8092Cu | OFN_OVERWRITEPROMPT | OFN_FORCESHOWHIDDEN);
  // Every bit but the three the library keeps for itself.
  const DWORD kept = OFN_ENABLETEMPLATE | OFN_ENABLETEMPLATEHANDLE | OFN_ENABLEINCLUDENOTIFY;
  EXPECT_EQ(seenDialogs[3].record.Flags, ~(DWORD{OFN_ALLOWMULTISELECT} | kept));
  EXPECT_EQ(seenDialogs[4].record.Flags, ~(DWORD{OFN_ALLOWMULTISELECT} | kept));
}

// A template the library never supplies keeps the hook from running; item
// notifications it does not answer would hide items. Cleared in every mode,
// each bit alone and all together.
TEST_F(DialogRecord, TemplateAndItemNotificationBitsNeverReachThePlatform) {
  const DWORD forced[] = {0x81828, 0x80828, 0x8092C};
  for (DWORD bits : {0x40u, 0x80u, 0x400000u, 0x4000C0u}) {
    for (jint mode : {1, 2, 3}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " bits " << std::hex << bits);
      seenDialogs.clear();
      call(inMode(mode, static_cast<jint>(bits | OFN_FORCESHOWHIDDEN)));
      ASSERT_THAT(seenDialogs, SizeIs(1));
      EXPECT_EQ(seenDialogs[0].record.Flags, forced[mode - 1] | OFN_FORCESHOWHIDDEN);
    }
  }
}

TEST_F(DialogRecord, FolderModeNeverLooksAtTheFilterArray) {
  call(inMode(3));
  EXPECT_THAT(jni_.callsStartingWith("GetArrayLength"), IsEmpty());
  EXPECT_EQ(jni_.borrowCount(), 0);
}

DWORD scriptedVersion = 0;
DWORD WINAPI fakeGetVersion() { return scriptedVersion; }

TEST_F(DialogRecord, PlatformsBeforeVersionFiveGetTheShortRecord) {
  support::ImportHook version(support::vantrelModule(), "KERNEL32.dll", "GetVersion", &fakeGetVersion);
  ASSERT_TRUE(version.installed());
  // Only the low byte, the major version, counts.
  for (DWORD answer : {0x0A280004u, 0x0000FF04u, 0xFFFF0003u, 0x00000105u, 0x1DB10106u}) {
    scriptedVersion = answer;
    call(inMode(2));
  }
  ASSERT_THAT(seenDialogs, SizeIs(5));
  EXPECT_EQ(seenDialogs[0].record.lStructSize, kShortRecordSize);
  EXPECT_EQ(seenDialogs[1].record.lStructSize, kShortRecordSize);
  EXPECT_EQ(seenDialogs[2].record.lStructSize, kShortRecordSize);
  EXPECT_EQ(seenDialogs[3].record.lStructSize, kFullRecordSize);
  EXPECT_EQ(seenDialogs[4].record.lStructSize, kFullRecordSize);
}

TEST_F(DialogRecord, TheStringsReachTheRecordAndSaveGivesTheNameItsExtension) {
  DialogCall open = inMode(1);
  open.name = "report";
  open.directory = "C:\\data";
  open.title = "Pick one";
  call(open);
  DialogCall save = open;
  save.mode = 2;
  call(save);
  save.filterIndex = 3;
  call(save);
  save.name = "";
  call(save);
  save.name = "report";
  save.filterIndex = 1;
  save.filters.reset();
  call(save);
  ASSERT_THAT(seenDialogs, SizeIs(5));
  EXPECT_EQ(seenDialogs[0].fileName, "report");
  EXPECT_EQ(seenDialogs[0].initialDir, "C:\\data");
  EXPECT_EQ(seenDialogs[0].title, "Pick one");
  EXPECT_EQ(seenDialogs[1].fileName, "report.txt");
  EXPECT_EQ(seenDialogs[2].fileName, "report.err");
  EXPECT_EQ(seenDialogs[3].fileName, "");
  // No filter array: an empty list, so the fallback extension.
  EXPECT_EQ(seenDialogs[4].filterList, std::string(1, '\0'));
  EXPECT_EQ(seenDialogs[4].fileName, "report.err");
}

TEST_F(DialogRecord, AnOverlongNameIsCutToTheBuffer) {
  DialogCall call = inMode(1);
  call.name = std::string(40000, 'n');
  this->call(call);
  call.mode = 2;
  this->call(call);
  // Room for the extension: the rule still applies.
  call.name = std::string(32762, 'n');
  this->call(call);
  call.name = std::string(32763, 'n');
  this->call(call);
  ASSERT_THAT(seenDialogs, SizeIs(4));
  EXPECT_EQ(seenDialogs[0].fileName, std::string(32766, 'n'));
  EXPECT_EQ(seenDialogs[1].fileName, std::string(32766, 'n'));
  EXPECT_EQ(seenDialogs[2].fileName, std::string(32762, 'n') + ".txt");
  EXPECT_EQ(seenDialogs[3].fileName, std::string(32763, 'n'));
}

TEST_F(DialogRecord, ADirectoryTooLongForAPathIsNotHandedOver) {
  DialogCall call = inMode(2);
  call.filters.reset();
  const std::string longest = "C:\\" + std::string(256, 'd');
  call.directory = longest;
  this->call(call);
  call.directory = longest + "d";
  this->call(call);
  call.directory = longest + std::string(800, 'd');
  this->call(call);
  ASSERT_THAT(seenDialogs, SizeIs(3));
  EXPECT_EQ(seenDialogs[0].initialDir, longest);
  EXPECT_EQ(seenDialogs[1].initialDir, std::nullopt);
  EXPECT_EQ(seenDialogs[2].initialDir, std::nullopt);
  EXPECT_EQ(jni_.borrowCount(), 3);  // borrowed, and given back, all the same
}

TEST_F(DialogRecord, OddArraysAndNullElementsKeepOnlyWholePairs) {
  DialogCall call = inMode(1);
  call.filters = FilterArray{"Text", "*.txt", "Orphan"};
  this->call(call);
  call.filters = FilterArray{"Text", "*.txt", "CSV", std::nullopt, "All", "*.*"};
  jni_.clearCalls();
  this->call(call);
  EXPECT_THAT(jni_.callsStartingWith("GetObjectArrayElement"),
              ElementsAre("GetObjectArrayElement 0", "GetObjectArrayElement 1", "GetObjectArrayElement 2",
                          "GetObjectArrayElement 3"));
  call.filters = FilterArray{std::nullopt, "*.txt"};
  this->call(call);
  ASSERT_THAT(seenDialogs, SizeIs(3));
  EXPECT_EQ(seenDialogs[0].filterList, filterListBytes({"Text", "*.txt"}));
  EXPECT_EQ(seenDialogs[1].filterList, filterListBytes({"Text", "*.txt"}));
  EXPECT_EQ(seenDialogs[2].filterList, std::string(1, '\0'));
}

TEST_F(DialogRecord, AHugeFilterArrayFillsTheListWithWholePairsAndNoMore) {
  FilterArray filters;
  for (int i = 0; i < 5000; ++i) {
    filters.push_back("Filter " + std::to_string(i));
    filters.push_back("*.f" + std::to_string(i));
  }
  DialogCall call = inMode(1);
  call.filters = filters;
  this->call(call);
  ASSERT_THAT(seenDialogs, SizeIs(1));
  std::vector<std::string> pairs;
  std::size_t bytes = 1;
  for (std::size_t i = 0; bytes + (filters[i]->size() + 1) + (filters[i + 1]->size() + 1) <= 2048; i += 2) {
    pairs.push_back(*filters[i]);
    pairs.push_back(*filters[i + 1]);
    bytes += filters[i]->size() + filters[i + 1]->size() + 2;
  }
  EXPECT_EQ(seenDialogs[0].filterList, filterListBytes(pairs));
  EXPECT_LT(jni_.callsStartingWith("GetObjectArrayElement").size(), pairs.size() + 3);
}

TEST_F(DialogRecord, OneNameGivesThePathAndTheIndexThePlatformLeft) {
  DialogCall call = inMode(2);
  call.name = "a";
  call.directory = "C:\\data";
  call.title = "T";
  const Result result = callAnswered(call, chooses("C:\\data\\a.txt", 2));
  EXPECT_THAT(result, ::testing::Optional(ElementsAre("C:\\data\\a.txt", "2")));
  EXPECT_THAT(jni_.calls(),
              ElementsAre("NewStringUTF ", "FindClass java/lang/String", "NewObjectArray 2",
                          "NewStringUTF C:\\data\\a.txt", "SetObjectArrayElement 0 C:\\data\\a.txt",
                          "DeleteLocalRef C:\\data\\a.txt", "NewStringUTF 2", "SetObjectArrayElement 1 2",
                          "DeleteLocalRef 2", "ReleaseStringUTFChars a", "ReleaseStringUTFChars C:\\data",
                          "ReleaseStringUTFChars T"));
}

TEST_F(DialogRecord, MultipleSelectionGivesTheFolderThenEachName) {
  DialogCall call = inMode(1, OFN_ALLOWMULTISELECT);
  const std::string names("C:\\data\0a.txt\0b.txt\0c.txt\0", 26);
  EXPECT_THAT(callAnswered(call, chooses(names, 1)),
              ::testing::Optional(ElementsAre("C:\\data", "a.txt", "b.txt", "c.txt", "1")));
  // One file chosen: the platform gives its full path alone.
  EXPECT_THAT(callAnswered(call, chooses("C:\\data\\a.txt", 3)),
              ::testing::Optional(ElementsAre("C:\\data\\a.txt", "3")));
}

// Forty chosen names, or a filter array of forty elements, stay within the
// local references a JVM guarantees a call: each element's reference goes
// as soon as the array holds it, or its bytes are copied.
TEST_F(DialogRecord, ManyNamesOrFiltersHoldFewLocalReferences) {
  std::string names = std::string("C:\\data") + '\0';
  std::vector<std::string> expected = {"C:\\data"};
  std::vector<std::string> filters;
  for (int i = 0; i < 40; ++i) {
    expected.push_back("file" + std::to_string(i) + ".txt");
    names += expected.back() + '\0';
    filters.push_back(i % 2 == 0 ? "Type " + std::to_string(i) : "*.t" + std::to_string(i));
  }
  expected.push_back("1");
  DialogCall call = inMode(1, OFN_ALLOWMULTISELECT);
  call.filters = FilterArray(filters.begin(), filters.end());
  EXPECT_THAT(callAnswered(call, chooses(names, 1)),
              ::testing::Optional(::testing::ElementsAreArray(expected)));
  ASSERT_THAT(seenDialogs, SizeIs(1));
  EXPECT_EQ(seenDialogs[0].filterList, filterListBytes(filters));
  EXPECT_THAT(jni_.callsStartingWith("DeleteLocalRef"), SizeIs(42));  // the result's elements
  EXPECT_LE(jni_.peakLocalReferences(), 4);
}

TEST_F(DialogRecord, AFullMultipleSelectionBufferIsReadNoFurtherThanItsEnd) {
  DialogCall call = inMode(1, OFN_ALLOWMULTISELECT);
  // "a" NUL "a" NUL ... over all 32767 bytes the dialog may write, the last
  // one an 'a': no empty string ends the names inside the dialog's part.
  const Result result = callAnswered(call, [](OPENFILENAMEA& record) {
    for (DWORD i = 0; i < record.nMaxFile; ++i) record.lpstrFile[i] = i % 2 == 0 ? 'a' : '\0';
    return TRUE;
  });
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->size(), 16384u + 1u);
  EXPECT_EQ(result->at(16383), "a");
}

TEST_F(DialogRecord, AnyAnswerButOneIsNoChoice) {
  DialogCall call = inMode(1);
  call.name = "n";
  for (BOOL answer : {0, 2, -1}) {
    EXPECT_FALSE(callAnswered(call, [answer](OPENFILENAMEA& record) {
                   record.lpstrFile[0] = 'x';
                   return answer;
                 }).has_value());
    EXPECT_THAT(jni_.calls(), ElementsAre("ReleaseStringUTFChars n"));
  }
}

TEST_F(DialogRecord, OtherModesShowNoDialog) {
  for (jint mode : {0, 4, -1, 0x7FFFFFFF}) {
    DialogCall call = inMode(mode);
    call.name = "n";
    EXPECT_FALSE(this->call(call).has_value());
  }
  EXPECT_THAT(seenDialogs, IsEmpty());
}

TEST_F(DialogRecord, AFailedBorrowEndsTheCallBeforeAnyDialog) {
  DialogCall call = inMode(2);
  jstring name = jni_.string("name");
  jstring directory = jni_.string("C:\\");
  jstring title = jni_.string("title");
  auto show = [&] {
    jni_.clearCalls();
    return VANTREL(getOpenSaveFileName)(jni_.env(), nullptr, 2, 0, nullptr, 1, name, directory, title, 0);
  };
  jni_.failBorrowOf(title);
  EXPECT_EQ(show(), nullptr);
  EXPECT_THAT(jni_.calls(),
              ElementsAre("GetStringUTFChars name", "GetStringUTFChars C:\\", "GetStringUTFChars title",
                          "ReleaseStringUTFChars name", "ReleaseStringUTFChars C:\\"));
  jni_.failBorrowOf(directory);
  EXPECT_EQ(show(), nullptr);
  EXPECT_THAT(jni_.calls(),
              ElementsAre("GetStringUTFChars name", "GetStringUTFChars C:\\", "ReleaseStringUTFChars name"));
  jni_.failBorrowOf(name);
  EXPECT_EQ(show(), nullptr);
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars name"));

  // A filter element's bytes.
  jobjectArray filters = jni_.stringArray({"Text", "*.txt"});
  jni_.failBorrowOf(static_cast<jstring>(jni_.env()->GetObjectArrayElement(filters, 1)));
  jni_.clearCalls();
  EXPECT_EQ(VANTREL(getOpenSaveFileName)(jni_.env(), nullptr, 1, 0, filters, 1, nullptr, nullptr, nullptr, 0),
            nullptr);
  EXPECT_THAT(jni_.calls(), ElementsAre("GetArrayLength", "GetObjectArrayElement 0", "GetStringUTFChars Text",
                                        "ReleaseStringUTFChars Text", "DeleteLocalRef Text",
                                        "GetObjectArrayElement 1", "GetStringUTFChars *.txt"));
  EXPECT_THAT(seenDialogs, IsEmpty());
}

TEST_F(DialogRecord, AResultArrayTheJvmCannotMakeGivesNullAndTheStringsBack) {
  DialogCall call = inMode(1);
  call.name = "n";
  call.title = "t";
  jni_.failNewObjectArray();
  EXPECT_FALSE(callAnswered(call, chooses("C:\\n", 1)).has_value());
  EXPECT_THAT(jni_.calls(), ElementsAre("NewStringUTF ", "FindClass java/lang/String", "NewObjectArray 2",
                                        "ReleaseStringUTFChars n", "ReleaseStringUTFChars t"));
}

}  // namespace
