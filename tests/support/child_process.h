#pragma once

// Runs a named scenario of the test program in a child process: to read what
// the library writes to the debugger output (the parent debugs the child),
// to give it a console of its own, or to show that a call on bad input ends
// normally instead of bringing the process down.
//
// The child hands its scenario's exit code to the parent before it starts to
// exit. A child that has handed over its result but is still running after a
// grace period is ended by the parent, which says so on stderr: its result is
// complete, and a process that hangs in its own teardown must not hold up the
// tests. A child that never hands over a result is waited for until the
// timeout, and one that ends by itself keeps its own exit code (so a crash
// while exiting still shows).

#include <windows.h>

#include <string>
#include <vector>

namespace support {

using ChildScenario = int (*)();

struct ChildRegistration {
  ChildRegistration(const char* name, ChildScenario scenario);
};

// CHILD_SCENARIO(name) { ...; return exitCode; }
#define CHILD_SCENARIO(name)                                                                       \
  static int childScenario_##name();                                                               \
  static const ::support::ChildRegistration childRegistration_##name(#name, childScenario_##name); \
  static int childScenario_##name()

struct ChildResult {
  bool finished = false;                 // false: killed after the timeout
  DWORD exitCode = 0;                    // the scenario's result, or the exception code
  std::vector<std::string> debugOutput;  // each OutputDebugStringA text (when debugged)
  bool endedAfterReport = false;         // handed over its result, then had to be ended
};

struct ChildOptions {
  bool debug = false;       // debug the child, collecting its debugger output
  DWORD creationFlags = 0;  // for example CREATE_NEW_CONSOLE
  DWORD timeoutMs = 60000;
  DWORD exitGraceMs = 5000;  // how long a child that handed over its result may take to end
};

ChildResult runChild(const char* scenario, const ChildOptions& options = {});

// In main(): when the program was started as a child, runs the scenario and
// gives its exit code through `exitCode`.
bool runChildScenarioIfAsked(int argc, char** argv, int* exitCode);

}  // namespace support
