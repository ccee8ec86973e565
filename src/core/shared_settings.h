// SharedSettings: the one record of settings, counters and the browser table
// that every browser process of the user sees in one copy.  The Windows
// build places the single instance in a PE section shared between processes
// (core/win/shared_section.*); the portable logic takes a reference to it.
//
// The layout is internal to the module but every process that loads the
// same build must agree on it, so the record is a standard-layout aggregate
// of 32-bit fields in a fixed order.  Flags hold 0 or 1; readers of single
// fields read them without a lock (each is one aligned 32-bit word);
// counters are changed only by interlocked increments.
#pragma once

#include <cstdint>
#include <type_traits>

namespace qv {

inline constexpr int kMaxBrowsers = 100;
inline constexpr int kSoundFileSize = 260;

struct BrowserEntry {
  std::uint32_t frameWindow;  // handle of the browser's top-level window (32 significant bits)
  std::uint32_t pubObject;    // the window's CPub, meaningful only inside processId
  std::uint32_t threadId;     // the window's user-interface thread
  std::uint32_t processId;
};

struct SharedSettings {
  std::int32_t settingsLoaded = 0;
  std::int32_t blockedTotal = 0;
  std::int32_t blockedSession = 0;
  std::int32_t floatingBlockedSession = 0;
  std::int32_t popupEnable = 1;
  std::int32_t floatingEnable = 1;
  std::int32_t addToContextMenu = 1;
  std::int32_t enableWhiteList = 1;
  std::int32_t enableHistory = 1;
  std::int32_t hotkey = 0x11;  // Ctrl; -1 = disabled
  std::int32_t skin = 1;
  std::int32_t showStatusMsg = 0;
  std::int32_t showFloatingStatusMsg = 1;
  std::int32_t beep = 0;
  std::int32_t playDefaultSound = 1;
  std::int32_t playSoundFile = 0;
  char soundFile[kSoundFileSize] = {};
  std::int32_t blockFlash = 0;
  std::int32_t blockAdware = 0;
  std::int32_t blockResize = 1;
  std::int32_t blockImages = 0;
  std::int32_t blockUncachedImages = 0;
  std::int32_t optionsDialogOpen = 0;
  std::int32_t enableTips = 1;
  std::int32_t unfatheredEnable = 1;
  std::int32_t modelessDialogEnable = 1;
  std::int32_t winHelpEnable = 0;
  std::int32_t optionsKeyBusy = 0;
  std::int32_t browserCount = 0;
  std::int32_t blockAnimHotkey = 0;
  BrowserEntry browserTable[kMaxBrowsers] = {};
};

static_assert(std::is_standard_layout_v<SharedSettings>);
static_assert(sizeof(BrowserEntry) == 16);

}  // namespace qv
