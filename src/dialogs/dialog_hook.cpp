#include "dialogs/dialog_hook.h"

// These build on windows.h, which dialog_hook.h brings in first.
#include <commdlg.h>
#include <dlgs.h>

#include <cstring>

#include "binding/bounded_text.h"
#include "binding/buffer_sizes.h"
#include "binding/text_builder.h"
#include "dialogs/centring.h"
#include "dialogs/dialog_record.h"

namespace vantrel {
namespace {

using HookText = char[kHookTextBufferSize];

Box boxOf(const RECT& rect) { return Box{rect.left, rect.top, rect.right, rect.bottom}; }

void centreOverOwner(HWND dialog) {
  // A dialog without an owner has nothing to be centred over: it stays
  // where the platform put it.
  HWND owner = GetParent(dialog);
  if (owner == nullptr) return;
  RECT dialogRect = {};
  RECT ownerRect = {};
  // A rectangle that cannot be read would place the dialog anywhere.
  if (!GetWindowRect(dialog, &dialogRect) || !GetWindowRect(owner, &ownerRect)) return;
  const Placement placement = centredOver(boxOf(ownerRect), boxOf(dialogRect));
  MoveWindow(dialog, placement.x, placement.y, placement.width, placement.height, TRUE);
}

// The type and name controls, with their labels, in the order they go.
constexpr WPARAM kFileControls[] = {stc2, cmb1, stc3, cmb13};

void becomeFolderPicker(HWND dialog) {
  for (WPARAM control : kFileControls) SendMessageA(dialog, CDM_HIDECONTROL, control, 0);
  SendMessageA(dialog, CDM_SETCONTROLTEXT, IDOK, reinterpret_cast<LPARAM>("OK"));
}

// Reads a text of the dialog (the name box, the folder's path) with `query`.
// No text at all (a negative answer) reads as the empty text. False when the
// text is longer than the buffer: a cut text written back would change the
// user's name, so the caller leaves the name box alone.
bool readDialogText(HWND dialog, UINT query, HookText& text) {
  text[0] = '\0';
  const LRESULT size = SendMessageA(dialog, query, sizeof text, reinterpret_cast<LPARAM>(text));
  if (size < 0) {
    text[0] = '\0';
    return true;
  }
  // LRESULT is as wide as a pointer: compared whole, never cut to 32 bits.
  if (static_cast<std::size_t>(size) > sizeof text) return false;
  text[sizeof text - 1] = '\0';
  return true;
}

void setNameBox(HWND dialog, const char* text) {
  SendMessageA(dialog, CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(text));
}

void followTypeChange(HWND dialog, const OPENFILENAMEA& record) {
  HookText name;
  if (!readDialogText(dialog, CDM_GETSPEC, name)) return;
  // The record's filter index already names the type just picked.
  applyExtensionRule(record, name, sizeof name);
  setNameBox(dialog, name);
}

void showFolder(HWND dialog) {
  HookText path;
  if (!readDialogText(dialog, CDM_GETFOLDERPATH, path)) return;
  // A drive root has no folder name the dialog could accept, so it is
  // shown with the placeholder, which is cut off again on accept.
  const std::size_t length = std::strlen(path);
  if (length >= 2 && path[length - 2] == ':' && path[length - 1] == '\\') {
    appendWhole(path, sizeof path, kFolderPlaceholder);
  }
  setNameBox(dialog, path);
}

// Asks the user, over the dialog, whether the existing file `name` may be
// replaced, as the platform asks about a typed name. True for Yes.
bool mayReplace(HWND dialog, const char* name) {
  HookText question;
  TextBuilder(question, sizeof question).add(name).add(" already exists.\nDo you want to replace it?");
  // The dialog's own title; without one, the platform's default caption.
  HookText caption = {};
  GetWindowTextA(dialog, caption, sizeof caption);
  return MessageBoxA(dialog, question, caption[0] != '\0' ? caption : nullptr, MB_YESNO | MB_ICONWARNING) ==
         IDYES;
}

// Gives the accepted name the filter's extension. The platform asked about
// overwriting (OFN_OVERWRITEPROMPT) before, for the name as typed; a name
// the rule changed into that of an existing file is asked about here. False
// when the user keeps that file: the name is then as the user typed it.
bool acceptSavedName(HWND dialog, const OPENFILENAMEA& record) {
  char* name = record.lpstrFile;
  char* separator = std::strrchr(name, '\\');
  char* lastPart = separator != nullptr ? separator + 1 : name;
  // A last part too long for the copy counts as changed: asking once too
  // often loses nothing.
  HookText typed;
  const bool copied = copyBounded(typed, sizeof typed, lastPart);
  applyExtensionRule(record, name, record.nMaxFile);
  if ((record.Flags & OFN_OVERWRITEPROMPT) == 0) return true;
  if (copied && std::strcmp(typed, lastPart) == 0) return true;
  if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) return true;
  if (mayReplace(dialog, lastPart)) return true;
  // Back as typed: the name was that long before the rule grew it.
  if (copied) std::memcpy(lastPart, typed, std::strlen(typed) + 1);
  return false;
}

// False when the dialog must stay open instead of accepting the name.
bool accept(HWND dialog, const OPENFILENAMEA& record) {
  if (record.lpstrFile == nullptr) return true;
  if (record.lCustData == kFolderDialog) {
    char* placeholder = std::strstr(record.lpstrFile, kFolderPlaceholder);
    if (placeholder != nullptr) *placeholder = '\0';
  } else if (record.lCustData == kSaveDialog) {
    return acceptSavedName(dialog, record);
  }
  return true;
}

}  // namespace

UINT_PTR CALLBACK dialogHook(HWND hookWindow, UINT message, WPARAM, LPARAM lParam) {
  // The platform runs the hook in a child of the real dialog; every control
  // message goes to the real dialog.
  if (message == WM_INITDIALOG) {
    const auto* record = reinterpret_cast<const OPENFILENAMEA*>(lParam);
    HWND dialog = GetParent(hookWindow);
    centreOverOwner(dialog);
    if (record != nullptr && record->lCustData == kFolderDialog) becomeFolderPicker(dialog);
    return 0;
  }
  if (message != WM_NOTIFY || lParam == 0) return 0;
  // Only the dialog's own notifications carry the record.
  const UINT code = reinterpret_cast<const NMHDR*>(lParam)->code;
  if (code != CDN_TYPECHANGE && code != CDN_FILEOK && code != CDN_FOLDERCHANGE && code != CDN_SELCHANGE) {
    return 0;
  }
  const OPENFILENAMEA* record = reinterpret_cast<const OFNOTIFYA*>(lParam)->lpOFN;
  if (record == nullptr) return 0;
  if (code == CDN_FILEOK) {
    if (!accept(GetParent(hookWindow), *record)) {
      // Refused: the dialog stays open and returns nothing.
      SetWindowLongPtrA(hookWindow, DWLP_MSGRESULT, 1);
      return 1;
    }
  } else if (code == CDN_TYPECHANGE) {
    if (record->lCustData == kSaveDialog) followTypeChange(GetParent(hookWindow), *record);
  } else if (record->lCustData == kFolderDialog) {
    showFolder(GetParent(hookWindow));
  }
  return 0;
}

}  // namespace vantrel
