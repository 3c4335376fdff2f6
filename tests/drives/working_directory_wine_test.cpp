// getCurrentDirectory and setCurrentDirectory against Wine's kernel.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "support/fake_jni.h"
#include "support/import_hook.h"
#include "support/jni_test.h"
#include "support/vantrel_dll.h"

namespace {

using ::testing::ElementsAre;

std::string platformCurrentDirectory() {
  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof directory, directory);
  return directory;
}

std::string temporaryDirectory() {
  char path[MAX_PATH] = {};
  GetTempPathA(sizeof path, path);
  return path;
}

class WorkingDirectory : public support::JniTest {
 protected:
  void SetUp() override { saved_ = platformCurrentDirectory(); }
  void TearDown() override {
    SetCurrentDirectoryA(saved_.c_str());
    JniTest::TearDown();
  }

  jboolean set(jstring path) { return VANTREL(setCurrentDirectory)(jni_.env(), nullptr, path); }
  std::string get() {
    return jni_.text(VANTREL(getCurrentDirectory)(jni_.env(), nullptr)).value_or("<null>");
  }

  std::string saved_;
};

TEST_F(WorkingDirectory, GetAnswersWhatThePlatformAnswers) {
  EXPECT_EQ(get(), platformCurrentDirectory());
  EXPECT_THAT(jni_.calls(), ElementsAre("NewStringUTF " + platformCurrentDirectory()));
}

TEST_F(WorkingDirectory, SetToAnExistingDirectoryChangesItForTheWholeProcess) {
  const std::string target = temporaryDirectory();
  jstring path = jni_.string(target);
  EXPECT_EQ(set(path), JNI_TRUE);
  // The platform's own form: it drops the trailing backslash of a non-root.
  std::string expected = target;
  if (expected.size() > 3 && expected.back() == '\\') expected.pop_back();
  EXPECT_EQ(platformCurrentDirectory(), expected);
  EXPECT_EQ(get(), expected);
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars " + target, "ReleaseStringUTFChars " + target,
                                        "NewStringUTF " + expected));
}

TEST_F(WorkingDirectory, RelativePathsAreThePlatformsToResolve) {
  ASSERT_EQ(set(jni_.string("C:\\windows")), JNI_TRUE);
  EXPECT_EQ(set(jni_.string("system32")), JNI_TRUE);
  EXPECT_STRCASEEQ(get().c_str(), "C:\\windows\\system32");
  EXPECT_EQ(set(jni_.string("..")), JNI_TRUE);
  EXPECT_STRCASEEQ(get().c_str(), "C:\\windows");
}

TEST_F(WorkingDirectory, SetToAMissingDirectoryFailsAndChangesNothing) {
  const std::string before = get();
  jstring missing = jni_.string("C:\\no\\such\\directory");
  EXPECT_EQ(set(missing), JNI_FALSE);
  EXPECT_EQ(get(), before);
  EXPECT_EQ(jni_.borrowCount(), 1);
  EXPECT_EQ(set(jni_.string("")), JNI_FALSE);
  EXPECT_EQ(get(), before);
}

int setCalls = 0;
BOOL WINAPI countingSetCurrentDirectory(LPCSTR) {
  ++setCalls;
  return TRUE;
}

TEST_F(WorkingDirectory, NullOrUnborrowablePathGivesFalseWithoutAPlatformCall) {
  support::ImportHook hook(support::vantrelModule(), "KERNEL32.dll", "SetCurrentDirectoryA",
                           &countingSetCurrentDirectory);
  ASSERT_TRUE(hook.installed());
  setCalls = 0;
  EXPECT_EQ(set(nullptr), JNI_FALSE);
  EXPECT_THAT(jni_.calls(), ElementsAre());

  jstring path = jni_.string("C:\\");
  jni_.failBorrowOf(path);
  EXPECT_EQ(set(path), JNI_FALSE);
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars C:\\"));  // nothing to give back
  EXPECT_EQ(setCalls, 0);
}

BOOL scriptedResult = 0;
BOOL WINAPI scriptedSetCurrentDirectory(LPCSTR) { return scriptedResult; }

TEST_F(WorkingDirectory, ResultIsTheSuccessFlagsLowByte) {
  support::ImportHook hook(support::vantrelModule(), "KERNEL32.dll", "SetCurrentDirectoryA",
                           &scriptedSetCurrentDirectory);
  ASSERT_TRUE(hook.installed());
  scriptedResult = 0x100;
  EXPECT_EQ(set(jni_.string("C:\\")), 0);
  scriptedResult = 0x101;
  EXPECT_EQ(set(jni_.string("C:\\")), 1);
  scriptedResult = 1;
  EXPECT_EQ(set(jni_.string("C:\\")), 1);
}

// A directory path of exactly `length` characters below the temporary
// folder, made with the wide functions (the byte-string ones stop short).
std::string directoryOfLength(std::size_t length) {
  std::string path = temporaryDirectory() + "vantrel-deep";
  CreateDirectoryA(path.c_str(), nullptr);
  while (path.size() < length) {
    std::size_t step = std::min<std::size_t>(40, length - path.size() - 1);
    if (step == 0) step = 1;
    path += "\\" + std::string(step, 'd');
    if (path.size() > length) path.resize(length);
    std::wstring wide = L"\\\\?\\";
    for (char c : path) wide += static_cast<wchar_t>(c);
    CreateDirectoryW(wide.c_str(), nullptr);
  }
  return path;
}

TEST_F(WorkingDirectory, LongestDirectoryComesBackWholeAndALongerOneAsEmpty) {
  const std::string longest = directoryOfLength(259);
  ASSERT_EQ(longest.size(), 259u);
  ASSERT_EQ(set(jni_.string(longest)), JNI_TRUE) << "error " << GetLastError();
  EXPECT_EQ(get(), longest);

  const std::string tooLong = directoryOfLength(260);
  if (!SetCurrentDirectoryA(tooLong.c_str()))
    GTEST_SKIP() << "the platform refuses a 260-character directory";
  EXPECT_EQ(get(), "");
}

DWORD WINAPI reportsTooSmallAndWritesAnyway(DWORD size, LPSTR buffer) {
  // A platform that writes what fits before reporting the size it needs
  // must still not produce a cut path.
  for (DWORD i = 0; i + 1 < size; ++i) buffer[i] = 'x';
  buffer[size - 1] = '\0';
  return 300;
}

DWORD WINAPI failsWithoutWriting(DWORD, LPSTR) { return 0; }

TEST_F(WorkingDirectory, TooSmallOrFailedReadGivesTheEmptyString) {
  {
    support::ImportHook hook(support::vantrelModule(), "KERNEL32.dll", "GetCurrentDirectoryA",
                             &reportsTooSmallAndWritesAnyway);
    ASSERT_TRUE(hook.installed());
    EXPECT_EQ(get(), "");
  }
  {
    support::ImportHook hook(support::vantrelModule(), "KERNEL32.dll", "GetCurrentDirectoryA",
                             &failsWithoutWriting);
    EXPECT_EQ(get(), "");
  }
}

TEST_F(WorkingDirectory, BytesCrossUnconverted) {
  // U+00E4 arrives from Java as the modified UTF-8 bytes C3 A4, which the
  // ANSI functions read as two code-page characters; the directory with
  // those two bytes in its name is the one that is entered.
  const std::string twoBytes = temporaryDirectory() + "vantrel-\xC3\xA4";
  ASSERT_TRUE(CreateDirectoryA(twoBytes.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_EQ(set(jni_.string(twoBytes)), JNI_TRUE);
  EXPECT_EQ(platformCurrentDirectory(), twoBytes);
  // And the code-page byte E4 comes back to Java as that single byte.
  const std::string oneByte = temporaryDirectory() + "vantrel-\xE4";
  ASSERT_TRUE(CreateDirectoryA(oneByte.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(SetCurrentDirectoryA(oneByte.c_str()));
  EXPECT_EQ(get(), oneByte);
}

}  // namespace
