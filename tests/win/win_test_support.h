// Helpers shared by the Windows tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qvtest {

inline constexpr const char kSettingsKey[] = "Software\\Harrowlyn\\Quillvane";

// Windows path of the DLL under test (the build tree seen through Wine's Z:).
std::string dllPath();

// Sets HKCU\Software\Harrowlyn\Quillvane\UnfatheredEnable.
void setUnfathered(DWORD value);

// Loads the DLL under test; the handle is kept for the process.
HMODULE module();

// A message box seen on this thread.
struct SeenBox {
  std::string caption, text;
};
// Records every message box now showing on this thread and answers it: Yes
// (No when `yes` is false) where it asks, OK where it tells.  Called from a
// thread timer, so it also runs inside a box's own message loop.
void answerBoxesOfThisThread(std::vector<SeenBox>& seen, bool yes = true);

}  // namespace qvtest
