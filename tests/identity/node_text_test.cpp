// The node text, independent of any generator.

#include "identity/node_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using vantrel::formatNode;
using vantrel::kIdentifierSize;
using vantrel::kNodeTextSize;

TEST(NodeText, ShowsTheLastSixBytesAsUpperCasePairs) {
  unsigned char identifier[kIdentifierSize];
  for (std::size_t i = 0; i < kIdentifierSize; ++i) identifier[i] = static_cast<unsigned char>(0xE0 + i);
  const unsigned char node[] = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
  std::memcpy(identifier + 10, node, sizeof node);
  char text[kNodeTextSize];
  ASSERT_TRUE(formatNode(identifier, text, sizeof text));
  EXPECT_STREQ(text, "0A:1B:2C:3D:4E:5F");

  const unsigned char extremes[] = {0x00, 0xFF, 0x01, 0xF0, 0xab, 0x09};
  std::memcpy(identifier + 10, extremes, sizeof extremes);
  ASSERT_TRUE(formatNode(identifier, text, sizeof text));
  EXPECT_STREQ(text, "00:FF:01:F0:AB:09");
}

TEST(NodeText, BufferTooSmallGivesNoTextRatherThanACutOne) {
  unsigned char identifier[kIdentifierSize] = {};
  identifier[15] = 0x5F;
  char text[kNodeTextSize + 4];
  std::memset(text, '#', sizeof text);
  EXPECT_FALSE(formatNode(identifier, text, kNodeTextSize - 1));
  EXPECT_STREQ(text, "");
  EXPECT_EQ(text[1], '#');  // nothing written beyond the terminator
  EXPECT_FALSE(formatNode(identifier, text, 0));
  EXPECT_TRUE(formatNode(identifier, text, kNodeTextSize));
  EXPECT_STREQ(text, "00:00:00:00:00:5F");
  EXPECT_EQ(text[kNodeTextSize], '#');
}

}  // namespace
