#pragma once

// Loads Vantrel.dll the way the JVM does (LoadLibraryA by full path, then
// each export by name) and gives its exports with the types the generated
// JNI header declares.

#include <windows.h>

#include <string>
#include <utility>

#include "quendril_utils_Vantrel.h"
#include "support/fake_jni.h"

namespace support {

// The loaded library (loaded once per process; the test fails if it cannot be).
HMODULE vantrelModule();
// Its full path: the build's Vantrel.dll beside the test program.
std::string vantrelPath();
void* vantrelExportAddress(const char* name);

// An export called as the JVM calls a native method: each call through a
// JNIEnv stand-in is one call frame of its local references.
template <typename Function>
struct NativeMethod {
  Function function;
  template <typename... Arguments>
  auto operator()(JNIEnv* env, Arguments&&... arguments) const {
    fakejni::Env::CallFrame frame(env);
    return function(env, std::forward<Arguments>(arguments)...);
  }
};

}  // namespace support

// VANTREL(getCurrentDirectory)(env, nullptr) calls the export with its
// declared type.
#define VANTREL(method)                                                      \
  (::support::NativeMethod<decltype(&Java_quendril_utils_Vantrel_##method)>{ \
      reinterpret_cast<decltype(&Java_quendril_utils_Vantrel_##method)>(     \
          ::support::vantrelExportAddress("Java_quendril_utils_Vantrel_" #method))})
