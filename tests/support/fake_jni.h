#pragma once

// A JNIEnv stand-in for calling Vantrel.dll's exports outside a JVM. It
// implements the nine JNI functions the library may use over simple
// objects; every other function of the table ends the test process with a
// message naming the slot. It records the order of calls and every borrow,
// so a test can check that each borrowed string is given back exactly once
// and in which order the library made its calls.
//
// References are handles of their own, as in a JVM: every string, class,
// array or element the library obtains is a new local reference. Within one
// native call (a CallFrame, which VANTREL sets up) no more than 16 may be
// live at once, the number a JVM guarantees without reserving more; a
// reference deleted, deleted twice, or kept from a call that has returned
// is an error when the library uses it.

#include <jni.h>

#include <deque>
#include <map>
#include <unordered_map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fakejni {

class Env {
 public:
  Env();
  ~Env();
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;

  // The pointer to hand to an export.
  JNIEnv* env();

  // Java values.
  jstring string(const std::string& bytes);
  jobjectArray stringArray(const std::vector<std::optional<std::string>>& elements);

  // What the library produced. text() of a null reference is nullopt.
  static bool isNull(jobject object) { return object == nullptr; }
  std::optional<std::string> text(jobject string) const;
  // The elements of a String[] the library returned; nullopt for null.
  std::optional<std::vector<std::string>> strings(jobjectArray array) const;

  // Scripted failures: GetStringUTFChars of this string yields NULL;
  // NewObjectArray yields NULL.
  void failBorrowOf(jstring string);
  void failNewObjectArray() { failNewObjectArray_ = true; }

  // The log of JNI calls, one line each, for example
  // "GetStringUTFChars C:\" or "SetObjectArrayElement 1 D:\".
  const std::vector<std::string>& calls() const { return calls_; }
  std::vector<std::string> callsStartingWith(const std::string& prefix) const;
  void clearCalls() { calls_.clear(); }

  // Borrows not yet given back.
  int outstandingBorrows() const { return static_cast<int>(borrows_.size()); }
  int borrowCount() const { return borrowCount_; }
  // Misuse seen: release of an unknown or already released pointer, a
  // release with another string than the borrow's, an array index out of
  // range, an object of the wrong kind.
  const std::vector<std::string>& errors() const { return errors_; }

  // Local references live now, and the most live at once during the last
  // call (or since the stand-in was made, outside calls).
  int localReferences() const { return liveLocals_; }
  int peakLocalReferences() const { return peakLocals_; }

  // The local references a JVM guarantees a native call.
  static constexpr int kGuaranteedLocals = 16;

  // One native call through `env`, when it is a stand-in's: its local
  // references start from none, and those still live at its end go with
  // the call (the returned one stays readable by the test). For any other
  // JNIEnv pointer it does nothing.
  class CallFrame {
   public:
    explicit CallFrame(JNIEnv* env);
    ~CallFrame();
    CallFrame(const CallFrame&) = delete;
    CallFrame& operator=(const CallFrame&) = delete;

   private:
    Env* owner_;
  };

  struct Object;
  struct Reference;

 private:
  friend struct Callbacks;
  Object* make(int kind);
  // A new reference to `object`; a local one counts against the call's.
  jobject refer(Object* object, bool local);
  // The object of a reference the library passed, or null (with an error)
  // for a null, unknown, deleted or returned reference or one of another kind.
  Object* checked(jobject object, int kind, const char* function);
  // The object of a reference the test holds, whatever its state.
  Object* lookUp(jobject object) const;
  void log(std::string line) { calls_.push_back(std::move(line)); }
  void error(std::string line) { errors_.push_back(std::move(line)); }

  struct Holder {
    JNIEnv_ jni;
    Env* owner;
  };
  JNINativeInterface_ table_;
  Holder holder_;
  std::deque<std::unique_ptr<Object>> objects_;
  std::deque<std::unique_ptr<Reference>> references_;
  std::unordered_map<const void*, Reference*> referenceIndex_;
  std::map<const char*, Object*> borrows_;
  std::vector<std::unique_ptr<char[]>> givenBack_;
  std::vector<Object*> failingBorrows_;
  bool failNewObjectArray_ = false;
  int borrowCount_ = 0;
  int liveLocals_ = 0;
  int peakLocals_ = 0;
  std::vector<std::string> calls_;
  std::vector<std::string> errors_;
  Object* stringClass_;
};

}  // namespace fakejni
