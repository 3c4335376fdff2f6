// The bad-input tests rest on a child process that crashes being seen as a
// crash, promptly, and one that ends normally as such. A child that handed
// over its result and then hangs while exiting is ended with that result; one
// that never hands it over is not finished.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <tuple>

#include "support/child_process.h"

namespace {

CHILD_SCENARIO(endsNormally) { return 7; }

CHILD_SCENARIO(crashes) {
  *static_cast<volatile int*>(nullptr) = 1;
  return 0;
}

// The scenario returns; the process then stops or crashes on its way out.
CHILD_SCENARIO(hangsWhileExiting) {
  std::atexit([] { Sleep(INFINITE); });
  return 5;
}

CHILD_SCENARIO(crashesWhileExiting) {
  std::atexit([] { *static_cast<volatile int*>(nullptr) = 1; });
  return 5;
}

CHILD_SCENARIO(neverReturns) {
  Sleep(INFINITE);
  return 0;
}

struct Ending {
  const char* scenario;
  DWORD timeoutMs;
  DWORD exitGraceMs;
  bool finished;
  DWORD exitCode;
  bool endedAfterReport;
};

void PrintTo(const Ending& ending, std::ostream* out) { *out << ending.scenario; }

const DWORD kCrash = EXCEPTION_ACCESS_VIOLATION;

const Ending kEndings[] = {
    {"endsNormally", 30000, 5000, true, 7, false},
    // A crash ends the child with its code, whether or not it is debugged,
    // before the timeout.
    {"crashes", 30000, 5000, true, kCrash, false},
    {"hangsWhileExiting", 30000, 1000, true, 5, true},
    // What happens after the hand-over still counts when the process ends by
    // itself.
    {"crashesWhileExiting", 30000, 5000, true, kCrash, false},
    {"neverReturns", 2000, 1000, false, 0, false},
};

class ChildEnding : public ::testing::TestWithParam<std::tuple<Ending, bool>> {};

TEST_P(ChildEnding, GivesTheResultAndHowTheChildEnded) {
  const Ending& ending = std::get<0>(GetParam());
  support::ChildOptions options;
  options.debug = std::get<1>(GetParam());
  options.timeoutMs = ending.timeoutMs;
  options.exitGraceMs = ending.exitGraceMs;
  const support::ChildResult child = support::runChild(ending.scenario, options);
  EXPECT_EQ(child.finished, ending.finished);
  EXPECT_EQ(child.exitCode, ending.exitCode);
  EXPECT_EQ(child.endedAfterReport, ending.endedAfterReport);
}

INSTANTIATE_TEST_SUITE_P(ChildProcess, ChildEnding,
                         ::testing::Combine(::testing::ValuesIn(kEndings), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<Ending, bool>>& info) {
                           return std::string(std::get<0>(info.param).scenario) +
                                  (std::get<1>(info.param) ? "Debugged" : "");
                         });

}  // namespace
