#pragma once

#include <cstddef>

namespace vantrel {

// The drive list as the platform wrote it into a caller's buffer: entries
// that each end in a NUL, within the length the platform reports (its
// closing NUL not counted). Entries are taken whole, whatever their form,
// so every element made from the list is exactly one entry; empty entries
// carry no drive and are passed over.
class DriveList {
 public:
  // `buffer` holds `capacity` bytes. A length of 0 (the platform could not
  // read the list) or one that does not leave room for the closing NUL (the
  // platform saying the buffer is too small) gives a list with no entries.
  // Otherwise the byte at `reportedLength` is set to NUL, so that no entry
  // can run past the reported end.
  DriveList(char* buffer, std::size_t capacity, std::size_t reportedLength);

  std::size_t count() const { return count_; }

  // The first entry, then each following one; null after the last.
  const char* first() const;
  const char* next(const char* entry) const;

 private:
  const char* skipEmpty(const char* position) const;

  const char* begin_;
  const char* end_;
  std::size_t count_;
};

}  // namespace vantrel
