// The registry port over the Win32 registry (ANSI calls).
#pragma once

#include <windows.h>

#include "platform/registry.h"

namespace qv::win {

// `view` is 0 for the calling process's own registry view, or
// KEY_WOW64_64KEY / KEY_WOW64_32KEY for one view of 64-bit Windows whatever
// the caller's bitness (32-bit Windows ignores both).
class Win32Registry final : public Registry {
 public:
  explicit Win32Registry(REGSAM view = 0) : view_(view) {}

  RegOpen open(RegRoot root, std::string_view path) override;
  RegOpen openReadOnly(RegRoot root, std::string_view path) override;
  RegOpen create(RegRoot root, std::string_view path) override;
  RegStatus deleteKey(RegRoot root, std::string_view path) override;
  RegStatus deleteTree(RegRoot root, std::string_view path) override;

 private:
  REGSAM view_;
};

// True on 64-bit Windows (a 64-bit process, or a 32-bit one under WOW64):
// there the registry has a 64-bit and a 32-bit view.
bool hasTwoRegistryViews();
// The view whose walk from the roots reaches every key of the machine: the
// 64-bit view on 64-bit Windows (the 32-bit view's keys lie in it under
// Wow6432Node), the only one elsewhere.
REGSAM wholeRegistryView();

// Maps a Win32 error code onto the port's status.
RegStatus regStatusFromError(LONG error);

}  // namespace qv::win
