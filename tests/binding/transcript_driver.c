/*
 * Calls every export of Vantrel.dll through a small JNIEnv stand-in and
 * prints what each gave back, a line a call: the transcript. The same source
 * is built for x86-64 and for ARM64, both without a C runtime (there is none
 * for ARM64 here), and the two transcripts must be equal. Values that differ
 * from one Wine prefix to another (free space, serial number, adapter
 * address) are printed as their shape. The calls that would wait for a user
 * (the dialogs, the console key) are answered by replacing the DLL's imports
 * of them. Last, the program runs itself with the argument "smash", which
 * overruns a buffer in a guarded frame of the DLL, and prints how that copy
 * ended: 0xC0000409 when the stack guard caught it.
 */
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <jni.h>

#include "quendril_utils_Vantrel.h"

/* ---- Output and text, without a C runtime ---------------------------- */

static void put(const char* text) {
  DWORD length = lstrlenA(text), written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, NULL);
}

static void putNumber(long long value) {
  char digits[24];
  int at = sizeof digits - 1;
  unsigned long long magnitude = value < 0 ? 0ull - (unsigned long long)value : (unsigned long long)value;
  digits[at] = '\0';
  do digits[--at] = (char)('0' + magnitude % 10);
  while ((magnitude /= 10) != 0);
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

static void copyText(char* to, size_t capacity, const char* from) {
  size_t i = 0;
  for (; i + 1 < capacity && from[i] != '\0'; ++i) to[i] = from[i];
  to[i] = '\0';
}

/* ---- The JNIEnv stand-in --------------------------------------------- */

/* Strings, String[] arrays and classes live in a fixed pool; a reference is
 * an object's address. Misuse ends the process with status 3. */
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

static void fail(const char* what) {
  line("stand-in", what);
  ExitProcess(3);
}

static Object* newObject(int kind, jsize length) {
  if (objectCount == kObjects || length < 0 || length > kElements) fail("out of objects");
  Object* object = &objects[objectCount++];
  object->kind = kind;
  object->length = length;
  return object;
}

static Object* checked(void* reference, int kind) {
  Object* object = reference;
  if (object == NULL || object->kind != kind) fail("bad reference");
  return object;
}

static jstring newString(const char* text) {
  Object* object = newObject(kString, 0);
  copyText(object->text, sizeof object->text, text);
  return (jstring)object;
}

static jclass JNICALL findClass(JNIEnv* env, const char* name) {
  (void)env, (void)name;
  return (jclass)newObject(kClass, 0);
}

static jstring JNICALL newStringUTF(JNIEnv* env, const char* text) {
  (void)env;
  return newString(text);
}

static const char* JNICALL getStringUTFChars(JNIEnv* env, jstring string, jboolean* copied) {
  (void)env;
  if (copied != NULL) *copied = JNI_FALSE;
  ++borrows;
  return checked(string, kString)->text;
}

static void JNICALL releaseStringUTFChars(JNIEnv* env, jstring string, const char* chars) {
  (void)env;
  if (checked(string, kString)->text != chars) fail("released another string's bytes");
  --borrows;
}

static jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize length, jclass type, jobject initial) {
  (void)env;
  checked(type, kClass);
  Object* array = newObject(kArray, length);
  for (jsize i = 0; i < length; ++i) array->elements[i] = initial != NULL ? checked(initial, kString) : NULL;
  return (jobjectArray)array;
}

static jsize JNICALL getArrayLength(JNIEnv* env, jarray array) {
  (void)env;
  return checked(array, kArray)->length;
}

static jobject JNICALL getObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index) {
  (void)env;
  Object* object = checked(array, kArray);
  if (index < 0 || index >= object->length) fail("element index out of range");
  return (jobject)object->elements[index];
}

static void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index, jobject value) {
  (void)env;
  Object* object = checked(array, kArray);
  if (index < 0 || index >= object->length) fail("element index out of range");
  object->elements[index] = value != NULL ? checked(value, kString) : NULL;
}

static void JNICALL deleteLocalRef(JNIEnv* env, jobject reference) { (void)env, (void)reference; }

static void JNICALL unexpected(void) { fail("a JNI function the library does not use"); }

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

static jobjectArray newArray(jsize length, const char* const* texts) {
  Object* array = newObject(kArray, length);
  for (jsize i = 0; i < length; ++i) array->elements[i] = (Object*)newString(texts[i]);
  return (jobjectArray)array;
}

static const char* textOf(jobject string) {
  return string == NULL ? "(null)" : checked(string, kString)->text;
}

static void arrayLine(const char* label, jobjectArray array) {
  put(label);
  put(array == NULL ? ": (null)" : ":");
  for (jsize i = 0; array != NULL && i < checked(array, kArray)->length; ++i) {
    put(" [");
    put(textOf((jobject)((Object*)array)->elements[i]));
    put("]");
  }
  put("\n");
}

/* ---- Answers in place of the DLL's imports ---------------------------- */

/* Points the DLL's import address table entry for `name` at `replacement`. */
static void replaceImport(HMODULE module, const char* dll, const char* name, void* replacement) {
  void* target = (void*)GetProcAddress(GetModuleHandleA(dll), name);
  BYTE* base = (BYTE*)module;
  IMAGE_NT_HEADERS* headers = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
  IMAGE_DATA_DIRECTORY directory = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
  void** slots = (void**)(base + directory.VirtualAddress);
  for (DWORD i = 0; target != NULL && i < directory.Size / sizeof *slots; ++i) {
    if (slots[i] != target) continue;
    DWORD old;
    VirtualProtect(&slots[i], sizeof *slots, PAGE_READWRITE, &old);
    slots[i] = replacement;
    VirtualProtect(&slots[i], sizeof *slots, old, &old);
    return;
  }
  fail(name);
}

/* The console: a handle of our own, whose only input is the key 'a'. */
#define FAKE_CONSOLE ((HANDLE)(INT_PTR)0x7E57)
static int consoleCloses;

static HANDLE WINAPI openConsole(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE pattern) {
  if (lstrcmpA(name, "CONIN$") == 0) return FAKE_CONSOLE;
  return CreateFileA(name, access, share, security, disposition, flags, pattern);
}

static BOOL WINAPI getConsoleMode(HANDLE console, LPDWORD mode) {
  *mode = ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;
  return console == FAKE_CONSOLE;
}

static BOOL WINAPI setConsoleMode(HANDLE console, DWORD mode) { return console == FAKE_CONSOLE && mode == 0; }

static BOOL WINAPI readConsoleInput(HANDLE console, PINPUT_RECORD records, DWORD length, LPDWORD read) {
  if (console != FAKE_CONSOLE || length == 0) return FALSE;
  INPUT_RECORD key = {.EventType = KEY_EVENT};
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
  numberLine(" index", record->nFilterIndex);
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
  if (memory == (LPVOID)pickedFolder)
    ++folderFrees;
  else
    CoTaskMemFree(memory);
}

/* For the guard check: writes 64 bytes past the buffer it is given. */
static DWORD WINAPI overrunDirectory(DWORD size, LPSTR buffer) {
  for (DWORD i = 0; i < size + 64; ++i) buffer[i] = 'x';
  return 1;
}

/* ---- The calls --------------------------------------------------------- */

static HMODULE library;

static void* entry(const char* name) {
  char symbol[96] = "Java_quendril_utils_Vantrel_";
  copyText(symbol + lstrlenA(symbol), sizeof symbol - (size_t)lstrlenA(symbol), name);
  void* function = (void*)GetProcAddress(library, symbol);
  if (function == NULL) fail(symbol);
  return function;
}

/* An export, typed by the javac header; EXPORT_LIKE takes the type of
 * another export of the same signature. */
#define EXPORT_LIKE(model, name) ((__typeof__(&Java_quendril_utils_Vantrel_##model))entry(name))
#define EXPORT(name) ((__typeof__(&Java_quendril_utils_Vantrel_##name))entry(#name))

/* "shape P" when the text has the pattern P (X a hex digit), else the text. */
static void shapeLine(const char* label, jstring result, const char* pattern) {
  const char* text = textOf(result);
  int fits = result != NULL && lstrlenA(text) == lstrlenA(pattern);
  for (size_t i = 0; fits && pattern[i] != '\0'; ++i) {
    char c = text[i];
    fits = pattern[i] == 'X' ? (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') : c == pattern[i];
  }
  put(label);
  line(fits ? ": shape" : "", fits ? pattern : text);
}

static void drivesAndVolumes(JNIEnv* env) {
  arrayLine("getLogicalDrives", EXPORT(getLogicalDrives)(env, NULL));
  line("getFreeDiskSpace C:\\",
       EXPORT(getFreeDiskSpace)(env, NULL, newString("C:\\")) > 0 ? "above 0" : "0 or less");
  static const char* const roots[] = {"Q:\\", NULL};
  for (int i = 0; i < 2; ++i) {
    jstring root = roots[i] != NULL ? newString(roots[i]) : NULL;
    put(roots[i] != NULL ? "-- root Q:\\\n" : "-- root null\n");
    numberLine("getFreeDiskSpace", EXPORT(getFreeDiskSpace)(env, NULL, root));
    numberLine("getDriveType", EXPORT(getDriveType)(env, NULL, root));
    line("getVolumeLabel", textOf(EXPORT(getVolumeLabel)(env, NULL, root)));
    numberLine("setVolumeLabel", EXPORT(setVolumeLabel)(env, NULL, root, newString("Other")));
    line("getVolumeSerialNumber", textOf(EXPORT(getVolumeSerialNumber)(env, NULL, root)));
    numberLine("setCurrentDirectory", EXPORT(setCurrentDirectory)(env, NULL, root));
  }
  numberLine("getDriveType C:\\", EXPORT(getDriveType)(env, NULL, newString("C:\\")));
  numberLine("setVolumeLabel C:\\",
             EXPORT(setVolumeLabel)(env, NULL, newString("C:\\"), newString("Transcript")));
  line("getVolumeLabel C:\\", textOf(EXPORT(getVolumeLabel)(env, NULL, newString("C:\\"))));
  shapeLine("getVolumeSerialNumber C:\\", EXPORT(getVolumeSerialNumber)(env, NULL, newString("C:\\")),
            "XXXX-XXXX");
  numberLine("setCurrentDirectory C:\\windows",
             EXPORT(setCurrentDirectory)(env, NULL, newString("C:\\windows")));
  line("getCurrentDirectory", textOf(EXPORT(getCurrentDirectory)(env, NULL)));
}

static void windows(JNIEnv* env) {
  HWND window = CreateWindowExA(0, "STATIC", "Vantrel transcript", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, NULL,
                                NULL, NULL, NULL);
  jint ours = (jint)(INT_PTR)window;
  line("window", window != NULL ? "made" : "not made");
  line("getHwnd Vantrel transcript",
       EXPORT(getHwnd)(env, NULL, newString("Vantrel transcript")) == ours ? "ours" : "another");
  numberLine("getHwnd No such window", EXPORT(getHwnd)(env, NULL, newString("No such window")));
  numberLine("getHwnd null", EXPORT(getHwnd)(env, NULL, NULL));
  line("getActiveWindow", EXPORT(getActiveWindow)(env, NULL) == ours ? "ours" : "not ours");
  line("getForegroundWindow", EXPORT(getForegroundWindow)(env, NULL) == ours ? "ours" : "not ours");
  static const char* const shows[] = {"setWindowMinimized", "setWindowMaximized", "setWindowRestored"};
  static const char* const switches[] = {"setWindowAlwaysOnTop",     "setWindowRestoreEnabled",
                                         "setWindowMoveEnabled",     "setWindowSizeEnabled",
                                         "setWindowMinimizeEnabled", "setWindowMaximizeEnabled"};
  for (jint handle = ours, pass = 0; pass < 2; handle = 0, ++pass) {
    put(pass == 0 ? "-- our window\n" : "-- window 0\n");
    for (size_t i = 0; i < sizeof shows / sizeof *shows; ++i) {
      numberLine(shows[i], EXPORT_LIKE(setWindowRestored, shows[i])(env, NULL, handle));
    }
    for (size_t i = 0; i < sizeof switches / sizeof *switches; ++i) {
      __typeof__(&Java_quendril_utils_Vantrel_setWindowMoveEnabled) call =
          EXPORT_LIKE(setWindowMoveEnabled, switches[i]);
      put(switches[i]);
      numberLine(" false", call(env, NULL, handle, JNI_FALSE));
      put(switches[i]);
      numberLine(" true", call(env, NULL, handle, JNI_TRUE));
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
  arrayLine("  result", EXPORT(getOpenSaveFileName)(env, NULL, 1, 0, newArray(4, filters), 1,
                                                    newString("start.txt"), NULL, newString("Pick one"), 0));
  put("getOpenSaveFileName save\n");
  arrayLine("  result", EXPORT(getOpenSaveFileName)(env, NULL, 2, 0, newArray(4, filters), 2, NULL,
                                                    newString("C:\\windows"), NULL, 0));
  put("getOpenSaveFileName folder\n");
  arrayLine("  result", EXPORT(getOpenSaveFileName)(env, NULL, 3, 0, NULL, 0, NULL, NULL, NULL, 0));
  arrayLine("getOpenSaveFileName mode 9",
            EXPORT(getOpenSaveFileName)(env, NULL, 9, 0, NULL, 0, NULL, NULL, NULL, 0));
  put("SHBrowseForFolder\n");
  line("  result", textOf(EXPORT(SHBrowseForFolder)(env, NULL, 0, 0, 0, 0)));
  numberLine("  item lists freed", folderFrees);
  numberLine("getConsoleChar", EXPORT(getConsoleChar)(env, NULL));
}

/* Runs this program again to overrun a guarded frame; says how it ended. */
static void stackGuard(char* self) {
  char command[MAX_PATH + 16] = "\"";
  copyText(command + 1, MAX_PATH, self);
  copyText(command + lstrlenA(command), 16, "\" smash");
  STARTUPINFOA startup = {.cb = sizeof startup};
  PROCESS_INFORMATION process;
  DWORD status = 0;
  if (!CreateProcessA(self, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
    fail("no copy started");
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  char hex[11] = "0x";
  for (int i = 0; i < 8; ++i) hex[2 + i] = "0123456789ABCDEF"[(status >> (28 - 4 * i)) & 0xF];
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
  if (library == NULL) fail(path);
  JNIEnv* env = standIn();

  const char* command = GetCommandLineA();
  if (lstrlenA(command) > 6 && lstrcmpA(command + lstrlenA(command) - 6, " smash") == 0) {
    replaceImport(library, "kernel32.dll", "GetCurrentDirectoryA", overrunDirectory);
    EXPORT(getCurrentDirectory)(env, NULL);
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
  /* The console reader is a global object: at unload its destructor, one of
   * the DLL's exit handlers, closes the console it opened. */
  FreeLibrary(library);
  numberLine("console closes at unload", consoleCloses);
  stackGuard(self);
  return 0;
}

void WINAPI driverStart(void) { ExitProcess(run()); }
