// Helpers shared by the Windows tests.
#pragma once

#include <windows.h>

#include <string>

namespace qvtest {

inline constexpr const char kSettingsKey[] = "Software\\Harrowlyn\\Quillvane";

// Windows path of the DLL under test (the build tree seen through Wine's Z:).
std::string dllPath();

// Sets HKCU\Software\Harrowlyn\Quillvane\UnfatheredEnable.
void setUnfathered(DWORD value);

// Loads the DLL under test; the handle is kept for the process.
HMODULE module();

}  // namespace qvtest
