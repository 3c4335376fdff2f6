// Centring a dialog over its owner.

#include "dialogs/centring.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

using vantrel::Box;
using vantrel::centredOver;
using vantrel::Placement;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// A box from its origin and size.
Box box(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
  return Box{x, y, x + width, y + height};
}

TEST(Centring, OddDifferenceLosesItsHalfTowardZero) {
  // 200 - 101 = 99, half 49.
  Placement p = centredOver(box(100, 50, 200, 300), box(7, 9, 101, 151));
  EXPECT_EQ(p.x, 149);
  EXPECT_EQ(p.y, 50 + 149 / 2);
  // 100 - 105 = -5: truncation toward zero gives -2, not -3.
  p = centredOver(box(100, 40, 100, 100), box(0, 0, 105, 107));
  EXPECT_EQ(p.x, 98);
  EXPECT_EQ(p.y, 40 - 3);
}

TEST(Centring, KeepsTheWindowsSizeAndOverlapsASmallerOwner) {
  const Placement p = centredOver(box(500, 400, 40, 30), box(10, 20, 600, 420));
  EXPECT_EQ(p.width, 600);
  EXPECT_EQ(p.height, 420);
  EXPECT_EQ(p.x, 500 - 280);
  EXPECT_EQ(p.y, 400 - 195);
  EXPECT_LT(p.x, 500);
  EXPECT_GT(p.x + p.width, 540);
}

TEST(Centring, WorksOnScreensLeftOfAndAboveThePrimary) {
  const Placement p = centredOver(box(-1900, -700, 801, 600), box(0, 0, 400, 201));
  EXPECT_EQ(p.x, -1900 + 401 / 2);
  EXPECT_EQ(p.y, -700 + 399 / 2);
}

TEST(Centring, EqualSizesLandOnTheOwner) {
  const Placement p = centredOver(box(13, 17, 320, 240), box(900, 900, 320, 240));
  EXPECT_EQ(p.x, 13);
  EXPECT_EQ(p.y, 17);
}

TEST(Centring, ExtremeRectanglesNeitherOverflowNorWrap) {
  // Run under the undefined-behaviour sanitizer: any 32-bit overflow fails.
  Placement p = centredOver(Box{kMin, kMin, kMax, kMax}, Box{kMax, kMax, kMin, kMin});
  EXPECT_EQ(p.width, kMin);  // a negative extent is pinned, not wrapped
  EXPECT_EQ(p.x, kMax);
  p = centredOver(Box{kMax, kMax, kMax, kMax}, Box{kMin, kMin, kMax, kMax});
  EXPECT_EQ(p.width, kMax);
  EXPECT_EQ(p.x, 0);  // kMax + (0 - (2^32 - 1)) / 2, truncated toward zero
  p = centredOver(Box{kMin, 0, kMin, 0}, Box{0, 0, 100, 100});
  EXPECT_EQ(p.x, kMin);
}

}  // namespace
