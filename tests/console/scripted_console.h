#pragma once

// A console stand-in for Vantrel.dll's console reader: while one is alive,
// the DLL's imports of CreateFileA, GetConsoleMode, SetConsoleMode and
// ReadConsoleInputA come here. Reads deliver a script of input records (or
// failures), and every call is logged, so a test sees exactly which console
// operations a call made and in which mode it read.

#include <windows.h>

#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/import_hook.h"
#include "support/vantrel_dll.h"

namespace console_test {

constexpr DWORD kSavedMode = 0x1F7;  // a fresh console's input mode

inline INPUT_RECORD keyRecord(BOOL down, unsigned char character, WORD scanCode, DWORD state,
                              WORD repeat = 1) {
  INPUT_RECORD record = {};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down;
  record.Event.KeyEvent.wRepeatCount = repeat;
  record.Event.KeyEvent.wVirtualScanCode = scanCode;
  record.Event.KeyEvent.uChar.AsciiChar = static_cast<CHAR>(character);
  record.Event.KeyEvent.dwControlKeyState = state;
  return record;
}
inline INPUT_RECORD keyDown(unsigned char character, WORD scanCode, DWORD state = 0, WORD repeat = 1) {
  return keyRecord(TRUE, character, scanCode, state, repeat);
}
inline INPUT_RECORD keyUp(unsigned char character, WORD scanCode, DWORD state = 0) {
  return keyRecord(FALSE, character, scanCode, state);
}
inline INPUT_RECORD mouseRecord() {
  INPUT_RECORD record = {};
  record.EventType = MOUSE_EVENT;
  record.Event.MouseEvent.dwMousePosition = {3, 4};
  record.Event.MouseEvent.dwButtonState = FROM_LEFT_1ST_BUTTON_PRESSED;
  return record;
}
inline INPUT_RECORD focusRecord() {
  INPUT_RECORD record = {};
  record.EventType = FOCUS_EVENT;
  record.Event.FocusEvent.bSetFocus = TRUE;
  return record;
}
inline INPUT_RECORD windowSizeRecord() {
  INPUT_RECORD record = {};
  record.EventType = WINDOW_BUFFER_SIZE_EVENT;
  record.Event.WindowBufferSizeEvent.dwSize = {80, 25};
  return record;
}
inline INPUT_RECORD menuRecord() {
  INPUT_RECORD record = {};
  record.EventType = MENU_EVENT;
  record.Event.MenuEvent.dwCommandId = 1;
  return record;
}

class ScriptedConsole {
 public:
  ScriptedConsole()
      : createFile_(support::vantrelModule(), "KERNEL32.dll", "CreateFileA", &fakeCreateFile),
        getMode_(support::vantrelModule(), "KERNEL32.dll", "GetConsoleMode", &fakeGetMode),
        setMode_(support::vantrelModule(), "KERNEL32.dll", "SetConsoleMode", &fakeSetMode),
        read_(support::vantrelModule(), "KERNEL32.dll", "ReadConsoleInputA", &fakeRead) {
    current() = this;
    entered_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    release_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  }
  ~ScriptedConsole() {
    current() = nullptr;
    CloseHandle(entered_);
    CloseHandle(release_);
  }
  ScriptedConsole(const ScriptedConsole&) = delete;
  ScriptedConsole& operator=(const ScriptedConsole&) = delete;

  bool installed() const {
    return createFile_.installed() && getMode_.installed() && setMode_.installed() && read_.installed();
  }

  // The handle the open gives. It is a real handle (an event), so that the
  // library's closing it at unload is a valid close.
  static HANDLE handle() {
    static HANDLE console = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return console;
  }

  // The script: each read takes the next entry. With the script used up a
  // read fails, as a read from a closed console would.
  void push(const INPUT_RECORD& record) { add({Entry::kRecord, record}); }
  void pushFailedRead() { add({Entry::kFail, {}}); }
  void pushEmptyRead() { add({Entry::kNothing, {}}); }
  // The read that takes this entry signals entered() and waits for
  // release() before it delivers the entry after it.
  void pushGate() { add({Entry::kGate, {}}); }
  bool waitUntilGateEntered(DWORD timeoutMs) {
    return WaitForSingleObject(entered_, timeoutMs) == WAIT_OBJECT_0;
  }
  void releaseGate() { SetEvent(release_); }
  size_t scriptLeft() {
    std::lock_guard<std::mutex> guard(mutex_);
    return script_.size();
  }

  void failOpen(bool fail) { failOpen_ = fail; }

  std::vector<std::string> calls() {
    std::lock_guard<std::mutex> guard(mutex_);
    return calls_;
  }
  void clearCalls() {
    std::lock_guard<std::mutex> guard(mutex_);
    calls_.clear();
  }
  DWORD mode() const { return mode_; }

 private:
  struct Entry {
    enum Kind { kRecord, kFail, kNothing, kGate } kind;
    INPUT_RECORD record;
  };

  static ScriptedConsole*& current() {
    static ScriptedConsole* console = nullptr;
    return console;
  }
  void add(const Entry& entry) {
    std::lock_guard<std::mutex> guard(mutex_);
    script_.push_back(entry);
  }
  void log(const std::string& line) {
    std::lock_guard<std::mutex> guard(mutex_);
    calls_.push_back(line);
  }
  bool pop(Entry* entry) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (script_.empty()) return false;
    *entry = script_.front();
    script_.pop_front();
    return true;
  }
  static std::string handleNote(HANDLE handle) {
    return handle == ScriptedConsole::handle() ? "" : " (foreign handle)";
  }
  static std::string hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
  }

  static HANDLE WINAPI fakeCreateFile(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                      DWORD disposition, DWORD attributes, HANDLE templateFile) {
    ScriptedConsole* self = current();
    self->log(std::string("CreateFileA ") + (name ? name : "(null)") + " access=" + hex(access) +
              " share=" + hex(share) + " security=" + (security ? "given" : "null") +
              " disposition=" + std::to_string(disposition) + " attributes=" + hex(attributes) +
              " template=" + (templateFile ? "given" : "null"));
    if (self->failOpen_) {
      SetLastError(ERROR_INVALID_HANDLE);
      return INVALID_HANDLE_VALUE;
    }
    return handle();
  }
  static BOOL WINAPI fakeGetMode(HANDLE console, LPDWORD mode) {
    ScriptedConsole* self = current();
    self->log("GetConsoleMode" + handleNote(console));
    *mode = self->mode_;
    return TRUE;
  }
  static BOOL WINAPI fakeSetMode(HANDLE console, DWORD mode) {
    ScriptedConsole* self = current();
    self->log("SetConsoleMode " + hex(mode) + handleNote(console));
    self->mode_ = mode;
    return TRUE;
  }
  static BOOL WINAPI fakeRead(HANDLE console, PINPUT_RECORD buffer, DWORD length, LPDWORD read) {
    ScriptedConsole* self = current();
    self->log("ReadConsoleInputA length=" + std::to_string(length) + " in mode " + hex(self->mode_) +
              handleNote(console));
    Entry entry;
    bool have = self->pop(&entry);
    if (have && entry.kind == Entry::kGate) {
      SetEvent(self->entered_);
      WaitForSingleObject(self->release_, INFINITE);
      have = self->pop(&entry);
    }
    *read = 0;
    if (!have || entry.kind == Entry::kFail) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    if (entry.kind == Entry::kNothing) return TRUE;
    *buffer = entry.record;
    *read = 1;
    return TRUE;
  }

  support::ImportHook createFile_;
  support::ImportHook getMode_;
  support::ImportHook setMode_;
  support::ImportHook read_;
  std::mutex mutex_;
  std::deque<Entry> script_;
  std::vector<std::string> calls_;
  DWORD mode_ = kSavedMode;
  bool failOpen_ = false;
  HANDLE entered_;
  HANDLE release_;
};

// Checks inside a child process: each failure is a note the parent shows;
// the count is the exit code.
class ChildChecks {
 public:
  bool expect(bool ok, const std::string& what) {
    if (!ok) {
      ++failures_;
      support::childNote("FAILED: " + what);
    }
    return ok;
  }
  bool expectEqual(long long actual, long long expected, const std::string& what) {
    return expect(actual == expected,
                  what + ": got " + std::to_string(actual) + ", expected " + std::to_string(expected));
  }
  int exitCode() const { return failures_; }

 private:
  int failures_ = 0;
};

inline std::string joinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

}  // namespace console_test
