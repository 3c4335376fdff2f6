#include "drives/drive_list.h"

#include <cstring>

namespace vantrel {

DriveList::DriveList(char* buffer, std::size_t capacity, std::size_t reportedLength)
    : begin_(buffer), end_(buffer), count_(0) {
  if (buffer == nullptr || reportedLength == 0 || reportedLength >= capacity) return;
  buffer[reportedLength] = '\0';
  end_ = buffer + reportedLength;
  for (const char* entry = first(); entry != nullptr; entry = next(entry)) ++count_;
}

const char* DriveList::skipEmpty(const char* position) const {
  while (position < end_ && *position == '\0') ++position;
  return position < end_ ? position : nullptr;
}

const char* DriveList::first() const { return skipEmpty(begin_); }

const char* DriveList::next(const char* entry) const {
  // Every entry ends at the latest on the NUL placed at the reported end.
  return skipEmpty(entry + std::strlen(entry) + 1);
}

}  // namespace vantrel
