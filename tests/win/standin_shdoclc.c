/* Stand-in for the browser's resource library: resources only. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  (void)module, (void)reason, (void)reserved;
  return TRUE;
}
