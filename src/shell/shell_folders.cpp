#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "binding/buffer_sizes.h"
#include "binding/loaded_library.h"
#include "binding/platform_values.h"
#include "binding/text_builder.h"
#include "quendril_utils_Vantrel.h"
#include "shell/item_list.h"

namespace {

// An edit box for typing a name, validation of what is typed, and the
// resizable dialog of newer shells.
constexpr UINT kBrowseFlags = BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE;
static_assert(kBrowseFlags == 0x0070, "browser flags");

}  // namespace

// public static native String SHBrowseForFolder(int owner, int ignored1, int ignored2, int ignored3);
JNIEXPORT jstring JNICALL Java_quendril_utils_Vantrel_SHBrowseForFolder(JNIEnv* env, jclass, jint owner, jint,
                                                                        jint, jint) {
  // The browser needs the component services on this thread. The answer
  // does not matter: a thread already in the multithreaded model stays so,
  // and the browser then reports its own failure. The thread stays
  // initialised after the call, as the Java documentation promises.
  CoInitialize(nullptr);

  // Receives the display name, then the path, or the error text instead.
  char text[vantrel::kPathBufferSize] = {};
  BROWSEINFOA browse = {};
  browse.hwndOwner = vantrel::toWindow(owner);
  browse.pidlRoot = nullptr;  // from the desktop down
  browse.pszDisplayName = text;
  browse.lpszTitle = "Select a directory";
  browse.ulFlags = kBrowseFlags;

  vantrel::ItemList chosen(SHBrowseForFolderA(&browse));
  if (!chosen.ok()) {
    // Read before any other call can replace it; codes with the top bit set
    // print as negative numbers.
    const int error = static_cast<int>(GetLastError());
    vantrel::TextBuilder(text, sizeof text).add("Error: ").addDecimal(error);
    return env->NewStringUTF(text);
  }
  // An item without a file-system path leaves the display name in place.
  SHGetPathFromIDListA(chosen.get(), text);
  // The item list is freed when `chosen` goes, after the string is made.
  return env->NewStringUTF(text);
}

// public static native String getSHFolderPath(int folder);
JNIEXPORT jstring JNICALL Java_quendril_utils_Vantrel_getSHFolderPath(JNIEnv* env, jclass, jint folder) {
  // Loaded for the call, so that systems whose shell lacks the entry point
  // can use the redistributable library; from the system folder only, as it
  // is not one the platform always takes from there. Freed when `shfolder`
  // goes, after the result has been made.
  const auto shfolder = vantrel::LoadedLibrary::fromSystemFolder("shfolder.dll");
  if (!shfolder.ok()) return nullptr;
  auto getFolderPath = shfolder.entry<decltype(&SHGetFolderPathA)>("SHGetFolderPathA");
  if (getFolderPath == nullptr) return nullptr;

  // Empty at first, so that a success that writes nothing gives "".
  char path[vantrel::kPathBufferSize] = {};
  const HRESULT result = getFolderPath(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path);
  // S_FALSE and other positive results are successes too.
  if (FAILED(result)) return nullptr;
  // A path filling the last byte has no terminator of its own: never read
  // past the buffer, and never hand back a cut path.
  if (path[sizeof path - 1] != '\0') return nullptr;
  return env->NewStringUTF(path);
}
