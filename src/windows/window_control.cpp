#include <windows.h>

#include "binding/borrowed_string.h"
#include "binding/platform_values.h"
#include "quendril_utils_Vantrel.h"

using vantrel::BorrowedString;

namespace {

// Sent, not posted: the caller sees the window only after its own thread has
// acted on the command. Whatever the window answers goes back as it is.
jint sendSystemCommand(jint window, WPARAM command) {
  return static_cast<jint>(SendMessageA(vantrel::toWindow(window), WM_SYSCOMMAND, command, 0));
}

}  // namespace

// public static native int getHwnd(String title);
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_getHwnd(JNIEnv* env, jclass, jstring title) {
  BorrowedString borrowed(env, title);
  if (!borrowed.ok()) return 0;
  // No class name: any top-level window whose title matches.
  const HWND window = FindWindowA(nullptr, borrowed.c_str());
  borrowed.release();
  return vantrel::fromWindow(window);
}

// public static native int getActiveWindow();
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_getActiveWindow(JNIEnv*, jclass) {
  return vantrel::fromWindow(GetActiveWindow());
}

// public static native int getForegroundWindow();
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_getForegroundWindow(JNIEnv*, jclass) {
  return vantrel::fromWindow(GetForegroundWindow());
}

// public static native int setWindowMinimized(int window);
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_setWindowMinimized(JNIEnv*, jclass, jint window) {
  return sendSystemCommand(window, SC_MINIMIZE);
}

// public static native int setWindowMaximized(int window);
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_setWindowMaximized(JNIEnv*, jclass, jint window) {
  return sendSystemCommand(window, SC_MAXIMIZE);
}

// public static native int setWindowRestored(int window);
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_setWindowRestored(JNIEnv*, jclass, jint window) {
  return sendSystemCommand(window, SC_RESTORE);
}

// public static native int setWindowAlwaysOnTop(int window, boolean onTop);
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_setWindowAlwaysOnTop(JNIEnv*, jclass, jint window,
                                                                        jboolean onTop) {
  // Without SWP_NOACTIVATE on purpose: a window put on top is also the one
  // brought forward and activated.
  const HWND insertAfter = vantrel::isTrue(onTop) ? HWND_TOPMOST : HWND_NOTOPMOST;
  return static_cast<jint>(
      SetWindowPos(vantrel::toWindow(window), insertAfter, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE));
}
