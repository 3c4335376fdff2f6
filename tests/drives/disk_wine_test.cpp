// getFreeDiskSpace and getDriveType against Wine and scripted answers.

#include <cstdint>
#include <string>
#include <vector>

#include "drives_fixture.h"

namespace {

using drivetest::hookKernel;
using ::testing::ElementsAre;

class FreeDiskSpace : public drivetest::DrivesTest {
 protected:
  jlong freeSpace(jstring root) { return VANTREL(getFreeDiskSpace)(jni_.env(), nullptr, root); }
};

// What the stand-ins saw and answer.
struct {
  int calls = 0;
  std::string root;
  std::vector<std::string> callsDuring;
  int borrowedDuring = -1;
  bool countsWereClear = false;
  BOOL result = TRUE;
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
} disk;

void recordDiskCall(LPCSTR root) {
  ++disk.calls;
  disk.root = root != nullptr ? root : "<NULL>";
  disk.callsDuring = drivetest::callsSoFar();
  disk.borrowedDuring = drivetest::borrowedNow();
}

BOOL WINAPI scriptedDiskFreeSpace(LPCSTR root, LPDWORD sectors, LPDWORD bytes, LPDWORD freeCount,
                                  LPDWORD total) {
  recordDiskCall(root);
  disk.countsWereClear = *sectors == 0 && *bytes == 0 && *freeCount == 0 && *total == 0;
  // Written even when failing: a failed call's counts must not be used.
  *sectors = disk.sectorsPerCluster;
  *bytes = disk.bytesPerSector;
  *freeCount = disk.freeClusters;
  *total = disk.totalClusters;
  return disk.result;
}

// Passes the call on to the platform and keeps its answer.
BOOL WINAPI recordedDiskFreeSpace(LPCSTR root, LPDWORD sectors, LPDWORD bytes, LPDWORD freeCount,
                                  LPDWORD total) {
  recordDiskCall(root);
  disk.result = GetDiskFreeSpaceA(root, sectors, bytes, freeCount, total);
  disk.sectorsPerCluster = *sectors;
  disk.bytesPerSector = *bytes;
  disk.freeClusters = *freeCount;
  return disk.result;
}

TEST_F(FreeDiskSpace, IsThePlatformsProductForEveryDrive) {
  auto hook = hookKernel("GetDiskFreeSpaceA", &recordedDiskFreeSpace);
  ASSERT_TRUE(hook.installed());
  for (const std::string& root : drivetest::platformDrives()) {
    disk = {};
    const jlong bytes = freeSpace(jni_.string(root));
    ASSERT_EQ(disk.calls, 1);
    ASSERT_TRUE(disk.result) << root;
    EXPECT_EQ(static_cast<std::uint64_t>(bytes),
              std::uint64_t{disk.freeClusters} * disk.sectorsPerCluster * disk.bytesPerSector)
        << root;
    EXPECT_GT(bytes, 0) << root;
  }
}

TEST_F(FreeDiskSpace, TheRootIsGivenBackRightAfterThePlatformCall) {
  auto hook = hookKernel("GetDiskFreeSpaceA", &scriptedDiskFreeSpace);
  disk = {};
  disk.sectorsPerCluster = 8;
  disk.bytesPerSector = 512;
  disk.freeClusters = 1000;
  EXPECT_EQ(freeSpace(jni_.string("C:\\")), 4096000);
  EXPECT_EQ(disk.root, "C:\\");
  EXPECT_TRUE(disk.countsWereClear);
  EXPECT_THAT(disk.callsDuring, ElementsAre("GetStringUTFChars C:\\"));
  EXPECT_EQ(disk.borrowedDuring, 1);
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars C:\\", "ReleaseStringUTFChars C:\\"));
}

TEST_F(FreeDiskSpace, SixGibibytesComeThroughWhole) {
  auto hook = hookKernel("GetDiskFreeSpaceA", &scriptedDiskFreeSpace);
  disk = {};
  disk.sectorsPerCluster = 8;
  disk.bytesPerSector = 512;
  disk.freeClusters = 1572864;
  disk.totalClusters = 4000000;
  EXPECT_EQ(freeSpace(jni_.string("D:\\")), INT64_C(6442450944));  // 6 GiB
}

TEST_F(FreeDiskSpace, AFailedCallGivesZeroWhateverItWrote) {
  auto hook = hookKernel("GetDiskFreeSpaceA", &scriptedDiskFreeSpace);
  disk = {};
  disk.result = FALSE;
  disk.sectorsPerCluster = 8;
  disk.bytesPerSector = 512;
  disk.freeClusters = 1572864;
  EXPECT_EQ(freeSpace(jni_.string("Q:\\")), 0);
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars Q:\\", "ReleaseStringUTFChars Q:\\"));
}

TEST_F(FreeDiskSpace, ARootNamingNoDriveGivesZero) {
  const std::string root = drivetest::unusedRoot();
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(freeSpace(jni_.string(root)), 0);
}

TEST_F(FreeDiskSpace, ANullOrUnborrowableRootGivesZeroWithoutAPlatformCall) {
  auto hook = hookKernel("GetDiskFreeSpaceA", &scriptedDiskFreeSpace);
  disk = {};
  disk.freeClusters = disk.sectorsPerCluster = disk.bytesPerSector = 1;
  EXPECT_EQ(freeSpace(nullptr), 0);
  EXPECT_THAT(jni_.calls(), ElementsAre());
  jstring root = jni_.string("C:\\");
  jni_.failBorrowOf(root);
  EXPECT_EQ(freeSpace(root), 0);
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars C:\\"));
  EXPECT_EQ(disk.calls, 0);
}

class DriveType : public drivetest::DrivesTest {
 protected:
  jint typeOf(jstring root) { return VANTREL(getDriveType)(jni_.env(), nullptr, root); }
};

TEST_F(DriveType, IsWhatThePlatformAnswers) {
  std::vector<std::string> roots = drivetest::platformDrives();
  roots.push_back(drivetest::unusedRoot());
  roots.push_back("C:\\windows\\");
  for (const std::string& root : roots) {
    EXPECT_EQ(typeOf(jni_.string(root)), static_cast<jint>(GetDriveTypeA(root.c_str()))) << root;
  }
  EXPECT_EQ(typeOf(jni_.string("C:\\")), DRIVE_FIXED);
  EXPECT_EQ(typeOf(jni_.string(drivetest::unusedRoot())), DRIVE_NO_ROOT_DIR);
}

UINT scriptedType = 0;
UINT WINAPI scriptedDriveType(LPCSTR root) {
  recordDiskCall(root);
  return scriptedType;
}

TEST_F(DriveType, EveryValueComesBackUnchangedAndTheRootGoesBackFirst) {
  auto hook = hookKernel("GetDriveTypeA", &scriptedDriveType);
  ASSERT_TRUE(hook.installed());
  for (UINT value : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 0x80000000u, 0xFFFFFFFFu}) {
    disk = {};
    jni_.clearCalls();
    scriptedType = value;
    EXPECT_EQ(typeOf(jni_.string("A:\\")), static_cast<jint>(value));
    EXPECT_THAT(disk.callsDuring, ElementsAre("GetStringUTFChars A:\\"));
    EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars A:\\", "ReleaseStringUTFChars A:\\"));
  }
}

TEST_F(DriveType, TheRootsBytesReachThePlatformUnchanged) {
  auto hook = hookKernel("GetDriveTypeA", &scriptedDriveType);
  disk = {};
  typeOf(jni_.string("C:\\\xC3\xA4\\"));
  EXPECT_EQ(disk.root, "C:\\\xC3\xA4\\");
}

TEST_F(DriveType, ANullOrUnborrowableRootIsUnknownWithoutAPlatformCall) {
  auto hook = hookKernel("GetDriveTypeA", &scriptedDriveType);
  disk = {};
  scriptedType = DRIVE_FIXED;
  EXPECT_EQ(typeOf(nullptr), DRIVE_UNKNOWN);
  jstring root = jni_.string("C:\\");
  jni_.failBorrowOf(root);
  EXPECT_EQ(typeOf(root), DRIVE_UNKNOWN);
  EXPECT_THAT(jni_.calls(), ElementsAre("GetStringUTFChars C:\\"));
  EXPECT_EQ(disk.calls, 0);
}

}  // namespace
