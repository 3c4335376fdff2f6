#pragma once

#include <windows.h>

#include "binding/bounded_text.h"
#include "binding/buffer_sizes.h"

namespace vantrel {

// LOAD_LIBRARY_SEARCH_SYSTEM32: look in the system folder and nowhere else.
// The headers hide it at the system version this library targets; systems
// without the loader update that brought it refuse it as an invalid
// parameter.
constexpr DWORD kSearchSystemFolderOnly = 0x00000800;

// Loads `fileName` ("shfolder.dll") from the system folder only, never from
// the program's folder, the current folder or the search path, where anyone
// might have put a library of that name. NULL when it cannot be loaded.
inline HMODULE loadFromSystemFolder(const char* fileName) {
  HMODULE module = LoadLibraryExA(fileName, nullptr, kSearchSystemFolderOnly);
  if (module != nullptr) return module;
  // Read at once. Only a system that does not know the flag gets the full
  // path instead; any other failure is the library's own.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  char path[kPathBufferSize];
  const UINT length = GetSystemDirectoryA(path, sizeof path);
  // 0 is a failure, and a length of the buffer or more the size it would
  // need: either way there is no folder to load from.
  if (length == 0 || length >= sizeof path) return nullptr;
  path[length] = '\0';
  if (path[length - 1] != '\\' && !appendWhole(path, sizeof path, "\\")) return nullptr;
  if (!appendWhole(path, sizeof path, fileName)) return nullptr;
  // What the library itself needs is looked for beside it first.
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// A library loaded for one call, freed at the end of the scope. The empty
// value is NULL.
class LoadedLibrary {
 public:
  // By bare name: only for a Known DLL ("rpcrt4"), which the platform
  // always takes from the system folder.
  explicit LoadedLibrary(const char* name) : module_(LoadLibraryA(name)) {}
  // Every other library: from the system folder only.
  static LoadedLibrary fromSystemFolder(const char* fileName) {
    return LoadedLibrary(loadFromSystemFolder(fileName));
  }
  ~LoadedLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  bool ok() const { return module_ != nullptr; }

  // The entry point `name` with its real type, or null.
  template <typename Function>
  Function entry(const char* name) const {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

 private:
  explicit LoadedLibrary(HMODULE module) : module_(module) {}
  HMODULE module_;
};

}  // namespace vantrel
