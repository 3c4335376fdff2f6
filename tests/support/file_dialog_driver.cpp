#include "support/file_dialog_driver.h"

// Declared in terms of windows.h, so after it.
#include <commdlg.h>
#include <dlgs.h>

#include <mutex>
#include <set>

namespace support {
namespace {

constexpr DWORD kCloseTimeoutMs = 10000;
const char kProbeClass[] = "VantrelNameBoxProbe";

bool hasClass(HWND window, const char* className) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return lstrcmpiA(name, className) == 0;
}

struct ButtonSearch {
  HWND found;
};

BOOL CALLBACK findOkButton(HWND window, LPARAM lParam) {
  if (GetDlgCtrlID(window) == IDOK && hasClass(window, "Button")) {
    reinterpret_cast<ButtonSearch*>(lParam)->found = window;
    return FALSE;
  }
  return TRUE;
}

// What the hooks on the dialog's thread saw, for the watcher: dialog windows
// being destroyed, and the markers the thread took from its queue. One
// watcher at a time.
struct DialogThreadEvents {
  std::mutex mutex;
  std::set<HWND> destroyed;
  int markersTaken = 0;
  HANDLE changed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HHOOK destroyHook = nullptr;
  HHOOK queueHook = nullptr;
};
DialogThreadEvents threadEvents;

UINT markerMessage() {
  static const UINT message = RegisterWindowMessageA("VantrelDialogMarker");
  return message;
}

LRESULT CALLBACK watchDestroy(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_DESTROYWND && hasClass(reinterpret_cast<HWND>(wParam), "#32770")) {
    {
      std::lock_guard<std::mutex> lock(threadEvents.mutex);
      threadEvents.destroyed.insert(reinterpret_cast<HWND>(wParam));
    }
    SetEvent(threadEvents.changed);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK watchQueue(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && message->hwnd == nullptr &&
      message->message == markerMessage()) {
    {
      std::lock_guard<std::mutex> lock(threadEvents.mutex);
      ++threadEvents.markersTaken;
    }
    SetEvent(threadEvents.changed);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

int markersTaken() {
  std::lock_guard<std::mutex> lock(threadEvents.mutex);
  return threadEvents.markersTaken;
}

// Destroyed, or on its way: the handle stays valid while it is destroyed.
bool gone(HWND window) {
  std::lock_guard<std::mutex> lock(threadEvents.mutex);
  return threadEvents.destroyed.count(window) != 0 || !IsWindow(window);
}

// Checks `done` whenever the dialog's thread reports a change, and at
// least every few milliseconds for what no hook reports (a window shown).
template <typename Condition>
bool waitUntil(const Condition& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    const DWORD spent = GetTickCount() - start;
    if (spent >= timeoutMs) return false;
    WaitForSingleObject(threadEvents.changed, timeoutMs - spent < 20 ? timeoutMs - spent : 20);
  }
  return true;
}

struct DialogSearch {
  HWND owner;  // nullptr: any visible dialog of the thread
  HWND found;
};

// A live "#32770" window: a visible one, or one owned by `owner` whether or
// not it shows yet (a message box is shown from within its own loop).
BOOL CALLBACK findDialog(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<DialogSearch*>(lParam);
  const bool candidate = search->owner != nullptr ? GetWindow(window, GW_OWNER) == search->owner
                                                  : IsWindowVisible(window) != FALSE;
  if (candidate && hasClass(window, "#32770") && !gone(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND dialogOf(DWORD threadId, HWND owner = nullptr) {
  DialogSearch search = {owner, nullptr};
  EnumThreadWindows(threadId, findDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK readMessageBoxPart(HWND window, LPARAM lParam) {
  auto* view = reinterpret_cast<MessageBoxView*>(lParam);
  if (hasClass(window, "Button")) {
    view->buttons.push_back(windowText(window));
  } else if (hasClass(window, "Static") && !windowText(window).empty()) {
    view->text = windowText(window);
  }
  return TRUE;
}

BOOL CALLBACK closeDialogWindow(HWND window, LPARAM) {
  if (hasClass(window, "#32770") && IsWindowVisible(window)) PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

bool waitForNoDialog(DWORD threadId, DWORD timeoutMs) {
  return waitUntil([&] { return dialogOf(threadId) == nullptr; }, timeoutMs);
}

// The probe's state: one probe at a time, on the thread that shows dialogs.
struct ProbeState {
  std::mutex mutex;
  std::vector<std::string> writes;
  HHOOK hook = nullptr;
  bool creating = false;
};
ProbeState probe;

LRESULT CALLBACK probeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETTEXT && lParam != 0) {
    std::lock_guard<std::mutex> lock(probe.mutex);
    probe.writes.emplace_back(reinterpret_cast<const char*>(lParam));
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The hook's window is a child dialog inside the real one.
bool isHookWindow(HWND window) {
  return (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0 && hasClass(window, "#32770") &&
         hasClass(GetParent(window), "#32770");
}

LRESULT CALLBACK watchDialogMessages(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && !probe.creating &&
      (sent->message == WM_INITDIALOG || sent->message == WM_NOTIFY) && isHookWindow(sent->hwnd)) {
    HWND dialog = GetParent(sent->hwnd);
    if (GetDlgItem(dialog, edt1) == nullptr) {
      probe.creating = true;
      CreateWindowExA(0, kProbeClass, "", WS_CHILD, 0, 0, 0, 0, dialog,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(edt1)), GetModuleHandleA(nullptr),
                      nullptr);
      probe.creating = false;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

LRESULT sendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &result);
  return static_cast<LRESULT>(result);
}

std::string windowText(HWND window) {
  char text[4096] = {};
  sendBounded(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

// ---------------------------------------------------------------- FileDialog

std::string FileDialog::nameBox() const {
  HWND box = control(cmb13);
  HWND edit = FindWindowExA(box, nullptr, "Edit", nullptr);
  if (edit == nullptr)
    edit = FindWindowExA(FindWindowExA(box, nullptr, "ComboBox", nullptr), nullptr, "Edit", nullptr);
  return edit != nullptr ? windowText(edit) : windowText(box);
}

void FileDialog::setNameBox(const std::string& text) const {
  HWND box = control(cmb13);
  HWND edit = FindWindowExA(box, nullptr, "Edit", nullptr);
  if (edit == nullptr)
    edit = FindWindowExA(FindWindowExA(box, nullptr, "ComboBox", nullptr), nullptr, "Edit", nullptr);
  sendBounded(edit != nullptr ? edit : box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void FileDialog::pickType(int index) const {
  HWND list = control(cmb1);
  sendBounded(list, CB_SETCURSEL, static_cast<WPARAM>(index - 1), 0);
  sendBounded(window_, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), reinterpret_cast<LPARAM>(list));
}

std::vector<std::string> FileDialog::types() const {
  HWND list = control(cmb1);
  std::vector<std::string> result;
  const LRESULT count = sendBounded(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char text[512] = {};
    if (sendBounded(list, CB_GETLBTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof text)) {
      sendBounded(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    }
    result.emplace_back(text);
  }
  return result;
}

bool FileDialog::isVisible(int controlId) const { return IsWindowVisible(control(controlId)) != FALSE; }

HWND FileDialog::okButton() const {
  ButtonSearch search = {nullptr};
  EnumChildWindows(window_, findOkButton, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string FileDialog::okText() const { return windowText(okButton()); }

RECT FileDialog::rect() const {
  RECT rect = {};
  GetWindowRect(window_, &rect);
  return rect;
}

void FileDialog::pressOk() const {
  PostMessageA(window_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(okButton()));
}

void FileDialog::cancel() const {
  PostMessageA(window_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window_, IDCANCEL)));
}

MessageBoxView FileDialog::nextMessageBox() const {
  // A marker posted behind the press is taken from the thread's queue by the
  // loop of the message box the press raised, or once the press has been
  // handled and nothing was raised. Now and then a loop the dialog runs
  // while it handles the press, before its message box exists, takes the
  // marker: only a box still missing after a second marker is none.
  const DWORD threadId = GetWindowThreadProcessId(window_, nullptr);
  MessageBoxView view;
  for (int marker = 0; marker < 2 && view.window == nullptr && !gone(window_); ++marker) {
    const int before = markersTaken();
    PostThreadMessageA(threadId, markerMessage(), 0, 0);
    waitUntil([&] { return markersTaken() > before || gone(window_); }, kSendTimeoutMs);
    view.window = dialogOf(threadId, window_);
  }
  if (view.window == nullptr) return view;
  view.caption = windowText(view.window);
  EnumChildWindows(view.window, readMessageBoxPart, reinterpret_cast<LPARAM>(&view));
  return view;
}

void FileDialog::answer(const MessageBoxView& box, int id) const {
  PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box.window, id)));
  // Gone before the caller looks for what comes next.
  waitUntil([&] { return gone(box.window); }, kSendTimeoutMs);
}

// ------------------------------------------------------------- DialogWatcher

DialogWatcher::DialogWatcher(std::function<void(FileDialog&)> script) : script_(std::move(script)) {
  const DWORD threadId = GetCurrentThreadId();
  {
    std::lock_guard<std::mutex> lock(threadEvents.mutex);
    threadEvents.destroyed.clear();
  }
  threadEvents.destroyHook = SetWindowsHookExA(WH_CBT, watchDestroy, nullptr, threadId);
  threadEvents.queueHook = SetWindowsHookExA(WH_GETMESSAGE, watchQueue, nullptr, threadId);
  thread_ = std::thread([this, threadId] { watch(threadId); });
}

DialogWatcher::~DialogWatcher() { join(); }

void DialogWatcher::join() {
  callReturned_ = true;
  SetEvent(threadEvents.changed);
  if (thread_.joinable()) thread_.join();
  if (threadEvents.destroyHook) UnhookWindowsHookEx(threadEvents.destroyHook);
  if (threadEvents.queueHook) UnhookWindowsHookEx(threadEvents.queueHook);
  threadEvents.destroyHook = threadEvents.queueHook = nullptr;
}

void DialogWatcher::watch(DWORD threadId) {
  HWND window = nullptr;
  waitUntil(
      [&] {
        window = dialogOf(threadId);
        return window != nullptr || callReturned_;
      },
      INFINITE);
  if (window == nullptr) return;
  sawDialog_ = true;
  // A message sent to the dialog is handled once its thread waits in the
  // dialog's loop, so the dialog has finished opening when this returns.
  sendBounded(window, WM_NULL, 0, 0);
  FileDialog dialog(window);
  script_(dialog);
  if (waitForNoDialog(threadId, kCloseTimeoutMs)) return;
  leftOpen_ = true;
  // Message boxes the dialog raised go first, then the dialog itself.
  for (int round = 0; round < 10 && dialogOf(threadId) != nullptr; ++round) {
    EnumThreadWindows(threadId, closeDialogWindow, 0);
    waitForNoDialog(threadId, 1000);
  }
}

// -------------------------------------------------------------- NameBoxProbe

NameBoxProbe::NameBoxProbe() {
  static const bool registered = [] {
    WNDCLASSA probeClass = {};
    probeClass.lpfnWndProc = probeProcedure;
    probeClass.hInstance = GetModuleHandleA(nullptr);
    probeClass.lpszClassName = kProbeClass;
    return RegisterClassA(&probeClass) != 0;
  }();
  (void)registered;
  {
    std::lock_guard<std::mutex> lock(probe.mutex);
    probe.writes.clear();
  }
  probe.hook = SetWindowsHookExA(WH_CALLWNDPROC, watchDialogMessages, nullptr, GetCurrentThreadId());
}

NameBoxProbe::~NameBoxProbe() {
  if (probe.hook != nullptr) UnhookWindowsHookEx(probe.hook);
  probe.hook = nullptr;
}

std::vector<std::string> NameBoxProbe::writes() const {
  std::lock_guard<std::mutex> lock(probe.mutex);
  return probe.writes;
}

std::string NameBoxProbe::last() const {
  std::lock_guard<std::mutex> lock(probe.mutex);
  return probe.writes.empty() ? std::string("<nothing written>") : probe.writes.back();
}

}  // namespace support
