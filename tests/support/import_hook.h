#pragma once

// Redirects one import of a loaded module (by DLL name and function name, in
// the module's import address table) to a test function for the life of the
// object, then puts the original back. Tests use it to reach failure paths
// that Wine will not produce on demand.

#include <windows.h>

namespace support {

class ImportHook {
 public:
  ImportHook(HMODULE module, const char* dll, const char* function, void* replacement);
  template <typename Function>
  ImportHook(HMODULE module, const char* dll, const char* function, Function* replacement)
      : ImportHook(module, dll, function, reinterpret_cast<void*>(replacement)) {}
  ~ImportHook();
  ImportHook(const ImportHook&) = delete;
  ImportHook& operator=(const ImportHook&) = delete;

  // False when the module does not import that function.
  bool installed() const { return slot_ != nullptr; }
  // The function the import named before the hook.
  template <typename Function>
  Function original() const {
    return reinterpret_cast<Function>(original_);
  }

 private:
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

// Whether `module` imports `function` from `dll`.
bool importsFunction(HMODULE module, const char* dll, const char* function);

}  // namespace support
