// The console key tables checked pair by pair. The expected pairs below are
// the key-code tables typed in by hand, never derived from the code.

#include "console/key_codes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace {

using vantrel::extendedKeyCodes;
using vantrel::keyDownResults;

using Pair = std::pair<int, int>;                // prefix, code
using Row = std::array<std::optional<Pair>, 4>;  // plain, Shift, Ctrl, Alt

enum { kPlain, kShift, kCtrl, kAlt };
const char* const kColumnNames[] = {"plain", "Shift", "Ctrl", "Alt"};

// Each column reached through each of its bits.
struct ColumnState {
  int column;
  std::uint32_t state;
};
constexpr ColumnState kColumnStates[] = {
    {kPlain, 0x0000}, {kShift, 0x0010}, {kCtrl, 0x0004}, {kCtrl, 0x0008}, {kAlt, 0x0001}, {kAlt, 0x0002},
};

constexpr std::uint32_t kEnhanced = 0x0100;

std::optional<Pair> lookup(int scanCode, std::uint32_t state) {
  const auto pair = extendedKeyCodes(static_cast<std::uint16_t>(scanCode), state);
  if (!pair) return std::nullopt;
  return Pair{pair->prefix, pair->code};
}

std::string describe(const std::optional<Pair>& pair) {
  return pair ? std::to_string(pair->first) + "/" + std::to_string(pair->second) : "no code";
}

// The pairs of the normal-key table that take effect; every other scan code
// and column gives no code.
std::map<int, Row> normalKeyTable() {
  std::map<int, Row> table;
  for (int scan = 59; scan <= 68; ++scan) {  // F1 to F10
    table[scan] = {Pair{0, scan}, Pair{0, scan + 25}, Pair{0, scan + 35}, Pair{0, scan + 45}};
  }
  const int keypad[] = {71, 72, 73, 75, 77, 79, 80, 81, 82, 83};
  const int ctrlKeypad[] = {119, 141, 132, 115, 116, 117, 145, 118, 146, 147};
  for (int i = 0; i < 10; ++i)
    table[keypad[i]] = Row{Pair{0, keypad[i]}, std::nullopt, Pair{0, ctrlKeypad[i]}, std::nullopt};
  table[87] = {Pair{224, 133}, Pair{224, 135}, Pair{224, 137}, Pair{224, 139}};
  table[88] = {Pair{224, 134}, Pair{224, 136}, Pair{224, 138}, Pair{224, 140}};
  table[15] = Row{std::nullopt, Pair{0, 15}, Pair{0, 148}, std::nullopt};
  table[3][kCtrl] = Pair{0, 3};
  table[1][kAlt] = Pair{0, 1};
  for (int scan = 2; scan <= 13; ++scan) table[scan][kAlt] = Pair{0, scan + 118};
  for (int scan = 14; scan <= 28; ++scan) table[scan][kAlt] = Pair{0, scan};
  for (int scan = 30; scan <= 41; ++scan) table[scan][kAlt] = Pair{0, scan};
  for (int scan = 44; scan <= 53; ++scan) table[scan][kAlt] = Pair{0, scan};
  return table;
}

// The enhanced-key table in full.
const std::map<int, Row> kEnhancedKeyTable = {
    {28, {Pair{13, 0}, Pair{13, 0}, Pair{10, 0}, Pair{0, 166}}},
    {53, {Pair{47, 0}, Pair{63, 0}, Pair{0, 149}, Pair{0, 164}}},
    {71, {Pair{224, 71}, Pair{224, 71}, Pair{224, 119}, Pair{0, 151}}},
    {72, {Pair{224, 72}, Pair{224, 72}, Pair{224, 141}, Pair{0, 152}}},
    {73, {Pair{224, 73}, Pair{224, 73}, Pair{224, 134}, Pair{0, 153}}},
    {75, {Pair{224, 75}, Pair{224, 75}, Pair{224, 115}, Pair{0, 155}}},
    {77, {Pair{224, 77}, Pair{224, 77}, Pair{224, 116}, Pair{0, 157}}},
    {79, {Pair{224, 79}, Pair{224, 79}, Pair{224, 117}, Pair{0, 159}}},
    {80, {Pair{224, 80}, Pair{224, 80}, Pair{224, 145}, Pair{0, 160}}},
    {81, {Pair{224, 81}, Pair{224, 81}, Pair{224, 118}, Pair{0, 161}}},
    {82, {Pair{224, 82}, Pair{224, 82}, Pair{224, 146}, Pair{0, 162}}},
    {83, {Pair{224, 83}, Pair{224, 83}, Pair{224, 147}, Pair{0, 163}}},
};

TEST(NormalKeys, EveryScanCodeAndColumnGivesItsPair) {
  const std::map<int, Row> table = normalKeyTable();
  int effective = 0;
  for (int scan = 0; scan <= 88; ++scan) {
    const auto row = table.find(scan);
    for (const ColumnState& cs : kColumnStates) {
      const std::optional<Pair> expected = row != table.end() ? row->second[cs.column] : std::nullopt;
      EXPECT_EQ(describe(lookup(scan, cs.state)), describe(expected))
          << "scan code " << scan << ", " << kColumnNames[cs.column] << " (state 0x" << std::hex << cs.state
          << ")";
      if (expected && cs.state != 0x0004 && cs.state != 0x0001) ++effective;
    }
  }
  // 10 F-keys x 4, 10 keypad keys x 2, F11/F12 x 4, Tab x 2, Ctrl+2, Alt+Esc,
  // Alt on 12 + 15 + 12 + 10 main-block keys.
  EXPECT_EQ(effective, 40 + 20 + 8 + 2 + 1 + 1 + 49);
}

TEST(NormalKeys, KeysWithoutAnyCode) {
  const int silent[] = {0, 29, 42, 43, 54, 55, 56, 57, 58, 69, 70, 74, 76, 78, 84, 85, 86};
  for (int scan : silent) {
    for (const ColumnState& cs : kColumnStates) {
      EXPECT_FALSE(lookup(scan, cs.state)) << "scan code " << scan << ", state 0x" << std::hex << cs.state;
    }
  }
  for (int scan = 71; scan <= 83; ++scan) {
    EXPECT_FALSE(lookup(scan, 0x0002)) << "keypad scan code " << scan << " with Alt";
  }
}

TEST(NormalKeys, ScanCodesPastTheTableGiveNoCode) {
  for (int scan = 89; scan <= 0xFFFF; ++scan) {
    for (const ColumnState& cs : kColumnStates) {
      ASSERT_FALSE(lookup(scan, cs.state)) << "scan code " << scan << ", state 0x" << std::hex << cs.state;
    }
  }
}

TEST(EnhancedKeys, EveryRowAndColumnGivesItsPairAsItStands) {
  for (const auto& [scan, row] : kEnhancedKeyTable) {
    for (const ColumnState& cs : kColumnStates) {
      EXPECT_EQ(describe(lookup(scan, cs.state | kEnhanced)), describe(row[cs.column]))
          << "enhanced scan code " << scan << ", " << kColumnNames[cs.column];
    }
  }
}

TEST(EnhancedKeys, OtherScanCodesGiveNoCodeEvenWhereTheNormalTableHasOne) {
  for (int scan = 0; scan <= 0xFFFF; ++scan) {
    if (kEnhancedKeyTable.count(scan) != 0) continue;
    for (const ColumnState& cs : kColumnStates) {
      ASSERT_FALSE(lookup(scan, cs.state | kEnhanced)) << "enhanced scan code " << scan;
    }
  }
  // F1 and F11 report no ENHANCED_KEY; with the bit they are unknown.
  EXPECT_TRUE(lookup(59, 0));
  EXPECT_FALSE(lookup(59, kEnhanced));
  EXPECT_FALSE(lookup(87, kEnhanced));
}

TEST(EnhancedKeys, TheBitChoosesTheTable) {
  EXPECT_EQ(describe(lookup(72, kEnhanced)), "224/72");  // grey Up
  EXPECT_EQ(describe(lookup(72, 0)), "0/72");            // keypad 8 with Num Lock off
  EXPECT_EQ(describe(lookup(72, kEnhanced | 0x0002)), "0/152");
  EXPECT_EQ(describe(lookup(72, 0x0002)), "no code");
  EXPECT_EQ(describe(lookup(73, kEnhanced | 0x0008)), "224/134");
  EXPECT_EQ(describe(lookup(73, 0x0008)), "0/132");
  EXPECT_EQ(describe(lookup(28, kEnhanced)), "13/0");
  EXPECT_EQ(describe(lookup(28, 0)), "no code");
  EXPECT_EQ(describe(lookup(28, 0x0002)), "0/28");
}

TEST(ModifierColumn, AltOutranksCtrlWhichOutranksShiftAndLockKeysPlayNoPart) {
  // F1 and the grey Up show every column with a different code.
  const int f1[] = {59, 84, 94, 104};
  const int up[] = {72, 72, 141, 152};
  for (std::uint32_t state = 0; state <= 0xFFFF; ++state) {
    if (state & kEnhanced) continue;
    const int column = (state & 0x0003)   ? kAlt
                       : (state & 0x000C) ? kCtrl
                       : (state & 0x0010) ? kShift
                                          : kPlain;
    const auto f1Pair = lookup(59, state);
    ASSERT_TRUE(f1Pair) << "state 0x" << std::hex << state;
    ASSERT_EQ(f1Pair->second, f1[column]) << "state 0x" << std::hex << state;
    const auto upPair = lookup(72, state | kEnhanced);
    ASSERT_TRUE(upPair) << "state 0x" << std::hex << state;
    ASSERT_EQ(upPair->second, up[column]) << "state 0x" << std::hex << state;
  }
  EXPECT_EQ(describe(lookup(59, 0x0008 | 0x0002)), "0/104");          // Ctrl+Alt: Alt
  EXPECT_EQ(describe(lookup(59, 0x0010 | 0x0004)), "0/94");           // Shift+Ctrl: Ctrl
  EXPECT_EQ(describe(lookup(59, 0x0020 | 0x0040 | 0x0080)), "0/59");  // Num, Scroll, Caps Lock
}

TEST(KeyDownResults, ACharacterIsTheResultWhateverTheKey) {
  for (std::uint32_t state : {0x0000u, 0x0010u, 0x0008u, 0x0002u, 0x0100u}) {
    const auto results = keyDownResults(97, 30, state);
    ASSERT_TRUE(results);
    EXPECT_EQ(results->first, 97);
    EXPECT_EQ(results->second, -1);
  }
  // A character byte counts unsigned, so 0xE0 reads as 224, and a key with
  // a code of its own (F1's scan code) still yields only its character.
  const auto high = keyDownResults(0xE0, 59, 0);
  ASSERT_TRUE(high);
  EXPECT_EQ(high->first, 224);
  EXPECT_EQ(high->second, -1);
  const auto top = keyDownResults(0xFF, 0xFFFF, 0);
  ASSERT_TRUE(top);
  EXPECT_EQ(top->first, 255);
}

TEST(KeyDownResults, AnExtendedKeyGivesItsPrefixThenItsCode) {
  const auto f1 = keyDownResults(0, 59, 0);
  ASSERT_TRUE(f1);
  EXPECT_EQ(f1->first, 0);
  EXPECT_EQ(f1->second, 59);
  const auto f12 = keyDownResults(0, 88, 0);
  ASSERT_TRUE(f12);
  EXPECT_EQ(f12->first, 224);
  EXPECT_EQ(f12->second, 134);
  // An enhanced pair counts as it stands: the keypad Enter gives 13, then 0.
  const auto enter = keyDownResults(0, 28, kEnhanced);
  ASSERT_TRUE(enter);
  EXPECT_EQ(enter->first, 13);
  EXPECT_EQ(enter->second, 0);
}

TEST(KeyDownResults, KeysWithoutACodeAreDropped) {
  EXPECT_FALSE(keyDownResults(0, 42, 0x0010));  // Shift alone
  EXPECT_FALSE(keyDownResults(0, 29, 0x0008));  // Ctrl alone
  EXPECT_FALSE(keyDownResults(0, 56, 0x0002));  // Alt alone
  EXPECT_FALSE(keyDownResults(0, 58, 0x0080));  // Caps Lock
  EXPECT_FALSE(keyDownResults(0, 30, 0));       // 'a' without its character
  EXPECT_FALSE(keyDownResults(0, 89, 0));
  EXPECT_FALSE(keyDownResults(0, 0xFFFF, 0x0002));
  const auto altA = keyDownResults(0, 30, 0x0002);
  ASSERT_TRUE(altA);
  EXPECT_EQ(altA->first, 0);
  EXPECT_EQ(altA->second, 30);
}

}  // namespace
