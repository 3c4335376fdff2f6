#pragma once

// Watches how Vantrel.dll loads libraries by name: its LoadLibraryA,
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

  bool installed() const;

  // LoadLibraryA of `name` fails with ERROR_MOD_NOT_FOUND.
  void failLoadOf(const std::string& name) { failingLoads_.push_back(name); }
  // GetProcAddress of `entry` answers `replacement` (nullptr: the entry is
  // missing, ERROR_PROC_NOT_FOUND).
  template <typename Function>
  void replaceEntry(const std::string& entry, Function* replacement) {
    replacements_[entry] = reinterpret_cast<void*>(replacement);
  }
  void removeEntry(const std::string& entry) { replacements_[entry] = nullptr; }

  struct Event {
    std::string text;      // "LoadLibraryA shfolder", "LoadLibraryA shfolder failed",
                           // "GetProcAddress SHGetFolderPathA", "FreeLibrary shfolder"
    std::size_t jniCalls;  // JNI calls made before this one
  };
  const std::vector<Event>& events() const { return events_; }
  std::vector<std::string> eventTexts() const;
  // Successful loads not (yet) freed exactly once.
  int unbalancedLoads() const;

 private:
  static HMODULE WINAPI loadLibrary(LPCSTR name);
  static FARPROC WINAPI getProcAddress(HMODULE module, LPCSTR name);
  static BOOL WINAPI freeLibrary(HMODULE module);
  void record(std::string text);
  std::string nameOf(HMODULE module) const;

  const fakejni::Env* jni_;
  ImportHook loadHook_;
  ImportHook procHook_;
  ImportHook freeHook_;
  std::vector<std::string> failingLoads_;
  std::map<std::string, void*> replacements_;
  std::map<HMODULE, std::string> loaded_;
  std::map<HMODULE, int> balance_;
  std::vector<Event> events_;
};

}  // namespace support
