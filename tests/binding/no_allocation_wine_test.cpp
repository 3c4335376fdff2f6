// The library keeps its buffers on the stack: no call allocates from the
// runtime's heap (the runtime's own start-up may, which is not a call).

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/import_hook.h"
#include "support/jni_test.h"
#include "support/vantrel_dll.h"

namespace {

int allocations = 0;

void* __cdecl countingMalloc(std::size_t size) {
  ++allocations;
  return std::malloc(size);
}
void* __cdecl countingCalloc(std::size_t count, std::size_t size) {
  ++allocations;
  return std::calloc(count, size);
}
void* __cdecl countingRealloc(void* block, std::size_t size) {
  ++allocations;
  return std::realloc(block, size);
}

class NoAllocation : public support::JniTest {
 protected:
  void SetUp() override {
    allocations = 0;
    // Every allocator the DLL imports is counted; one it does not import
    // (malloc, since the library stopped using printf) it cannot call.
    ASSERT_TRUE(malloc_.installed() || !support::importsFunction(dll_, "msvcrt.dll", "malloc"));
    ASSERT_TRUE(calloc_.installed() || !support::importsFunction(dll_, "msvcrt.dll", "calloc"));
    ASSERT_TRUE(realloc_.installed() || !support::importsFunction(dll_, "msvcrt.dll", "realloc"));
  }

  HMODULE dll_ = support::vantrelModule();
  support::ImportHook malloc_{dll_, "msvcrt.dll", "malloc", &countingMalloc};
  support::ImportHook calloc_{dll_, "msvcrt.dll", "calloc", &countingCalloc};
  support::ImportHook realloc_{dll_, "msvcrt.dll", "realloc", &countingRealloc};
};

TEST_F(NoAllocation, NoCallAllocatesFromTheHeap) {
  JNIEnv* env = jni_.env();
  jstring root = jni_.string("C:\\");
  VANTREL(getCurrentDirectory)(env, nullptr);
  VANTREL(setCurrentDirectory)(env, nullptr, jni_.string("C:\\"));
  VANTREL(getLogicalDrives)(env, nullptr);
  VANTREL(getFreeDiskSpace)(env, nullptr, root);
  VANTREL(getDriveType)(env, nullptr, root);
  VANTREL(getVolumeLabel)(env, nullptr, root);
  VANTREL(getVolumeSerialNumber)(env, nullptr, root);
  VANTREL(getHwnd)(env, nullptr, jni_.string("no such window"));
  VANTREL(setWindowAlwaysOnTop)(env, nullptr, 0, JNI_TRUE);
  VANTREL(setWindowMaximizeEnabled)(env, nullptr, 0, JNI_FALSE);
  VANTREL(getSHFolderPath)(env, nullptr, 0x24);
  VANTREL(getMACAddress)(env, nullptr);
  VANTREL(getConsoleChar)(env, nullptr);  // no console here: -1
  // Mode 4 shows no dialog but builds the filter list and writes both
  // debugger lines.
  VANTREL(getOpenSaveFileName)
  (env, nullptr, 4, 0, jni_.stringArray({"Text", "*.txt"}), 1, jni_.string("a"), jni_.string("C:\\"),
   jni_.string("t"), 0);
  EXPECT_EQ(allocations, 0);
}

}  // namespace
