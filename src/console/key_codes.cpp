#include "console/key_codes.h"

#include <cstddef>

namespace vantrel {
namespace {

// Columns of a table row, chosen by the modifier keys held.
enum Column : std::size_t { kPlain, kShift, kCtrl, kAlt, kColumns };

constexpr CodePair kNone = {0, 0};
constexpr std::uint8_t kPrefixZero = 0x00;
constexpr std::uint8_t kPrefixExtended = 0xE0;

struct EnhancedRow {
  std::uint16_t scanCode;
  CodePair pairs[kColumns];
};

// Keys that report ENHANCED_KEY: the grey block and the keypad's Enter and
// '/'. Every pair here counts as given, even those whose code is 0, so the
// keypad Enter yields 13 and then 0.
constexpr EnhancedRow kEnhancedKeys[] = {
    // scan code, then the pairs for plain, Shift, Ctrl, Alt
    {28, {{13, 0}, {13, 0}, {10, 0}, {0, 166}}},         // keypad Enter
    {53, {{47, 0}, {63, 0}, {0, 149}, {0, 164}}},        // keypad /
    {71, {{224, 71}, {224, 71}, {224, 119}, {0, 151}}},  // Home
    {72, {{224, 72}, {224, 72}, {224, 141}, {0, 152}}},  // Up
    {73, {{224, 73}, {224, 73}, {224, 134}, {0, 153}}},  // Page Up
    {75, {{224, 75}, {224, 75}, {224, 115}, {0, 155}}},  // Left
    {77, {{224, 77}, {224, 77}, {224, 116}, {0, 157}}},  // Right
    {79, {{224, 79}, {224, 79}, {224, 117}, {0, 159}}},  // End
    {80, {{224, 80}, {224, 80}, {224, 145}, {0, 160}}},  // Down
    {81, {{224, 81}, {224, 81}, {224, 118}, {0, 161}}},  // Page Down
    {82, {{224, 82}, {224, 82}, {224, 146}, {0, 162}}},  // Insert
    {83, {{224, 83}, {224, 83}, {224, 147}, {0, 163}}},  // Delete
};

// Every other key, indexed by scan code. Keys with a character deliver it in
// the record itself, so their rows hold no pair here.
constexpr CodePair kNormalKeys[][kColumns] = {
    // /* scan code, key */ pairs for plain, Shift, Ctrl, Alt
    /*  0 none               */ {kNone, kNone, kNone, kNone},
    /*  1 Esc                */ {kNone, kNone, kNone, {0, 1}},
    /*  2 1                  */ {kNone, kNone, kNone, {0, 120}},
    /*  3 2                  */ {kNone, kNone, {0, 3}, {0, 121}},
    /*  4 3                  */ {kNone, kNone, kNone, {0, 122}},
    /*  5 4                  */ {kNone, kNone, kNone, {0, 123}},
    /*  6 5                  */ {kNone, kNone, kNone, {0, 124}},
    /*  7 6                  */ {kNone, kNone, kNone, {0, 125}},
    /*  8 7                  */ {kNone, kNone, kNone, {0, 126}},
    /*  9 8                  */ {kNone, kNone, kNone, {0, 127}},
    /* 10 9                  */ {kNone, kNone, kNone, {0, 128}},
    /* 11 0                  */ {kNone, kNone, kNone, {0, 129}},
    /* 12 -                  */ {kNone, kNone, kNone, {0, 130}},
    /* 13 =                  */ {kNone, kNone, kNone, {0, 131}},
    /* 14 Backspace          */ {kNone, kNone, kNone, {0, 14}},
    /* 15 Tab                */ {kNone, {0, 15}, {0, 148}, {0, 15}},
    /* 16 Q                  */ {kNone, kNone, kNone, {0, 16}},
    /* 17 W                  */ {kNone, kNone, kNone, {0, 17}},
    /* 18 E                  */ {kNone, kNone, kNone, {0, 18}},
    /* 19 R                  */ {kNone, kNone, kNone, {0, 19}},
    /* 20 T                  */ {kNone, kNone, kNone, {0, 20}},
    /* 21 Y                  */ {kNone, kNone, kNone, {0, 21}},
    /* 22 U                  */ {kNone, kNone, kNone, {0, 22}},
    /* 23 I                  */ {kNone, kNone, kNone, {0, 23}},
    /* 24 O                  */ {kNone, kNone, kNone, {0, 24}},
    /* 25 P                  */ {kNone, kNone, kNone, {0, 25}},
    /* 26 [                  */ {kNone, kNone, kNone, {0, 26}},
    /* 27 ]                  */ {kNone, kNone, kNone, {0, 27}},
    /* 28 Enter              */ {kNone, kNone, kNone, {0, 28}},
    /* 29 Ctrl               */ {kNone, kNone, kNone, kNone},
    /* 30 A                  */ {kNone, kNone, kNone, {0, 30}},
    /* 31 S                  */ {kNone, kNone, kNone, {0, 31}},
    /* 32 D                  */ {kNone, kNone, kNone, {0, 32}},
    /* 33 F                  */ {kNone, kNone, kNone, {0, 33}},
    /* 34 G                  */ {kNone, kNone, kNone, {0, 34}},
    /* 35 H                  */ {kNone, kNone, kNone, {0, 35}},
    /* 36 J                  */ {kNone, kNone, kNone, {0, 36}},
    /* 37 K                  */ {kNone, kNone, kNone, {0, 37}},
    /* 38 L                  */ {kNone, kNone, kNone, {0, 38}},
    /* 39 ;                  */ {kNone, kNone, kNone, {0, 39}},
    /* 40 '                  */ {kNone, kNone, kNone, {0, 40}},
    /* 41 `                  */ {kNone, kNone, kNone, {0, 41}},
    /* 42 left Shift         */ {kNone, kNone, kNone, kNone},
    /* 43 backslash          */ {kNone, kNone, kNone, kNone},
    /* 44 Z                  */ {kNone, kNone, kNone, {0, 44}},
    /* 45 X                  */ {kNone, kNone, kNone, {0, 45}},
    /* 46 C                  */ {kNone, kNone, kNone, {0, 46}},
    /* 47 V                  */ {kNone, kNone, kNone, {0, 47}},
    /* 48 B                  */ {kNone, kNone, kNone, {0, 48}},
    /* 49 N                  */ {kNone, kNone, kNone, {0, 49}},
    /* 50 M                  */ {kNone, kNone, kNone, {0, 50}},
    /* 51 ,                  */ {kNone, kNone, kNone, {0, 51}},
    /* 52 .                  */ {kNone, kNone, kNone, {0, 52}},
    /* 53 /                  */ {kNone, kNone, kNone, {0, 53}},
    /* 54 right Shift        */ {kNone, kNone, kNone, kNone},
    /* 55 keypad *           */ {kNone, kNone, kNone, kNone},
    /* 56 Alt                */ {kNone, kNone, kNone, kNone},
    /* 57 Space              */ {kNone, kNone, kNone, kNone},
    /* 58 Caps Lock          */ {kNone, kNone, kNone, kNone},
    /* 59 F1                 */ {{0, 59}, {0, 84}, {0, 94}, {0, 104}},
    /* 60 F2                 */ {{0, 60}, {0, 85}, {0, 95}, {0, 105}},
    /* 61 F3                 */ {{0, 61}, {0, 86}, {0, 96}, {0, 106}},
    /* 62 F4                 */ {{0, 62}, {0, 87}, {0, 97}, {0, 107}},
    /* 63 F5                 */ {{0, 63}, {0, 88}, {0, 98}, {0, 108}},
    /* 64 F6                 */ {{0, 64}, {0, 89}, {0, 99}, {0, 109}},
    /* 65 F7                 */ {{0, 65}, {0, 90}, {0, 100}, {0, 110}},
    /* 66 F8                 */ {{0, 66}, {0, 91}, {0, 101}, {0, 111}},
    /* 67 F9                 */ {{0, 67}, {0, 92}, {0, 102}, {0, 112}},
    /* 68 F10                */ {{0, 68}, {0, 93}, {0, 103}, {0, 113}},
    /* 69 Num Lock           */ {kNone, kNone, kNone, kNone},
    /* 70 Scroll Lock        */ {kNone, kNone, kNone, kNone},
    /* 71 keypad 7 Home      */ {{0, 71}, kNone, {0, 119}, kNone},
    /* 72 keypad 8 Up        */ {{0, 72}, kNone, {0, 141}, kNone},
    /* 73 keypad 9 Page Up   */ {{0, 73}, kNone, {0, 132}, kNone},
    /* 74 keypad -           */ {kNone, kNone, kNone, kNone},
    /* 75 keypad 4 Left      */ {{0, 75}, kNone, {0, 115}, kNone},
    /* 76 keypad 5           */ {kNone, kNone, kNone, kNone},
    /* 77 keypad 6 Right     */ {{0, 77}, kNone, {0, 116}, kNone},
    /* 78 keypad +           */ {kNone, kNone, kNone, kNone},
    /* 79 keypad 1 End       */ {{0, 79}, kNone, {0, 117}, kNone},
    /* 80 keypad 2 Down      */ {{0, 80}, kNone, {0, 145}, kNone},
    /* 81 keypad 3 Page Down */ {{0, 81}, kNone, {0, 118}, kNone},
    /* 82 keypad 0 Insert    */ {{0, 82}, kNone, {0, 146}, kNone},
    /* 83 keypad . Delete    */ {{0, 83}, kNone, {0, 147}, kNone},
    /* 84 SysRq              */ {kNone, kNone, kNone, kNone},
    /* 85 unassigned         */ {kNone, kNone, kNone, kNone},
    /* 86 102nd key          */ {kNone, kNone, kNone, kNone},
    /* 87 F11                */ {{224, 133}, {224, 135}, {224, 137}, {224, 139}},
    /* 88 F12                */ {{224, 134}, {224, 136}, {224, 138}, {224, 140}},
};

static_assert(sizeof kEnhancedKeys / sizeof kEnhancedKeys[0] == 12, "one row per enhanced key");
static_assert(sizeof kNormalKeys / sizeof kNormalKeys[0] == 89, "one row per scan code 0 to 88");

// Alt outranks Ctrl, Ctrl outranks Shift; the lock keys play no part.
Column columnFor(std::uint32_t controlKeyState) {
  if (controlKeyState & kAltPressed) return kAlt;
  if (controlKeyState & kCtrlPressed) return kCtrl;
  if (controlKeyState & kShiftPressed) return kShift;
  return kPlain;
}

bool takesEffect(CodePair pair) {
  return (pair.prefix == kPrefixZero || pair.prefix == kPrefixExtended) && pair.code != 0;
}

}  // namespace

std::optional<CodePair> extendedKeyCodes(std::uint16_t scanCode, std::uint32_t controlKeyState) {
  const Column column = columnFor(controlKeyState);
  if (controlKeyState & kEnhancedKey) {
    for (const EnhancedRow& row : kEnhancedKeys) {
      if (row.scanCode == scanCode) return row.pairs[column];
    }
    return std::nullopt;
  }
  // Scan codes past the table's end belong to no key that it knows.
  if (scanCode >= sizeof kNormalKeys / sizeof kNormalKeys[0]) return std::nullopt;
  const CodePair pair = kNormalKeys[scanCode][column];
  if (!takesEffect(pair)) return std::nullopt;
  return pair;
}

std::optional<KeyResults> keyDownResults(std::uint8_t character, std::uint16_t scanCode,
                                         std::uint32_t controlKeyState) {
  if (character != 0) return KeyResults{character, kNoCharacter};
  const std::optional<CodePair> pair = extendedKeyCodes(scanCode, controlKeyState);
  if (!pair) return std::nullopt;
  return KeyResults{pair->prefix, pair->code};
}

}  // namespace vantrel
