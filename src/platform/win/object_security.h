// The security every named object the module's processes share is made
// with: full access for the user (and the system), nothing for anyone else,
// and a low mandatory label with no-write-up.  A Protected Mode tab runs at
// low integrity and may open for writing only objects labelled low or
// below; objects made with default security carry the creator's level, so
// without this a tab could not use objects a medium process made first, and
// a medium process would get private objects beside a tab's.
#pragma once

#include <windows.h>

#include <string>

namespace qv::win {

// The SDDL of the descriptor ("D:(A;;GA;;;<user>)(A;;GA;;;SY)S:(ML;;NW;;;LW)").
const std::wstring& sharedObjectSddl();

// Attributes to create the objects with (not inheritable); null when the
// descriptor could not be built, which leaves the system's default.
SECURITY_ATTRIBUTES* sharedObjectAttributes();

}  // namespace qv::win
