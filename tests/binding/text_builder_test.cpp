// Every text the library formats, against what snprintf gives for the same
// format: the same bytes in the buffer, at every capacity from 0 up.

#include "binding/text_builder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "drives/volume_numbers.h"
#include "identity/node_text.h"

namespace {

using vantrel::TextBuilder;
using Writer = std::function<void(char*, std::size_t)>;

struct Row {
  std::string name;
  Writer ours;
  Writer reference;
  // The node text refuses a cut address rather than cutting it.
  std::size_t smallestCapacity = 0;
};

std::vector<Row> rows() {
  std::vector<Row> rows;
  for (unsigned byte = 0; byte < 256; ++byte) {
    // Each position takes all 256 values over the loop.
    const unsigned char node[6] = {
        static_cast<unsigned char>(byte),        static_cast<unsigned char>(byte ^ 0xFF),
        static_cast<unsigned char>(byte + 1),    static_cast<unsigned char>(byte * 7),
        static_cast<unsigned char>(byte ^ 0x5A), static_cast<unsigned char>(~byte * 3)};
    rows.push_back({"node " + std::to_string(byte),
                    [=](char* t, std::size_t n) {
                      unsigned char identifier[vantrel::kIdentifierSize] = {};
                      std::memcpy(identifier + 10, node, sizeof node);
                      vantrel::formatNode(identifier, t, n);
                    },
                    [=](char* t, std::size_t n) {
                      std::snprintf(t, n, "%02X:%02X:%02X:%02X:%02X:%02X", node[0], node[1], node[2], node[3],
                                    node[4], node[5]);
                    },
                    vantrel::kNodeTextSize});
  }
  for (unsigned serial : {0x0u, 0x0000FFFFu, 0xFFFF0000u, 0xFFFFFFFFu, 0x1A2B3C4Du}) {
    rows.push_back(
        {"serial " + std::to_string(serial),
         [=](char* t, std::size_t n) { vantrel::formatSerialNumber(serial, t, n); },
         [=](char* t, std::size_t n) { std::snprintf(t, n, "%04X-%04X", serial >> 16, serial & 0xFFFFu); }});
  }
  // The filter index is a DWORD shown as an int: its largest value is -1.
  for (int number : {INT_MIN, INT_MIN + 1, -1, 0, 1, 9, 10, -10, 5, INT_MAX, static_cast<int>(0xFFFFFFFFu),
                     static_cast<int>(0x80070005u)}) {
    rows.push_back({"number " + std::to_string(number),
                    [=](char* t, std::size_t n) { TextBuilder(t, n).add("Error: ").addDecimal(number); },
                    [=](char* t, std::size_t n) { std::snprintf(t, n, "Error: %d", number); }});
    rows.push_back(
        {"line " + std::to_string(number),
         [=](char* t, std::size_t n) { TextBuilder(t, n).add("Result: ").addDecimal(number).add("\n"); },
         [=](char* t, std::size_t n) { std::snprintf(t, n, "%s%d\n", "Result: ", number); }});
  }
  for (const char* name : {"", "a", "C:\\Users\\me\\notes.txt"}) {
    rows.push_back({std::string("strings ") + name,
                    [=](char* t, std::size_t n) { TextBuilder(t, n).add("IntialDir: ").add(name).add("\n"); },
                    [=](char* t, std::size_t n) { std::snprintf(t, n, "%s%s\n", "IntialDir: ", name); }});
    rows.push_back({std::string("question ") + name,
                    [=](char* t, std::size_t n) {
                      TextBuilder(t, n).add(name).add(" already exists.\nDo you want to replace it?");
                    },
                    [=](char* t, std::size_t n) {
                      std::snprintf(t, n, "%s already exists.\nDo you want to replace it?", name);
                    }});
  }
  return rows;
}

TEST(TextBuilder, GivesSnprintfsBytesAtEveryCapacity) {
  constexpr std::size_t kSize = 96;
  for (const Row& row : rows()) {
    char expected[kSize];
    std::memset(expected, '#', kSize);
    row.reference(expected, kSize);
    const std::size_t length = std::strlen(expected);
    ASSERT_LT(length + 2, kSize) << row.name;
    for (std::size_t capacity = row.smallestCapacity; capacity <= length + 2; ++capacity) {
      char ours[kSize];
      char theirs[kSize];
      std::memset(ours, '#', kSize);
      std::memset(theirs, '#', kSize);
      row.ours(ours, capacity);
      row.reference(theirs, capacity);
      ASSERT_EQ(std::string(ours, kSize), std::string(theirs, kSize))
          << row.name << " in " << capacity << " bytes";
    }
  }
}

}  // namespace
