#include "core/win/popup_ports_win.h"

#include <mmsystem.h>

#include "com/module.h"

namespace qv::win {

bool Win32Desktop::asyncKeyDown(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

bool Win32Desktop::keyDown(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

CursorHandle Win32Desktop::cursor() { return toHandle(GetCursor()); }

void Win32Desktop::setCursor(CursorHandle cursor) { SetCursor(toHcursor(cursor)); }

std::optional<ScreenPoint> Win32Desktop::cursorPos() {
  POINT p{};
  if (!GetCursorPos(&p)) return std::nullopt;
  return ScreenPoint{p.x, p.y};
}

std::string Win32Desktop::className(WindowHandle window) {
  char buffer[kClassNameBuffer] = {};
  const int n = GetClassNameA(toHwnd(window), buffer, static_cast<int>(sizeof buffer));
  if (n <= 0) return {};
  return std::string(buffer, static_cast<std::size_t>(n) < sizeof buffer ? static_cast<std::size_t>(n)
                                                                          : sizeof buffer - 1);
}

WindowHandle Win32Desktop::findTopLevel(const char* className) {
  return toHandle(FindWindowA(className, nullptr));
}

WindowHandle Win32Desktop::firstChild(WindowHandle window) { return toHandle(GetWindow(toHwnd(window), GW_CHILD)); }

std::string Win32Desktop::windowTitle(WindowHandle window) {
  char buffer[kWindowTitleBuffer] = {};
  const int n = GetWindowTextA(toHwnd(window), buffer, static_cast<int>(sizeof buffer));
  if (n <= 0) return {};
  return std::string(buffer, static_cast<std::size_t>(n) < sizeof buffer ? static_cast<std::size_t>(n)
                                                                          : sizeof buffer - 1);
}

void Win32Desktop::postClose(WindowHandle window) { PostMessageA(toHwnd(window), WM_CLOSE, 0, 0); }

WindowHandle Win32Desktop::focus() { return toHandle(GetFocus()); }

WindowHandle Win32Desktop::parent(WindowHandle window) { return toHandle(GetParent(toHwnd(window))); }

bool Win32Timers::start(WindowHandle window, std::uint32_t id, std::uint32_t periodMs) {
  return SetTimer(toHwnd(window), id, periodMs, proc_) != 0;
}

void Win32Timers::stop(WindowHandle window, std::uint32_t id) { KillTimer(toHwnd(window), id); }

void Win32Sound::beep(std::uint32_t frequencyHz, std::uint32_t durationMs) { Beep(frequencyHz, durationMs); }

bool Win32Sound::moduleKnown() { return com::moduleInstance() != nullptr; }

void Win32Sound::playFileAsync(const std::string& path) {
  PlaySoundA(path.c_str(), nullptr, SND_FILENAME | SND_ASYNC);
}

void Win32Sound::playResourceAsync(const char* name) {
  PlaySoundA(name, com::moduleInstance(), SND_RESOURCE | SND_ASYNC);
}

}  // namespace qv::win
