#include "support/fake_jni.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace fakejni {

enum Kind { kString, kArray, kClass };

struct Env::Object {
  int kind;
  std::string text;               // kString: modified UTF-8 bytes; kClass: name
  std::vector<Object*> elements;  // kArray
};

namespace {

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
               "eight JNI functions the library may use\n",
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
    return reinterpret_cast<jstring>(object);
  }

  static jclass JNICALL FindClass(JNIEnv* env, const char* name) {
    Env* self = owner(env);
    self->log(std::string("FindClass ") + name);
    if (std::strcmp(name, "java/lang/String") != 0) {
      self->error(std::string("FindClass of an unexpected class ") + name);
      return nullptr;
    }
    return reinterpret_cast<jclass>(self->stringClass_);
  }

  static jobjectArray JNICALL NewObjectArray(JNIEnv* env, jsize length, jclass elementClass,
                                             jobject initial) {
    Env* self = owner(env);
    self->log("NewObjectArray " + std::to_string(length));
    if (reinterpret_cast<Env::Object*>(elementClass) != self->stringClass_) {
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
    return reinterpret_cast<jobjectArray>(array);
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
    return reinterpret_cast<jobject>(object->elements[static_cast<std::size_t>(index)]);
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
  holder_.jni.functions = &table_;
  holder_.owner = this;
  stringClass_ = make(kClass);
  stringClass_->text = "java/lang/String";
  baseObjects_ = static_cast<int>(objects_.size());
}

Env::~Env() {
  for (auto& borrow : borrows_) delete[] borrow.first;
}

JNIEnv* Env::env() { return &holder_.jni; }

Env::Object* Env::make(int kind) {
  objects_.push_back(std::make_unique<Object>());
  objects_.back()->kind = kind;
  return objects_.back().get();
}

Env::Object* Env::checked(jobject object, int kind, const char* function) {
  if (object == nullptr) {
    error(std::string(function) + " with a null reference");
    return nullptr;
  }
  for (const auto& owned : objects_) {
    if (owned.get() == reinterpret_cast<Object*>(object)) {
      if (owned->kind != kind) {
        error(std::string(function) + " with a " + kindName(owned->kind) + " where a " + kindName(kind) +
              " belongs");
        return nullptr;
      }
      return owned.get();
    }
  }
  error(std::string(function) + " with a reference this JNIEnv never made");
  return nullptr;
}

jstring Env::string(const std::string& bytes) {
  Object* object = make(kString);
  object->text = bytes;
  baseObjects_ = static_cast<int>(objects_.size());
  return reinterpret_cast<jstring>(object);
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
  baseObjects_ = static_cast<int>(objects_.size());
  return reinterpret_cast<jobjectArray>(array);
}

std::optional<std::string> Env::text(jobject string) const {
  if (string == nullptr) return std::nullopt;
  for (const auto& owned : objects_) {
    if (owned.get() == reinterpret_cast<Object*>(string) && owned->kind == kString) return owned->text;
  }
  return std::string("<not a string of this JNIEnv>");
}

std::optional<std::vector<std::string>> Env::strings(jobjectArray array) const {
  if (array == nullptr) return std::nullopt;
  std::vector<std::string> result;
  for (const auto& owned : objects_) {
    if (owned.get() == reinterpret_cast<Object*>(array) && owned->kind == kArray) {
      for (Object* element : owned->elements) result.push_back(element ? element->text : "<null>");
      return result;
    }
  }
  return std::vector<std::string>{"<not an array of this JNIEnv>"};
}

void Env::failBorrowOf(jstring string) { failingBorrows_.push_back(reinterpret_cast<Object*>(string)); }

std::vector<std::string> Env::callsStartingWith(const std::string& prefix) const {
  std::vector<std::string> result;
  for (const auto& call : calls_) {
    if (call.compare(0, prefix.size(), prefix) == 0) result.push_back(call);
  }
  return result;
}

}  // namespace fakejni
