// Win32 adapters of the desktop, timer and sound ports used by the popup
// logic.  Thin: each call is one system call with bounded buffers.
#pragma once

#include <windows.h>

#include "platform/input.h"
#include "platform/sound.h"
#include "platform/timers.h"

namespace qv::win {

inline WindowHandle toHandle(HWND w) { return reinterpret_cast<WindowHandle>(w); }
inline HWND toHwnd(WindowHandle w) { return reinterpret_cast<HWND>(w); }
inline CursorHandle toHandle(HCURSOR c) { return reinterpret_cast<CursorHandle>(c); }
inline HCURSOR toHcursor(CursorHandle c) { return reinterpret_cast<HCURSOR>(c); }

// GetAsyncKeyState, GetKeyState, GetCursor/SetCursor/GetCursorPos,
// GetClassNameA (100 bytes), FindWindowA, GetWindow(GW_CHILD),
// GetWindowTextA (260 bytes), PostMessageA(WM_CLOSE), GetFocus, GetParent.
class Win32Desktop final : public Desktop {
 public:
  bool asyncKeyDown(int virtualKey) override;
  bool keyDown(int virtualKey) override;
  CursorHandle cursor() override;
  void setCursor(CursorHandle cursor) override;
  std::optional<ScreenPoint> cursorPos() override;
  std::string className(WindowHandle window) override;
  WindowHandle findTopLevel(const char* className) override;
  WindowHandle firstChild(WindowHandle window) override;
  std::string windowTitle(WindowHandle window) override;
  void postClose(WindowHandle window) override;
  WindowHandle focus() override;
  WindowHandle parent(WindowHandle window) override;
};

// SetTimer/KillTimer on a window; every timer started goes to proc.
class Win32Timers final : public Timers {
 public:
  explicit Win32Timers(TIMERPROC proc) : proc_(proc) {}
  bool start(WindowHandle window, std::uint32_t id, std::uint32_t periodMs) override;
  void stop(WindowHandle window, std::uint32_t id) override;

 private:
  TIMERPROC proc_;
};

// Beep; PlaySoundA with SND_FILENAME|SND_ASYNC, and SND_RESOURCE|SND_ASYNC
// with the module instance (qv::com::moduleInstance()).
class Win32Sound final : public Sound {
 public:
  void beep(std::uint32_t frequencyHz, std::uint32_t durationMs) override;
  bool moduleKnown() override;
  void playFileAsync(const std::string& path) override;
  void playResourceAsync(const char* name) override;
};

}  // namespace qv::win
