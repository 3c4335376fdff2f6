#pragma once

#include <windows.h>
#include <jni.h>

#include <cstdint>

// How window handles, Booleans and platform results cross the boundary.
namespace vantrel {

static_assert(sizeof(HWND) == sizeof(jint), "window handles travel as a Java int: 32-bit only");

// A Java int carries a window handle bit for bit, both ways; 0 is none.
inline HWND toWindow(jint handle) { return reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle)); }
inline jint fromWindow(HWND window) { return static_cast<jint>(reinterpret_cast<std::intptr_t>(window)); }

// Only the low 8 bits of a Java boolean decide.
inline bool isTrue(jboolean value) { return (value & 0xFF) != 0; }

// A platform success flag, cut to its low 8 bits.
inline jboolean toJavaBoolean(BOOL flag) { return static_cast<jboolean>(flag & 0xFF); }

}  // namespace vantrel
