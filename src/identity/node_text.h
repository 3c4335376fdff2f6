#pragma once

#include <cstddef>

namespace vantrel {

// A 128-bit identifier as its 16 bytes in memory order (the GUID layout).
constexpr std::size_t kIdentifierSize = 16;
// Six upper-case hex pairs joined by colons, counting the terminating NUL.
constexpr std::size_t kNodeTextSize = 18;

// Writes the node field of `identifier` (its last six bytes, in memory order)
// as "0A:1B:2C:3D:4E:5F". Returns false, leaving `text` empty when there is
// room for that, if `capacity` is below kNodeTextSize: a cut address would
// name another adapter.
bool formatNode(const unsigned char (&identifier)[kIdentifierSize], char* text, std::size_t capacity);

}  // namespace vantrel
