// getLogicalDrives against Wine's drive list and against scripted lists.

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "drives_fixture.h"

namespace {

using drivetest::hookKernel;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class LogicalDrives : public drivetest::DrivesTest {
 protected:
  jobjectArray list() { return VANTREL(getLogicalDrives)(jni_.env(), nullptr); }
};

// The calls that make an array of `roots`, element by element, each
// element's reference dropped once the array holds it.
std::vector<std::string> arrayCalls(const std::vector<std::string>& roots) {
  std::vector<std::string> calls = {"NewStringUTF ", "FindClass java/lang/String",
                                    "NewObjectArray " + std::to_string(roots.size())};
  for (std::size_t i = 0; i < roots.size(); ++i) {
    calls.push_back("NewStringUTF " + roots[i]);
    calls.push_back("SetObjectArrayElement " + std::to_string(i) + " " + roots[i]);
    calls.push_back("DeleteLocalRef " + roots[i]);
  }
  return calls;
}

TEST_F(LogicalDrives, AreThePlatformsRootsInItsOrder) {
  const std::vector<std::string> expected = drivetest::platformDrives();
  ASSERT_FALSE(expected.empty());
  EXPECT_THAT(jni_.strings(list()).value_or(std::vector<std::string>{"<null>"}), ElementsAreArray(expected));
  EXPECT_THAT(jni_.calls(), ElementsAreArray(arrayCalls(expected)));
}

// A platform stand-in that writes a scripted list and reports a scripted
// length, recording what it was given.
struct {
  std::string written;
  DWORD length = 0;
  int calls = 0;
  DWORD size = 0;
  bool bufferWasClear = false;
} script;

DWORD WINAPI scriptedDriveStrings(DWORD size, LPSTR buffer) {
  ++script.calls;
  script.size = size;
  script.bufferWasClear = std::all_of(buffer, buffer + size, [](char c) { return c == '\0'; });
  std::copy_n(script.written.data(), std::min<std::size_t>(script.written.size(), size), buffer);
  return script.length;
}

class ScriptedDrives : public LogicalDrives {
 protected:
  void SetUp() override {
    LogicalDrives::SetUp();
    script = {};
    ASSERT_TRUE(hook_.installed());
  }
  std::optional<std::vector<std::string>> listOf(const std::string& written, DWORD length) {
    script.written = written;
    script.length = length;
    return jni_.strings(list());
  }

  support::ImportHook hook_ = hookKernel("GetLogicalDriveStringsA", &scriptedDriveStrings);
};

TEST_F(ScriptedDrives, AnUnreadableListIsNullNotAnEmptyArray) {
  EXPECT_EQ(listOf("", 0), std::nullopt);
  EXPECT_EQ(script.calls, 1);
  EXPECT_EQ(script.size, 256u);
  EXPECT_TRUE(script.bufferWasClear);
  // A length with no entry in it is no list either.
  EXPECT_EQ(listOf(std::string(8, '\0'), 4), std::nullopt);
  EXPECT_THAT(jni_.calls(), ElementsAre());
}

TEST_F(ScriptedDrives, DrivesACAndDGiveThreeRootsInOrder) {
  const auto roots = listOf(std::string("A:\\\0C:\\\0D:\\\0\0", 13), 12);
  EXPECT_THAT(roots.value_or(std::vector<std::string>{}), ElementsAre("A:\\", "C:\\", "D:\\"));
  EXPECT_THAT(jni_.calls(), ElementsAreArray(arrayCalls({"A:\\", "C:\\", "D:\\"})));
  EXPECT_EQ(script.size, 256u);
  EXPECT_TRUE(script.bufferWasClear);
}

TEST_F(ScriptedDrives, OneDriveAndAllTwentySix) {
  EXPECT_THAT(listOf(std::string("C:\\\0\0", 5), 4).value_or(std::vector<std::string>{}),
              ElementsAre("C:\\"));

  std::string all;
  std::vector<std::string> roots;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    roots.push_back(std::string(1, letter) + ":\\");
    all += roots.back() + '\0';
  }
  jni_.clearCalls();
  EXPECT_THAT(listOf(all + '\0', static_cast<DWORD>(all.size())).value_or(std::vector<std::string>{}),
              ElementsAreArray(roots));
  EXPECT_THAT(jni_.calls(), ElementsAreArray(arrayCalls(roots)));
  // The empty string, the class, the array and one element at a time.
  EXPECT_EQ(jni_.peakLocalReferences(), 4);
}

TEST_F(ScriptedDrives, EveryElementIsExactlyOneEntryWhateverItsForm) {
  // Entries not of the letter-colon-backslash form, and empty ones, which
  // carry no drive.
  static const char kWritten[] = "C:\0\\\\?\\Volume{1}\\\0\0D:\\";
  const std::string written(kWritten, sizeof kWritten);
  EXPECT_THAT(listOf(written + '\0', static_cast<DWORD>(written.size())).value_or(std::vector<std::string>{}),
              ElementsAre("C:", "\\\\?\\Volume{1}\\", "D:\\"));
  EXPECT_THAT(jni_.callsStartingWith("NewObjectArray"), ElementsAre("NewObjectArray 3"));
}

TEST_F(ScriptedDrives, ABufferTooSmallIsAFailureWithNoArray) {
  // The platform reports the size it needs; what it wrote is not a list.
  for (DWORD length : {256u, 257u, 1000u}) {
    EXPECT_EQ(listOf(std::string(256, 'x'), length), std::nullopt) << length;
  }
  EXPECT_THAT(jni_.calls(), ElementsAre());
  // 255 still fits with its closing NUL in the last byte.
  const std::string longest = std::string(254, 'y') + '\0';
  EXPECT_THAT(listOf(longest + '\0', 255).value_or(std::vector<std::string>{}),
              ElementsAre(std::string(254, 'y')));
}

TEST_F(ScriptedDrives, AnArrayTheJvmCannotMakeEndsTheCallWithNull) {
  jni_.failNewObjectArray();
  EXPECT_EQ(listOf(std::string("A:\\\0C:\\\0D:\\\0\0", 13), 12), std::nullopt);
  EXPECT_THAT(jni_.calls(), ElementsAre("NewStringUTF ", "FindClass java/lang/String", "NewObjectArray 3"));
}

}  // namespace
