#pragma once

// Watches how Vantrel.dll loads libraries: its LoadLibraryA, LoadLibraryExA,
// GetProcAddress and FreeLibrary imports are intercepted for the life of the
// object and pass through to the platform unless the test scripts a failure
// or a stand-in entry point. Each call is logged with the number of JNI
// calls the fake environment had seen by then, so that a test can tell
// whether a library was freed before or after the result string was made.
// One watch at a time.

#include <windows.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "support/fake_jni.h"
#include "support/import_hook.h"

namespace support {

class LibraryLoadWatch {
 public:
  explicit LibraryLoadWatch(const fakejni::Env* jni = nullptr);
  ~LibraryLoadWatch();
  LibraryLoadWatch(const LibraryLoadWatch&) = delete;
  LibraryLoadWatch& operator=(const LibraryLoadWatch&) = delete;

  // True when the lookups, the freeing and at least one way of loading are
  // watched (the DLL need not import both).
  bool installed() const;

  // LoadLibraryA or LoadLibraryExA of `name` fails with `error`.
  void failLoadOf(const std::string& name, DWORD error = ERROR_MOD_NOT_FOUND) { failingLoads_[name] = error; }
  // GetProcAddress of `entry` answers `replacement` (nullptr: the entry is
  // missing, ERROR_PROC_NOT_FOUND).
  template <typename Function>
  void replaceEntry(const std::string& entry, Function* replacement) {
    replacements_[entry] = reinterpret_cast<void*>(replacement);
  }
  void removeEntry(const std::string& entry) { replacements_[entry] = nullptr; }

  struct Event {
    std::string text;      // "LoadLibraryA rpcrt4", "LoadLibraryExA shfolder.dll 0x800",
                           // "LoadLibraryExA shfolder.dll 0x800 failed",
                           // "GetProcAddress SHGetFolderPathA", "FreeLibrary shfolder.dll"
    std::size_t jniCalls;  // JNI calls made before this one
  };
  const std::vector<Event>& events() const { return events_; }
  std::vector<std::string> eventTexts() const;
  // Successful loads not (yet) freed exactly once.
  int unbalancedLoads() const;
  // The file each successful load took the library from, in load order.
  const std::vector<std::string>& loadedFiles() const { return loadedFiles_; }

 private:
  static HMODULE WINAPI loadLibrary(LPCSTR name);
  static HMODULE WINAPI loadLibraryEx(LPCSTR name, HANDLE file, DWORD flags);
  // The scripted failure of library `name`, or the platform's load through
  // `platformLoad`, logged as `text`.
  template <typename Load>
  HMODULE load(const std::string& name, const std::string& text, const Load& platformLoad);
  static FARPROC WINAPI getProcAddress(HMODULE module, LPCSTR name);
  static BOOL WINAPI freeLibrary(HMODULE module);
  void record(std::string text);
  std::string nameOf(HMODULE module) const;

  const fakejni::Env* jni_;
  ImportHook loadHook_;
  ImportHook loadExHook_;
  ImportHook procHook_;
  ImportHook freeHook_;
  std::map<std::string, DWORD> failingLoads_;
  std::map<std::string, void*> replacements_;
  std::map<HMODULE, std::string> loaded_;
  std::map<HMODULE, int> balance_;
  std::vector<Event> events_;
  std::vector<std::string> loadedFiles_;
};

}  // namespace support
