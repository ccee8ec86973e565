#include "core/browser_table.h"

#include <algorithm>
#include <utility>

#include "core/shared_access.h"
#include "res/resource_ids.h"

namespace qv::core {

using shared::load;
using shared::store;

namespace {

// Parent chains are acyclic on a real desktop; the bound keeps a broken
// port from looping for ever.
constexpr int kMaxParentWalk = 256;

void copyEntry(BrowserEntry& to, const BrowserEntry& from) {
  store(to.frameWindow, load(from.frameWindow));
  store(to.pubObject, load(from.pubObject));
  store(to.threadId, load(from.threadId));
  store(to.processId, load(from.processId));
  store(to.processStartLow, load(from.processStartLow));
  store(to.processStartHigh, load(from.processStartHigh));
}

void clearEntry(BrowserEntry& e) { copyEntry(e, BrowserEntry{}); }

std::uint64_t entryStart(const BrowserEntry& e) {
  return (static_cast<std::uint64_t>(load(e.processStartHigh)) << 32) | load(e.processStartLow);
}

// Whether an entry's process has ended.  An entry without a creation time
// (0) is judged by the process id alone.
bool ended(const BrowserEntry& e, const ProcessStart& now) {
  switch (now.state) {
    case ProcessStart::State::Ended: return true;
    case ProcessStart::State::Unknown: return false;
    case ProcessStart::State::Running: return entryStart(e) != 0 && entryStart(e) != now.time;
  }
  return false;
}

}  // namespace

int BrowserTable::freeEnded(int n) {
  if (!processes_) return n;
  // Each process is asked once per sweep.
  std::vector<std::pair<std::uint32_t, ProcessStart>> asked;
  auto startOf = [&](std::uint32_t pid) {
    for (const auto& [id, start] : asked)
      if (id == pid) return start;
    asked.emplace_back(pid, processes_->started(pid));
    return asked.back().second;
  };
  int kept = 0;
  for (int i = 0; i < n; ++i) {
    const BrowserEntry& e = s_.browserTable[i];
    if (ended(e, startOf(load(e.processId)))) continue;
    if (kept != i) copyEntry(s_.browserTable[kept], e);
    ++kept;
  }
  for (int i = kept; i < n; ++i) clearEntry(s_.browserTable[i]);
  if (kept != n) store(s_.browserCount, kept);
  return kept;
}

int BrowserTable::Count() const { return std::clamp(load(s_.browserCount), 0, kMaxBrowsers); }

AddResult BrowserTable::Add(std::uint32_t frameWindow, std::uint32_t pubObject, std::uint32_t threadId,
                            std::uint32_t processId) {
  MutexLock lock(lock_, kBrowserTableWaitMs);
  if (!lock.owned()) return AddResult::Busy;
  retryLocked();
  const int n = freeEnded(Count());
  for (int i = 0; i < n; ++i) {
    const BrowserEntry& e = s_.browserTable[i];
    if (load(e.frameWindow) == frameWindow && load(e.pubObject) == pubObject && load(e.processId) == processId)
      return AddResult::AlreadyPresent;
  }
  if (n >= kMaxBrowsers) {
    store(s_.browserCount, n);  // repairs a count beyond the table
    return AddResult::Full;
  }
  BrowserEntry& e = s_.browserTable[n];
  store(e.frameWindow, frameWindow);
  store(e.pubObject, pubObject);
  store(e.threadId, threadId);
  store(e.processId, processId);
  const ProcessStart self = processes_ ? processes_->started(processId) : ProcessStart{};
  const std::uint64_t start = self.state == ProcessStart::State::Running ? self.time : 0;
  store(e.processStartLow, static_cast<std::uint32_t>(start));
  store(e.processStartHigh, static_cast<std::uint32_t>(start >> 32));
  // Published after the entry is complete, so a reader never sees a half entry.
  std::atomic_thread_fence(std::memory_order_release);
  store(s_.browserCount, n + 1);
  return AddResult::Added;
}

RemoveResult BrowserTable::Remove(std::uint32_t pubObject, std::uint32_t frameWindow, std::uint32_t processId) {
  MutexLock lock(lock_, kBrowserTableWaitMs);
  if (!lock.owned()) {
    std::lock_guard g(pendingLock_);
    pending_.push_back({pubObject, frameWindow, processId});
    return RemoveResult::Busy;
  }
  retryLocked();
  return removeLocked(pubObject, frameWindow, processId);
}

std::size_t BrowserTable::RetryPending() {
  {
    std::lock_guard g(pendingLock_);
    if (pending_.empty()) return 0;
  }
  MutexLock lock(lock_, kBrowserTableWaitMs);
  if (lock.owned()) retryLocked();
  std::lock_guard g(pendingLock_);
  return pending_.size();
}

void BrowserTable::retryLocked() {
  std::vector<PendingRemoval> due;
  {
    std::lock_guard g(pendingLock_);
    due.swap(pending_);
  }
  // Removed or already gone (freed with its ended process, say): either
  // way nothing is left to do for it.
  for (const PendingRemoval& r : due) removeLocked(r.pubObject, r.frameWindow, r.processId);
}

RemoveResult BrowserTable::removeLocked(std::uint32_t pubObject, std::uint32_t frameWindow,
                                        std::uint32_t processId) {
  const int n = Count();
  int found = -1;
  for (int i = 0; i < n && found < 0; ++i) {
    const BrowserEntry& e = s_.browserTable[i];
    if (load(e.pubObject) == pubObject && load(e.frameWindow) == frameWindow && load(e.processId) == processId)
      found = i;
  }
  if (found < 0) {
    if (load(s_.browserCount) != n) store(s_.browserCount, n);
    return RemoveResult::NotFound;
  }
  for (int i = found; i + 1 < n; ++i) copyEntry(s_.browserTable[i], s_.browserTable[i + 1]);
  clearEntry(s_.browserTable[n - 1]);
  store(s_.browserCount, n - 1);
  return RemoveResult::Removed;
}

std::optional<std::uint32_t> BrowserTable::FindByThread(std::uint32_t threadId, std::uint32_t processId) const {
  const int n = Count();
  for (int i = 0; i < n; ++i) {
    const BrowserEntry& e = s_.browserTable[i];
    if (load(e.threadId) != threadId || load(e.processId) != processId) continue;
    const std::uint32_t pub = load(e.pubObject);
    if (pub != 0) return pub;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> BrowserTable::FindPubForFocus(Desktop& desktop, std::uint32_t threadId,
                                                           std::uint32_t processId) const {
  WindowHandle w = desktop.focus();
  for (int depth = 0; w != 0 && depth < kMaxParentWalk; ++depth) {
    const std::uint32_t key = TableWindow(w);
    const int n = Count();
    for (int i = 0; i < n; ++i) {
      const BrowserEntry& e = s_.browserTable[i];
      if (load(e.frameWindow) != key || load(e.processId) != processId || load(e.threadId) != threadId) continue;
      const std::uint32_t pub = load(e.pubObject);
      if (pub != 0) return pub;
    }
    w = desktop.parent(w);
  }
  return FindByThread(threadId, processId);
}

std::vector<BrowserEntry> BrowserTable::Entries() const {
  std::vector<BrowserEntry> out;
  const int n = Count();
  out.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    BrowserEntry e{};
    copyEntry(e, s_.browserTable[i]);
    out.push_back(e);
  }
  return out;
}

bool AddWindow(BrowserTable& table, Messages& messages, std::uint32_t frameWindow, std::uint32_t pubObject,
               std::uint32_t threadId, std::uint32_t processId) {
  switch (table.Add(frameWindow, pubObject, threadId, processId)) {
    case AddResult::Added:
    case AddResult::AlreadyPresent:
      return true;
    case AddResult::Full:
      messages.showText(kTooManyWindowsText);
      return false;
    case AddResult::Busy:
      messages.showString(IDS_ERR_BUSY);
      return false;
  }
  return false;
}

}  // namespace qv::core
