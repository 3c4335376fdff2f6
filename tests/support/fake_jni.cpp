#include "support/fake_jni.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>

namespace fakejni {

enum Kind { kString, kArray, kClass };

struct Env::Object {
  int kind;
  std::string text;               // kString: modified UTF-8 bytes; kClass: name
  std::vector<Object*> elements;  // kArray
};

struct Env::Reference {
  enum State { kLive, kDeleted, kReturned };
  Object* object;
  bool local;  // made by a JNI function, not an argument the test made
  State state;
};

namespace {

// The stand-ins that exist, so that a CallFrame can tell one of their
// JNIEnv pointers from any other.
std::mutex registryMutex;
std::set<const void*>& registry() {
  static std::set<const void*> environments;
  return environments;
}

std::string describe(const Env::Object* object) {
  return object == nullptr ? std::string("<invalid>") : object->kind == kArray ? "<array>" : object->text;
}

const char* kindName(int kind) {
  switch (kind) {
    case kString:
      return "String";
    case kArray:
      return "Object[]";
    default:
      return "Class";
  }
}

// Every slot the library must not use ends the process loudly: the caller
// used __stdcall with arguments this stand-in cannot know, so returning is
// not safe, and the test must fail.
template <int Slot>
void JNICALL forbidden() {
  std::fprintf(stderr,
               "\nFATAL: Vantrel.dll called JNI function table slot %d, which is not one of the "
               "nine JNI functions the library may use\n",
               Slot);
  std::fflush(stderr);
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 86);
}

template <int... Slots>
void fillForbidden(void** slots, std::integer_sequence<int, Slots...>) {
  ((slots[Slots] = reinterpret_cast<void*>(&forbidden<Slots>)), ...);
}

}  // namespace

struct Callbacks {
  static Env* owner(JNIEnv* env) { return reinterpret_cast<Env::Holder*>(env)->owner; }

  static const char* JNICALL GetStringUTFChars(JNIEnv* env, jstring string, jboolean* isCopy) {
    Env* self = owner(env);
    Env::Object* object = self->checked(string, kString, "GetStringUTFChars");
    if (isCopy != nullptr) self->error("GetStringUTFChars: the copy flag pointer is not NULL");
    if (object == nullptr) {
      self->log("GetStringUTFChars <invalid>");
      return nullptr;
    }
    self->log("GetStringUTFChars " + object->text);
    if (std::find(self->failingBorrows_.begin(), self->failingBorrows_.end(), object) !=
        self->failingBorrows_.end()) {
      return nullptr;
    }
    // A fresh copy each time, so a pointer given back twice or to the wrong
    // string is seen.
    char* bytes = new char[object->text.size() + 1];
    std::memcpy(bytes, object->text.c_str(), object->text.size() + 1);
    self->borrows_[bytes] = object;
    ++self->borrowCount_;
    return bytes;
  }

  static void JNICALL ReleaseStringUTFChars(JNIEnv* env, jstring string, const char* bytes) {
    Env* self = owner(env);
    Env::Object* object = self->checked(string, kString, "ReleaseStringUTFChars");
    self->log("ReleaseStringUTFChars " + (object != nullptr ? object->text : std::string("<invalid>")));
    auto borrow = self->borrows_.find(bytes);
    if (borrow == self->borrows_.end()) {
      self->error(
          "ReleaseStringUTFChars of bytes that are not borrowed (given back twice, or never borrowed)");
      return;
    }
    if (borrow->second != object) {
      self->error("ReleaseStringUTFChars with another string than the one borrowed");
    }
    // Keep the memory but spoil it, so that a use after give-back reads rubbish.
    char* spoiled = const_cast<char*>(bytes);
    std::memset(spoiled, 0x7E, std::strlen(spoiled));
    self->givenBack_.emplace_back(spoiled);
    self->borrows_.erase(borrow);
  }

  static jstring JNICALL NewStringUTF(JNIEnv* env, const char* bytes) {
    Env* self = owner(env);
    if (bytes == nullptr) {
      self->error("NewStringUTF(NULL)");
      self->log("NewStringUTF <NULL>");
      return nullptr;
    }
    self->log(std::string("NewStringUTF ") + bytes);
    Env::Object* object = self->make(kString);
    object->text = bytes;
    return static_cast<jstring>(self->refer(object, true));
  }

  static jclass JNICALL FindClass(JNIEnv* env, const char* name) {
    Env* self = owner(env);
    self->log(std::string("FindClass ") + name);
    if (std::strcmp(name, "java/lang/String") != 0) {
      self->error(std::string("FindClass of an unexpected class ") + name);
      return nullptr;
    }
    return static_cast<jclass>(self->refer(self->stringClass_, true));
  }

  static jobjectArray JNICALL NewObjectArray(JNIEnv* env, jsize length, jclass elementClass,
                                             jobject initial) {
    Env* self = owner(env);
    self->log("NewObjectArray " + std::to_string(length));
    if (self->checked(elementClass, kClass, "NewObjectArray") != self->stringClass_) {
      self->error("NewObjectArray of another class than java/lang/String");
    }
    if (length < 0) {
      self->error("NewObjectArray with a negative length");
      return nullptr;
    }
    if (self->failNewObjectArray_) return nullptr;
    Env::Object* initialObject =
        initial == nullptr ? nullptr : self->checked(initial, kString, "NewObjectArray");
    Env::Object* array = self->make(kArray);
    array->elements.assign(static_cast<std::size_t>(length), initialObject);
    return static_cast<jobjectArray>(self->refer(array, true));
  }

  static void JNICALL SetObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index, jobject value) {
    Env* self = owner(env);
    Env::Object* object = self->checked(array, kArray, "SetObjectArrayElement");
    Env::Object* element =
        value == nullptr ? nullptr : self->checked(value, kString, "SetObjectArrayElement");
    self->log("SetObjectArrayElement " + std::to_string(index) + " " +
              (element != nullptr ? element->text : std::string("<null>")));
    if (object == nullptr) return;
    if (index < 0 || static_cast<std::size_t>(index) >= object->elements.size()) {
      self->error("SetObjectArrayElement index " + std::to_string(index) + " out of range");
      return;
    }
    object->elements[static_cast<std::size_t>(index)] = element;
  }

  static jsize JNICALL GetArrayLength(JNIEnv* env, jarray array) {
    Env* self = owner(env);
    Env::Object* object = self->checked(array, kArray, "GetArrayLength");
    self->log("GetArrayLength");
    return object == nullptr ? 0 : static_cast<jsize>(object->elements.size());
  }

  static jobject JNICALL GetObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index) {
    Env* self = owner(env);
    Env::Object* object = self->checked(array, kArray, "GetObjectArrayElement");
    self->log("GetObjectArrayElement " + std::to_string(index));
    if (object == nullptr) return nullptr;
    if (index < 0 || static_cast<std::size_t>(index) >= object->elements.size()) {
      self->error("GetObjectArrayElement index " + std::to_string(index) + " out of range");
      return nullptr;
    }
    Env::Object* element = object->elements[static_cast<std::size_t>(index)];
    return element == nullptr ? nullptr : self->refer(element, true);
  }

  static void JNICALL DeleteLocalRef(JNIEnv* env, jobject reference) {
    Env* self = owner(env);
    if (reference == nullptr) {
      self->log("DeleteLocalRef <null>");
      return;
    }
    auto found = self->referenceIndex_.find(reference);
    if (found == self->referenceIndex_.end()) {
      self->log("DeleteLocalRef <invalid>");
      self->error("DeleteLocalRef of a reference this JNIEnv never made");
      return;
    }
    Env::Reference* deleted = found->second;
    self->log("DeleteLocalRef " + describe(deleted->object));
    if (deleted->state == Env::Reference::kDeleted) {
      self->error("DeleteLocalRef of a reference already deleted");
      return;
    }
    if (deleted->state == Env::Reference::kReturned) {
      self->error("DeleteLocalRef of a reference of a call that has returned");
      return;
    }
    deleted->state = Env::Reference::kDeleted;
    if (deleted->local) --self->liveLocals_;
  }
};

Env::Env() {
  constexpr int kSlots = sizeof(JNINativeInterface_) / sizeof(void*);
  void** slots = reinterpret_cast<void**>(&table_);
  fillForbidden(slots, std::make_integer_sequence<int, kSlots>());
  table_.GetStringUTFChars = &Callbacks::GetStringUTFChars;
  table_.ReleaseStringUTFChars = &Callbacks::ReleaseStringUTFChars;
  table_.NewStringUTF = &Callbacks::NewStringUTF;
  table_.FindClass = &Callbacks::FindClass;
  table_.NewObjectArray = &Callbacks::NewObjectArray;
  table_.SetObjectArrayElement = &Callbacks::SetObjectArrayElement;
  table_.GetArrayLength = &Callbacks::GetArrayLength;
  table_.GetObjectArrayElement = &Callbacks::GetObjectArrayElement;
  table_.DeleteLocalRef = &Callbacks::DeleteLocalRef;
  holder_.jni.functions = &table_;
  holder_.owner = this;
  stringClass_ = make(kClass);
  stringClass_->text = "java/lang/String";
  std::lock_guard<std::mutex> lock(registryMutex);
  registry().insert(&holder_);
}

Env::~Env() {
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    registry().erase(&holder_);
  }
  for (auto& borrow : borrows_) delete[] borrow.first;
}

Env::CallFrame::CallFrame(JNIEnv* env) : owner_(nullptr) {
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    if (env == nullptr || registry().count(env) == 0) return;
  }
  owner_ = Callbacks::owner(env);
  owner_->liveLocals_ = 0;
  owner_->peakLocals_ = 0;
}

Env::CallFrame::~CallFrame() {
  if (owner_ == nullptr) return;
  for (auto& reference : owner_->references_) {
    if (reference->local && reference->state == Reference::kLive) reference->state = Reference::kReturned;
  }
  owner_->liveLocals_ = 0;
}

JNIEnv* Env::env() { return &holder_.jni; }

Env::Object* Env::make(int kind) {
  objects_.push_back(std::make_unique<Object>());
  objects_.back()->kind = kind;
  return objects_.back().get();
}

jobject Env::refer(Object* object, bool local) {
  references_.push_back(std::make_unique<Reference>(Reference{object, local, Reference::kLive}));
  Reference* reference = references_.back().get();
  referenceIndex_[reference] = reference;
  if (local) {
    ++liveLocals_;
    peakLocals_ = std::max(peakLocals_, liveLocals_);
    if (liveLocals_ == kGuaranteedLocals + 1) {
      error("more than " + std::to_string(kGuaranteedLocals) + " local references live at once");
    }
  }
  return reinterpret_cast<jobject>(reference);
}

Env::Object* Env::lookUp(jobject object) const {
  auto found = referenceIndex_.find(object);
  return found == referenceIndex_.end() ? nullptr : found->second->object;
}

Env::Object* Env::checked(jobject object, int kind, const char* function) {
  if (object == nullptr) {
    error(std::string(function) + " with a null reference");
    return nullptr;
  }
  auto found = referenceIndex_.find(object);
  if (found == referenceIndex_.end()) {
    error(std::string(function) + " with a reference this JNIEnv never made");
    return nullptr;
  }
  const Reference* reference = found->second;
  if (reference->state == Reference::kDeleted) {
    error(std::string(function) + " with a deleted reference");
    return nullptr;
  }
  if (reference->state == Reference::kReturned) {
    error(std::string(function) + " with a local reference of a call that has returned");
    return nullptr;
  }
  if (reference->object->kind != kind) {
    error(std::string(function) + " with a " + kindName(reference->object->kind) + " where a " +
          kindName(kind) + " belongs");
    return nullptr;
  }
  return reference->object;
}

jstring Env::string(const std::string& bytes) {
  Object* object = make(kString);
  object->text = bytes;
  return static_cast<jstring>(refer(object, false));
}

jobjectArray Env::stringArray(const std::vector<std::optional<std::string>>& elements) {
  Object* array = make(kArray);
  for (const auto& element : elements) {
    Object* item = nullptr;
    if (element) {
      item = make(kString);
      item->text = *element;
    }
    array->elements.push_back(item);
  }
  return static_cast<jobjectArray>(refer(array, false));
}

std::optional<std::string> Env::text(jobject string) const {
  if (string == nullptr) return std::nullopt;
  const Object* object = lookUp(string);
  if (object != nullptr && object->kind == kString) return object->text;
  return std::string("<not a string of this JNIEnv>");
}

std::optional<std::vector<std::string>> Env::strings(jobjectArray array) const {
  if (array == nullptr) return std::nullopt;
  const Object* object = lookUp(array);
  if (object == nullptr || object->kind != kArray)
    return std::vector<std::string>{"<not an array of this JNIEnv>"};
  std::vector<std::string> result;
  for (Object* element : object->elements) result.push_back(element ? element->text : "<null>");
  return result;
}

void Env::failBorrowOf(jstring string) { failingBorrows_.push_back(lookUp(string)); }

std::vector<std::string> Env::callsStartingWith(const std::string& prefix) const {
  std::vector<std::string> result;
  for (const auto& call : calls_) {
    if (call.compare(0, prefix.size(), prefix) == 0) result.push_back(call);
  }
  return result;
}

}  // namespace fakejni
