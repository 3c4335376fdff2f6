#include "drives/drive_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using vantrel::DriveList;

// The platform's answer as a test states it: the bytes written (closing NUL
// included) inside a 256-byte buffer, and the length it reports.
struct Answer {
  char buffer[256] = {};
  Answer(const std::string& written) { std::memcpy(buffer, written.data(), written.size()); }
};

std::vector<std::string> entries(const DriveList& list) {
  std::vector<std::string> result;
  for (const char* entry = list.first(); entry != nullptr; entry = list.next(entry))
    result.emplace_back(entry);
  EXPECT_EQ(result.size(), list.count());
  return result;
}

TEST(DriveList, ReadsTheRootsInThePlatformsOrder) {
  Answer three(std::string("A:\\\0C:\\\0D:\\\0", 13));
  EXPECT_THAT(entries(DriveList(three.buffer, sizeof three.buffer, 12)), ElementsAre("A:\\", "C:\\", "D:\\"));

  Answer one(std::string("C:\\\0", 5));
  EXPECT_THAT(entries(DriveList(one.buffer, sizeof one.buffer, 4)), ElementsAre("C:\\"));

  std::string all;
  for (char letter = 'A'; letter <= 'Z'; ++letter) all += std::string(1, letter) + ":\\" + '\0';
  Answer every(all + '\0');
  const DriveList list(every.buffer, sizeof every.buffer, all.size());
  ASSERT_EQ(list.count(), 26u);
  EXPECT_EQ(entries(list).back(), "Z:\\");
}

TEST(DriveList, EachEntryIsTakenWholeWhateverItsForm) {
  static const char kWritten[] = "C:\0\\\\?\\Volume{1}\\\0D:\\";  // the literal's NUL ends the last entry
  const std::string written(kWritten, sizeof kWritten);
  Answer odd(written + '\0');
  EXPECT_THAT(entries(DriveList(odd.buffer, sizeof odd.buffer, written.size())),
              ElementsAre("C:", "\\\\?\\Volume{1}\\", "D:\\"));
}

TEST(DriveList, EmptyEntriesWithinTheLengthCarryNoDrive) {
  Answer gaps(std::string("\0A:\\\0\0\0C:\\\0", 12));
  EXPECT_THAT(entries(DriveList(gaps.buffer, sizeof gaps.buffer, 11)), ElementsAre("A:\\", "C:\\"));

  Answer nothing(std::string(8, '\0'));
  EXPECT_EQ(DriveList(nothing.buffer, sizeof nothing.buffer, 4).count(), 0u);
  EXPECT_EQ(DriveList(nothing.buffer, sizeof nothing.buffer, 4).first(), nullptr);
}

TEST(DriveList, NothingIsReadBeyondTheReportedLength) {
  // Bytes the platform left past the length it reported end the last
  // entry there, and later entries are not seen.
  Answer longer(std::string("A:\\\0C:\\XE:\\\0", 12));
  EXPECT_THAT(entries(DriveList(longer.buffer, sizeof longer.buffer, 7)), ElementsAre("A:\\", "C:\\"));
  EXPECT_EQ(longer.buffer[7], '\0');
}

TEST(DriveList, ZeroOrTooLargeLengthGivesNoEntriesAndLeavesTheBufferAlone) {
  Answer filled(std::string(256, 'x'));
  for (std::size_t length : {std::size_t{0}, std::size_t{256}, std::size_t{257}, std::size_t{4096}}) {
    const DriveList list(filled.buffer, sizeof filled.buffer, length);
    EXPECT_EQ(list.count(), 0u) << length;
    EXPECT_EQ(list.first(), nullptr) << length;
  }
  EXPECT_EQ(std::string(filled.buffer, 256), std::string(256, 'x'));

  // The longest length that fits: the closing NUL lands on the last byte.
  const DriveList longest(filled.buffer, sizeof filled.buffer, 255);
  ASSERT_EQ(longest.count(), 1u);
  EXPECT_EQ(std::string(longest.first()), std::string(255, 'x'));
}

}  // namespace
