#pragma once

// Calling getOpenSaveFileName from the dialog tests: the arguments with
// defaults, and a scratch folder under the Wine temp folder.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "support/fake_jni.h"
#include "support/vantrel_dll.h"

namespace dialogs {

using FilterArray = std::vector<std::optional<std::string>>;

inline const FilterArray& textAndCsv() {
  static const FilterArray filters = {"Text files", "*.txt;*.text", "CSV files", "*.csv"};
  return filters;
}

struct DialogCall {
  jint mode = 2;
  jint owner = 0;
  std::optional<FilterArray> filters = textAndCsv();
  jint filterIndex = 1;
  std::optional<std::string> name;
  std::optional<std::string> directory;
  std::optional<std::string> title;
  jint flags = 0;
};

// The Java arguments made in `jni`; absent values are null references.
inline jobjectArray callDialog(fakejni::Env& jni, const DialogCall& call) {
  auto text = [&](const std::optional<std::string>& value) { return value ? jni.string(*value) : nullptr; };
  jobjectArray filters = call.filters ? jni.stringArray(*call.filters) : nullptr;
  return VANTREL(getOpenSaveFileName)(jni.env(), nullptr, call.mode, call.owner, filters, call.filterIndex,
                                      text(call.name), text(call.directory), text(call.title), call.flags);
}

// A folder of this name under the temporary folder without files (those
// left by an earlier run are removed; folders stay), without a trailing
// backslash.
inline std::string scratchFolder(const std::string& name) {
  char temporary[MAX_PATH] = {};
  GetTempPathA(sizeof temporary, temporary);
  const std::string root = std::string(temporary) + "vantrel-dialogs";
  CreateDirectoryA(root.c_str(), nullptr);
  const std::string folder = root + "\\" + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      const std::string file = folder + "\\" + found.cFileName;
      SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file too
      DeleteFileA(file.c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return folder;
}

inline void createFile(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace dialogs
