#pragma once

#include <windows.h>
// Declared in terms of windows.h, so after it.
#include <commdlg.h>

#include <cstddef>

#include "dialogs/extension_rule.h"

// What the dialog driver and its hook share through the dialog record.
namespace vantrel {

// The dialog mode, carried to the hook in the record's lCustData.
enum DialogMode : LPARAM { kOpenDialog = 1, kSaveDialog = 2, kFolderDialog = 3 };

// The file name that stands for a drive root in folder mode: the name box
// shows it after "C:\", and it is cut off again when the user accepts.
constexpr char kFolderPlaceholder[] = "X_Y_X";

// The extension rule with the filter list and filter index that the record
// holds at the time of the call (the dialog updates the index as the user
// picks another type).
inline void applyExtensionRule(const OPENFILENAMEA& record, char* name, std::size_t capacity) {
  applyExtensionRule(record.lpstrFilter, static_cast<int>(record.nFilterIndex), name, capacity);
}

}  // namespace vantrel
