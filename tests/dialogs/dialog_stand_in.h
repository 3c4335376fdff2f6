#pragma once

// Stands in for the platform's open and save dialogs inside Vantrel.dll (by
// its import table): records the dialog record each call hands over and
// gives a scripted answer instead of showing a dialog.

#include <windows.h>
// Declared in terms of windows.h, so after it.
#include <commdlg.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/import_hook.h"
#include "support/vantrel_dll.h"

namespace dialogs {

// A filter list as bytes: each string with its NUL, then the final NUL.
inline std::string filterListBytes(const std::vector<std::string>& strings) {
  std::string bytes;
  for (const auto& text : strings) bytes += text + '\0';
  return bytes + '\0';
}

// The bytes of the filter list at `list`, up to and including its final NUL.
inline std::string filterListAt(const char* list) {
  if (list == nullptr) return "<null>";
  const char* end = list;
  while (*end != '\0') end += std::strlen(end) + 1;
  return std::string(list, static_cast<std::size_t>(end - list) + 1);
}

struct SeenDialog {
  std::string function;  // "GetOpenFileNameA" or "GetSaveFileNameA"
  OPENFILENAMEA record;  // as handed over (the pointers are only good during the call)
  std::string filterList;
  std::string fileName;
  std::optional<std::string> initialDir;
  std::optional<std::string> title;
};

inline std::vector<SeenDialog> seenDialogs;
// The dialog's answer; it may write the record as the platform would.
inline std::function<BOOL(OPENFILENAMEA&)> dialogAnswer;

inline BOOL standIn(const char* function, OPENFILENAMEA* record) {
  auto text = [](const char* bytes) { return bytes ? std::optional<std::string>(bytes) : std::nullopt; };
  seenDialogs.push_back(SeenDialog{function, *record, filterListAt(record->lpstrFilter), record->lpstrFile,
                                   text(record->lpstrInitialDir), text(record->lpstrTitle)});
  return dialogAnswer ? dialogAnswer(*record) : FALSE;
}

inline BOOL WINAPI standInOpen(LPOPENFILENAMEA record) { return standIn("GetOpenFileNameA", record); }
inline BOOL WINAPI standInSave(LPOPENFILENAMEA record) { return standIn("GetSaveFileNameA", record); }

// While it lives, no real dialog shows: every call is recorded and answered
// by dialogAnswer (cancel when unset).
class DialogStandIn {
 public:
  DialogStandIn()
      : open_(support::vantrelModule(), "COMDLG32.dll", "GetOpenFileNameA", &standInOpen),
        save_(support::vantrelModule(), "COMDLG32.dll", "GetSaveFileNameA", &standInSave) {
    seenDialogs.clear();
    dialogAnswer = nullptr;
  }
  ~DialogStandIn() { dialogAnswer = nullptr; }
  bool installed() const { return open_.installed() && save_.installed(); }

 private:
  support::ImportHook open_;
  support::ImportHook save_;
};

}  // namespace dialogs
