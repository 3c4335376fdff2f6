#include "dialogs/extension_rule.h"

#include <cstring>

namespace vantrel {

const char kFallbackPattern[] = "*.err";

namespace {

// Length of the pattern that starts at `pattern`: up to the next ';' or the
// end of the pattern string.
std::size_t patternLength(const char* pattern) {
  std::size_t length = 0;
  while (pattern[length] != '\0' && pattern[length] != ';') ++length;
  return length;
}

}  // namespace

const char* filterPatternAt(const char* filterList, int index) {
  if (filterList == nullptr) return kFallbackPattern;
  const char* cursor = filterList;
  // Only the pair asked for is ever reached, so the walk stops there. An
  // empty string where a pattern string should stand is the list's end (two
  // NULs in a row), never a pattern: stepping past it would leave the list.
  for (int remaining = index; remaining > 0 && *cursor != '\0'; --remaining) {
    const char* pattern = cursor + std::strlen(cursor) + 1;
    if (*pattern == '\0') break;
    if (remaining == 1) return pattern;
    cursor = pattern + std::strlen(pattern) + 1;
  }
  return kFallbackPattern;
}

bool extensionMatches(const char* patternString, const char* extension) {
  if (patternString == nullptr || extension == nullptr) return false;
  const char* pattern = patternString;
  for (;;) {
    const std::size_t length = patternLength(pattern);
    // Compared in place, so a pattern of any length matches exactly; an
    // empty pattern has no character to drop and matches nothing.
    if (length > 0 && std::strncmp(pattern + 1, extension, length - 1) == 0 &&
        extension[length - 1] == '\0') {
      return true;
    }
    if (pattern[length] == '\0') return false;
    pattern += length + 1;
  }
}

std::size_t lastPartStart(const char* name, std::size_t length) {
  // Windows takes either slash between folders.
  std::size_t start = length >= 2 && name[1] == ':' ? 2 : 0;
  for (std::size_t i = start; i < length; ++i) {
    if (name[i] == '\\' || name[i] == '/') start = i + 1;
  }
  return start;
}

void applyExtensionRule(const char* filterList, int filterIndex, char* name, std::size_t capacity) {
  if (name == nullptr || capacity == 0) return;
  const std::size_t length = strnlen(name, capacity);
  // A name not terminated inside its buffer is not a name to work on.
  if (length == 0 || length == capacity) return;

  const char* patternString = filterPatternAt(filterList, filterIndex);
  // The suffix is the first pattern less its first character, taken in place
  // whatever its length; an empty first pattern gives an empty suffix.
  const std::size_t firstLength = patternLength(patternString);
  const char* suffix = firstLength > 0 ? patternString + 1 : patternString;
  const std::size_t suffixLength = firstLength > 0 ? firstLength - 1 : 0;

  // A dot in a folder's name is not the file's extension.
  const std::size_t baseStart = lastPartStart(name, length);
  std::size_t keep = length;
  for (std::size_t i = baseStart; i < length; ++i) {
    if (name[i] == '.') keep = i;
  }
  if (keep < length && extensionMatches(patternString, name + keep)) return;

  // A name that would outgrow its buffer stays as it is rather than lose
  // its end or run past the buffer.
  if (suffixLength >= capacity - keep) return;
  std::memmove(name + keep, suffix, suffixLength);
  name[keep + suffixLength] = '\0';
}

}  // namespace vantrel
