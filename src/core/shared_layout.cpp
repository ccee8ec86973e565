// The layout of the structures that browser processes share, fixed here in
// numbers.  This file is compiled into the native, the 64-bit and the 32-bit
// build alike, so each build proves it lays the record out exactly as the
// others do: a 32-bit and a 64-bit browser of one session read the same
// bytes.  Changing the record means changing these numbers on purpose.
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/notify.h"
#include "core/shared_settings.h"

namespace qv {
namespace {

// Only fixed-width fields: no pointers, no size_t, no long, no bool.
static_assert(std::is_standard_layout_v<BrowserEntry> && std::is_trivially_copyable_v<BrowserEntry>);
static_assert(sizeof(BrowserEntry) == 16 && alignof(BrowserEntry) == 4);
static_assert(offsetof(BrowserEntry, frameWindow) == 0);
static_assert(offsetof(BrowserEntry, pubObject) == 4);
static_assert(offsetof(BrowserEntry, threadId) == 8);
static_assert(offsetof(BrowserEntry, processId) == 12);

static_assert(std::is_standard_layout_v<SharedSettings>);
static_assert(alignof(SharedSettings) == 4);
static_assert(offsetof(SharedSettings, settingsLoaded) == 0);
static_assert(offsetof(SharedSettings, blockedTotal) == 4);
static_assert(offsetof(SharedSettings, hotkey) == 36);
static_assert(offsetof(SharedSettings, playSoundFile) == 60);
static_assert(offsetof(SharedSettings, soundFile) == 64);
static_assert(offsetof(SharedSettings, blockFlash) == 64 + kSoundFileSize);
static_assert(offsetof(SharedSettings, optionsKeyBusy) == 364);
static_assert(offsetof(SharedSettings, browserCount) == 368);
static_assert(offsetof(SharedSettings, blockAnimHotkey) == 372);
static_assert(offsetof(SharedSettings, browserTable) == 376);
static_assert(sizeof(SharedSettings) == 376 + kMaxBrowsers * sizeof(BrowserEntry));

// The block history is a character region of one size in every build.
static_assert(popup::kHistorySize == 8196);  // bytes

}  // namespace
}  // namespace qv
