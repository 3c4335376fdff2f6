#include "binding/bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using vantrel::appendWhole;
using vantrel::copyBounded;

TEST(CopyBounded, CopiesWholeTextThatFitsAndCutsTheRestAlwaysTerminated) {
  char buffer[6];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_TRUE(copyBounded(buffer, sizeof buffer, "abcde"));
  EXPECT_STREQ(buffer, "abcde");
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_FALSE(copyBounded(buffer, sizeof buffer, "abcdef"));
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_TRUE(copyBounded(buffer, sizeof buffer, ""));
  EXPECT_STREQ(buffer, "");
  EXPECT_FALSE(copyBounded(buffer, 0, "a"));  // nothing written at all
  EXPECT_TRUE(copyBounded(buffer, 0, ""));
}

TEST(AppendWhole, AppendsOnlyWhatFitsWhole) {
  char buffer[8] = "abc";
  EXPECT_TRUE(appendWhole(buffer, sizeof buffer, "defg"));
  EXPECT_STREQ(buffer, "abcdefg");
  EXPECT_FALSE(appendWhole(buffer, sizeof buffer, "h"));
  EXPECT_STREQ(buffer, "abcdefg");
  char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_FALSE(appendWhole(unterminated, sizeof unterminated, ""));
  EXPECT_EQ(unterminated[3], 'd');
}

}  // namespace
