#include <windows.h>

#include "binding/platform_values.h"
#include "quendril_utils_Vantrel.h"

namespace {

// Rewrites the entry at `position` of the window's own copy of its system
// menu. Entries are found by position, not by command, so a call finds the
// entry again after an earlier call has set its command to 0; the label is
// rewritten too because a text entry cannot be modified without one. A
// missing menu or entry shows only as ModifyMenuA's failure.
jint rewriteSystemMenuEntry(jint window, jboolean enabled, UINT position, const char* label) {
  const HMENU menu = GetSystemMenu(vantrel::toWindow(window), FALSE);
  const UINT flags = MF_BYPOSITION | (vantrel::isTrue(enabled) ? MF_ENABLED : MF_GRAYED);
  return static_cast<jint>(ModifyMenuA(menu, position, flags, 0, label));
}

}  // namespace

// public static native int setWindowRestoreEnabled(int window, boolean enabled);
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_setWindowRestoreEnabled(JNIEnv*, jclass, jint window,
                                                                           jboolean enabled) {
  return rewriteSystemMenuEntry(window, enabled, 0, "&Restore");
}

// public static native int setWindowMoveEnabled(int window, boolean enabled);
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_setWindowMoveEnabled(JNIEnv*, jclass, jint window,
                                                                        jboolean enabled) {
  return rewriteSystemMenuEntry(window, enabled, 1, "&Move");
}

// public static native int setWindowSizeEnabled(int window, boolean enabled);
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_setWindowSizeEnabled(JNIEnv*, jclass, jint window,
                                                                        jboolean enabled) {
  return rewriteSystemMenuEntry(window, enabled, 2, "&Size");
}

// public static native int setWindowMinimizeEnabled(int window, boolean enabled);
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_setWindowMinimizeEnabled(JNIEnv*, jclass, jint window,
                                                                            jboolean enabled) {
  return rewriteSystemMenuEntry(window, enabled, 3, "Mi&nimize");
}

// public static native int setWindowMaximizeEnabled(int window, boolean enabled);
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_setWindowMaximizeEnabled(JNIEnv*, jclass, jint window,
                                                                            jboolean enabled) {
  return rewriteSystemMenuEntry(window, enabled, 4, "Ma&ximize");
}
