// Module entry point: start-up on process attach, release on detach; thread
// notifications are switched off.
#include <windows.h>

#include "com/module.h"
#include "core/win/shared_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      qv::com::setModuleInstance(instance);
      DisableThreadLibraryCalls(instance);
      return qv::win::onProcessAttach(instance);
    case DLL_PROCESS_DETACH:
      // A non-null `reserved` means the whole process is ending.
      qv::win::onProcessDetach(reserved != nullptr);
      return TRUE;
    default:
      return TRUE;
  }
}
