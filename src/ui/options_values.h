// The options sheet's page values: the only data that passes between the
// sheet and its pages.  The sheet fills them from SharedSettings, the
// browser's display settings and the white list before the sheet is shown
// and reads them back after OK.  Check-box states are integers as the check
// box reports them (0 unchecked, 1 checked, 2 indeterminate).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::ui {

// Page indexes of the sheet, in tab order.
enum PageIndex : int {
  kPagePopupAds = 0,
  kPageNewFormAds = 1,
  kPageAdware = 2,
  kPageSettings = 3,
  kPageWhiteList = 4,
  kPageBlockHistory = 5,
  kPageAbout = 6,
};

struct PopupAdsValues {
  std::int32_t popupEnable = 0;
  std::int32_t unfatheredEnable = 0;
  std::int32_t modelessDialogEnable = 0;
  std::int32_t winHelpEnable = 0;
  std::int32_t showStatusMsg = 0;
  std::int32_t beep = 0;
  std::int32_t playDefaultSound = 0;
  std::int32_t playSoundFile = 0;
  std::int32_t hotkey = 0;  // virtual-key code: 17 Ctrl, 16 Shift, -1 none
  std::string soundFile;    // at most 259 characters
};

struct NewFormAdsValues {
  std::int32_t floatingEnable = 0;
  std::int32_t blockFlash = 0;
  std::int32_t blockResize = 0;
  std::int32_t blockImages = 0;
  std::int32_t blockUncachedImages = 0;
  std::int32_t showFloatingStatusMsg = 0;
  std::int32_t blockAnimHotkey = 0;  // hot-key control value: low byte key, next byte modifiers
};

// The browser's own display settings (not part of SharedSettings).  The
// fresh values show wherever the browser's value cannot be read.
struct DisplaySettings {
  std::int32_t noInlineVideos = 0;         // bit 1
  std::int32_t noBackgroundSounds = 0;     // bit 2
  std::int32_t noInlineImages = 0;         // bit 4
  std::int32_t expandAltText = 0;          // bit 8
  std::int32_t noAnimations = 0;           // bit 16
  std::int32_t disableScriptDebugger = 1;  // bit 32
  std::int32_t showImagePlaceholders = 0;  // bit 64
  bool operator==(const DisplaySettings&) const = default;
};

// One bit per value that is not 0.
std::uint32_t displayBits(const DisplaySettings& d);

struct SettingsValues {
  std::int32_t addToContextMenu = 0;
  std::int32_t enableHistory = 0;
  std::int32_t enableTips = 0;
  std::int32_t skin = 0;  // 1..3 name a skin; any other value loads none
  DisplaySettings display;
};

struct WhiteListValues {
  std::int32_t enableWhiteListCopy = 0;
  // The working copy of the white list.  Absent until a first string is put
  // into it; once present it stays present, possibly empty.  The white list
  // is rewritten after OK only when it is present.
  std::optional<std::vector<std::string>> whiteListCopy;
};

// Counters handed to the Block history page, taken when the sheet opened.
struct HistoryCounters {
  std::int32_t blockedSession = 0;
  std::int32_t floatingBlockedSession = 0;
  std::int32_t blockedTotal = 0;
};

struct SheetValues {
  PopupAdsValues popup;
  NewFormAdsValues newForm;
  std::int32_t blockAdware = 0;  // the adware page's value (0..2)
  SettingsValues settings;
  WhiteListValues whiteList;
  HistoryCounters counters;
};

}  // namespace qv::ui
