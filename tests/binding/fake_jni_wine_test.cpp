// The JNIEnv stand-in must catch the faults the library could make, or the
// other tests prove nothing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

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

// Each misuse of local references, as a library call would make it inside
// one call frame, and the error the stand-in must report.
struct ReferenceMisuse {
  const char* name;
  std::function<void(fakejni::Env&, JNIEnv*)> misuse;
  const char* error;
};

const ReferenceMisuse kMisuses[] = {
    {"seventeen live at once",
     [](fakejni::Env&, JNIEnv* env) {
       for (int i = 0; i < 17; ++i) env->NewStringUTF("s");
     },
     "more than 16 local references live at once"},
    {"deleted twice",
     [](fakejni::Env&, JNIEnv* env) {
       jstring text = env->NewStringUTF("s");
       env->DeleteLocalRef(text);
       env->DeleteLocalRef(text);
     },
     "DeleteLocalRef of a reference already deleted"},
    {"used after delete",
     [](fakejni::Env& jni, JNIEnv* env) {
       jobjectArray array = jni.stringArray({"a"});
       jobject element = env->GetObjectArrayElement(array, 0);
       env->DeleteLocalRef(element);
       env->GetStringUTFChars(static_cast<jstring>(element), nullptr);
     },
     "GetStringUTFChars with a deleted reference"},
};

TEST(FakeJni, SeesEveryMisuseOfLocalReferences) {
  for (const ReferenceMisuse& misuse : kMisuses) {
    SCOPED_TRACE(misuse.name);
    fakejni::Env jni;
    {
      fakejni::Env::CallFrame frame(jni.env());
      misuse.misuse(jni, jni.env());
    }
    EXPECT_THAT(jni.errors(), ElementsAre(misuse.error));
  }
}

TEST(FakeJni, EachCallStartsWithNoneAndMayNotKeepItsReferences) {
  fakejni::Env jni;
  JNIEnv* env = jni.env();
  jstring kept = nullptr;
  for (int call = 0; call < 2; ++call) {
    fakejni::Env::CallFrame frame(env);
    // Sixteen at once, once deleted, are sixteen more for the next.
    for (int i = 0; i < 16; ++i) env->DeleteLocalRef(env->NewStringUTF("s"));
    for (int i = 0; i < 16; ++i) kept = env->NewStringUTF("kept");
    EXPECT_EQ(jni.localReferences(), 16);
  }
  EXPECT_THAT(jni.errors(), ElementsAre());
  EXPECT_EQ(jni.text(kept), "kept");  // the caller still reads the result
  fakejni::Env::CallFrame frame(env);
  env->GetStringUTFChars(kept, nullptr);
  EXPECT_THAT(jni.errors(),
              ElementsAre("GetStringUTFChars with a local reference of a call that has returned"));
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
