// The bad-input and console tests rest on a child process that crashes being
// seen as a crash, promptly, and one that ends normally as such. A child that
// hands over its result and then hangs in its exit fails its test; one that
// never hands it over is not finished.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>

#include "support/child_process.h"

namespace {

CHILD_SCENARIO(endsNormally) {
  support::childNote("on its way");
  return 7;
}

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
  bool finished;
  DWORD exitCode;
  const char* notes;
};

void PrintTo(const Ending& ending, std::ostream* out) { *out << ending.scenario; }

const DWORD kCrash = EXCEPTION_ACCESS_VIOLATION;

const Ending kEndings[] = {
    {"endsNormally", 30000, true, 7, "on its way\n"},
    // A crash ends the child with its code, before the timeout.
    {"crashes", 30000, true, kCrash, ""},
    // What happens after the hand-over still counts.
    {"crashesWhileExiting", 30000, true, kCrash, ""},
    {"neverReturns", 1000, false, 0, ""},
};

class ChildEnding : public ::testing::TestWithParam<Ending> {};

TEST_P(ChildEnding, GivesTheResultAndHowTheChildEnded) {
  support::ChildOptions options;
  options.timeoutMs = GetParam().timeoutMs;
  const support::ChildResult child = support::runChild(GetParam().scenario, options);
  EXPECT_EQ(child.finished, GetParam().finished);
  EXPECT_EQ(child.exitCode, GetParam().exitCode);
  EXPECT_EQ(child.notes, GetParam().notes);
  EXPECT_FALSE(child.hungAfterReport);
}

INSTANTIATE_TEST_SUITE_P(ChildProcess, ChildEnding, ::testing::ValuesIn(kEndings),
                         [](const ::testing::TestParamInfo<Ending>& info) {
                           return std::string(info.param.scenario);
                         });

support::ChildResult hungChild;

support::ChildResult runHangingChild() {
  support::ChildOptions options;
  options.exitGraceMs = 1000;
  return support::runChild("hangsWhileExiting", options);
}

TEST(ChildProcess, AChildThatHangsInItsExitFailsItsTest) {
  EXPECT_NONFATAL_FAILURE(hungChild = runHangingChild(), "hangs in its exit");
  EXPECT_TRUE(hungChild.finished);
  EXPECT_TRUE(hungChild.hungAfterReport);
  EXPECT_EQ(hungChild.exitCode, 5u);
}

}  // namespace
