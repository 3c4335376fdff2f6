#include "support/library_load_watch.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "support/vantrel_dll.h"

namespace support {
namespace {

LibraryLoadWatch* current = nullptr;

}  // namespace

LibraryLoadWatch::LibraryLoadWatch(const fakejni::Env* jni)
    : jni_(jni),
      loadHook_(vantrelModule(), "KERNEL32.dll", "LoadLibraryA", &LibraryLoadWatch::loadLibrary),
      loadExHook_(vantrelModule(), "KERNEL32.dll", "LoadLibraryExA", &LibraryLoadWatch::loadLibraryEx),
      procHook_(vantrelModule(), "KERNEL32.dll", "GetProcAddress", &LibraryLoadWatch::getProcAddress),
      freeHook_(vantrelModule(), "KERNEL32.dll", "FreeLibrary", &LibraryLoadWatch::freeLibrary) {
  current = this;
}

LibraryLoadWatch::~LibraryLoadWatch() { current = nullptr; }

bool LibraryLoadWatch::installed() const {
  return (loadHook_.installed() || loadExHook_.installed()) && procHook_.installed() && freeHook_.installed();
}

void LibraryLoadWatch::record(std::string text) {
  events_.push_back({std::move(text), jni_ != nullptr ? jni_->calls().size() : 0});
}

std::string LibraryLoadWatch::nameOf(HMODULE module) const {
  auto found = loaded_.find(module);
  return found != loaded_.end() ? found->second : "<unknown module>";
}

std::vector<std::string> LibraryLoadWatch::eventTexts() const {
  std::vector<std::string> texts;
  for (const Event& event : events_) texts.push_back(event.text);
  return texts;
}

int LibraryLoadWatch::unbalancedLoads() const {
  return static_cast<int>(
      std::count_if(balance_.begin(), balance_.end(), [](const auto& entry) { return entry.second != 0; }));
}

template <typename Load>
HMODULE LibraryLoadWatch::load(const std::string& name, const std::string& text, const Load& platformLoad) {
  auto failing = failingLoads_.find(name);
  if (failing != failingLoads_.end()) {
    record(text + " failed");
    SetLastError(failing->second);
    return nullptr;
  }
  HMODULE module = platformLoad();
  if (module == nullptr) {
    const DWORD error = GetLastError();
    record(text + " failed");
    SetLastError(error);
    return nullptr;
  }
  record(text);
  loaded_[module] = name;
  ++balance_[module];
  char file[MAX_PATH] = {};
  GetModuleFileNameA(module, file, sizeof file);
  loadedFiles_.emplace_back(file);
  return module;
}

HMODULE WINAPI LibraryLoadWatch::loadLibrary(LPCSTR name) {
  LibraryLoadWatch* self = current;
  const std::string text = name != nullptr ? name : "<null>";
  return self->load(text, "LoadLibraryA " + text,
                    [&] { return self->loadHook_.original<decltype(&LoadLibraryA)>()(name); });
}

HMODULE WINAPI LibraryLoadWatch::loadLibraryEx(LPCSTR name, HANDLE file, DWORD flags) {
  LibraryLoadWatch* self = current;
  char hexFlags[16];
  std::snprintf(hexFlags, sizeof hexFlags, "%#lx", static_cast<unsigned long>(flags));
  const std::string text = name != nullptr ? name : "<null>";
  return self->load(text, "LoadLibraryExA " + text + " " + hexFlags, [&] {
    return self->loadExHook_.original<decltype(&LoadLibraryExA)>()(name, file, flags);
  });
}

FARPROC WINAPI LibraryLoadWatch::getProcAddress(HMODULE module, LPCSTR name) {
  LibraryLoadWatch* self = current;
  const bool byOrdinal = (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0;
  const std::string text = byOrdinal ? "#" + std::to_string(reinterpret_cast<std::uintptr_t>(name)) : name;
  self->record("GetProcAddress " + text);
  auto replaced = self->replacements_.find(text);
  if (replaced != self->replacements_.end()) {
    if (replaced->second == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(replaced->second);
  }
  return self->procHook_.original<decltype(&GetProcAddress)>()(module, name);
}

BOOL WINAPI LibraryLoadWatch::freeLibrary(HMODULE module) {
  LibraryLoadWatch* self = current;
  self->record("FreeLibrary " + self->nameOf(module));
  if (self->loaded_.count(module) != 0) --self->balance_[module];
  return self->freeHook_.original<decltype(&FreeLibrary)>()(module);
}

}  // namespace support
