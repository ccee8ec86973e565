#include "core/notify.h"

#include <cstring>

#include "core/shared_access.h"

namespace qv::popup {

using shared::on;

namespace {

// soundFile as it stands in shared memory: up to its first zero byte, never
// past the field even when another process left it unterminated.
std::string soundFilePath(const SharedSettings& s) {
  std::string path;
  for (char c : s.soundFile) {
    const char ch = std::atomic_ref<char>(const_cast<char&>(c)).load(std::memory_order_relaxed);
    if (ch == 0) break;
    path.push_back(ch);
  }
  return path;
}

}  // namespace

void NotifyBlock(const SharedSettings& settings, Sound& sound, PubHost* host) {
  if (on(settings.beep)) {
    sound.beep(800, 40);
    sound.beep(500, 80);
  }
  if (sound.moduleKnown()) {
    const bool playFile = on(settings.playSoundFile);
    std::string file = playFile ? soundFilePath(settings) : std::string();
    if (playFile && !file.empty())
      sound.playFileAsync(file);
    else if (on(settings.playDefaultSound) || playFile)
      sound.playResourceAsync(kBlockSoundResource);
  }
  if (on(settings.showStatusMsg) && host) host->setStatusText(kBlockStatusText);
}

AppendResult AppendHistory(std::span<char> region, std::string_view address) {
  if (region.empty()) return AppendResult::NoRegion;
  if (auto zero = address.find('\0'); zero != std::string_view::npos) address = address.substr(0, zero);
  if (address.empty()) return AppendResult::NoAddress;

  const void* end = std::memchr(region.data(), 0, region.size());
  if (!end) return AppendResult::Corrupt;
  const std::size_t n = static_cast<std::size_t>(static_cast<const char*>(end) - region.data());

  std::string record(address);
  record.push_back('\n');
  const std::size_t m = record.size();
  if (std::string_view(region.data(), n).find(record) != std::string_view::npos) return AppendResult::Duplicate;
  if (n + m >= region.size()) return AppendResult::Full;

  std::memcpy(region.data() + n, record.data(), m);
  // The text ends here even if the bytes after the old end were not zero.
  region[n + m] = 0;
  return AppendResult::Appended;
}

RecordResult RecordBlock(SharedSettings& settings, NamedMutex* dataMutex, const std::function<void()>& saveTotal,
                         std::span<char> history, std::optional<std::string_view> address) {
  shared::increment(settings.blockedSession);
  shared::increment(settings.blockedTotal);

  RecordResult result;
  MutexLock lock(dataMutex, kRecordWaitMs);
  if (!lock.owned()) return result;
  result.locked = true;
  if (saveTotal) saveTotal();
  if (on(settings.enableHistory) && address) result.history = AppendHistory(history, *address);
  return result;
}

std::string HistoryText(std::span<const char> region) {
  if (region.empty()) return {};
  const void* end = std::memchr(region.data(), 0, region.size());
  const std::size_t n =
      end ? static_cast<std::size_t>(static_cast<const char*>(end) - region.data()) : region.size();
  return std::string(region.data(), n);
}

}  // namespace qv::popup
