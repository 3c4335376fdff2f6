#include "support/library_load_watch.h"

#include <algorithm>
#include <cstdint>

#include "support/vantrel_dll.h"

namespace support {
namespace {

LibraryLoadWatch* current = nullptr;

}  // namespace

LibraryLoadWatch::LibraryLoadWatch(const fakejni::Env* jni)
    : jni_(jni),
      loadHook_(vantrelModule(), "KERNEL32.dll", "LoadLibraryA", &LibraryLoadWatch::loadLibrary),
      procHook_(vantrelModule(), "KERNEL32.dll", "GetProcAddress", &LibraryLoadWatch::getProcAddress),
      freeHook_(vantrelModule(), "KERNEL32.dll", "FreeLibrary", &LibraryLoadWatch::freeLibrary) {
  current = this;
}

LibraryLoadWatch::~LibraryLoadWatch() { current = nullptr; }

bool LibraryLoadWatch::installed() const {
  return loadHook_.installed() && procHook_.installed() && freeHook_.installed();
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

HMODULE WINAPI LibraryLoadWatch::loadLibrary(LPCSTR name) {
  LibraryLoadWatch* self = current;
  const std::string text = name != nullptr ? name : "<null>";
  if (std::find(self->failingLoads_.begin(), self->failingLoads_.end(), text) != self->failingLoads_.end()) {
    self->record("LoadLibraryA " + text + " failed");
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  HMODULE module = self->loadHook_.original<decltype(&LoadLibraryA)>()(name);
  if (module == nullptr) {
    self->record("LoadLibraryA " + text + " failed");
    return nullptr;
  }
  self->record("LoadLibraryA " + text);
  self->loaded_[module] = text;
  ++self->balance_[module];
  return module;
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
