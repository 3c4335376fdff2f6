#include "support/window_thread.h"

namespace support {
namespace {

constexpr UINT kRun = WM_APP + 1;
const char kWindowClass[] = "VantrelTestWindow";
const char kControlClass[] = "VantrelTestControl";

LRESULT CALLBACK controlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRun) {
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void registerClasses() {
  static const bool registered = [] {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);
    WNDCLASSA controlClass = {};
    controlClass.lpfnWndProc = controlProcedure;
    controlClass.hInstance = GetModuleHandleA(nullptr);
    controlClass.lpszClassName = kControlClass;
    RegisterClassA(&controlClass);
    return true;
  }();
  (void)registered;
}

}  // namespace

WindowThread::WindowThread() {
  registerClasses();
  ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = std::thread([this] { main(); });
  WaitForSingleObject(ready_, INFINITE);
}

WindowThread::~WindowThread() {
  PostMessageA(control_, WM_CLOSE, 0, 0);
  PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
  thread_.join();
  CloseHandle(ready_);
}

void WindowThread::main() {
  threadId_ = GetCurrentThreadId();
  control_ = CreateWindowExA(0, kControlClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here on
  SetEvent(ready_);
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void WindowThread::run(const std::function<void()>& work) {
  SendMessageA(control_, kRun, 0, reinterpret_cast<LPARAM>(&work));
}

HWND WindowThread::create(const std::string& title, int x, int y, int width, int height, DWORD style,
                          DWORD exStyle) {
  HWND window = nullptr;
  run([&] {
    window = CreateWindowExA(exStyle, kWindowClass, title.c_str(), style, x, y, width, height, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
  });
  return window;
}

void WindowThread::destroy(HWND window) {
  run([&] { DestroyWindow(window); });
}

}  // namespace support
