/*
 * Machine-dependent JNI types for 32-bit x86 Windows: the JVM calls native
 * methods with __stdcall, and jint is a 32-bit long there.
 */
#ifndef VANTREL_JNI_MD_H
#define VANTREL_JNI_MD_H

#ifndef _WIN32
#error "this jni_md.h describes 32-bit Windows"
#endif

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
