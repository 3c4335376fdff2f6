#include "drives/volume_numbers.h"

#include <limits>

#include "binding/bounded_text.h"
#include "binding/text_builder.h"

namespace vantrel {

namespace {

// "1A2B-3C4D" with the NUL.
constexpr std::size_t kSerialTextSize = 10;

}  // namespace

std::int64_t freeSpaceBytes(std::uint32_t freeClusters, std::uint32_t sectorsPerCluster,
                            std::uint32_t bytesPerSector) {
  constexpr std::uint64_t kLargestJavaLong =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  std::uint64_t bytes = 0;
  if (__builtin_mul_overflow(static_cast<std::uint64_t>(freeClusters), sectorsPerCluster, &bytes) ||
      __builtin_mul_overflow(bytes, static_cast<std::uint64_t>(bytesPerSector), &bytes) ||
      bytes > kLargestJavaLong) {
    bytes = kLargestJavaLong;
  }
  return static_cast<std::int64_t>(bytes);
}

void formatSerialNumber(std::uint32_t serial, char* text, std::size_t capacity) {
  if (text == nullptr || capacity == 0) return;
  // Built whole through the digit table, then cut to the buffer.
  char whole[kSerialTextSize];
  putHexDigits(whole, serial >> 16, 4);
  whole[4] = '-';
  putHexDigits(whole + 5, serial, 4);
  whole[kSerialTextSize - 1] = '\0';
  copyBounded(text, capacity, whole);
}

}  // namespace vantrel
