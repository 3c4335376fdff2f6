#pragma once

// What the drive and volume tests share: a fixture whose fake JNI is
// reachable from the platform stand-ins (so they can see which strings are
// borrowed at the moment of the platform call), the platform's own drive
// list, and a root that names no drive.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/fake_jni.h"
#include "support/import_hook.h"
#include "support/jni_test.h"
#include "support/vantrel_dll.h"

namespace drivetest {

// The fixture's fake JNI for the test that runs now.
inline fakejni::Env*& currentJni() {
  static fakejni::Env* jni = nullptr;
  return jni;
}

// The JNI calls made so far, read by a platform stand-in when it is called.
inline std::vector<std::string> callsSoFar() { return currentJni()->calls(); }
inline int borrowedNow() { return currentJni()->outstandingBorrows(); }

class DrivesTest : public support::JniTest {
 protected:
  void SetUp() override { currentJni() = &jni_; }
  void TearDown() override {
    currentJni() = nullptr;
    JniTest::TearDown();
  }

  std::string textOf(jobject string) { return jni_.text(string).value_or("<null>"); }
};

// The KERNEL32 import `function` of the DLL redirected for a scope.
template <typename Function>
support::ImportHook hookKernel(const char* function, Function* replacement) {
  return support::ImportHook(support::vantrelModule(), "KERNEL32.dll", function, replacement);
}

// The roots the platform lists, in its order.
inline std::vector<std::string> platformDrives() {
  char list[256] = {};
  const DWORD length = GetLogicalDriveStringsA(sizeof list, list);
  std::vector<std::string> roots;
  for (const char* entry = list; entry < list + length && *entry != '\0'; entry += std::strlen(entry) + 1) {
    roots.emplace_back(entry);
  }
  return roots;
}

// The root of a letter that names no drive here.
inline std::string unusedRoot() {
  const DWORD used = GetLogicalDrives();
  for (int letter = 'Z'; letter >= 'D'; --letter) {
    if ((used & (1u << (letter - 'A'))) == 0) return std::string(1, static_cast<char>(letter)) + ":\\";
  }
  return "";
}

}  // namespace drivetest
