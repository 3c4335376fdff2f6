// getSHFolderPath against Wine's shell, and through a stand-in entry point
// for the answers Wine will not give on demand.

#include <windows.h>
#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "support/child_process.h"
#include "support/fake_jni.h"
#include "support/import_hook.h"
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

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return static_cast<char>(tolower(c)); });
  return text;
}

// The platform's system folder, lower case, with its final backslash.
std::string systemFolder() {
  char folder[MAX_PATH] = {};
  GetSystemDirectoryA(folder, sizeof folder);
  return lowerCase(folder) + "\\";
}

TEST_F(SpecialFolders, LibraryComesFromTheSystemFolderAndIsFreedAfterTheResultIsMade) {
  support::LibraryLoadWatch watch(&jni_);
  ASSERT_TRUE(watch.installed());
  ASSERT_TRUE(folderPath(CSIDL_WINDOWS).has_value());
  EXPECT_THAT(watch.eventTexts(), ElementsAre("LoadLibraryExA shfolder.dll 0x800",
                                              "GetProcAddress SHGetFolderPathA", "FreeLibrary shfolder.dll"));
  EXPECT_EQ(watch.events().back().jniCalls, 1u);  // NewStringUTF came first
  EXPECT_EQ(watch.unbalancedLoads(), 0);
}

// A library of that name beside the program is the one a search by name
// finds first. Wine then maps its own library under the planted file's
// name, which the loaded module's file name shows. The call runs in a child
// process: a planted copy that did get loaded would stay in the process.
CHILD_SCENARIO(callWithACopyPlantedBesideTheProgram) {
  fakejni::Env jni;
  support::LibraryLoadWatch watch(&jni);
  if (!watch.installed()) return 100;
  const std::optional<std::string> path =
      jni.text(VANTREL(getSHFolderPath)(jni.env(), nullptr, CSIDL_WINDOWS));
  HRESULT result = E_FAIL;
  if (path != platformFolderPath(CSIDL_WINDOWS, &result)) return 101;
  for (const std::string& file : watch.loadedFiles()) support::childNote(lowerCase(file));
  return 0;
}

TEST(PlantedLibrary, ACopyBesideTheProgramIsNeverLoaded) {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string planted = program;
  planted = planted.substr(0, planted.rfind('\\') + 1) + "shfolder.dll";
  ASSERT_TRUE(CopyFileA(support::vantrelPath().c_str(), planted.c_str(), FALSE));
  const support::ChildResult child = support::runChild("callWithACopyPlantedBesideTheProgram");
  EXPECT_TRUE(DeleteFileA(planted.c_str()));
  EXPECT_EQ(child.exitCode, 0u) << "100: no watch, 101: not the shell's path";
  EXPECT_EQ(child.notes, systemFolder() + "shfolder.dll\n");
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
  EXPECT_THAT(watch_.eventTexts(),
              ElementsAre("LoadLibraryExA shfolder.dll 0x800", "GetProcAddress SHGetFolderPathA",
                          "FreeLibrary shfolder.dll"));
  EXPECT_THAT(jni_.calls(), ElementsAre());
}

TEST_F(ScriptedSpecialFolders, LibraryThatCannotBeLoadedGivesNullAndIsNotLookedForElsewhere) {
  for (DWORD error : {ERROR_MOD_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_BAD_EXE_FORMAT}) {
    support::LibraryLoadWatch watch(&jni_);
    watch.replaceEntry("SHGetFolderPathA", &scriptedGetFolderPath);
    watch.failLoadOf("shfolder.dll", error);
    EXPECT_EQ(folderPath(CSIDL_APPDATA), std::nullopt) << error;
    EXPECT_THAT(watch.eventTexts(), ElementsAre("LoadLibraryExA shfolder.dll 0x800 failed"));
  }
  EXPECT_EQ(scripted.calls, 0);
  EXPECT_THAT(jni_.calls(), ElementsAre());
}

// Systems without the loader update refuse the flag: the full path in the
// system folder instead, never the bare name.
TEST_F(ScriptedSpecialFolders, ASystemThatRefusesTheFlagLoadsByTheFullPath) {
  watch_.failLoadOf("shfolder.dll", ERROR_INVALID_PARAMETER);
  scripted.path = "C:\\scripted";
  EXPECT_EQ(folderPath(CSIDL_APPDATA), "C:\\scripted");
  char folder[MAX_PATH] = {};
  GetSystemDirectoryA(folder, sizeof folder);
  const std::string fullPath = folder + std::string("\\shfolder.dll");
  EXPECT_THAT(watch_.eventTexts(),
              ElementsAre("LoadLibraryExA shfolder.dll 0x800 failed", "LoadLibraryExA " + fullPath + " 0x8",
                          "GetProcAddress SHGetFolderPathA", "FreeLibrary " + fullPath));
  ASSERT_EQ(watch_.loadedFiles().size(), 1u);
  EXPECT_EQ(lstrcmpiA(watch_.loadedFiles()[0].c_str(), fullPath.c_str()), 0);
}

// The system folder as a stand-in reports it: a failure (0), or the size
// it would need.
UINT systemFolderAnswer = 0;
UINT WINAPI scriptedSystemDirectory(LPSTR buffer, UINT size) {
  if (size > 0) buffer[0] = '\0';
  return systemFolderAnswer;
}

TEST_F(ScriptedSpecialFolders, WithoutAReadableSystemFolderThereIsNoFallback) {
  support::ImportHook hook(support::vantrelModule(), "KERNEL32.dll", "GetSystemDirectoryA",
                           &scriptedSystemDirectory);
  ASSERT_TRUE(hook.installed());
  watch_.failLoadOf("shfolder.dll", ERROR_INVALID_PARAMETER);
  for (UINT answer : {0u, 260u, 261u, 32768u}) {
    systemFolderAnswer = answer;
    EXPECT_EQ(folderPath(CSIDL_APPDATA), std::nullopt) << answer;
  }
  EXPECT_THAT(watch_.eventTexts(), ::testing::Each("LoadLibraryExA shfolder.dll 0x800 failed"));
  EXPECT_EQ(scripted.calls, 0);
}

}  // namespace
