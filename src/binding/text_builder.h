#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// The upper-case hexadecimal digit of each 4-bit value.
inline constexpr char kHexDigits[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                        '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};

// Writes the low 4 * `count` bits of `value` at `out` as exactly `count`
// upper-case hexadecimal digits, the most significant first, and no
// terminator: the caller has made room for them. As "%0<count>X" for a
// value of at most `count` digits.
inline void putHexDigits(char* out, std::uint32_t value, unsigned count) {
  for (unsigned i = count; i > 0; --i) {
    out[i - 1] = kHexDigits[value & 0xFu];
    value >>= 4;
  }
}

// Builds a text piece by piece in a buffer of `capacity` bytes, giving the
// same bytes as one snprintf of the same pieces: what does not fit is cut,
// the text is always terminated, and a capacity of 0 leaves the buffer
// untouched.
class TextBuilder {
 public:
  TextBuilder(char* buffer, std::size_t capacity);

  TextBuilder& add(const char* text);
  // As "%d".
  TextBuilder& addDecimal(int value);

 private:
  char* buffer_;
  std::size_t capacity_;
  std::size_t length_ = 0;
};

}  // namespace vantrel
