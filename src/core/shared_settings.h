// SharedSettings: the one record of settings, counters and the browser table
// that every browser process of the user's session sees in one copy.  The
// Windows build keeps it in a named file mapping in the session's namespace
// (kSharedRecordName), made and given its defaults under the data mutex by
// the first process that needs it (core/shared_record.h); the portable logic
// takes a reference to it.
//
// 32-bit and 64-bit browsers of one session map the same bytes, so the
// layout is fixed: 32-bit fields only (a 64-bit field would be aligned
// differently by the two compilers), no pointers, no implicit padding, and
// the sizes and offsets below are checked at compile time.  Flags hold 0 or
// 1; readers of single fields read them without a lock (each is one aligned
// 32-bit word); counters are changed only by interlocked increments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace qv {

inline constexpr int kMaxBrowsers = 100;
inline constexpr int kSoundFileSize = 260;
// Marks an initialised record; a changed layout gets a new mapping name
// (kSharedRecordName) and a new tag.
inline constexpr std::uint32_t kSharedLayoutTag = 0x32525651;  // "QVR2"

struct BrowserEntry {
  std::uint32_t frameWindow = 0;  // handle of the browser's top-level window (32 significant bits)
  std::uint32_t pubObject = 0;    // the window's CPub, meaningful only inside processId
  std::uint32_t threadId = 0;     // the window's user-interface thread
  std::uint32_t processId = 0;
  // The process's creation time (FILETIME, low and high words): tells the
  // process that made the entry from a later one given the same id.  0 when
  // it could not be read.
  std::uint32_t processStartLow = 0;
  std::uint32_t processStartHigh = 0;
};

struct SharedSettings {
  std::uint32_t layoutTag = kSharedLayoutTag;  // written last when the record is made
  std::uint32_t layoutSize = sizeof(SharedSettings);
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

static_assert(std::is_standard_layout_v<SharedSettings> && std::is_trivially_copyable_v<SharedSettings>);
static_assert(sizeof(BrowserEntry) == 24);
static_assert(offsetof(SharedSettings, settingsLoaded) == 8);
static_assert(offsetof(SharedSettings, soundFile) == 72);
static_assert(offsetof(SharedSettings, blockFlash) == 332);
static_assert(offsetof(SharedSettings, browserCount) == 376);
static_assert(offsetof(SharedSettings, browserTable) == 384);
static_assert(sizeof(SharedSettings) == 2784);

}  // namespace qv
