#pragma once

#include <jni.h>

namespace vantrel {

// Makes a String[] of `length` slots, each first holding the empty string;
// the caller then stores every element in order with setStringElement.
// Null when the JVM could not make it (its exception is then pending, and
// no further JNI call may be made but to return).
inline jobjectArray newStringArray(JNIEnv* env, jsize length) {
  jstring empty = env->NewStringUTF("");
  if (empty == nullptr) return nullptr;
  jclass stringClass = env->FindClass("java/lang/String");
  if (stringClass == nullptr) return nullptr;
  return env->NewObjectArray(length, stringClass, empty);
}

// Makes element `index` from NUL-terminated bytes just before storing it,
// and drops the call's reference to it once the array holds it: an array of
// any length keeps the call within the 16 local references a JVM
// guarantees. Returns false when the JVM could not make the string.
inline bool setStringElement(JNIEnv* env, jobjectArray array, jsize index, const char* bytes) {
  jstring element = env->NewStringUTF(bytes);
  if (element == nullptr) return false;
  env->SetObjectArrayElement(array, index, element);
  env->DeleteLocalRef(element);
  return true;
}

}  // namespace vantrel
