#pragma once

// Drives the platform's Explorer-style open/save dialog the way a user
// would, from a watcher thread, while the test's own thread is blocked in the
// call that shows it. Every wait is bounded: a dialog that does not show, or
// that the script leaves open, is reported and cancelled, never waited for.

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace support {

// A message box as the user sees it: its caption, its text and its
// buttons' texts, top to bottom or left to right.
struct MessageBoxView {
  HWND window = nullptr;
  std::string caption;
  std::string text;
  std::vector<std::string> buttons;
};

// The dialog as the watcher sees it. Reads and changes go to the dialog's
// thread as messages with a timeout.
class FileDialog {
 public:
  explicit FileDialog(HWND window) : window_(window) {}
  HWND window() const { return window_; }

  // The name box (cmb13 and the edit inside it).
  std::string nameBox() const;
  void setNameBox(const std::string& text) const;
  // Picks filter number `index` (from 1) in the type list, as a user's
  // choice does: the list sends CBN_SELENDOK.
  void pickType(int index) const;
  // The type list's entries, top to bottom.
  std::vector<std::string> types() const;
  bool isVisible(int controlId) const;
  // The accept button (id 1; the toolbar has that id too) and its text.
  HWND okButton() const;
  std::string okText() const;
  RECT rect() const;
  void pressOk() const;
  void cancel() const;
  // The message box the dialog raised on the last press, once the dialog
  // has handled it: its window is null when the press raised none (or no
  // further one after the last answer).
  MessageBoxView nextMessageBox() const;
  // Presses the button `id` (IDYES, IDNO) of a message box and waits until
  // it has closed.
  void answer(const MessageBoxView& box, int id) const;

 private:
  HWND control(int id) const { return GetDlgItem(window_, id); }
  HWND window_;
};

// Watches the thread that constructs it for a dialog window (class
// "#32770"), then runs `script` on the watcher thread. The script closes the
// dialog (pressOk, cancel); one that is still open some seconds after the
// script ends is cancelled and reported by leftOpen(). It keeps watching
// until join() says the call returned, however slowly the dialog opens:
// a watcher that gave up early would leave a late dialog open for good.
// Hooks on the constructing thread tell the watcher when a dialog window is
// destroyed and when the thread has handled what was posted to it, so its
// waits end on those events rather than after a fixed time. One watcher at
// a time.
class DialogWatcher {
 public:
  explicit DialogWatcher(std::function<void(FileDialog&)> script);
  ~DialogWatcher();
  DialogWatcher(const DialogWatcher&) = delete;
  DialogWatcher& operator=(const DialogWatcher&) = delete;

  // Call when the dialog call has returned: waits for the watcher to end;
  // the results below are valid afterwards.
  void join();
  bool sawDialog() const { return sawDialog_; }
  bool leftOpen() const { return leftOpen_; }

 private:
  void watch(DWORD threadId);
  std::function<void(FileDialog&)> script_;
  std::atomic<bool> callReturned_{false};
  std::thread thread_;
  bool sawDialog_ = false;
  bool leftOpen_ = false;
};

// Gives the dialogs of the calling thread the edit control edt1 that the
// dialog hook writes the name box into (Wine's dialog has none), and records
// each text written to it. Created on the dialog's thread as the dialog
// opens, before its first notification.
class NameBoxProbe {
 public:
  NameBoxProbe();
  ~NameBoxProbe();
  NameBoxProbe(const NameBoxProbe&) = delete;
  NameBoxProbe& operator=(const NameBoxProbe&) = delete;

  // Every text written to edt1, oldest first.
  std::vector<std::string> writes() const;
  std::string last() const;
};

// Sends to a window of another thread of this process, giving up after
// `timeoutMs` (a few seconds by default) rather than hanging the test.
// Returns the message's result (0 on timeout).
constexpr DWORD kSendTimeoutMs = 5000;
LRESULT sendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs = kSendTimeoutMs);

// The text of a window of any thread, read within a bounded time.
std::string windowText(HWND window);

}  // namespace support
