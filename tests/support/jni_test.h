#pragma once

// A test that calls the library through a JNIEnv stand-in, and after each
// test checks that every borrowed string was given back and nothing was
// misused.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fake_jni.h"

namespace support {

class JniTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(jni_.outstandingBorrows(), 0) << "a borrowed string was not given back";
    EXPECT_THAT(jni_.errors(), ::testing::ElementsAre());
  }

  fakejni::Env jni_;
};

}  // namespace support
