// Stand-in for the outside skin library: a DLL that does nothing, copied as
// "Quillvane.skn" beside a copy of the module.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
