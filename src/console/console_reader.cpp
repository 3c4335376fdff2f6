#include "console/console_reader.h"

#include <windows.h>

#include "console/key_codes.h"

namespace vantrel {
namespace {

// Holds a critical section for a scope.
class Held {
 public:
  explicit Held(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
  ~Held() { LeaveCriticalSection(&section_); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

 private:
  CRITICAL_SECTION& section_;
};

// Clears every input mode (line input, echo, processed input) for a scope
// and puts the saved mode back at its end, whatever way the scope is left.
// Neither mode call's result matters: a console that refuses a mode is read
// all the same.
class RawMode {
 public:
  explicit RawMode(HANDLE input) : input_(input) {
    GetConsoleMode(input_, &saved_);
    SetConsoleMode(input_, 0);
  }
  ~RawMode() { SetConsoleMode(input_, saved_); }
  RawMode(const RawMode&) = delete;
  RawMode& operator=(const RawMode&) = delete;

 private:
  HANDLE input_;
  // Restored as it stands even if it could not be read: 0 rather than
  // whatever the stack held.
  DWORD saved_ = 0;
};

// The library's only state, shared by every thread of the process. It is
// built when the library loads and torn down by the runtime's termination
// when the library unloads; the lock guards everything else here for the
// whole of a read, the wait for a key included.
class ConsoleInput {
 public:
  ConsoleInput() { InitializeCriticalSection(&lock_); }
  ~ConsoleInput() {
    if (state_ == State::kOpen) CloseHandle(handle_);
    DeleteCriticalSection(&lock_);
  }
  ConsoleInput(const ConsoleInput&) = delete;
  ConsoleInput& operator=(const ConsoleInput&) = delete;

  int readKey() {
    Held held(lock_);
    if (pending_ != kNoCharacter) {
      const int character = pending_;
      pending_ = kNoCharacter;
      return character;
    }
    if (state_ == State::kNotOpened) open();
    if (state_ == State::kUnavailable) return kNoCharacter;
    RawMode raw(handle_);
    return readUntilKey();
  }

 private:
  // A failed open is final: a process without console input does not gain
  // one by asking again.
  enum class State { kNotOpened, kOpen, kUnavailable };

  void open() {
    handle_ = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
    state_ = handle_ != INVALID_HANDLE_VALUE ? State::kOpen : State::kUnavailable;
  }

  // Waits without limit for a key-down record that carries a character or a
  // known extended key; everything else in the input is consumed and dropped.
  int readUntilKey() {
    for (;;) {
      INPUT_RECORD record;
      DWORD read = 0;
      if (!ReadConsoleInputA(handle_, &record, 1, &read) || read != 1) return kNoCharacter;
      if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
      const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
      const std::optional<KeyResults> results = keyDownResults(static_cast<std::uint8_t>(key.uChar.AsciiChar),
                                                               key.wVirtualScanCode, key.dwControlKeyState);
      if (!results) continue;
      pending_ = results->second;
      return results->first;
    }
  }

  CRITICAL_SECTION lock_;
  int pending_ = kNoCharacter;
  State state_ = State::kNotOpened;
  HANDLE handle_ = INVALID_HANDLE_VALUE;  // empty value: INVALID_HANDLE_VALUE
};

ConsoleInput console;

}  // namespace

int readConsoleKey() { return console.readKey(); }

}  // namespace vantrel
