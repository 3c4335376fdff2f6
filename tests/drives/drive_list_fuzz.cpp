// Any bytes and any reported length: the entries read stay inside the
// reported length, none is empty, and their number is the count.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "drives/drive_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t reported =
      static_cast<std::size_t>(data[0]) | (static_cast<std::size_t>(data[1] & 0x01) << 8);
  char buffer[256];
  std::memset(buffer, 0, sizeof buffer);
  std::memcpy(buffer, data + 2, size - 2 < sizeof buffer ? size - 2 : sizeof buffer);

  const vantrel::DriveList list(buffer, sizeof buffer, reported);
  std::size_t seen = 0;
  for (const char* entry = list.first(); entry != nullptr; entry = list.next(entry)) {
    const std::size_t offset = static_cast<std::size_t>(entry - buffer);
    const std::size_t length = std::strlen(entry);
    if (length == 0 || offset + length > reported || reported >= sizeof buffer) std::abort();
    ++seen;
  }
  if (seen != list.count()) std::abort();
  if ((reported == 0 || reported >= sizeof buffer) && seen != 0) std::abort();
  return 0;
}
