#include "dialogs/filter_list.h"

#include <cstring>

namespace vantrel {

FilterListWriter::FilterListWriter(char* buffer, std::size_t capacity)
    : buffer_(buffer), capacity_(buffer == nullptr ? 0 : capacity) {}

bool FilterListWriter::add(const char* element) {
  if (closed_) return false;
  // An empty element cannot stand in the list: an empty string is what ends
  // it, so the pairs after it would be lost to the dialog anyway. It ends the
  // list like a pair that does not fit.
  const std::size_t length = element == nullptr ? 0 : std::strlen(element);
  const std::size_t start = used_ + pending_;
  // Room is always kept for the final NUL, so that finish() can close the
  // list whatever was added before.
  if (length == 0 || start >= capacity_ || length + 2 > capacity_ - start) {
    closed_ = true;
    havePending_ = false;
    pending_ = 0;
    return false;
  }
  std::memcpy(buffer_ + start, element, length + 1);
  if (havePending_) {
    used_ = start + length + 1;
    pending_ = 0;
    havePending_ = false;
    ++pairs_;
  } else {
    pending_ = length + 1;
    havePending_ = true;
  }
  return true;
}

void FilterListWriter::finish() {
  closed_ = true;
  havePending_ = false;
  pending_ = 0;
  // The empty string that ends the list; an empty list is two NULs as well.
  if (used_ < capacity_) buffer_[used_] = '\0';
  if (used_ == 0 && capacity_ > 1) buffer_[1] = '\0';
}

}  // namespace vantrel
