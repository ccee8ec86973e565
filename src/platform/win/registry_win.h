// The registry port over the Win32 registry (ANSI calls).
#pragma once

#include <windows.h>

#include "platform/registry.h"

namespace qv::win {

class Win32Registry final : public Registry {
 public:
  RegOpen open(RegRoot root, std::string_view path) override;
  RegOpen openReadOnly(RegRoot root, std::string_view path) override;
  RegOpen create(RegRoot root, std::string_view path) override;
  RegStatus deleteKey(RegRoot root, std::string_view path) override;
  RegStatus deleteTree(RegRoot root, std::string_view path) override;
};

// Maps a Win32 error code onto the port's status.
RegStatus regStatusFromError(LONG error);

}  // namespace qv::win
