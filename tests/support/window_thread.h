#pragma once

// A thread that owns test windows and pumps their messages, so that calls
// which send to a window (and wait for its thread) can be made from the test.

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace support {

class WindowThread {
 public:
  WindowThread();
  ~WindowThread();
  WindowThread(const WindowThread&) = delete;
  WindowThread& operator=(const WindowThread&) = delete;

  // A visible top-level window with a standard system menu.
  HWND create(const std::string& title, int x = 100, int y = 100, int width = 400, int height = 300,
              DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, DWORD exStyle = 0);
  void destroy(HWND window);
  // Runs `work` on the window thread and waits for it.
  void run(const std::function<void()>& work);
  DWORD threadId() const { return threadId_; }

 private:
  void main();
  std::thread thread_;
  HWND control_ = nullptr;
  DWORD threadId_ = 0;
  HANDLE ready_ = nullptr;
};

}  // namespace support
