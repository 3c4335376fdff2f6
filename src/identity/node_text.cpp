#include "identity/node_text.h"

#include "binding/text_builder.h"

namespace vantrel {

bool formatNode(const unsigned char (&identifier)[kIdentifierSize], char* text, std::size_t capacity) {
  if (capacity < kNodeTextSize) {
    if (capacity != 0) text[0] = '\0';
    return false;
  }
  // Written in place: the whole text fits, as checked above.
  const unsigned char* node = identifier + 10;
  for (std::size_t i = 0; i < 6; ++i) {
    putHexDigits(text + 3 * i, node[i], 2);
    text[3 * i + 2] = ':';
  }
  text[kNodeTextSize - 1] = '\0';
  return true;
}

}  // namespace vantrel
