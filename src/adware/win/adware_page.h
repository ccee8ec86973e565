// The "Adwares and Spywares" page's Windows side, for the sheet and tests.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace qv::adware::win {

// "Quillvane.dat" in the folder of the module "Quillvane.dll" (or of this
// code's own module when no module of that name is loaded).
std::string listFilePath();

// The list file's bytes, at most the list's size; nullopt when it cannot be
// opened for reading.
std::optional<std::string> readListFile(const std::string& path);

INT_PTR CALLBACK adwarePageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace qv::adware::win
