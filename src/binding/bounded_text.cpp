#include "binding/bounded_text.h"

#include <cstring>

namespace vantrel {

bool copyBounded(char* destination, std::size_t capacity, const char* source) {
  if (capacity == 0) return source[0] == '\0';
  std::size_t length = 0;
  while (length + 1 < capacity && source[length] != '\0') {
    destination[length] = source[length];
    ++length;
  }
  destination[length] = '\0';
  return source[length] == '\0';
}

bool appendWhole(char* destination, std::size_t capacity, const char* source) {
  const std::size_t used = strnlen(destination, capacity);
  const std::size_t added = std::strlen(source);
  if (used >= capacity || added >= capacity - used) return false;
  std::memcpy(destination + used, source, added + 1);
  return true;
}

}  // namespace vantrel
