// Any key record, however odd its scan code or modifier bits, yields either
// nothing, a character of its own, or a prefix and code in byte range; and
// the same record always yields the same answer.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "console/key_codes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 7) return 0;
  const std::uint8_t character = data[0];
  std::uint16_t scanCode;
  std::uint32_t state;
  std::memcpy(&scanCode, data + 1, sizeof scanCode);
  std::memcpy(&state, data + 3, sizeof state);

  const auto results = vantrel::keyDownResults(character, scanCode, state);
  const auto again = vantrel::keyDownResults(character, scanCode, state);
  if (results.has_value() != again.has_value()) std::abort();
  if (!results) {
    // Only a key without a character can go unanswered.
    if (character != 0) std::abort();
    return 0;
  }
  if (results->first != again->first || results->second != again->second) std::abort();
  if (character != 0) {
    if (results->first != character || results->second != vantrel::kNoCharacter) std::abort();
    return 0;
  }
  if (results->first < 0 || results->first > 255 || results->second < 0 || results->second > 255)
    std::abort();
  // Outside the enhanced table, a pair is given only with a real prefix and
  // a code, and only for scan codes the table holds.
  if (!(state & vantrel::kEnhancedKey)) {
    if (results->first != 0 && results->first != 224) std::abort();
    if (results->second == 0 || scanCode > 88) std::abort();
  }
  return 0;
}
