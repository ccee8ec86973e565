// Module-wide COM state: the instance handle, the lock count behind
// DllCanUnloadNow (live objects plus server locks), and the module's own type
// library.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace qv::com {

void setModuleInstance(HINSTANCE instance);
HINSTANCE moduleInstance();

void lockModule();
void unlockModule();
long moduleLockCount();

// Type information of an interface or coclass from the type library embedded
// in this module's file; the library is loaded once per process.
HRESULT getTypeInfo(REFGUID guid, ITypeInfo** info);

// Full path of this module's file ("" when it cannot be read).
bool modulePath(char (&path)[MAX_PATH]);

// Holds a module lock for the lifetime of a COM object.
class ModuleLock {
 public:
  ModuleLock() { lockModule(); }
  ~ModuleLock() { unlockModule(); }
  ModuleLock(const ModuleLock&) = delete;
  ModuleLock& operator=(const ModuleLock&) = delete;
};

}  // namespace qv::com
