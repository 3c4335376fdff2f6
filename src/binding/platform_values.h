#pragma once

#include <windows.h>
#include <jni.h>

#include <cstdint>

// How window handles, Booleans and platform results cross the boundary.
namespace vantrel {

static_assert(sizeof(jint) == 4 && sizeof(HWND) >= sizeof(jint), "a window handle fills a Java int");

// A Java int carries a window handle; 0 is none. A 32-bit handle crosses bit
// for bit. On 64-bit Windows a window handle has only 32 significant bits,
// so that 32- and 64-bit programs can share it: it is widened by sign
// extension, as the platform itself widens one, and cut back to its low 32
// bits on the way out.
inline HWND toWindow(jint handle) { return reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle)); }
inline jint fromWindow(HWND window) {
  return static_cast<jint>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window)));
}

// Only the low 8 bits of a Java boolean decide.
inline bool isTrue(jboolean value) { return (value & 0xFF) != 0; }

// A platform success flag, cut to its low 8 bits.
inline jboolean toJavaBoolean(BOOL flag) { return static_cast<jboolean>(flag & 0xFF); }

}  // namespace vantrel
