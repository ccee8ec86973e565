// Desktop port: what the popup logic asks of the keyboard, the pointer and
// the windows of the desktop.  Handles are opaque numbers (0 = none); the
// Windows adapter converts them to and from HWND and HCURSOR.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qv {

using WindowHandle = std::uintptr_t;  // 0 = no window
using CursorHandle = std::uintptr_t;  // 0 = no cursor

struct ScreenPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// Virtual-key codes the logic looks at.
inline constexpr int kVkShift = 0x10;
inline constexpr int kVkControl = 0x11;
inline constexpr int kVkAlt = 0x12;
inline constexpr int kVkF12 = 0x7B;

// Window messages the mouse hook looks at.
inline constexpr std::uint32_t kWmLButtonDown = 0x201;
inline constexpr std::uint32_t kWmLButtonUp = 0x202;
inline constexpr std::uint32_t kWmRButtonDown = 0x204;
inline constexpr std::uint32_t kWmRButtonUp = 0x205;

// Longest texts read from a window (the buffers include the terminating zero).
inline constexpr std::size_t kClassNameBuffer = 100;
inline constexpr std::size_t kWindowTitleBuffer = 260;

class Desktop {
 public:
  virtual ~Desktop() = default;

  // Keyboard.  asyncKeyDown: the key is physically down at this instant
  // (GetAsyncKeyState).  keyDown: the key was down when the message now
  // being handled was posted (GetKeyState).
  virtual bool asyncKeyDown(int virtualKey) = 0;
  virtual bool keyDown(int virtualKey) = 0;

  // Pointer.  cursorPos is nullopt when the position cannot be read.
  virtual CursorHandle cursor() = 0;
  virtual void setCursor(CursorHandle cursor) = 0;
  virtual std::optional<ScreenPoint> cursorPos() = 0;

  // Windows.  className and windowTitle are "" when the window is gone or
  // the text cannot be read; they never exceed kClassNameBuffer - 1 and
  // kWindowTitleBuffer - 1 bytes.
  virtual std::string className(WindowHandle window) = 0;
  virtual WindowHandle findTopLevel(const char* className) = 0;  // first of that class, any process
  virtual WindowHandle firstChild(WindowHandle window) = 0;
  virtual std::string windowTitle(WindowHandle window) = 0;
  virtual void postClose(WindowHandle window) = 0;  // posts WM_CLOSE, does not wait
  virtual WindowHandle focus() = 0;                 // keyboard focus of the calling thread
  virtual WindowHandle parent(WindowHandle window) = 0;
};

}  // namespace qv
