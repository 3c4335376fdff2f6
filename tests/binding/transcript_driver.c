/*
 * Calls every export of Vantrel.dll once or more through a small JNIEnv
 * stand-in and prints what each gave back, one line per call: the
 * transcript. The same source is built for x86-64 and for ARM64, both
 * without a C runtime (there is none for ARM64 here), and the two
 * transcripts must be equal. Values that differ from one Wine prefix to
 * another (free space, serial number, adapter address) are printed as the
 * shape they have. What would wait for a user (the dialogs, the console
 * key) is answered by replacing the DLL's imports of the waiting calls.
 *
 *   transcript_driver           prints the transcript, exits with 0
 *   transcript_driver smash     overruns a buffer in a protected frame of
 *                               the DLL: the process must end with
 *                               0xC0000409
 */
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <jni.h>

#include "quendril_utils_Vantrel.h"

/* ---- Output, without a C runtime ---------------------------------- */

static void put(const char* text) {
  DWORD length = 0, written;
  while (text[length] != '\0') ++length;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, NULL);
}

static void putNumber(long long value) {
  char digits[24];
  int at = sizeof digits - 1;
  unsigned long long magnitude = value < 0 ? 0ull - (unsigned long long)value : (unsigned long long)value;
  digits[at] = '\0';
  do {
    digits[--at] = (char)('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[--at] = '-';
  put(digits + at);
}

static void line(const char* label, const char* text) {
  put(label);
  put(": ");
  put(text);
  put("\n");
}

static void numberLine(const char* label, long long value) {
  put(label);
  put(": ");
  putNumber(value);
  put("\n");
}

static int sameText(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) ++a, ++b;
  return *a == *b;
}

static void copyText(char* to, size_t capacity, const char* from) {
  size_t i = 0;
  for (; i + 1 < capacity && from[i] != '\0'; ++i) to[i] = from[i];
  to[i] = '\0';
}

/* ---- The JNIEnv stand-in ------------------------------------------ */

/* Strings, String[] arrays and the one class, as fixed objects; a
 * reference is the object's address. */
enum { kString = 1, kArray, kClass };
enum { kObjects = 96, kText = 1024, kElements = 8 };
typedef struct Object {
  int kind;
  jsize length;
  struct Object* elements[kElements];
  char text[kText];
} Object;

static Object objects[kObjects];
static int objectCount;
static int borrows;

static Object* newObject(int kind) {
  if (objectCount == kObjects) {
    put("stand-in: out of objects\n");
    ExitProcess(3);
  }
  Object* object = &objects[objectCount++];
  object->kind = kind;
  object->length = 0;
  object->text[0] = '\0';
  return object;
}

static Object* checked(void* reference, int kind, const char* function) {
  Object* object = reference;
  if (object == NULL || object->kind != kind) {
    line("stand-in: bad reference to", function);
    ExitProcess(3);
  }
  return object;
}

static jstring newString(const char* text) {
  Object* object = newObject(kString);
  copyText(object->text, sizeof object->text, text);
  return (jstring)object;
}

static jobjectArray newArray(jsize length, const char* const* texts) {
  Object* array = newObject(kArray);
  array->length = length;
  for (jsize i = 0; i < length; ++i) array->elements[i] = texts[i] != NULL ? (Object*)newString(texts[i]) : NULL;
  return (jobjectArray)array;
}

static jclass JNICALL findClass(JNIEnv* env, const char* name) {
  (void)env;
  if (!sameText(name, "java/lang/String")) line("stand-in: FindClass of", name);
  return (jclass)newObject(kClass);
}

static jstring JNICALL newStringUTF(JNIEnv* env, const char* text) {
  (void)env;
  return newString(text);
}

static const char* JNICALL getStringUTFChars(JNIEnv* env, jstring string, jboolean* copied) {
  (void)env;
  if (copied != NULL) *copied = JNI_FALSE;
  ++borrows;
  return checked(string, kString, "GetStringUTFChars")->text;
}

static void JNICALL releaseStringUTFChars(JNIEnv* env, jstring string, const char* chars) {
  (void)env;
  if (checked(string, kString, "ReleaseStringUTFChars")->text != chars) put("stand-in: released another string\n");
  --borrows;
}

static jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize length, jclass type, jobject initial) {
  (void)env;
  checked(type, kClass, "NewObjectArray");
  if (length < 0 || length > kElements) {
    numberLine("stand-in: NewObjectArray of", length);
    return NULL;
  }
  Object* array = newObject(kArray);
  array->length = length;
  for (jsize i = 0; i < length; ++i) array->elements[i] = initial != NULL ? checked(initial, kString, "NewObjectArray") : NULL;
  return (jobjectArray)array;
}

static jsize JNICALL getArrayLength(JNIEnv* env, jarray array) {
  (void)env;
  return checked(array, kArray, "GetArrayLength")->length;
}

static jobject JNICALL getObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index) {
  (void)env;
  Object* object = checked(array, kArray, "GetObjectArrayElement");
  if (index < 0 || index >= object->length) return NULL;
  return (jobject)object->elements[index];
}

static void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index, jobject value) {
  (void)env;
  Object* object = checked(array, kArray, "SetObjectArrayElement");
  if (index < 0 || index >= object->length) {
    numberLine("stand-in: SetObjectArrayElement out of range", index);
    return;
  }
  object->elements[index] = value != NULL ? checked(value, kString, "SetObjectArrayElement") : NULL;
}

static void JNICALL deleteLocalRef(JNIEnv* env, jobject reference) {
  (void)env;
  (void)reference;
}

/* Any other slot: the library used a JNI function it should not. */
static void JNICALL unexpected(void) {
  put("stand-in: unexpected JNI function\n");
  ExitProcess(3);
}

static struct JNINativeInterface_ table;
static const struct JNINativeInterface_* environment = &table;

static JNIEnv* standIn(void) {
  void** slots = (void**)&table;
  for (size_t i = 0; i < sizeof table / sizeof *slots; ++i) slots[i] = (void*)unexpected;
  table.FindClass = findClass;
  table.NewStringUTF = newStringUTF;
  table.GetStringUTFChars = getStringUTFChars;
  table.ReleaseStringUTFChars = releaseStringUTFChars;
  table.NewObjectArray = newObjectArray;
  table.GetArrayLength = getArrayLength;
  table.GetObjectArrayElement = getObjectArrayElement;
  table.SetObjectArrayElement = setObjectArrayElement;
  table.DeleteLocalRef = deleteLocalRef;
  return (JNIEnv*)&environment;
}

static const char* textOf(jobject string) {
  return string == NULL ? "(null)" : checked(string, kString, "result")->text;
}

static void arrayLine(const char* label, jobjectArray array) {
  put(label);
  put(":");
  if (array == NULL) put(" (null)");
  Object* object = array != NULL ? checked(array, kArray, "result") : NULL;
  for (jsize i = 0; object != NULL && i < object->length; ++i) {
    put(" [");
    put(textOf((jobject)object->elements[i]));
    put("]");
  }
  put("\n");
}

/* ---- Replacing the DLL's imports ----------------------------------- */

/* The DLL's import address table slot that holds `name` of `dll`. */
static void** importSlot(HMODULE module, const char* dll, const char* name) {
  void* target = (void*)GetProcAddress(GetModuleHandleA(dll), name);
  BYTE* base = (BYTE*)module;
  IMAGE_NT_HEADERS* headers = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
  IMAGE_DATA_DIRECTORY directory = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
  void** slots = (void**)(base + directory.VirtualAddress);
  for (DWORD i = 0; target != NULL && i < directory.Size / sizeof *slots; ++i) {
    if (slots[i] == target) return &slots[i];
  }
  return NULL;
}

static void replaceImport(HMODULE module, const char* dll, const char* name, void* replacement) {
  void** slot = importSlot(module, dll, name);
  if (slot == NULL) {
    line("no import to replace", name);
    ExitProcess(3);
  }
  DWORD old;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
  *slot = replacement;
  VirtualProtect(slot, sizeof *slot, old, &old);
}

/* The console: a handle of our own whose only input is the key 'a'. */
#define FAKE_CONSOLE ((HANDLE)(INT_PTR)0x7E57)
static int consoleCloses;

static HANDLE WINAPI openConsole(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE pattern) {
  if (sameText(name, "CONIN$")) return FAKE_CONSOLE;
  return CreateFileA(name, access, share, security, disposition, flags, pattern);
}

static BOOL WINAPI getConsoleMode(HANDLE console, LPDWORD mode) {
  *mode = ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;
  return console == FAKE_CONSOLE;
}

static BOOL WINAPI setConsoleMode(HANDLE console, DWORD mode) {
  (void)mode;
  return console == FAKE_CONSOLE;
}

static BOOL WINAPI readConsoleInput(HANDLE console, PINPUT_RECORD records, DWORD length, LPDWORD read) {
  if (console != FAKE_CONSOLE || length == 0) return FALSE;
  INPUT_RECORD key = {0};
  key.EventType = KEY_EVENT;
  key.Event.KeyEvent.bKeyDown = TRUE;
  key.Event.KeyEvent.wRepeatCount = 1;
  key.Event.KeyEvent.wVirtualKeyCode = 'A';
  key.Event.KeyEvent.uChar.AsciiChar = 'a';
  records[0] = key;
  *read = 1;
  return TRUE;
}

static BOOL WINAPI closeHandle(HANDLE handle) {
  if (handle != FAKE_CONSOLE) return CloseHandle(handle);
  ++consoleCloses;
  return TRUE;
}

/* The file dialog: says what it was asked, and picks C:\picked.txt. */
static BOOL WINAPI answerFileDialog(LPOPENFILENAMEA record) {
  put("  dialog asked: name [");
  put(record->lpstrFile);
  put("] title [");
  put(record->lpstrTitle != NULL ? record->lpstrTitle : "(null)");
  put("] filters");
  for (const char* filter = record->lpstrFilter; *filter != '\0'; filter += lstrlenA(filter) + 1) {
    put(" [");
    put(filter);
    put("]");
  }
  put(" index ");
  putNumber(record->nFilterIndex);
  put("\n");
  copyText(record->lpstrFile, record->nMaxFile, "C:\\picked.txt");
  record->nFilterIndex = 2;
  return TRUE;
}

/* The folder browser: an item list of our own, which must be freed. */
static const SHITEMID pickedFolder[2];
static int folderFrees;

static LPITEMIDLIST WINAPI browseForFolder(LPBROWSEINFOA browse) {
  line("  browser asked: title", browse->lpszTitle != NULL ? browse->lpszTitle : "(null)");
  return (LPITEMIDLIST)pickedFolder;
}

static BOOL WINAPI pathFromItems(PCIDLIST_ABSOLUTE items, LPSTR path) {
  copyText(path, MAX_PATH, items == (PCIDLIST_ABSOLUTE)pickedFolder ? "C:\\picked folder" : "");
  return items == (PCIDLIST_ABSOLUTE)pickedFolder;
}

static void WINAPI freeItems(LPVOID memory) {
  if (memory == (LPVOID)pickedFolder) ++folderFrees;
  else CoTaskMemFree(memory);
}

/* For the guard check: writes 64 bytes past the buffer it is given. */
static DWORD WINAPI overrunDirectory(DWORD size, LPSTR buffer) {
  for (DWORD i = 0; i < size + 64; ++i) buffer[i] = 'x';
  return 1;
}

/* ---- The calls ----------------------------------------------------- */

static HMODULE library;

static void* entry(const char* name) {
  char symbol[96] = "Java_quendril_utils_Vantrel_";
  size_t at = 0;
  while (symbol[at] != '\0') ++at;
  copyText(symbol + at, sizeof symbol - at, name);
  void* function = (void*)GetProcAddress(library, symbol);
  if (function == NULL) {
    line("missing export", symbol);
    ExitProcess(3);
  }
  return function;
}

/* An export, with the type the javac header gives it. */
#define EXPORT(name) ((__typeof__(&Java_quendril_utils_Vantrel_##name))entry(#name))

/* "shape XXXX-XXXX" when every character is a hex digit where `pattern`
 * has an X and equal elsewhere, else the text itself. */
static void shapeLine(const char* label, jstring result, const char* pattern) {
  const char* text = textOf(result);
  int fits = result != NULL;
  size_t i = 0;
  for (; fits && pattern[i] != '\0'; ++i) {
    char c = text[i];
    int hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    fits = pattern[i] == 'X' ? hex : c == pattern[i];
  }
  fits = fits && text[i] == '\0';
  put(label);
  put(fits ? ": shape " : ": ");
  put(fits ? pattern : text);
  put("\n");
}

static void drivesAndVolumes(JNIEnv* env) {
  arrayLine("getLogicalDrives", EXPORT(getLogicalDrives)(env, NULL));
  jlong free = EXPORT(getFreeDiskSpace)(env, NULL, newString("C:\\"));
  line("getFreeDiskSpace C:\\", free > 0 ? "more than 0" : "0 or less");
  numberLine("getFreeDiskSpace Q:\\", EXPORT(getFreeDiskSpace)(env, NULL, newString("Q:\\")));
  numberLine("getFreeDiskSpace null", EXPORT(getFreeDiskSpace)(env, NULL, NULL));
  numberLine("getDriveType C:\\", EXPORT(getDriveType)(env, NULL, newString("C:\\")));
  numberLine("getDriveType Q:\\", EXPORT(getDriveType)(env, NULL, newString("Q:\\")));
  numberLine("getDriveType null", EXPORT(getDriveType)(env, NULL, NULL));
  numberLine("setVolumeLabel C:\\ Transcript", EXPORT(setVolumeLabel)(env, NULL, newString("C:\\"),
                                                                      newString("Transcript")));
  line("getVolumeLabel C:\\", textOf(EXPORT(getVolumeLabel)(env, NULL, newString("C:\\"))));
  line("getVolumeLabel Q:\\", textOf(EXPORT(getVolumeLabel)(env, NULL, newString("Q:\\"))));
  numberLine("setVolumeLabel null", EXPORT(setVolumeLabel)(env, NULL, NULL, NULL));
  shapeLine("getVolumeSerialNumber C:\\", EXPORT(getVolumeSerialNumber)(env, NULL, newString("C:\\")),
            "XXXX-XXXX");
  line("getVolumeSerialNumber Q:\\", textOf(EXPORT(getVolumeSerialNumber)(env, NULL, newString("Q:\\"))));
  numberLine("setCurrentDirectory C:\\windows",
             EXPORT(setCurrentDirectory)(env, NULL, newString("C:\\windows")));
  line("getCurrentDirectory", textOf(EXPORT(getCurrentDirectory)(env, NULL)));
  numberLine("setCurrentDirectory C:\\no such folder",
             EXPORT(setCurrentDirectory)(env, NULL, newString("C:\\no such folder")));
  numberLine("setCurrentDirectory null", EXPORT(setCurrentDirectory)(env, NULL, NULL));
}

static void windows(JNIEnv* env) {
  HWND window = CreateWindowExA(0, "STATIC", "Vantrel transcript", WS_OVERLAPPEDWINDOW | WS_SYSMENU, 0, 0, 300,
                                200, NULL, NULL, NULL, NULL);
  jint ours = (jint)(INT_PTR)window;
  line("window", window != NULL ? "made" : "not made");
  jint found = EXPORT(getHwnd)(env, NULL, newString("Vantrel transcript"));
  line("getHwnd Vantrel transcript", found == ours ? "ours" : "another");
  numberLine("getHwnd No such window", EXPORT(getHwnd)(env, NULL, newString("No such window")));
  numberLine("getHwnd null", EXPORT(getHwnd)(env, NULL, NULL));
  line("getActiveWindow", EXPORT(getActiveWindow)(env, NULL) == ours ? "ours" : "not ours");
  line("getForegroundWindow", EXPORT(getForegroundWindow)(env, NULL) == ours ? "ours" : "not ours");
  for (int target = 0; target < 2; ++target) {
    jint handle = target == 0 ? ours : 0;
    put(target == 0 ? "-- our window\n" : "-- window 0\n");
    numberLine("setWindowMinimized", EXPORT(setWindowMinimized)(env, NULL, handle));
    numberLine("setWindowMaximized", EXPORT(setWindowMaximized)(env, NULL, handle));
    numberLine("setWindowRestored", EXPORT(setWindowRestored)(env, NULL, handle));
    numberLine("setWindowAlwaysOnTop true", EXPORT(setWindowAlwaysOnTop)(env, NULL, handle, JNI_TRUE));
    numberLine("setWindowAlwaysOnTop false", EXPORT(setWindowAlwaysOnTop)(env, NULL, handle, JNI_FALSE));
    for (jboolean enabled = JNI_FALSE; enabled <= JNI_TRUE; ++enabled) {
      put(enabled ? "enabled " : "disabled ");
      numberLine("setWindowRestoreEnabled", EXPORT(setWindowRestoreEnabled)(env, NULL, handle, enabled));
      put(enabled ? "enabled " : "disabled ");
      numberLine("setWindowMoveEnabled", EXPORT(setWindowMoveEnabled)(env, NULL, handle, enabled));
      put(enabled ? "enabled " : "disabled ");
      numberLine("setWindowSizeEnabled", EXPORT(setWindowSizeEnabled)(env, NULL, handle, enabled));
      put(enabled ? "enabled " : "disabled ");
      numberLine("setWindowMinimizeEnabled", EXPORT(setWindowMinimizeEnabled)(env, NULL, handle, enabled));
      put(enabled ? "enabled " : "disabled ");
      numberLine("setWindowMaximizeEnabled", EXPORT(setWindowMaximizeEnabled)(env, NULL, handle, enabled));
    }
  }
  if (window != NULL) DestroyWindow(window);
}

static void shellAndIdentity(JNIEnv* env) {
  static const int folders[] = {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROFILE, CSIDL_APPDATA, 0x7FFF, -1};
  for (size_t i = 0; i < sizeof folders / sizeof *folders; ++i) {
    put("getSHFolderPath ");
    putNumber(folders[i]);
    line("", textOf(EXPORT(getSHFolderPath)(env, NULL, folders[i])));
  }
  shapeLine("getMACAddress", EXPORT(getMACAddress)(env, NULL), "XX:XX:XX:XX:XX:XX");
}

static void answeredByUs(JNIEnv* env) {
  static const char* const filters[] = {"Text files", "*.txt", "All files", "*.*"};
  put("getOpenSaveFileName open\n");
  arrayLine("  result", EXPORT(getOpenSaveFileName)(env, NULL, 1, 0, newArray(4, filters), 1, newString("start.txt"),
                                                    NULL, newString("Pick one"), 0));
  put("getOpenSaveFileName save\n");
  arrayLine("  result", EXPORT(getOpenSaveFileName)(env, NULL, 2, 0, newArray(4, filters), 2, NULL,
                                                    newString("C:\\windows"), NULL, 0));
  put("getOpenSaveFileName folder\n");
  arrayLine("  result", EXPORT(getOpenSaveFileName)(env, NULL, 3, 0, NULL, 0, NULL, NULL, NULL, 0));
  arrayLine("getOpenSaveFileName mode 9", EXPORT(getOpenSaveFileName)(env, NULL, 9, 0, NULL, 0, NULL, NULL, NULL, 0));
  put("SHBrowseForFolder\n");
  line("  result", textOf(EXPORT(SHBrowseForFolder)(env, NULL, 0, 0, 0, 0)));
  numberLine("  item lists freed", folderFrees);
  numberLine("getConsoleChar", EXPORT(getConsoleChar)(env, NULL));
}

static int endsWith(const char* text, const char* end) {
  size_t length = 0, endLength = 0;
  while (text[length] != '\0') ++length;
  while (end[endLength] != '\0') ++endLength;
  return length >= endLength && sameText(text + length - endLength, end);
}

/* Runs this program again to overrun a guarded frame, and says how the
 * copy ended. */
static void stackGuard(const char* self) {
  char command[] = "transcript_driver smash";
  STARTUPINFOA startup = {.cb = sizeof startup};
  PROCESS_INFORMATION process;
  DWORD status = 0;
  if (!CreateProcessA(self, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
    put("stack guard: the copy did not start\n");
    return;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  char hex[11] = "0x";
  for (int i = 0; i < 8; ++i) hex[2 + i] = "0123456789ABCDEF"[(status >> (28 - 4 * i)) & 0xF];
  hex[10] = '\0';
  line("stack guard, exit status after an overrun", hex);
}

static int run(void) {
  char self[MAX_PATH], path[MAX_PATH];
  DWORD length = GetModuleFileNameA(NULL, self, MAX_PATH - 16);
  if (length == 0 || length >= MAX_PATH - 16) return 2;
  copyText(path, sizeof path, self);
  while (length > 0 && path[length - 1] != '\\') --length;
  copyText(path + length, sizeof path - length, "Vantrel.dll");
  library = LoadLibraryA(path);
  if (library == NULL) {
    line("cannot load", path);
    return 2;
  }
  JNIEnv* env = standIn();

  if (endsWith(GetCommandLineA(), " smash")) {
    replaceImport(library, "kernel32.dll", "GetCurrentDirectoryA", overrunDirectory);
    EXPORT(getCurrentDirectory)(env, NULL);
    put("the overrun was not caught\n");
    return 1;
  }

  replaceImport(library, "kernel32.dll", "CreateFileA", openConsole);
  replaceImport(library, "kernel32.dll", "GetConsoleMode", getConsoleMode);
  replaceImport(library, "kernel32.dll", "SetConsoleMode", setConsoleMode);
  replaceImport(library, "kernel32.dll", "ReadConsoleInputA", readConsoleInput);
  replaceImport(library, "kernel32.dll", "CloseHandle", closeHandle);
  replaceImport(library, "comdlg32.dll", "GetOpenFileNameA", answerFileDialog);
  replaceImport(library, "comdlg32.dll", "GetSaveFileNameA", answerFileDialog);
  replaceImport(library, "shell32.dll", "SHBrowseForFolderA", browseForFolder);
  replaceImport(library, "shell32.dll", "SHGetPathFromIDListA", pathFromItems);
  replaceImport(library, "ole32.dll", "CoTaskMemFree", freeItems);

  drivesAndVolumes(env);
  windows(env);
  shellAndIdentity(env);
  answeredByUs(env);
  numberLine("strings borrowed and not given back", borrows);
  // The console reader is a global object: its destructor runs among the
  // DLL's exit handlers and closes the console it opened.
  FreeLibrary(library);
  numberLine("console closes at unload", consoleCloses);
  stackGuard(self);
  return 0;
}

void WINAPI driverStart(void) { ExitProcess(run()); }
