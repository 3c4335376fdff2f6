#pragma once

#include <cstdint>
#include <optional>

// Key codes of the console key reader: how one key-down record becomes the
// one or two results that getConsoleChar hands to Java. Platform-free, so
// that the tables can be checked exhaustively on any host.
namespace vantrel {

// dwControlKeyState bits that the lookup reads.
constexpr std::uint32_t kAltPressed = 0x0003;    // RIGHT_ALT_PRESSED | LEFT_ALT_PRESSED
constexpr std::uint32_t kCtrlPressed = 0x000C;   // RIGHT_CTRL_PRESSED | LEFT_CTRL_PRESSED
constexpr std::uint32_t kShiftPressed = 0x0010;  // SHIFT_PRESSED
constexpr std::uint32_t kEnhancedKey = 0x0100;   // ENHANCED_KEY

// The marker for "no character": nothing pending, or no console input.
constexpr int kNoCharacter = -1;

// An extended key's two results: the prefix first, the code at the next call.
struct CodePair {
  std::uint8_t prefix;
  std::uint8_t code;
};

// The code pair of a key-down record whose character is 0, or nullopt when
// the key has none (Shift, Ctrl or Caps Lock alone, an unknown scan code).
std::optional<CodePair> extendedKeyCodes(std::uint16_t scanCode, std::uint32_t controlKeyState);

// What one key-down record yields: `first` is the result of this call,
// `second` the character left pending for the next (kNoCharacter when the
// key is an ordinary character).
struct KeyResults {
  int first;
  int second;
};

// nullopt: the record carries no key for the reader, which drops it.
std::optional<KeyResults> keyDownResults(std::uint8_t character, std::uint16_t scanCode,
                                         std::uint32_t controlKeyState);

}  // namespace vantrel
