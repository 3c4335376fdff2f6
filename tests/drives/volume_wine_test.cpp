// getVolumeLabel, setVolumeLabel and getVolumeSerialNumber against Wine and
// scripted answers.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "drives_fixture.h"

namespace {

using drivetest::hookKernel;
using ::testing::ElementsAre;

class Volume : public drivetest::DrivesTest {
 protected:
  std::string label(jstring root) { return textOf(VANTREL(getVolumeLabel)(jni_.env(), nullptr, root)); }
  std::string serial(jstring root) {
    return textOf(VANTREL(getVolumeSerialNumber)(jni_.env(), nullptr, root));
  }
  jboolean setLabel(jstring root, jstring text) {
    return VANTREL(setVolumeLabel)(jni_.env(), nullptr, root, text);
  }
};

std::string platformLabel(const std::string& root) {
  char label[MAX_PATH] = {};
  GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
  return label;
}

std::string platformSerialText(const std::string& root) {
  DWORD serial = 0;
  GetVolumeInformationA(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
  char text[16];
  std::snprintf(text, sizeof text, "%04X-%04X", static_cast<unsigned>(serial >> 16),
                static_cast<unsigned>(serial & 0xFFFF));
  return text;
}

TEST_F(Volume, LabelAndSerialAreWhatThePlatformAnswersForEveryDrive) {
  for (const std::string& root : drivetest::platformDrives()) {
    EXPECT_EQ(label(jni_.string(root)), platformLabel(root)) << root;
    EXPECT_EQ(serial(jni_.string(root)), platformSerialText(root)) << root;
  }
  // Wine makes C:'s serial from its letter, so its halves show both the
  // upper-case digits and the kept zeros.
  EXPECT_EQ(serial(jni_.string("C:\\")), "4300-0000");
}

TEST_F(Volume, ARootNamingNoDriveGivesTheEmptyLabelAndZeroSerial) {
  const std::string root = drivetest::unusedRoot();
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(label(jni_.string(root)), "");
  EXPECT_EQ(serial(jni_.string(root)), "0000-0000");
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars " + root, "ReleaseStringUTFChars " + root,
                                        "NewStringUTF ", "GetStringUTFChars " + root,
                                        "ReleaseStringUTFChars " + root, "NewStringUTF 0000-0000"));
}

// What the volume stand-in saw, and what it answers.
struct {
  int calls = 0;
  std::string root;
  std::vector<std::string> callsDuring;
  int borrowedDuring = -1;
  bool nameBuffer = false, nameBufferWasClear = false, serialPointer = false, outputsWereClear = false;
  DWORD nameSize = 0xDEAD, fileSystemNameSize = 0xDEAD;
  bool fileSystemBuffer = true;
  BOOL result = TRUE;
  std::string labelWritten;
  bool fillWholeBuffer = false;
  DWORD serialWritten = 0;
} volume;

BOOL WINAPI scriptedVolumeInformation(LPCSTR root, LPSTR name, DWORD nameSize, LPDWORD serialNumber,
                                      LPDWORD maximumComponentLength, LPDWORD flags, LPSTR fileSystem,
                                      DWORD fileSystemSize) {
  ++volume.calls;
  volume.root = root != nullptr ? root : "<NULL>";
  volume.callsDuring = drivetest::callsSoFar();
  volume.borrowedDuring = drivetest::borrowedNow();
  volume.nameBuffer = name != nullptr;
  volume.nameSize = nameSize;
  volume.serialPointer = serialNumber != nullptr;
  volume.fileSystemBuffer = fileSystem != nullptr;
  volume.fileSystemNameSize = fileSystemSize;
  volume.outputsWereClear = maximumComponentLength != nullptr && *maximumComponentLength == 0 &&
                            flags != nullptr && *flags == 0 &&
                            (serialNumber == nullptr || *serialNumber == 0);
  if (maximumComponentLength != nullptr) *maximumComponentLength = 255;
  if (flags != nullptr) *flags = 0x3;
  if (name != nullptr) {
    volume.nameBufferWasClear = std::all_of(name, name + nameSize, [](char c) { return c == '\0'; });
    if (volume.fillWholeBuffer) {
      std::memset(name, 'L', nameSize);
    } else {
      std::memcpy(name, volume.labelWritten.c_str(), volume.labelWritten.size() + 1);
    }
  }
  if (serialNumber != nullptr) *serialNumber = volume.serialWritten;
  return volume.result;
}

class ScriptedVolume : public Volume {
 protected:
  void SetUp() override {
    Volume::SetUp();
    volume = {};
    ASSERT_TRUE(hook_.installed());
  }
  support::ImportHook hook_ = hookKernel("GetVolumeInformationA", &scriptedVolumeInformation);
};

TEST_F(ScriptedVolume, LabelIsReadIntoAClearedBufferOf256WithoutSerialOrFileSystem) {
  volume.labelWritten = "DATA";
  EXPECT_EQ(label(jni_.string("D:\\")), "DATA");
  EXPECT_EQ(volume.root, "D:\\");
  EXPECT_TRUE(volume.nameBuffer);
  EXPECT_TRUE(volume.nameBufferWasClear);
  EXPECT_EQ(volume.nameSize, 256u);
  EXPECT_FALSE(volume.serialPointer);
  EXPECT_TRUE(volume.outputsWereClear);
  EXPECT_FALSE(volume.fileSystemBuffer);
  EXPECT_EQ(volume.fileSystemNameSize, 0u);
  EXPECT_THAT(volume.callsDuring, ElementsAre("GetStringUTFChars D:\\"));
  EXPECT_EQ(volume.borrowedDuring, 1);
  EXPECT_THAT(jni_.calls(),
              ElementsAre("GetStringUTFChars D:\\", "ReleaseStringUTFChars D:\\", "NewStringUTF DATA"));
}

TEST_F(ScriptedVolume, TheLongestLabelComesBackWholeAndNothingRunsPastTheBuffer) {
  volume.labelWritten = std::string(255, 'x');
  EXPECT_EQ(label(jni_.string("D:\\")), std::string(255, 'x'));
  // A platform that fills every byte it was offered still ends in the
  // buffer's last byte.
  volume.fillWholeBuffer = true;
  EXPECT_EQ(label(jni_.string("D:\\")), std::string(255, 'L'));
}

TEST_F(ScriptedVolume, AFailedReadGivesTheEmptyLabelAndZeroSerial) {
  volume.result = FALSE;
  volume.labelWritten = "";
  EXPECT_EQ(label(jni_.string("D:\\")), "");
  EXPECT_EQ(serial(jni_.string("D:\\")), "0000-0000");
  EXPECT_EQ(volume.calls, 2);
}

TEST_F(ScriptedVolume, SerialIsReadWithoutLabelOrFileSystemAndShownAsTwoHalves) {
  volume.serialWritten = 0x000F0001;
  EXPECT_EQ(serial(jni_.string("E:\\")), "000F-0001");
  EXPECT_EQ(volume.root, "E:\\");
  EXPECT_FALSE(volume.nameBuffer);
  EXPECT_EQ(volume.nameSize, 0u);
  EXPECT_TRUE(volume.serialPointer);
  EXPECT_TRUE(volume.outputsWereClear);
  EXPECT_FALSE(volume.fileSystemBuffer);
  EXPECT_EQ(volume.fileSystemNameSize, 0u);
  EXPECT_THAT(volume.callsDuring, ElementsAre("GetStringUTFChars E:\\"));
  EXPECT_THAT(jni_.calls(),
              ElementsAre("GetStringUTFChars E:\\", "ReleaseStringUTFChars E:\\", "NewStringUTF 000F-0001"));

  volume.serialWritten = 0xabcdef01;
  EXPECT_EQ(serial(jni_.string("E:\\")), "ABCD-EF01");
}

TEST_F(ScriptedVolume, ANullOrUnborrowableRootGivesTheFailureTextWithoutAPlatformCall) {
  volume.labelWritten = "DATA";
  volume.serialWritten = 0x12345678;
  EXPECT_EQ(label(nullptr), "");
  EXPECT_EQ(serial(nullptr), "0000-0000");
  EXPECT_THAT(jni_.calls(), ElementsAre("NewStringUTF ", "NewStringUTF 0000-0000"));
  jni_.clearCalls();
  jstring root = jni_.string("C:\\");
  jni_.failBorrowOf(root);
  EXPECT_EQ(label(root), "");
  EXPECT_EQ(serial(root), "0000-0000");
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars C:\\", "NewStringUTF ", "GetStringUTFChars C:\\",
                                        "NewStringUTF 0000-0000"));
  EXPECT_EQ(volume.calls, 0);
}

TEST_F(Volume, SetLabelAnswersAsThePlatformDoes) {
  // Setting C:'s label to the one it has changes nothing anywhere.
  const std::string current = platformLabel("C:\\");
  const BOOL platformAnswer = SetVolumeLabelA("C:\\", current.c_str());
  EXPECT_EQ(setLabel(jni_.string("C:\\"), jni_.string(current)), platformAnswer ? JNI_TRUE : JNI_FALSE);
  const std::string unused = drivetest::unusedRoot();
  EXPECT_FALSE(SetVolumeLabelA(unused.c_str(), "X"));
  EXPECT_EQ(setLabel(jni_.string(unused), jni_.string("X")), JNI_FALSE);
}

struct {
  int calls = 0;
  std::string root, label;
  std::vector<std::string> callsDuring;
  int borrowedDuring = -1;
  BOOL result = FALSE;
} relabel;

BOOL WINAPI scriptedSetVolumeLabel(LPCSTR root, LPCSTR label) {
  ++relabel.calls;
  relabel.root = root != nullptr ? root : "<NULL>";
  relabel.label = label != nullptr ? label : "<NULL>";
  relabel.callsDuring = drivetest::callsSoFar();
  relabel.borrowedDuring = drivetest::borrowedNow();
  return relabel.result;
}

class ScriptedRelabel : public Volume {
 protected:
  void SetUp() override {
    Volume::SetUp();
    relabel = {};
    ASSERT_TRUE(hook_.installed());
  }
  support::ImportHook hook_ = hookKernel("SetVolumeLabelA", &scriptedSetVolumeLabel);
};

TEST_F(ScriptedRelabel, ARefusedChangeIsFalseWithBothStringsGivenBackRootFirst) {
  relabel.result = FALSE;
  EXPECT_EQ(setLabel(jni_.string("D:\\"), jni_.string("BACKUP")), JNI_FALSE);
  EXPECT_EQ(relabel.root, "D:\\");
  EXPECT_EQ(relabel.label, "BACKUP");
  EXPECT_THAT(relabel.callsDuring, ElementsAre("GetStringUTFChars D:\\", "GetStringUTFChars BACKUP"));
  EXPECT_EQ(relabel.borrowedDuring, 2);
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars D:\\", "GetStringUTFChars BACKUP",
                                        "ReleaseStringUTFChars D:\\", "ReleaseStringUTFChars BACKUP"));
}

TEST_F(ScriptedRelabel, TheResultIsTheSuccessFlagsLowByte) {
  const struct {
    BOOL flag;
    jboolean expected;
  } cases[] = {{TRUE, 1}, {0x100, 0}, {0x101, 1}, {0x1FF, 0xFF}};
  for (const auto& c : cases) {
    relabel.result = c.flag;
    EXPECT_EQ(setLabel(jni_.string("D:\\"), jni_.string("")), c.expected) << c.flag;
  }
  EXPECT_EQ(relabel.label, "");  // the empty label goes to the platform as it is
  EXPECT_EQ(jni_.borrowCount(), 8);
}

TEST_F(ScriptedRelabel, ANullOrUnborrowableArgumentIsFalseWithoutAPlatformCall) {
  relabel.result = TRUE;
  EXPECT_EQ(setLabel(nullptr, jni_.string("X")), JNI_FALSE);
  EXPECT_THAT(jni_.calls(), ElementsAre());

  // The root already borrowed goes back when the label is missing.
  EXPECT_EQ(setLabel(jni_.string("D:\\"), nullptr), JNI_FALSE);
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars D:\\", "ReleaseStringUTFChars D:\\"));

  jni_.clearCalls();
  jstring label = jni_.string("X");
  jni_.failBorrowOf(label);
  EXPECT_EQ(setLabel(jni_.string("D:\\"), label), JNI_FALSE);
  EXPECT_THAT(jni_.calls(),
              ElementsAre("GetStringUTFChars D:\\", "GetStringUTFChars X", "ReleaseStringUTFChars D:\\"));

  jni_.clearCalls();
  jstring root = jni_.string("D:\\");
  jni_.failBorrowOf(root);
  EXPECT_EQ(setLabel(root, jni_.string("X")), JNI_FALSE);
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars D:\\"));
  EXPECT_EQ(relabel.calls, 0);
}

}  // namespace
