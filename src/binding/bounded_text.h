#pragma once

#include <cstddef>

namespace vantrel {

// Copies `source` into `destination` of `capacity` bytes, cutting it to fit,
// and always terminates it (when capacity is not 0). Returns true when the
// whole of `source` fit.
bool copyBounded(char* destination, std::size_t capacity, const char* source);

// Appends `source` to the NUL-terminated text in `destination` only when the
// whole of it fits; the text is left unchanged otherwise. Returns whether it
// was appended.
bool appendWhole(char* destination, std::size_t capacity, const char* source);

}  // namespace vantrel
