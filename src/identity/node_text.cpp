#include "identity/node_text.h"

#include <cstdio>

namespace vantrel {

bool formatNode(const unsigned char (&identifier)[kIdentifierSize], char* text, std::size_t capacity) {
  if (capacity < kNodeTextSize) {
    if (capacity != 0) text[0] = '\0';
    return false;
  }
  const unsigned char* node = identifier + 10;
  std::snprintf(text, capacity, "%02X:%02X:%02X:%02X:%02X:%02X", node[0], node[1], node[2], node[3], node[4],
                node[5]);
  return true;
}

}  // namespace vantrel
