#include "support/vantrel_dll.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace support {

std::string vantrelPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string text(path);
  text.erase(text.find_last_of('\\') + 1);
  return text + "Vantrel.dll";
}

HMODULE vantrelModule() {
  static HMODULE module = [] {
    HMODULE loaded = LoadLibraryA(vantrelPath().c_str());
    if (loaded == nullptr) {
      std::fprintf(stderr, "FATAL: cannot load %s (error %lu)\n", vantrelPath().c_str(), GetLastError());
      std::exit(2);
    }
    return loaded;
  }();
  return module;
}

void* vantrelExportAddress(const char* name) {
  void* address = reinterpret_cast<void*>(GetProcAddress(vantrelModule(), name));
  if (address == nullptr) {
    std::fprintf(stderr, "FATAL: Vantrel.dll does not export %s\n", name);
    std::exit(2);
  }
  return address;
}

}  // namespace support
