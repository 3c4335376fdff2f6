#pragma once

#include <cstdint>
#include <limits>

// Where a window goes to stand centred over another. Platform-free.
namespace vantrel {

struct Box {
  std::int32_t left, top, right, bottom;
};

struct Placement {
  std::int32_t x, y, width, height;
};

namespace centring_detail {

// Screen coordinates that no real window reaches could still push the
// arithmetic past 32 bits; it runs in 64 bits and the answer is pinned to
// what a window position can hold, so no input overflows.
constexpr std::int32_t pinned(std::int64_t value) {
  constexpr std::int64_t low = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value < low ? low : value > high ? high : value);
}

// The start of an extent of `size` centred over [start, end): an odd
// difference loses its half, and division truncates toward zero, so a
// difference of -5 moves the start by -2.
constexpr std::int64_t centredStart(std::int64_t start, std::int64_t end, std::int64_t size) {
  return start + ((end - start) - size) / 2;
}

}  // namespace centring_detail

// The window of `window`'s size, moved to stand centred over `owner`; it
// keeps its size, and overlaps the owner on both sides when it is larger.
constexpr Placement centredOver(const Box& owner, const Box& window) {
  using namespace centring_detail;
  const std::int64_t width = std::int64_t{window.right} - window.left;
  const std::int64_t height = std::int64_t{window.bottom} - window.top;
  return Placement{pinned(centredStart(owner.left, owner.right, width)),
                   pinned(centredStart(owner.top, owner.bottom, height)), pinned(width), pinned(height)};
}

}  // namespace vantrel
