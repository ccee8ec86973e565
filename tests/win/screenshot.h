// Screenshots for the UI tests and the demo: the screen area under a
// window, written as a PNG (no outside tools needed).  The folder is
// build/win64/screenshots for the tests, or the one set at run time.
#pragma once

#include <windows.h>

#include <string>

namespace qvtest {

// The folder the pictures go to (a Windows path), instead of the build's.
void setScreenshotFolder(const std::string& folder);
const std::string& screenshotFolder();

// Writes the screen rectangle `r` to <screenshots>/<name>.png; true on success.
bool screenshot(const RECT& r, const std::string& name);
// The window's rectangle (with `margin` pixels around it).
bool screenshotWindow(HWND w, const std::string& name, int margin = 0);
// Has the window (of any thread of this process) and its children painted
// now, lets the display catch up, then takes the picture.
bool screenshotPainted(HWND w, const std::string& name, int margin = 0);

}  // namespace qvtest
