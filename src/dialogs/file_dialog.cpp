#include <windows.h>
// Declared in terms of windows.h, so after it.
#include <commdlg.h>

#include <cstring>

#include "binding/borrowed_string.h"
#include "binding/bounded_text.h"
#include "binding/buffer_sizes.h"
#include "binding/platform_values.h"
#include "binding/string_array.h"
#include "binding/text_builder.h"
#include "dialogs/dialog_hook.h"
#include "dialogs/dialog_record.h"
#include "dialogs/filter_list.h"
#include "quendril_utils_Vantrel.h"

using vantrel::BorrowedString;

namespace {

constexpr DWORD kForcedInEveryMode = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_ENABLEHOOK | OFN_NOCHANGEDIR;

// Caller's bits the dialog could not honour, cleared in every mode. A
// template, by name or by handle, that the library never supplies: the
// platform then fails to make the hook's child dialog, so the hook never
// runs. And an include notification for every listed item, which the hook
// does not answer: its 0 would exclude every item outside the file system.
constexpr DWORD kClearedInEveryMode = OFN_ENABLETEMPLATE | OFN_ENABLETEMPLATEHANDLE | OFN_ENABLEINCLUDENOTIFY;
static_assert(kClearedInEveryMode == 0x4000C0, "template and include-notification bits");

// The dialog is told one byte less than the buffer holds, so the buffer's
// last byte stays NUL whatever the dialog and the hook write: every name
// read back from it ends inside it.
constexpr DWORD kFileNameCapacity = vantrel::kFileNameBufferSize - 1;

// Folder mode offers one type; the literal's own NUL ends the list.
constexpr char kFolderFilterList[] = "Folders\0*.\0";

constexpr std::size_t kDebugLineSize = 200;
constexpr std::size_t kNumberSize = 80;

// The dialog works on byte-string paths of at most MAX_PATH bytes with the
// NUL; a longer initial directory cannot name a folder for it (and a very
// long one brings some comdlg32 builds down), so the dialog does not get it.
bool fitsTheDialog(const char* directory) { return strnlen(directory, MAX_PATH) < MAX_PATH; }

// A debugger output line: the label, then the text or number.
void writeDebugLine(const char* label, const char* text) {
  char line[kDebugLineSize];
  vantrel::TextBuilder(line, sizeof line).add(label).add(text).add("\n");
  OutputDebugStringA(line);
}

void writeDebugLine(const char* label, int number) {
  char line[kDebugLineSize];
  vantrel::TextBuilder(line, sizeof line).add(label).addDecimal(number).add("\n");
  OutputDebugStringA(line);
}

// Joins the Java filter array into `list`, giving each element's bytes and
// its local reference back as soon as it is copied, so that an array of any
// length holds one element at a time. A null array gives an empty list; a
// null element ends the list at the last whole pair; once a pair no longer
// fits, the rest of the array is not looked at. False when an element's bytes could not be
// borrowed (the JVM then has an exception pending).
bool buildFilterList(JNIEnv* env, jobjectArray filters, char* list, std::size_t capacity) {
  vantrel::FilterListWriter writer(list, capacity);
  if (filters != nullptr) {
    const jsize length = env->GetArrayLength(filters);
    for (jsize i = 0; i < length; ++i) {
      auto element = static_cast<jstring>(env->GetObjectArrayElement(filters, i));
      if (element == nullptr) break;
      BorrowedString bytes(env, element);
      if (!bytes.ok()) return false;
      const bool open = writer.add(bytes.c_str());
      bytes.release();
      env->DeleteLocalRef(element);
      if (!open) break;
    }
  }
  writer.finish();
  return true;
}

// The strings of a multiple selection, the folder first, before the empty
// string that ends them; never past the buffer.
jsize countNames(const char* buffer, std::size_t size) {
  jsize count = 0;
  std::size_t at = 0;
  while (at < size && buffer[at] != '\0') {
    ++count;
    at += strnlen(buffer + at, size - at) + 1;
  }
  return count;
}

// The chosen name (or the folder and the chosen names), then the number of
// the filter chosen last. Null when the JVM could not make it.
jobjectArray resultArray(JNIEnv* env, const OPENFILENAMEA& record) {
  const char* names = record.lpstrFile;
  const jsize count = (record.Flags & OFN_ALLOWMULTISELECT) != 0 ? countNames(names, record.nMaxFile) : 1;
  jobjectArray result = vantrel::newStringArray(env, count + 1);
  if (result == nullptr) return nullptr;
  const char* name = names;
  for (jsize i = 0; i < count; ++i) {
    if (!vantrel::setStringElement(env, result, i, name)) return nullptr;
    name += std::strlen(name) + 1;
  }
  char number[kNumberSize];
  vantrel::TextBuilder(number, sizeof number).addDecimal(static_cast<int>(record.nFilterIndex));
  if (!vantrel::setStringElement(env, result, count, number)) return nullptr;
  return result;
}

}  // namespace

// public static native String[] getOpenSaveFileName(int mode, int owner, String[] filters,
//         int filterIndex, String initialName, String initialDir, String title, int flags);
JNIEXPORT jobjectArray JNICALL Java_quendril_utils_Vantrel_getOpenSaveFileName(
    JNIEnv* env, jclass, jint mode, jint owner, jobjectArray filters, jint filterIndex, jstring initialName,
    jstring initialDir, jstring title, jint flags) {
  // Platforms before version 5 know only the record without its last three
  // fields, and refuse a longer one.
  const DWORD recordSize =
      LOBYTE(LOWORD(GetVersion())) < 5 ? OPENFILENAME_SIZE_VERSION_400A : sizeof(OPENFILENAMEA);

  char fileName[vantrel::kFileNameBufferSize] = {};
  OPENFILENAMEA record;
  std::memset(&record, 0, sizeof record);
  record.lStructSize = recordSize;
  record.hwndOwner = vantrel::toWindow(owner);
  record.lpstrFile = fileName;
  record.nMaxFile = kFileNameCapacity;

  char filterList[vantrel::kFilterListBufferSize] = {};
  if (mode != vantrel::kFolderDialog && !buildFilterList(env, filters, filterList, sizeof filterList)) {
    return nullptr;
  }
  record.lpstrFilter = filterList;
  record.nFilterIndex = static_cast<DWORD>(filterIndex);

  // Borrowed in this order and given back in the same order, each only when
  // it was borrowed. A borrow that fails leaves an exception pending in the
  // JVM: nothing more is borrowed and no dialog is shown.
  BorrowedString name(env, initialName);
  const bool nameBorrowed = initialName == nullptr || name.ok();
  BorrowedString directory(env, nameBorrowed ? initialDir : nullptr);
  const bool directoryBorrowed = nameBorrowed && (initialDir == nullptr || directory.ok());
  BorrowedString titleText(env, directoryBorrowed ? title : nullptr);
  const bool allBorrowed = directoryBorrowed && (title == nullptr || titleText.ok());
  auto giveBack = [&] {
    name.release();
    directory.release();
    titleText.release();
  };
  if (!allBorrowed) {
    giveBack();
    return nullptr;
  }

  // A name longer than the dialog's buffer is cut to fit it.
  if (name.ok()) vantrel::copyBounded(fileName, kFileNameCapacity, name.c_str());
  if (directory.ok()) {
    if (fitsTheDialog(directory.c_str())) record.lpstrInitialDir = directory.c_str();
    writeDebugLine("IntialDir: ", directory.c_str());
  }
  if (titleText.ok()) record.lpstrTitle = titleText.c_str();
  record.lCustData = mode;
  record.lpfnHook = vantrel::dialogHook;
  record.Flags = (static_cast<DWORD>(flags) & ~kClearedInEveryMode) | kForcedInEveryMode;

  BOOL chosen = 0;
  switch (mode) {
    case vantrel::kOpenDialog:
      record.Flags |= OFN_FILEMUSTEXIST;
      chosen = GetOpenFileNameA(&record);
      break;
    case vantrel::kSaveDialog:
      // One name only, and it opens already carrying the filter's extension.
      record.Flags &= ~static_cast<DWORD>(OFN_ALLOWMULTISELECT);
      vantrel::applyExtensionRule(record, fileName, kFileNameCapacity);
      chosen = GetSaveFileNameA(&record);
      break;
    case vantrel::kFolderDialog:
      record.lpstrFilter = kFolderFilterList;
      record.Flags &= ~static_cast<DWORD>(OFN_ALLOWMULTISELECT);
      record.Flags |= OFN_NOVALIDATE | OFN_HIDEREADONLY;
      chosen = GetOpenFileNameA(&record);
      break;
    default:
      // No dialog, so no result of one: the line below reports 0.
      break;
  }
  writeDebugLine("Result: ", chosen);

  jobjectArray result = chosen == 1 ? resultArray(env, record) : nullptr;
  giveBack();
  return result;
}
