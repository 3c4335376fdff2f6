// The JNIEnv stand-in must catch the faults the library could make, or the
// other tests prove nothing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/fake_jni.h"

namespace {

using ::testing::ElementsAre;
using ::testing::SizeIs;

TEST(FakeJni, TracksBorrowsAndSeesADoubleOrCrossedGiveBack) {
  fakejni::Env jni;
  JNIEnv* env = jni.env();
  jstring a = jni.string("a");
  jstring b = jni.string("b");
  const char* bytesA = env->GetStringUTFChars(a, nullptr);
  const char* bytesB = env->GetStringUTFChars(b, nullptr);
  EXPECT_STREQ(bytesA, "a");
  EXPECT_EQ(jni.outstandingBorrows(), 2);
  env->ReleaseStringUTFChars(b, bytesA);  // crossed
  env->ReleaseStringUTFChars(b, bytesA);  // twice
  env->ReleaseStringUTFChars(b, bytesB);
  EXPECT_EQ(jni.outstandingBorrows(), 0);
  EXPECT_THAT(jni.errors(), SizeIs(2));
  EXPECT_THAT(jni.calls(),
              ElementsAre("GetStringUTFChars a", "GetStringUTFChars b", "ReleaseStringUTFChars b",
                          "ReleaseStringUTFChars b", "ReleaseStringUTFChars b"));
}

TEST(FakeJni, BuildsArraysAndSeesAnIndexOutOfRange) {
  fakejni::Env jni;
  JNIEnv* env = jni.env();
  jobjectArray array = env->NewObjectArray(2, env->FindClass("java/lang/String"), env->NewStringUTF(""));
  env->SetObjectArrayElement(array, 1, env->NewStringUTF("x"));
  env->SetObjectArrayElement(array, 2, env->NewStringUTF("y"));
  EXPECT_THAT(*jni.strings(array), ElementsAre("", "x"));
  EXPECT_THAT(jni.errors(), SizeIs(1));
  EXPECT_FALSE(jni.strings(nullptr).has_value());
}

CHILD_SCENARIO(callsAForbiddenJniFunction) {
  fakejni::Env jni;
  jni.env()->ExceptionClear();
  return 0;
}

TEST(FakeJni, AnyOtherJniFunctionEndsTheProcess) {
  support::ChildResult result = support::runChild("callsAForbiddenJniFunction");
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 86u);
}

}  // namespace
