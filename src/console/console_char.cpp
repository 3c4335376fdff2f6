#include "console/console_reader.h"
#include "quendril_utils_Vantrel.h"

// public static native int getConsoleChar();
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_getConsoleChar(JNIEnv*, jclass) {
  return vantrel::readConsoleKey();
}
