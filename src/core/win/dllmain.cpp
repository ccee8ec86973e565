// Module entry point.
#include <windows.h>

#include "com/module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    qv::com::setModuleInstance(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
