#include <windows.h>

#include <gtest/gtest.h>

#include "support/child_process.h"

int main(int argc, char** argv) {
  // The window system sets itself up in a process on the first window call.
  // Seen under 64-bit Wine: when that first call comes from a test's helper
  // thread while the main thread loads a library that registers window
  // classes, the two threads wait for each other forever. Making the first
  // call here, before any test or child scenario starts a thread, leaves
  // nothing to race.
  GetDesktopWindow();
  int exitCode = 0;
  if (support::runChildScenarioIfAsked(argc, argv, &exitCode)) return exitCode;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
