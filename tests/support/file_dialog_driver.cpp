#include "support/file_dialog_driver.h"

// Declared in terms of windows.h, so after it.
#include <commdlg.h>
#include <dlgs.h>

#include <cstring>

#include "support/window_thread.h"

namespace support {
namespace {

constexpr DWORD kSendTimeoutMs = 5000;
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

struct OwnedSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK findOwnedDialog(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<OwnedSearch*>(lParam);
  if (hasClass(window, "#32770") && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == search->owner) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
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

bool anyDialogOf(DWORD threadId) { return waitForWindow(threadId, "#32770", 0) != nullptr; }

bool waitForNoDialog(DWORD threadId, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (anyDialogOf(threadId)) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
  return true;
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

LRESULT sendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result);
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

MessageBoxView FileDialog::waitForMessageBox(DWORD timeoutMs) const {
  const DWORD threadId = GetWindowThreadProcessId(window_, nullptr);
  const DWORD start = GetTickCount();
  OwnedSearch search = {window_, nullptr};
  while (true) {
    EnumThreadWindows(threadId, findOwnedDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr || GetTickCount() - start > timeoutMs) break;
    Sleep(20);
  }
  MessageBoxView view;
  if (search.found == nullptr) return view;
  // Up and waiting for the user once a message to it is answered.
  sendBounded(search.found, WM_NULL, 0, 0);
  view.window = search.found;
  view.caption = windowText(search.found);
  EnumChildWindows(search.found, readMessageBoxPart, reinterpret_cast<LPARAM>(&view));
  return view;
}

void FileDialog::answer(const MessageBoxView& box, int id) {
  PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box.window, id)));
  // Gone before the caller looks for what comes next.
  const DWORD start = GetTickCount();
  while (IsWindow(box.window) && GetTickCount() - start < kSendTimeoutMs) Sleep(20);
}

// ------------------------------------------------------------- DialogWatcher

DialogWatcher::DialogWatcher(std::function<void(FileDialog&)> script) : script_(std::move(script)) {
  const DWORD threadId = GetCurrentThreadId();
  thread_ = std::thread([this, threadId] { watch(threadId); });
}

DialogWatcher::~DialogWatcher() { join(); }

void DialogWatcher::join() {
  callReturned_ = true;
  if (thread_.joinable()) thread_.join();
}

void DialogWatcher::watch(DWORD threadId) {
  HWND window = nullptr;
  while (window == nullptr && !callReturned_) window = waitForWindow(threadId, "#32770", 100);
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
  for (int round = 0; round < 10 && anyDialogOf(threadId); ++round) {
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
