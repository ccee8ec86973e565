// Protected Mode port: what the browser offers an add-on in a tab that runs
// at low integrity.  Such a tab reads the user's registry but may write only
// low locations; the browser's broker, a process at medium integrity, writes
// a key of the current user for it when that key was registered as writable
// at install time.  Paths are below the current user's root.
#pragma once

#include <string_view>

#include "platform/registry.h"

namespace qv {

class ProtectedModeBroker {
 public:
  virtual ~ProtectedModeBroker() = default;
  // True when this process is a Protected Mode tab.  False where the browser
  // cannot tell (no such function): such a process is not one.
  virtual bool protectedMode() = 0;
  // True when the broker's registry functions are there.
  virtual bool available() = 0;
  // Creates (or opens) the key through the broker.
  virtual RegStatus createKey(std::string_view path) = 0;
  // Writes one value through the broker; AccessDenied when the broker refuses
  // (the key was never registered as writable).
  virtual RegStatus setValue(std::string_view path, std::string_view name, const RegValue& value) = 0;
};

}  // namespace qv
