#include <windows.h>

#include "binding/borrowed_string.h"
#include "binding/buffer_sizes.h"
#include "binding/platform_values.h"
#include "quendril_utils_Vantrel.h"

using vantrel::BorrowedString;

// public static native String getCurrentDirectory();
JNIEXPORT jstring JNICALL Java_quendril_utils_Vantrel_getCurrentDirectory(JNIEnv* env, jclass) {
  char directory[vantrel::kPathBufferSize] = {};
  const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
  // A directory that does not fit is reported by its size, not written; the
  // answer is then the empty string, never a cut path.
  if (length >= sizeof directory) directory[0] = '\0';
  return env->NewStringUTF(directory);
}

// public static native boolean setCurrentDirectory(String path);
JNIEXPORT jboolean JNICALL Java_quendril_utils_Vantrel_setCurrentDirectory(JNIEnv* env, jclass,
                                                                           jstring path) {
  BorrowedString borrowed(env, path);
  if (!borrowed.ok()) return JNI_FALSE;
  const BOOL changed = SetCurrentDirectoryA(borrowed.c_str());
  borrowed.release();
  return vantrel::toJavaBoolean(changed);
}
