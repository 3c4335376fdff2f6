#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// Free bytes from the platform's disk counts, multiplied in 64 bits so that
// 4 GiB and more come through whole. A product beyond what a Java long
// holds (no real disk has one) gives the largest Java long rather than a
// wrapped or negative number.
std::int64_t freeSpaceBytes(std::uint32_t freeClusters, std::uint32_t sectorsPerCluster,
                            std::uint32_t bytesPerSector);

// Writes a volume serial number as its high and low 16 bits, each as four
// upper-case hexadecimal digits, joined by '-' ("1A2B-3C4D"): 9 characters.
// `text` must hold at least 10 bytes; a smaller one gets the text cut and
// terminated.
void formatSerialNumber(std::uint32_t serial, char* text, std::size_t capacity);

}  // namespace vantrel
