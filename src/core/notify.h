// Block notifications, counters and the block history.
//
// The history region holds ANSI lines, each a page address and a line feed,
// zero-terminated and zero-filled.  A record is appended only when the text
// does not already contain it (as a substring, line feed included) and only
// while text length + record length stays below the region size, so that at
// least one zero byte always follows the text; when full, new records are
// dropped and the oldest stay.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/pub_host.h"
#include "core/shared_names.h"
#include "core/shared_settings.h"
#include "platform/mutex.h"
#include "platform/sound.h"

namespace qv::popup {

inline constexpr const char kBlockStatusText[] = "Quillvane blocked popup Ads in this page!";
inline constexpr const char kBlockSoundResource[] = "PubSound";
inline constexpr std::uint32_t kRecordWaitMs = 1000;

// Announces one block: beep (800 Hz 40 ms, then 500 Hz 80 ms) when beep is
// on; the user's sound file, or the module's "PubSound" wave, when the module
// is known; the status text when showStatusMsg is on and host has a status
// window.  host may be null (no status text).
void NotifyBlock(const SharedSettings& settings, Sound& sound, PubHost* host);

enum class AppendResult {
  Appended,
  Duplicate,  // the text already holds the record
  Full,       // text + record would reach the region size
  Corrupt,    // no zero byte inside the region: treated as full
  NoRegion,   // the region is not mapped
  NoAddress   // empty address (nothing to record)
};

// The history region as the platform maps it (bytes) seen as characters.
inline std::span<char> HistoryChars(std::span<std::uint8_t> bytes) {
  return {reinterpret_cast<char*>(bytes.data()), bytes.size()};
}

// Appends address + '\n' to the history region (its size is the capacity).
// An address is taken up to its first zero byte.
AppendResult AppendHistory(std::span<char> region, std::string_view address);

struct RecordResult {
  bool locked = false;                         // the data mutex was obtained
  std::optional<AppendResult> history;         // set when an append was tried
};

// Counts one block: interlocked increments of blockedSession, then
// blockedTotal (always); then, under the data mutex (1000 ms; abandoned
// counts as obtained), saves the total and, when enableHistory is on and an
// address is given, appends it to the history.  On time-out nothing else
// happens.
RecordResult RecordBlock(SharedSettings& settings, NamedMutex* dataMutex, const std::function<void()>& saveTotal,
                         std::span<char> history, std::optional<std::string_view> address);

// The text of a history region for display: the bytes up to the first zero
// byte, or the whole region when it has none (never reads past the region).
std::string HistoryText(std::span<const char> region);

}  // namespace qv::popup
