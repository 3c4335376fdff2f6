#pragma once

#include <windows.h>

namespace vantrel {

// The Explorer-style hook of the open, save and folder dialogs: centres the
// dialog over its owner, keeps a saved name's extension in step with the
// chosen type, and turns the open dialog into a folder picker. It learns the
// mode from the record's lCustData and lets the dialog go on (0), but for a
// saved name that the extension turned into an existing entry's which may
// not be returned: a folder, a read-only file under OFN_NOREADONLYRETURN,
// or a file the user, asked as OFN_OVERWRITEPROMPT wants, chose not to
// replace.
UINT_PTR CALLBACK dialogHook(HWND hookWindow, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vantrel
