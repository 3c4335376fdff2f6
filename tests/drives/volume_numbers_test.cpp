#include "drives/volume_numbers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

namespace {

using vantrel::formatSerialNumber;
using vantrel::freeSpaceBytes;

TEST(FreeSpaceBytes, IsTheWholeProductOfTheThreeCounts) {
  EXPECT_EQ(freeSpaceBytes(1000, 8, 512), 4096000);
  // 6 GiB and exactly 4 GiB: past what 32 bits hold.
  EXPECT_EQ(freeSpaceBytes(1572864, 8, 512), INT64_C(6442450944));
  EXPECT_EQ(freeSpaceBytes(1048576, 8, 512), INT64_C(4294967296));
  EXPECT_EQ(freeSpaceBytes(0xFFFFFFFFu, 128, 4096), INT64_C(0xFFFFFFFF) * 128 * 4096);
  EXPECT_EQ(freeSpaceBytes(0, 8, 512), 0);
  EXPECT_EQ(freeSpaceBytes(1000, 0, 512), 0);
}

TEST(FreeSpaceBytes, AProductBeyondAJavaLongStopsAtItsLargestValue) {
  constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
  EXPECT_EQ(freeSpaceBytes(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu), largest);
  // 2^31 * 2^31 * 2 = 2^63: one past the largest Java long.
  EXPECT_EQ(freeSpaceBytes(0x80000000u, 0x80000000u, 2), largest);
  EXPECT_EQ(freeSpaceBytes(0x80000000u, 0x80000000u, 1), INT64_C(1) << 62);
}

TEST(FormatSerialNumber, ShowsBothHalvesAsFourUpperCaseDigits) {
  char text[256];
  const struct {
    std::uint32_t serial;
    const char* expected;
  } cases[] = {{0x1A2B3C4Du, "1A2B-3C4D"}, {0x000F0001u, "000F-0001"}, {0u, "0000-0000"},
               {0xFFFFFFFFu, "FFFF-FFFF"}, {0x43000000u, "4300-0000"}, {0xabcdef01u, "ABCD-EF01"}};
  for (const auto& c : cases) {
    std::memset(text, 'x', sizeof text);
    formatSerialNumber(c.serial, text, sizeof text);
    EXPECT_STREQ(text, c.expected);
  }
}

TEST(FormatSerialNumber, ASmallBufferGetsACutTerminatedText) {
  char text[10];
  formatSerialNumber(0x1A2B3C4Du, text, sizeof text);
  EXPECT_STREQ(text, "1A2B-3C4D");
  char small[5] = {'x', 'x', 'x', 'x', 'x'};
  formatSerialNumber(0x1A2B3C4Du, small, sizeof small);
  EXPECT_STREQ(small, "1A2B");
  formatSerialNumber(0x1A2B3C4Du, small, 0);  // writes nothing
  EXPECT_STREQ(small, "1A2B");
}

}  // namespace
