// "Block resize by script": the rule the browser's subclassed top-level
// window applies to each message.  Moves and resizes that the user did not
// start (no size/move loop, no minimise/maximise/restore command, no mouse
// capture change, not the window's very first positioning) are turned into
// changes that keep the window's size and place.
//
// The four flags are per process: every browser window of the process
// shares one copy, as the window procedure is shared.
#pragma once

#include <cstdint>
#include <functional>

namespace qv::content {

struct FrameFlags {
  int positionedOnce = 0;     // set by the first WM_WINDOWPOSCHANGED, never cleared
  int sysCommandPending = 0;  // a minimise/maximise/restore command is under way
  int inSizeMove = 0;         // inside the user's size/move loop
  int captureChanged = 0;     // the mouse capture changed (the user is dragging)
};

// The messages the rule distinguishes, already decoded from the window
// message by the shell.
enum class FrameMessage {
  CaptureChanged,
  EnterSizeMove,
  ExitSizeMove,
  SysCommand,         // carries the command (wParam)
  WindowPosChanged,
  WindowPosChanging,  // carries the WINDOWPOS flags
  Other,
};

// System command values as the window receives them.  The low four bits of
// the command are used by the system itself and are masked off before
// comparing.
inline constexpr std::uint32_t kScMinimize = 0xF020;
inline constexpr std::uint32_t kScMaximize = 0xF030;
inline constexpr std::uint32_t kScRestore = 0xF120;

// WINDOWPOS flags the rule reads or adds.
inline constexpr std::uint32_t kSwpNoSize = 0x0001;
inline constexpr std::uint32_t kSwpNoMove = 0x0002;
inline constexpr std::uint32_t kSwpFrameChanged = 0x0020;

struct FrameInput {
  FrameMessage message = FrameMessage::Other;
  std::uint32_t command = 0;   // SysCommand: wParam
  std::uint32_t posFlags = 0;  // WindowPosChanging: WINDOWPOS.flags
  bool blockResize = false;    // SharedSettings blockResize is non-zero
};

// Applies one message to the flags and returns the WINDOWPOS flags to pass
// on (unchanged except for WindowPosChanging that must be held in place).
// `pageExempt` is asked only when everything else says "hold", because it
// may look at the white list under a cross-process mutex.
std::uint32_t applyFrameMessage(FrameFlags& flags, const FrameInput& in,
                                const std::function<bool()>& pageExempt);

}  // namespace qv::content
