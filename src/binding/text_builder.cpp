#include "binding/text_builder.h"

#include <cstring>

#include "binding/bounded_text.h"

namespace vantrel {

namespace {

// "-2147483648" with the NUL.
constexpr std::size_t kDecimalSize = 12;

}  // namespace

TextBuilder::TextBuilder(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {
  if (capacity_ != 0) buffer_[0] = '\0';
}

TextBuilder& TextBuilder::add(const char* text) {
  // The length stays below the capacity, except for a capacity of 0.
  if (length_ >= capacity_) return *this;
  copyBounded(buffer_ + length_, capacity_ - length_, text);
  length_ += strnlen(buffer_ + length_, capacity_ - length_);
  return *this;
}

TextBuilder& TextBuilder::addDecimal(int value) {
  char digits[kDecimalSize];
  char* first = digits + sizeof digits;
  *--first = '\0';
  // Unsigned, so that the magnitude of the most negative value exists.
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  do {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--first = '-';
  return add(first);
}

}  // namespace vantrel
