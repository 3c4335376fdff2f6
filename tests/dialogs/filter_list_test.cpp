#include "dialogs/filter_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/extension_rule.h"

namespace {

using vantrel::FilterListWriter;

struct Written {
  std::string bytes;  // the buffer up to and including the list's final NUL
  std::size_t pairs;
  std::vector<bool> accepted;
};

// Writes `elements` into a buffer of exactly `capacity` bytes with guard
// bytes behind it, stopping at a null element as the dialog driver does.
Written write(std::size_t capacity, std::initializer_list<std::optional<const char*>> elements) {
  std::vector<char> storage(capacity + 16, '#');
  FilterListWriter writer(storage.data(), capacity);
  Written written{};
  for (const auto& element : elements) {
    if (!element) break;
    written.accepted.push_back(writer.add(*element));
  }
  writer.finish();
  for (std::size_t i = capacity; i < storage.size(); ++i) EXPECT_EQ(storage[i], '#') << "at " << i;
  written.pairs = writer.pairCount();
  // The list ends at the first empty string.
  std::size_t end = 0;
  while (end < capacity && storage[end] != '\0') end += std::strlen(storage.data() + end) + 1;
  written.bytes.assign(storage.data(), end < capacity ? end + 1 : capacity);
  return written;
}

std::string list(std::initializer_list<const char*> strings) {
  std::string bytes;
  for (const char* s : strings) bytes.append(s).push_back('\0');
  bytes.push_back('\0');
  return bytes;
}

TEST(FilterListWriter, JoinsPairsWithTheirNulsAndAFinalNul) {
  const Written w = write(2048, {"Text files", "*.txt", "All files", "*.*"});
  EXPECT_EQ(w.bytes, list({"Text files", "*.txt", "All files", "*.*"}));
  EXPECT_EQ(w.pairs, 2u);
  EXPECT_EQ(w.accepted, std::vector<bool>(4, true));
  EXPECT_STREQ(vantrel::filterPatternAt(w.bytes.data(), 2), "*.*");
}

TEST(FilterListWriter, AnEmptyListIsTwoNuls) {
  std::vector<char> storage(4, '#');
  FilterListWriter writer(storage.data(), storage.size());
  writer.finish();
  EXPECT_EQ(std::string(storage.data(), 3), std::string("\0\0#", 3));
  EXPECT_EQ(writer.pairCount(), 0u);
  EXPECT_EQ(vantrel::filterPatternAt(storage.data(), 1), vantrel::kFallbackPattern);
}

TEST(FilterListWriter, DropsAnUnpairedLastDescription) {
  const Written w = write(2048, {"Text", "*.txt", "All"});
  EXPECT_EQ(w.bytes, list({"Text", "*.txt"}));
  EXPECT_EQ(w.pairs, 1u);
  EXPECT_EQ(write(2048, {"Alone"}).bytes, list({}));
}

TEST(FilterListWriter, ANullElementEndsTheListAtTheLastWholePair) {
  const std::string firstPair = list({"Text", "*.txt"});
  EXPECT_EQ(write(2048, {"Text", "*.txt", "All", std::nullopt, "*.*"}).bytes, firstPair);
  EXPECT_EQ(write(2048, {"Text", "*.txt", std::nullopt, "All", "*.*"}).bytes, firstPair);
  // Given to the writer itself, a null closes the list as well.
  std::vector<char> storage(64, '#');
  FilterListWriter writer(storage.data(), storage.size());
  EXPECT_TRUE(writer.add("A"));
  EXPECT_FALSE(writer.add(nullptr));
  EXPECT_FALSE(writer.add("*.a"));
  writer.finish();
  EXPECT_EQ(std::string(storage.data(), 2), std::string("\0\0", 2));
}

TEST(FilterListWriter, AnEmptyElementEndsTheList) {
  const Written w = write(2048, {"Text", "*.txt", "Empty", "", "All", "*.*"});
  EXPECT_EQ(w.bytes, list({"Text", "*.txt"}));
  EXPECT_EQ(w.pairs, 1u);
  EXPECT_EQ(w.accepted, (std::vector<bool>{true, true, true, false, false, false}));
  EXPECT_EQ(write(2048, {"", "*.txt"}).bytes, list({}));
}

TEST(FilterListWriter, FillsItsBufferExactlyAndNoFurther) {
  // "A\0*.a\0" is 6 bytes; with the final NUL two pairs need exactly 13.
  const Written exact = write(13, {"A", "*.a", "B", "*.b"});
  EXPECT_EQ(exact.bytes, list({"A", "*.a", "B", "*.b"}));
  EXPECT_EQ(exact.pairs, 2u);
  // One byte less: the second pair is left out whole.
  const Written less = write(12, {"A", "*.a", "B", "*.b"});
  EXPECT_EQ(less.bytes, list({"A", "*.a"}));
  EXPECT_EQ(less.pairs, 1u);
  EXPECT_EQ(less.accepted, (std::vector<bool>{true, true, true, false}));
}

TEST(FilterListWriter, TheFirstPairThatDoesNotFitEndsTheList) {
  // A smaller pair after a pair that does not fit must not take its number.
  const Written w = write(24, {"A", "*.a", "Too long to fit", "*.long", "C", "*.c"});
  EXPECT_EQ(w.bytes, list({"A", "*.a"}));
  EXPECT_EQ(w.pairs, 1u);
  EXPECT_EQ(w.accepted, (std::vector<bool>{true, true, true, false, false, false}));
  // Likewise when the description fits but its pattern string does not.
  const Written pattern = write(16, {"A", "*.a", "B", "*.bbbbbbbbb", "C", "*.c"});
  EXPECT_EQ(pattern.bytes, list({"A", "*.a"}));
}

TEST(FilterListWriter, ManyPairsFillTheDialogsBufferWithoutOverflow) {
  std::vector<char> storage(2048 + 16, '#');
  FilterListWriter writer(storage.data(), 2048);
  const std::string pattern = "*." + std::string(40, 'p');
  std::size_t offered = 0;
  while (writer.add("Description") && writer.add(pattern.c_str())) ++offered;
  writer.finish();
  // Each pair takes 12 + 43 bytes: 37 pairs fit in 2047 bytes, 38 do not.
  EXPECT_EQ(writer.pairCount(), 37u);
  EXPECT_EQ(offered, 37u);
  EXPECT_EQ(storage[37 * 55], '\0');
  EXPECT_EQ(storage[37 * 55 - 1], '\0');
  for (std::size_t i = 2048; i < storage.size(); ++i) EXPECT_EQ(storage[i], '#');
  EXPECT_STREQ(vantrel::filterPatternAt(storage.data(), 37), pattern.c_str());
  EXPECT_EQ(vantrel::filterPatternAt(storage.data(), 38), vantrel::kFallbackPattern);
}

TEST(FilterListWriter, TinyBuffersStayInside) {
  EXPECT_EQ(write(1, {"A", "*.a"}).bytes, std::string(1, '\0'));
  EXPECT_EQ(write(2, {"A", "*.a"}).bytes, std::string(1, '\0'));
  EXPECT_EQ(write(0, {"A", "*.a"}).bytes, "");
  FilterListWriter none(nullptr, 10);
  EXPECT_FALSE(none.add("A"));
  none.finish();
}

}  // namespace
