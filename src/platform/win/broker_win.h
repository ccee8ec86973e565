// The Protected Mode port over the browser's own functions in ieframe.dll
// (IEIsProtectedModeProcess, IERegCreateKeyEx, IERegSetValueEx, and at
// registration IERegisterWritableRegistryKey / ...Value and
// IEUnregisterWritableRegistry).  Every one is found with GetProcAddress:
// older browsers and Wine lack them, and an import would stop the module
// loading there.  The library the process has loaded is used (a browser tab
// always has it); otherwise it is loaded once and kept.
#pragma once

#include <windows.h>

#include <string_view>

#include "platform/broker.h"

namespace qv::win {

class Win32Broker final : public ProtectedModeBroker {
 public:
  bool protectedMode() override;
  bool available() override;
  RegStatus createKey(std::string_view path) override;
  RegStatus setValue(std::string_view path, std::string_view name, const RegValue& value) override;
};

// The module's broker (one per process).
Win32Broker& broker();

// At registration (a medium or higher process): registers the settings key
// and the browser display values the options sheet writes as writable by
// Protected Mode tabs, under `owner` (the helper object's class).  S_FALSE
// where the browser has no broker.
HRESULT registerWritableKeys(const GUID& owner);
// At unregistration: withdraws what registerWritableKeys registered.
HRESULT unregisterWritableKeys(const GUID& owner);

// The broker's status of an HRESULT.
RegStatus regStatusFromHresult(HRESULT hr);

}  // namespace qv::win
