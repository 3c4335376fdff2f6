#pragma once

// Collects what Vantrel.dll writes to the debugger output: its
// OutputDebugStringA import is intercepted for the life of the object, so
// the test process reads the lines itself. One capture at a time.

#include <windows.h>

#include <string>
#include <vector>

#include "support/import_hook.h"

namespace support {

class DebugOutputCapture {
 public:
  DebugOutputCapture();
  DebugOutputCapture(const DebugOutputCapture&) = delete;
  DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

  bool installed() const { return hook_.installed(); }
  // Each text written, oldest first.
  std::vector<std::string> lines() const;

 private:
  static void WINAPI capture(LPCSTR text);
  ImportHook hook_;
};

}  // namespace support
