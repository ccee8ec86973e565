// Screenshots for the UI tests: the screen area under a window, written as
// a PNG (no outside tools needed).  The folder is build/win64/screenshots.
#pragma once

#include <windows.h>

#include <string>

namespace qvtest {

// Writes the screen rectangle `r` to <screenshots>/<name>.png; true on success.
bool screenshot(const RECT& r, const std::string& name);
// The window's rectangle (with `margin` pixels around it).
bool screenshotWindow(HWND w, const std::string& name, int margin = 0);

}  // namespace qvtest
