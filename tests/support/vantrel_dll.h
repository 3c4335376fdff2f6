#pragma once

// Loads Vantrel.dll the way the JVM does (LoadLibraryA by full path, then
// each export by name) and gives its exports with the types the generated
// JNI header declares.

#include <windows.h>

#include <string>

#include "quendril_utils_Vantrel.h"

namespace support {

// The loaded library (loaded once per process; the test fails if it cannot be).
HMODULE vantrelModule();
// Its full path: the build's Vantrel.dll beside the test program.
std::string vantrelPath();
void* vantrelExportAddress(const char* name);

}  // namespace support

// VANTREL(getCurrentDirectory) is the export with its declared type.
#define VANTREL(method)                                               \
  (reinterpret_cast<decltype(&Java_quendril_utils_Vantrel_##method)>( \
      ::support::vantrelExportAddress("Java_quendril_utils_Vantrel_" #method)))
