// Feeds arbitrary filter arrays, filter indexes and names through the filter
// list writer and the extension rule, in buffers of exactly their capacity so
// that AddressSanitizer sees any byte read or written past them.
//
// Input: 4 bytes filter index, 2 bytes list capacity, 2 bytes name capacity,
// then the filter array's elements separated by NUL, a 0xFF byte, and the
// name.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dialogs/extension_rule.h"
#include "dialogs/filter_list.h"

namespace {

void check(bool holds) {
  if (!holds) std::abort();
}

bool insideOrFallback(const char* view, const char* list, std::size_t size) {
  return view == vantrel::kFallbackPattern || (view >= list && view < list + size);
}

std::size_t firstPatternLength(const char* patternString) {
  std::size_t length = 0;
  while (patternString[length] != '\0' && patternString[length] != ';') ++length;
  return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  std::int32_t index;
  std::memcpy(&index, data, sizeof index);
  const std::size_t listCapacity = (data[4] | (data[5] << 8)) % 2100;
  const std::size_t nameCapacity = (data[6] | (data[7] << 8)) % 600;
  const char* rest = reinterpret_cast<const char*>(data + 8);
  const std::size_t restSize = size - 8;
  const char* split = static_cast<const char*>(std::memchr(rest, '\xff', restSize));
  const std::size_t elementsSize = split ? static_cast<std::size_t>(split - rest) : restSize;
  const std::string elementBytes(rest, elementsSize);
  const std::string name = split ? std::string(split + 1, rest + restSize) : std::string();

  // The writer, offered every element until it closes the list.
  std::vector<std::string> elements;
  for (std::size_t start = 0; start <= elementBytes.size();) {
    const std::size_t end = std::min(elementBytes.find('\0', start), elementBytes.size());
    elements.push_back(elementBytes.substr(start, end - start));
    start = end + 1;
  }
  char* list = new char[listCapacity];
  vantrel::FilterListWriter writer(list, listCapacity);
  for (const std::string& element : elements) {
    if (!writer.add(element.c_str())) break;
  }
  writer.finish();

  // The list holds exactly pairCount() whole pairs and then its end.
  if (listCapacity > 0) {
    std::size_t at = 0;
    std::size_t strings = 0;
    while (list[at] != '\0') {
      const std::size_t length = strnlen(list + at, listCapacity - at);
      check(at + length < listCapacity);
      at += length + 1;
      check(at < listCapacity);
      ++strings;
    }
    check(strings == 2 * writer.pairCount());
    check(strings > 0 || listCapacity == 1 || list[1] == '\0');
    for (std::size_t pair = 1; pair <= writer.pairCount(); ++pair) {
      const char* view = vantrel::filterPatternAt(list, static_cast<int>(pair));
      check(view != vantrel::kFallbackPattern && insideOrFallback(view, list, listCapacity));
    }
    check(insideOrFallback(vantrel::filterPatternAt(list, index), list, listCapacity));
  }

  // The raw elements as a list of their own, ended by two NULs: every view
  // lies inside it.
  char* raw = new char[elementsSize + 2];
  std::memcpy(raw, rest, elementsSize);
  raw[elementsSize] = raw[elementsSize + 1] = '\0';
  const char* rawPattern = vantrel::filterPatternAt(raw, index);
  check(insideOrFallback(rawPattern, raw, elementsSize + 2));
  vantrel::extensionMatches(rawPattern, name.c_str());

  // The rule on a name buffer of exactly its capacity, the name possibly
  // unterminated in it.
  const char* ruleList = listCapacity > 0 ? list : raw;
  char* buffer = new char[nameCapacity + 1];
  const std::size_t copied = std::min(name.size(), nameCapacity);
  std::memcpy(buffer, name.data(), copied);
  if (copied < nameCapacity) buffer[copied] = '\0';
  const bool terminated = strnlen(buffer, nameCapacity) < nameCapacity;
  const std::string before(buffer, strnlen(buffer, nameCapacity));
  buffer[nameCapacity] = '\x5a';  // guard byte
  vantrel::applyExtensionRule(ruleList, index, buffer, nameCapacity);
  check(buffer[nameCapacity] == '\x5a');
  const std::size_t afterLength = strnlen(buffer, nameCapacity);
  check(terminated == (afterLength < nameCapacity));
  const std::string after(buffer, afterLength);
  if (after != before) {
    check(terminated && !before.empty());
    // The new name is the old one, or the old one cut at a '.' of its last
    // part, followed by the first pattern less its first character.
    const char* chosen = vantrel::filterPatternAt(ruleList, index);
    const std::size_t first = firstPatternLength(chosen);
    const std::string suffix = first > 0 ? std::string(chosen + 1, first - 1) : std::string();
    check(after.size() >= suffix.size());
    const std::size_t kept = after.size() - suffix.size();
    check(after.compare(kept, std::string::npos, suffix) == 0);
    check(before.compare(0, kept, after, 0, kept) == 0);
    check(kept == before.size() || before[kept] == '.');
    check(before.find_first_of("\\/", kept) == std::string::npos);
    check(before.size() < 2 || before[1] != ':' || kept >= 2);
  }

  delete[] buffer;
  delete[] raw;
  delete[] list;
  return 0;
}
