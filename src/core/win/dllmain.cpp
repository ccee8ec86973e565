// Module entry point: start-up on process attach, release on detach; thread
// notifications are switched off.  No exception may leave DllMain (it runs
// under the loader lock): a failed attach takes back what it did and
// refuses the load, and detach swallows what it cannot help.
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
      try {
        return qv::win::onProcessAttach(instance);
      } catch (...) {
        // Detach is safe to run twice: the loader may send its own.
        try {
          qv::win::onProcessDetach(false);
        } catch (...) {
        }
        return FALSE;
      }
    case DLL_PROCESS_DETACH:
      // A non-null `reserved` means the whole process is ending.
      try {
        qv::win::onProcessDetach(reserved != nullptr);
      } catch (...) {
      }
      return TRUE;
    default:
      return TRUE;
  }
}
