#pragma once

#include <windows.h>

namespace vantrel {

// The Explorer-style hook of the open, save and folder dialogs: centres the
// dialog over its owner, keeps a saved name's extension in step with the
// chosen type, and turns the open dialog into a folder picker. It learns the
// mode from the record's lCustData and always lets the dialog go on (0).
UINT_PTR CALLBACK dialogHook(HWND hookWindow, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vantrel
