// getSHFolderPath against Wine's shell, and through a stand-in entry point
// for the answers Wine will not give on demand.

#include <windows.h>
#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/fake_jni.h"
#include "support/jni_test.h"
#include "support/library_load_watch.h"
#include "support/vantrel_dll.h"

namespace {

using ::testing::ElementsAre;

// What the shell itself answers, through its own export.
std::string platformFolderPath(int folder, HRESULT* result) {
  char path[MAX_PATH] = {};
  *result = SHGetFolderPathA(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

class SpecialFolders : public support::JniTest {
 protected:
  std::optional<std::string> folderPath(jint folder) {
    return jni_.text(VANTREL(getSHFolderPath)(jni_.env(), nullptr, folder));
  }
};

TEST_F(SpecialFolders, PathsAreWhatTheShellAnswers) {
  for (int folder : {CSIDL_APPDATA, CSIDL_PERSONAL, CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROGRAM_FILES,
                     CSIDL_LOCAL_APPDATA, CSIDL_PROFILE, CSIDL_APPDATA | CSIDL_FLAG_CREATE}) {
    SCOPED_TRACE(folder);
    HRESULT result = E_FAIL;
    const std::string expected = platformFolderPath(folder, &result);
    ASSERT_TRUE(SUCCEEDED(result));
    ASSERT_FALSE(expected.empty());
    jni_.clearCalls();
    EXPECT_EQ(folderPath(folder), expected);
    EXPECT_THAT(jni_.calls(), ElementsAre("NewStringUTF " + expected));
  }
}

TEST_F(SpecialFolders, NumberTheShellRejectsGivesNull) {
  HRESULT result = S_OK;
  platformFolderPath(0x7F, &result);
  ASSERT_TRUE(FAILED(result));
  EXPECT_EQ(folderPath(0x7F), std::nullopt);
  EXPECT_EQ(folderPath(-1), std::nullopt);
  EXPECT_THAT(jni_.calls(), ElementsAre());
}

TEST_F(SpecialFolders, LibraryIsLoadedByNameAndFreedAfterTheResultIsMade) {
  support::LibraryLoadWatch watch(&jni_);
  ASSERT_TRUE(watch.installed());
  ASSERT_TRUE(folderPath(CSIDL_WINDOWS).has_value());
  EXPECT_THAT(watch.eventTexts(), ElementsAre("LoadLibraryA shfolder", "GetProcAddress SHGetFolderPathA",
                                              "FreeLibrary shfolder"));
  EXPECT_EQ(watch.events().back().jniCalls, 1u);  // NewStringUTF came first
  EXPECT_EQ(watch.unbalancedLoads(), 0);
}

// A stand-in for the shell-folder entry point: records its arguments and
// answers what the test scripts.
struct Scripted {
  HRESULT result = S_OK;
  std::string path;  // written when not empty
  bool fillWholeBuffer = false;
  int calls = 0;
  HWND owner = reinterpret_cast<HWND>(1);
  int folder = 0;
  HANDLE token = reinterpret_cast<HANDLE>(1);
  DWORD flags = 1;
  bool bufferStartedEmpty = false;
} scripted;

HRESULT WINAPI scriptedGetFolderPath(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path) {
  ++scripted.calls;
  scripted.owner = owner;
  scripted.folder = folder;
  scripted.token = token;
  scripted.flags = flags;
  scripted.bufferStartedEmpty = path[0] == '\0';
  if (scripted.fillWholeBuffer) {
    std::memset(path, 'x', MAX_PATH);
  } else if (!scripted.path.empty()) {
    std::memcpy(path, scripted.path.c_str(), scripted.path.size() + 1);
  }
  return scripted.result;
}

class ScriptedSpecialFolders : public SpecialFolders {
 protected:
  void SetUp() override {
    scripted = Scripted();
    ASSERT_TRUE(watch_.installed());
    watch_.replaceEntry("SHGetFolderPathA", &scriptedGetFolderPath);
  }
  void TearDown() override {
    EXPECT_EQ(watch_.unbalancedLoads(), 0);
    SpecialFolders::TearDown();
  }

  support::LibraryLoadWatch watch_{&jni_};
};

TEST_F(ScriptedSpecialFolders, ArgumentsReachTheEntryPointUnchanged) {
  scripted.path = "C:\\scripted";
  EXPECT_EQ(folderPath(0x8005), "C:\\scripted");
  EXPECT_EQ(scripted.calls, 1);
  EXPECT_EQ(scripted.owner, nullptr);
  EXPECT_EQ(scripted.folder, 0x8005);
  EXPECT_EQ(scripted.token, nullptr);
  EXPECT_EQ(scripted.flags, 0u);  // the folder's current path
  EXPECT_TRUE(scripted.bufferStartedEmpty);
  EXPECT_EQ(folderPath(static_cast<jint>(0xFFFF0005)), "C:\\scripted");
  EXPECT_EQ(scripted.folder, static_cast<int>(0xFFFF0005));
}

TEST_F(ScriptedSpecialFolders, NegativeResultGivesNullAndPositiveResultCountsAsSuccess) {
  scripted.path = "C:\\written anyway";
  scripted.result = E_FAIL;
  EXPECT_EQ(folderPath(CSIDL_APPDATA), std::nullopt);
  scripted.result = static_cast<HRESULT>(0x80000000);
  EXPECT_EQ(folderPath(CSIDL_APPDATA), std::nullopt);
  EXPECT_THAT(jni_.calls(), ElementsAre());

  scripted.path = "C:\\false but found";
  scripted.result = S_FALSE;
  EXPECT_EQ(folderPath(CSIDL_APPDATA), "C:\\false but found");
  scripted.result = 0x7FFFFFFF;
  EXPECT_EQ(folderPath(CSIDL_APPDATA), "C:\\false but found");
  EXPECT_EQ(scripted.calls, 4);
  // Every load freed, on the failure paths too.
  EXPECT_EQ(watch_.unbalancedLoads(), 0);
}

TEST_F(ScriptedSpecialFolders, SuccessWithoutAPathGivesTheEmptyString) {
  scripted.result = S_OK;
  EXPECT_EQ(folderPath(CSIDL_APPDATA), "");
  EXPECT_TRUE(scripted.bufferStartedEmpty);
}

TEST_F(ScriptedSpecialFolders, LongestPathComesBackWholeAndAnUnterminatedOneAsNull) {
  scripted.path = "C:\\" + std::string(MAX_PATH - 4, 'p');
  ASSERT_EQ(scripted.path.size(), 259u);
  EXPECT_EQ(folderPath(CSIDL_APPDATA), scripted.path);
  scripted.fillWholeBuffer = true;
  jni_.clearCalls();
  EXPECT_EQ(folderPath(CSIDL_APPDATA), std::nullopt);
  EXPECT_THAT(jni_.calls(), ElementsAre());
}

TEST_F(ScriptedSpecialFolders, MissingEntryPointGivesNullAndStillFreesTheLibrary) {
  watch_.removeEntry("SHGetFolderPathA");
  EXPECT_EQ(folderPath(CSIDL_APPDATA), std::nullopt);
  EXPECT_EQ(scripted.calls, 0);
  EXPECT_THAT(watch_.eventTexts(), ElementsAre("LoadLibraryA shfolder", "GetProcAddress SHGetFolderPathA",
                                               "FreeLibrary shfolder"));
  EXPECT_THAT(jni_.calls(), ElementsAre());
}

TEST_F(ScriptedSpecialFolders, LibraryThatCannotBeLoadedGivesNull) {
  watch_.failLoadOf("shfolder");
  EXPECT_EQ(folderPath(CSIDL_APPDATA), std::nullopt);
  EXPECT_EQ(scripted.calls, 0);
  EXPECT_THAT(watch_.eventTexts(), ElementsAre("LoadLibraryA shfolder failed"));
  EXPECT_THAT(jni_.calls(), ElementsAre());
}

}  // namespace
