#include "dialogs/extension_rule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using vantrel::applyExtensionRule;
using vantrel::extensionMatches;
using vantrel::filterPatternAt;
using vantrel::kFallbackPattern;

// A filter list as the dialog gets it: the strings with their NULs and a
// final NUL.
std::string filterList(std::initializer_list<const char*> strings) {
  std::string list;
  for (const char* s : strings) list.append(s).push_back('\0');
  list.push_back('\0');
  return list;
}

// The rule applied to `name` in a roomy buffer with guard bytes behind it.
std::string ruled(const std::string& list, int index, const std::string& name) {
  char buffer[600];
  std::memset(buffer, '#', sizeof buffer);
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  applyExtensionRule(list.data(), index, buffer, 512);
  for (std::size_t i = 512; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << "at " << i;
  return buffer;
}

std::string ruledWith(const char* patternString, const std::string& name) {
  return ruled(filterList({"Files", patternString}), 1, name);
}

TEST(FilterPatternAt, NumbersPairsFromOneAndFallsBackOutsideThem) {
  const std::string list = filterList({"Text", "*.txt", "All", "*.*"});
  EXPECT_STREQ(filterPatternAt(list.data(), 1), "*.txt");
  EXPECT_STREQ(filterPatternAt(list.data(), 2), "*.*");
  for (int index : {0, -1, 3, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(filterPatternAt(list.data(), index), kFallbackPattern) << index;
  }
  EXPECT_STREQ(kFallbackPattern, "*.err");
  EXPECT_EQ(filterPatternAt(filterList({}).data(), 1), kFallbackPattern);
  EXPECT_EQ(filterPatternAt(nullptr, 1), kFallbackPattern);
}

TEST(FilterPatternAt, GivesAViewIntoTheListItself) {
  const std::string list = filterList({"Text", "*.txt", "All", "*.*"});
  EXPECT_EQ(filterPatternAt(list.data(), 1), list.data() + 5);
  EXPECT_EQ(filterPatternAt(list.data(), 2), list.data() + 15);
}

TEST(FilterPatternAt, NeverStepsPastAListThatEndsAfterADescription) {
  // "Text" then the list's end: there is no pattern string to give, and the
  // byte after the final NUL must not be read (ASan watches the exact size).
  const char bytes[] = {'T', 'e', 'x', 't', '\0', '\0'};
  char* exact = new char[sizeof bytes];
  std::memcpy(exact, bytes, sizeof bytes);
  EXPECT_EQ(filterPatternAt(exact, 1), kFallbackPattern);
  EXPECT_EQ(filterPatternAt(exact, 2), kFallbackPattern);
  delete[] exact;
  // The same for the second pair of a list.
  const std::string list = filterList({"Text", "*.txt", "All"});
  EXPECT_STREQ(filterPatternAt(list.data(), 1), "*.txt");
  EXPECT_EQ(filterPatternAt(list.data(), 2), kFallbackPattern);
}

TEST(ExtensionMatches, ComparesWholeExtensionsExactlyAgainstEachPattern) {
  EXPECT_TRUE(extensionMatches("*.txt", ".txt"));
  EXPECT_TRUE(extensionMatches("*.txt;*.text", ".text"));
  EXPECT_TRUE(extensionMatches("*.htm;*.html;*.xhtml", ".xhtml"));
  EXPECT_FALSE(extensionMatches("*.txt", ".TXT"));
  EXPECT_FALSE(extensionMatches("*.txt", ".txt2"));
  EXPECT_FALSE(extensionMatches("*.txt", ".tx"));
  EXPECT_FALSE(extensionMatches("*.txt", "txt"));
  EXPECT_FALSE(extensionMatches("*.txt;*.text", ".tex"));
  // No wildcard is interpreted.
  EXPECT_TRUE(extensionMatches("*.*", ".*"));
  EXPECT_FALSE(extensionMatches("*.*", ".doc"));
  // The first character is dropped whatever it is.
  EXPECT_TRUE(extensionMatches("?.txt", ".txt"));
}

TEST(ExtensionMatches, EmptyAndOneCharacterPatternsMatchNoExtension) {
  EXPECT_FALSE(extensionMatches("*", ".txt"));
  EXPECT_FALSE(extensionMatches("*", "."));
  EXPECT_FALSE(extensionMatches(";*.txt", "."));
  EXPECT_TRUE(extensionMatches(";*.txt", ".txt"));
  EXPECT_FALSE(extensionMatches("*.a;;*.b", ".c"));
  EXPECT_TRUE(extensionMatches("*.a;;*.b", ".b"));
  EXPECT_TRUE(extensionMatches("*.a;", ".a"));
  EXPECT_FALSE(extensionMatches("*.a;", ""));
  EXPECT_FALSE(extensionMatches("", ".txt"));
  EXPECT_FALSE(extensionMatches("", ""));
  EXPECT_FALSE(extensionMatches(nullptr, ".txt"));
  EXPECT_FALSE(extensionMatches("*.txt", nullptr));
}

TEST(ExtensionMatches, StaysExactForPatternsOfAnyLength) {
  const std::string extension = "." + std::string(40, 'l');
  const std::string pattern = "*" + extension;
  EXPECT_TRUE(extensionMatches(pattern.c_str(), extension.c_str()));
  EXPECT_TRUE(extensionMatches(("*.txt;" + pattern).c_str(), extension.c_str()));
  // Patterns longer than 19 bytes that differ only after their 19th byte.
  EXPECT_FALSE(extensionMatches(pattern.c_str(), (extension + "x").c_str()));
  EXPECT_FALSE(extensionMatches((pattern + "x").c_str(), extension.c_str()));
  EXPECT_FALSE(extensionMatches(pattern.c_str(), extension.substr(0, 19).c_str()));
}

TEST(ApplyExtensionRule, FollowsTheExamplesForTxtAndText) {
  const char* pattern = "*.txt;*.text";
  EXPECT_EQ(ruledWith(pattern, "report"), "report.txt");
  EXPECT_EQ(ruledWith(pattern, "report.text"), "report.text");
  EXPECT_EQ(ruledWith(pattern, "report.doc"), "report.txt");
  EXPECT_EQ(ruledWith(pattern, "report.TXT"), "report.txt");
  EXPECT_EQ(ruledWith(pattern, "report."), "report.txt");
  EXPECT_EQ(ruledWith(pattern, "C:\\my.dir\\report"), "C:\\my.dir\\report.txt");
  EXPECT_EQ(ruledWith(pattern, "C:\\dir\\"), "C:\\dir\\.txt");
  EXPECT_EQ(ruledWith(pattern, ".profile"), ".txt");
  EXPECT_EQ(ruledWith(pattern, ""), "");
}

TEST(ApplyExtensionRule, UsesErrWhenTheIndexNamesNoPair) {
  const std::string list = filterList({"Text", "*.txt", "All", "*.*"});
  for (int index : {0, -1, 3}) {
    EXPECT_EQ(ruled(list, index, "data"), "data.err") << index;
    EXPECT_EQ(ruled(list, index, "data.txt"), "data.err") << index;
    EXPECT_EQ(ruled(list, index, "data.err"), "data.err") << index;
    EXPECT_EQ(ruled(list, index, ""), "") << index;
  }
  EXPECT_EQ(ruled(filterList({}), 1, "data"), "data.err");
  EXPECT_EQ(ruled(list, 2, "data.txt"), "data.*");
}

TEST(ApplyExtensionRule, TakesTheSuffixFromTheFirstPatternOnly) {
  EXPECT_EQ(ruledWith("*.*", "a.b"), "a.*");
  EXPECT_EQ(ruledWith("*.*", "a"), "a.*");
  EXPECT_EQ(ruledWith("*", "a.b"), "a");
  EXPECT_EQ(ruledWith("*", "a"), "a");
  EXPECT_EQ(ruledWith("*.htm;*.html", "page.html"), "page.html");
  EXPECT_EQ(ruledWith("*.htm;*.html", "page.xml"), "page.htm");
  EXPECT_EQ(ruledWith("*.tar.gz", "x.tar.gz"), "x.tar.tar.gz");
  // An empty first pattern gives no suffix, not the text after its ';'.
  EXPECT_EQ(ruledWith(";*.txt", "a.b"), "a");
  EXPECT_EQ(ruledWith(";*.txt", "a.txt"), "a.txt");
  EXPECT_EQ(ruledWith(";*.txt", "a"), "a");
}

TEST(ApplyExtensionRule, TakesBothSlashesAndADrivesColonAsTheEndOfTheFolder) {
  EXPECT_EQ(ruledWith("*.txt", "out.dir/report"), "out.dir/report.txt");
  EXPECT_EQ(ruledWith("*.txt", "C:/my.dir\\sub.d/report.doc"), "C:/my.dir\\sub.d/report.txt");
  EXPECT_EQ(ruledWith("*.txt", "C:\\my.dir\\report"), "C:\\my.dir\\report.txt");
  EXPECT_EQ(ruledWith("*.txt", "C:\\a.b\\c.d\\e.f"), "C:\\a.b\\c.d\\e.txt");
  EXPECT_EQ(ruledWith("*.txt", "C:\\a.b\\c.txt"), "C:\\a.b\\c.txt");
  EXPECT_EQ(ruledWith("*.txt", "\\"), "\\.txt");
  EXPECT_EQ(ruledWith("*.txt", "a.b/"), "a.b/.txt");
  EXPECT_EQ(ruledWith("*.txt", "C:report"), "C:report.txt");
  EXPECT_EQ(vantrel::lastPartStart("C:report", 8), 2u);
  EXPECT_EQ(vantrel::lastPartStart("C:/a/report", 11), 5u);
  // Only the second byte is a drive's colon.
  EXPECT_EQ(ruledWith("*.txt", "a.b:c"), "a.txt");
}

TEST(ApplyExtensionRule, WorksWithLongPatternsAndLongPatternStrings) {
  const std::string extension = "." + std::string(30, 'e');
  const std::string pattern = "*" + extension;
  EXPECT_EQ(ruledWith(pattern.c_str(), "a"), "a" + extension);
  EXPECT_EQ(ruledWith(pattern.c_str(), "a" + extension), "a" + extension);
  EXPECT_EQ(ruledWith(pattern.c_str(), "a" + extension + "e"), "a" + extension);

  // A pattern string of 300 bytes whose matching pattern lies far behind the
  // 200th byte, and whose first pattern is long too.
  std::string many = "*." + std::string(150, 'f');
  for (int i = 0; i < 20; ++i) many += ";*.x" + std::to_string(i);
  ASSERT_GT(many.size(), 250u);
  EXPECT_EQ(ruledWith(many.c_str(), "a.x19"), "a.x19");
  EXPECT_EQ(ruledWith(many.c_str(), "a.x20"), "a." + std::string(150, 'f'));
  EXPECT_EQ(ruledWith(many.c_str(), "a"), "a." + std::string(150, 'f'));
}

// The rule in a buffer of exactly `capacity` bytes with guard bytes behind.
std::string ruledIn(std::size_t capacity, const char* pattern, const std::string& name) {
  const std::string list = filterList({"Files", pattern});
  char buffer[64];
  std::memset(buffer, '#', sizeof buffer);
  std::memcpy(buffer, name.data(), std::min(name.size(), capacity));
  if (name.size() < capacity) buffer[name.size()] = '\0';
  applyExtensionRule(list.data(), 1, buffer, capacity);
  for (std::size_t i = capacity; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << "at " << i;
  return std::string(buffer, strnlen(buffer, capacity));
}

TEST(ApplyExtensionRule, NeverWritesPastItsBuffer) {
  // "report.txt" and its NUL need 11 bytes.
  EXPECT_EQ(ruledIn(11, "*.txt", "report"), "report.txt");
  EXPECT_EQ(ruledIn(10, "*.txt", "report"), "report");
  EXPECT_EQ(ruledIn(11, "*.txt", "report.c"), "report.txt");
  EXPECT_EQ(ruledIn(10, "*.txt", "report.c"), "report.c");
  // Shrinking always fits.
  EXPECT_EQ(ruledIn(14, "*.txt", "report.longer"), "report.txt");
  EXPECT_EQ(ruledIn(7, "*", "repo.t"), "repo");
  // A name that fills its buffer without a NUL is left alone.
  EXPECT_EQ(ruledIn(6, "*.txt", "report"), "report");
  EXPECT_EQ(ruledIn(1, "*.txt", ""), "");
  EXPECT_EQ(ruledIn(0, "*.txt", "x"), "");
  applyExtensionRule("F\0*.txt\0", 1, nullptr, 10);
}

}  // namespace
