// The bad-input tests rest on a child process that crashes being seen as a
// crash, promptly, and one that ends normally as such.

#include <gtest/gtest.h>

#include "support/child_process.h"

namespace {

CHILD_SCENARIO(endsNormally) { return 7; }

CHILD_SCENARIO(crashes) {
  *static_cast<volatile int*>(nullptr) = 1;
  return 0;
}

TEST(ChildProcess, TellsANormalEndFromACrash) {
  support::ChildResult normal = support::runChild("endsNormally");
  ASSERT_TRUE(normal.finished);
  EXPECT_EQ(normal.exitCode, 7u);

  // A child still waiting for a debugger after the timeout is killed and
  // reported as not finished.
  support::ChildResult crash = support::runChild("crashes", {false, 0, 30000});
  EXPECT_TRUE(crash.finished);
  EXPECT_EQ(crash.exitCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
}

TEST(ChildProcess, ADebuggedChildEndsWithItsOwnResult) {
  support::ChildResult crash = support::runChild("crashes", {true, 0, 30000});
  EXPECT_TRUE(crash.finished);
  EXPECT_EQ(crash.exitCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
}

}  // namespace
