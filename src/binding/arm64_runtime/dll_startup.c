/*
 * The start-up and termination of the ARM64 Vantrel.dll, which is linked
 * without a C runtime (none exists for ARM64 Windows in Debian). It does
 * what a runtime's DLL start-up would do for this library, and no more:
 *
 *   - DllMainCRTStartup, the DLL's entry point: at process attach it runs
 *     the constructor list (the stack guard's seed first, by its priority)
 *     and then calls DllMain; at process detach it calls DllMain, then the
 *     exit handlers and the destructor list;
 *   - atexit, where C++ registers the destructors of global objects; its
 *     handlers belong to this DLL and run at its detach;
 *   - __chkstk, which the compiler calls before a frame larger than a page
 *     to touch the stack one page at a time, so that each guard page is
 *     reached in order and the stack grows.
 *
 * The C string functions come from msvcrt.dll through the import library.
 * Nothing here may be protected by the stack guard: its value changes while
 * the entry point's frame is live.
 */
#include <windows.h>

/*
 * The linker gathers every object's .ctors and .dtors sections, ordered by
 * priority, into two lists that start with -1 and end with a null. The
 * constructors run from the end of their list back to its start, so that
 * the lowest priority number runs first; the destructors run from the
 * start.
 */
typedef void (*list_function)(void);
extern list_function __CTOR_LIST__[];
extern list_function __DTOR_LIST__[];

/* Exit handlers the library's own objects register: a few globals. A
 * fixed table, as the library takes no heap memory. */
enum { exit_handler_capacity = 32 };
static list_function exit_handlers[exit_handler_capacity];
static volatile LONG exit_handler_count;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

__attribute__((no_stack_protector)) int atexit(list_function handler) {
  LONG slot = InterlockedIncrement(&exit_handler_count) - 1;
  if (slot >= exit_handler_capacity) {
    InterlockedDecrement(&exit_handler_count);
    return -1;
  }
  exit_handlers[slot] = handler;
  return 0;
}

__attribute__((no_stack_protector)) static void run_constructors(void) {
  size_t count = 0;
  while (__CTOR_LIST__[count + 1] != NULL) ++count;
  for (size_t i = count; i > 0; --i) __CTOR_LIST__[i]();
}

/* Exit handlers in the reverse order of registration, then the destructor
 * list: the reverse of construction. */
__attribute__((no_stack_protector)) static void run_terminators(void) {
  LONG count = exit_handler_count;
  if (count > exit_handler_capacity) count = exit_handler_capacity;
  while (count > 0) {
    --count;
    if (exit_handlers[count] != NULL) exit_handlers[count]();
  }
  exit_handler_count = 0;
  for (size_t i = 1; __DTOR_LIST__[i] != NULL; ++i) __DTOR_LIST__[i]();
}

__attribute__((no_stack_protector)) BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason,
                                                                  LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    run_constructors();
    if (!DllMain(instance, reason, reserved)) {
      run_terminators();
      return FALSE;
    }
    return TRUE;
  }
  BOOL result = DllMain(instance, reason, reserved);
  if (reason == DLL_PROCESS_DETACH) run_terminators();
  return result;
}

/*
 * __chkstk: x15 holds the frame's size in 16-byte units. Every page from
 * the stack pointer down to the frame's end is read, nearest first. Only
 * x16 and x17 may change: the caller's arguments are live.
 */
__asm__(
    ".text\n"
    ".globl __chkstk\n"
    ".p2align 2\n"
    "__chkstk:\n"
    "  lsl x16, x15, #4\n" /* bytes still to probe */
    "  mov x17, sp\n"
    "1:\n"
    "  sub x17, x17, #4096\n" /* the next page down */
    "  ldr xzr, [x17]\n"
    "  subs x16, x16, #4096\n"
    "  b.gt 1b\n"
    "  ret\n");
