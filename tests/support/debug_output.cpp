#include "support/debug_output.h"

#include <mutex>

#include "support/vantrel_dll.h"

namespace support {
namespace {

std::mutex linesMutex;
std::vector<std::string> captured;

}  // namespace

DebugOutputCapture::DebugOutputCapture()
    : hook_(vantrelModule(), "KERNEL32.dll", "OutputDebugStringA", &DebugOutputCapture::capture) {
  std::lock_guard<std::mutex> lock(linesMutex);
  captured.clear();
}

std::vector<std::string> DebugOutputCapture::lines() const {
  std::lock_guard<std::mutex> lock(linesMutex);
  return captured;
}

void WINAPI DebugOutputCapture::capture(LPCSTR text) {
  std::lock_guard<std::mutex> lock(linesMutex);
  captured.emplace_back(text != nullptr ? text : "(null)");
}

}  // namespace support
