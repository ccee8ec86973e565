// Module entry point: start-up on process attach, release on detach; thread
// notifications are switched off.
#include <windows.h>

#include "com/module.h"
#include "core/win/pub_construct.h"
#include "core/win/shared_state.h"
#include "whitelist/win/whitelist_setup.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      qv::com::setModuleInstance(instance);
      DisableThreadLibraryCalls(instance);
      // Each CPub locates the white list file and loads its own white list object.
      qv::win::setWhiteListStep(&qv::win::locateAndLoadWhiteList);
      return qv::win::onProcessAttach(instance);
    case DLL_PROCESS_DETACH:
      // A non-null `reserved` means the whole process is ending.
      qv::win::onProcessDetach(reserved != nullptr);
      return TRUE;
    default:
      return TRUE;
  }
}
