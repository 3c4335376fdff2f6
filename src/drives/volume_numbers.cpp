#include "drives/volume_numbers.h"

#include <limits>

#include "binding/text_builder.h"

namespace vantrel {

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
  TextBuilder(text, capacity).addHex(serial >> 16, 4).add("-").addHex(serial & 0xFFFFu, 4);
}

}  // namespace vantrel
