#include <windows.h>

// The library needs no set-up of its own: the runtime's start-up and
// termination (which run around this entry) are all there is.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
