#pragma once

#include <cstddef>

namespace vantrel {

// Builds a filter list in a fixed buffer from the elements of a Java filter
// array, given one at a time: description, pattern string, description, ...
// Only whole pairs enter the list; the first pair that does not fit ends it
// (so the numbers of the pairs before it never shift), and the list always
// ends in two NULs. An unpaired last description is left out.
class FilterListWriter {
 public:
  FilterListWriter(char* buffer, std::size_t capacity);

  // Adds the next element. False once the list is closed to further pairs
  // (a pair did not fit, or the element was null or empty, which the list's
  // format cannot hold): the caller may stop offering elements.
  bool add(const char* element);

  // Ends the list: drops an unpaired description and writes the final NULs.
  // The buffer then holds a complete filter list.
  void finish();

  std::size_t pairCount() const { return pairs_; }

 private:
  char* buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;     // bytes of whole pairs
  std::size_t pending_ = 0;  // bytes of a description awaiting its pattern
  std::size_t pairs_ = 0;
  bool closed_ = false;
  bool havePending_ = false;
};

}  // namespace vantrel
