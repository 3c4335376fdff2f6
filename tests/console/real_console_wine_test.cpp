// getConsoleChar against a real console input buffer: a child process with
// a console of its own writes records into CONIN$ and reads them back
// through the export.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "console/scripted_console.h"
#include "support/child_process.h"
#include "support/fake_jni.h"
#include "support/import_hook.h"
#include "support/vantrel_dll.h"

namespace {

using namespace console_test;

constexpr int kNoConsole = 77;

HANDLE openConsoleInput() {
  return CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

bool write(HANDLE input, const std::vector<INPUT_RECORD>& records) {
  DWORD written = 0;
  return WriteConsoleInputA(input, records.data(), static_cast<DWORD>(records.size()), &written) &&
         written == records.size();
}

std::string list(const std::vector<int>& values) {
  std::string text;
  for (int value : values) text += std::to_string(value) + " ";
  return text;
}

CHILD_SCENARIO(RealConsoleRoundTrip) {
  ChildChecks check;
  const HANDLE input = openConsoleInput();
  if (input == INVALID_HANDLE_VALUE) return kNoConsole;
  FlushConsoleInputBuffer(input);
  DWORD before = 0;
  GetConsoleMode(input, &before);
  check.expect(
      write(input, {keyUp('x', 45), focusRecord(), mouseRecord(), keyDown(0, 42, SHIFT_PRESSED),
                    keyDown('a', 30, 0, 3), keyUp('a', 30), keyDown(0, 59, 0), keyDown(0, 72, ENHANCED_KEY),
                    keyDown(0, 88, LEFT_ALT_PRESSED), keyDown(0, 28, ENHANCED_KEY),
                    keyDown(0, 59, SHIFT_PRESSED | LEFT_CTRL_PRESSED), keyDown(0xE9, 18, 0)}),
      "records written");
  fakejni::Env jni;
  std::vector<int> results;
  for (int i = 0; i < 12; ++i) results.push_back(VANTREL(getConsoleChar)(jni.env(), nullptr));
  check.expect(results == std::vector<int>{97, 0, 59, 224, 72, 224, 140, 13, 0, 0, 94, 0xE9},
               "results: " + list(results));
  DWORD left = 99;
  GetNumberOfConsoleInputEvents(input, &left);
  check.expectEqual(left, 0, "records left in the console");
  DWORD after = 0;
  GetConsoleMode(input, &after);
  check.expectEqual(after, before, "console mode after the reads");
  check.expect(jni.calls().empty(), "no JNI calls");
  return check.exitCode();
}

// Set as the reader starts to wait for a key.
HANDLE readerWaits = CreateEventA(nullptr, TRUE, FALSE, nullptr);
support::ImportHook* readHook = nullptr;
BOOL WINAPI readNotingTheWait(HANDLE input, PINPUT_RECORD records, DWORD length, LPDWORD read) {
  SetEvent(readerWaits);
  return readHook->original<decltype(&ReadConsoleInputA)>()(input, records, length, read);
}

CHILD_SCENARIO(RealConsoleModeZeroWhileWaiting) {
  ChildChecks check;
  const HANDLE input = openConsoleInput();
  if (input == INVALID_HANDLE_VALUE) return kNoConsole;
  FlushConsoleInputBuffer(input);
  DWORD before = 0;
  GetConsoleMode(input, &before);
  check.expect(before != 0, "a console starts with some input mode");
  support::ImportHook hook(support::vantrelModule(), "KERNEL32.dll", "ReadConsoleInputA", &readNotingTheWait);
  readHook = &hook;
  if (!check.expect(hook.installed(), "read hook installed")) return 100;
  std::atomic<int> result{-2};
  std::thread reader([&] {
    fakejni::Env jni;
    result = VANTREL(getConsoleChar)(jni.env(), nullptr);
  });
  // The reader waits for a key with every input mode cleared.
  check.expect(WaitForSingleObject(readerWaits, 10000) == WAIT_OBJECT_0, "the reader reads");
  DWORD mode = before;
  GetConsoleMode(input, &mode);
  check.expectEqual(mode, 0, "console mode while the reader waits");
  check.expectEqual(result.load(), -2, "still waiting");
  check.expect(write(input, {keyDown('z', 44)}), "record written");
  reader.join();
  check.expectEqual(result.load(), 'z', "the key written");
  DWORD after = 0;
  GetConsoleMode(input, &after);
  check.expectEqual(after, before, "console mode after the read");
  return check.exitCode();
}

void runInNewConsole(const char* scenario) {
  support::ChildOptions options;
  options.creationFlags = CREATE_NEW_CONSOLE;
  const support::ChildResult result = support::runChild(scenario, options);
  ASSERT_TRUE(result.finished);
  if (result.exitCode == kNoConsole) GTEST_SKIP() << "no console for the child on this platform";
  EXPECT_EQ(result.exitCode, 0u) << result.notes;
}

TEST(RealConsole, RecordsWrittenToTheConsoleComeBackAsKeys) { runInNewConsole("RealConsoleRoundTrip"); }

TEST(RealConsole, TheConsoleIsInModeZeroOnlyWhileAReadWaits) {
  runInNewConsole("RealConsoleModeZeroWhileWaiting");
}

}  // namespace
