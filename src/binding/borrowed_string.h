#pragma once

#include <jni.h>

namespace vantrel {

// Borrows the modified UTF-8 bytes of a Java string for a scope and gives
// them back exactly once: at release(), where the order of give-backs
// matters, or at the end of the scope. A null reference is not borrowed,
// and neither it nor a failed borrow yields bytes: test ok() before use.
class BorrowedString {
 public:
  BorrowedString(JNIEnv* env, jstring string)
      : env_(env),
        string_(string),
        bytes_(string != nullptr ? env->GetStringUTFChars(string, nullptr) : nullptr) {}
  ~BorrowedString() { release(); }

  BorrowedString(const BorrowedString&) = delete;
  BorrowedString& operator=(const BorrowedString&) = delete;

  bool ok() const { return bytes_ != nullptr; }
  const char* c_str() const { return bytes_; }

  void release() {
    if (bytes_ != nullptr) {
      env_->ReleaseStringUTFChars(string_, bytes_);
      bytes_ = nullptr;
    }
  }

 private:
  JNIEnv* env_;
  jstring string_;
  const char* bytes_;
};

}  // namespace vantrel
