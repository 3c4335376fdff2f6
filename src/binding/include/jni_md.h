/*
 * Machine-dependent JNI types for 32-bit x86, 64-bit x86-64 and ARM64
 * Windows: the JVM calls native methods with __stdcall (which 64-bit Windows
 * reads as its one calling convention), and jint is a long, 32 bits wide on
 * all three.
 */
#ifndef VANTREL_JNI_MD_H
#define VANTREL_JNI_MD_H

#ifndef _WIN32
#error "this jni_md.h describes Windows"
#endif

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
