#pragma once

// Runs a named scenario of the test program in a child process, for what
// cannot share the test process: a console of its own, the library's
// process-wide state fresh or torn down, or a call on bad input that must be
// shown to end normally instead of bringing the process down.
//
// The child hands its scenario's exit code and notes to the parent before it
// starts to exit, then must end within a grace period. One that hangs in its
// own exit is ended and fails the test that ran it (a library that
// deadlocks while the process exits would hang its users' programs too).

#include <windows.h>

#include <string>

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
  bool finished = false;         // false: gave no result within the timeout, ended
  DWORD exitCode = 0;            // the scenario's result, or the exception code
  std::string notes;             // each childNote line, with a line end
  bool hungAfterReport = false;  // handed over its result, then did not end
};

struct ChildOptions {
  DWORD creationFlags = 0;  // for example CREATE_NEW_CONSOLE
  DWORD timeoutMs = 60000;
  DWORD exitGraceMs = 5000;  // how long a child that handed over its result may take to end
};

ChildResult runChild(const char* scenario, const ChildOptions& options = {});

// In a child scenario: a line for the parent to show (cut to what the
// report record holds).
void childNote(const std::string& line);

// In main(): when the program was started as a child, runs the scenario and
// gives its exit code through `exitCode`.
bool runChildScenarioIfAsked(int argc, char** argv, int* exitCode);

}  // namespace support
