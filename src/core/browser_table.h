// The shared browser table: one entry {frameWindow, pubObject, threadId,
// processId} per browser window that has a helper object attached, packed at
// the front of SharedSettings::browserTable, browserCount of them in use.
//
// Updates come from the threads of every browser process of the user at
// once, so Add and Remove run under a named mutex of their own
// ("MutexForBrowserTable"), never held together with another lock and only
// for the few microseconds an update takes.  A wait that times out reports
// Busy and leaves the table untouched.  Readers take no lock; they read each
// field atomically and may miss an entry that a concurrent Remove is moving,
// for that one look-up.
//
// An entry whose process has ended (a crashed browser never removes its
// entries) is freed when an entry is needed: Add first drops every entry
// whose process the ProcessDirectory reports ended, or running with another
// creation time than the entry recorded (its id was given to a later
// process).  A process that cannot be asked keeps its entries.
//
// A Remove that times out is not lost: the table remembers it and tries it
// again under the lock of this process's next Add, or when RetryPending is
// called (by a helper object as it goes), so a busy moment never costs a
// slot for the rest of the session.
//
// The shared record is untrusted: a browserCount outside 0..100 is clamped
// for every read, and Add/Remove repair it on their next update.
//
// pubObject is a per-process token (PubTokens below), never a pointer: a
// token of another process means nothing here, so look-ups match entries of
// the calling process only.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/shared_names.h"
#include "core/shared_settings.h"
#include "platform/input.h"
#include "platform/messages.h"
#include "platform/mutex.h"
#include "platform/process.h"

namespace qv::core {

using qv::kBrowserTableMutexName;

inline constexpr std::uint32_t kBrowserTableWaitMs = 2000;
// Shown (as this very text) when the table is full.
inline constexpr const char kTooManyWindowsText[] = "IDS_ERR_TOOMANYWINDOWS";

enum class AddResult { Added, AlreadyPresent, Full, Busy };
enum class RemoveResult { Removed, NotFound, Busy };

// The table's window handle field keeps the handle's 32 significant bits.
inline std::uint32_t TableWindow(WindowHandle w) { return static_cast<std::uint32_t>(w); }

class BrowserTable {
 public:
  // lock: the table's named mutex; null means every update reports Busy.
  // processes: asked about entries' processes when an entry is needed (and
  // for the adding process's own creation time); null frees nothing.
  BrowserTable(SharedSettings& settings, NamedMutex* lock, ProcessDirectory* processes = nullptr)
      : s_(settings), lock_(lock), processes_(processes) {}

  // Succeeds without change when an entry with the same frameWindow,
  // pubObject and processId exists; Full when 100 entries of live processes
  // are in use.
  AddResult Add(std::uint32_t frameWindow, std::uint32_t pubObject, std::uint32_t threadId,
                std::uint32_t processId);
  // Removes the first entry with that pubObject, frameWindow and processId;
  // later entries move one place down.  Busy: the removal is remembered and
  // tried again later (above).
  RemoveResult Remove(std::uint32_t pubObject, std::uint32_t frameWindow, std::uint32_t processId);
  // Tries the remembered removals now (waiting for the lock only when there
  // are any); returns how many are still waiting.
  std::size_t RetryPending();

  // The pubObject of the first entry of this process with that thread.
  std::optional<std::uint32_t> FindByThread(std::uint32_t threadId, std::uint32_t processId) const;
  // From the focus window of the calling thread up its parent chain: the
  // pubObject (non-zero) of the first entry of this process and thread whose
  // frameWindow is on the chain; when the chain ends, FindByThread.  In a
  // tabbed browser every tab's chain ends at the shared frame, so entries of
  // other threads are passed over, never answered.
  std::optional<std::uint32_t> FindPubForFocus(Desktop& desktop, std::uint32_t threadId,
                                               std::uint32_t processId) const;

  int Count() const;                        // browserCount clamped to 0..100
  std::vector<BrowserEntry> Entries() const;  // the used entries, in order

 private:
  // Drops the entries of ended processes from the first n (under the
  // lock); returns how many remain.
  int freeEnded(int n);
  // Remove's work, with the lock held.
  RemoveResult removeLocked(std::uint32_t pubObject, std::uint32_t frameWindow, std::uint32_t processId);
  // The remembered removals, with the lock held.
  void retryLocked();

  struct PendingRemoval {
    std::uint32_t pubObject, frameWindow, processId;
  };

  SharedSettings& s_;
  NamedMutex* lock_;
  ProcessDirectory* processes_;
  std::mutex pendingLock_;  // guards pending_ (the threads of this process)
  std::vector<PendingRemoval> pending_;
};

// Add, with the messages of a failed attach: "IDS_ERR_TOOMANYWINDOWS" (this
// very text) when the table is full, IDS_ERR_BUSY when its mutex timed out.
// Returns whether the window has its entry.
bool AddWindow(BrowserTable& table, Messages& messages, std::uint32_t frameWindow, std::uint32_t pubObject,
               std::uint32_t threadId, std::uint32_t processId);

// Per-process map from the tokens stored in the table to the helper objects
// they stand for.  Tokens start at 1 and are never reused within a process,
// so a stale table entry can never reach a newer object.  Each object
// belongs to the thread that added it (a browser tab's thread): find answers
// only on that thread, so one tab's object is never handed to another
// tab's thread.  Thread-safe.
template <class T>
class PubTokens {
 public:
  std::uint32_t add(T* object) {
    std::lock_guard g(m_);
    std::uint32_t token = ++last_;
    if (token == 0) token = ++last_;  // after 2^32 registrations; 0 means "none"
    map_[token] = {object, std::this_thread::get_id()};
    return token;
  }
  void remove(std::uint32_t token) {
    std::lock_guard g(m_);
    map_.erase(token);
  }
  // The object, when it belongs to the calling thread; else null.
  T* find(std::uint32_t token) const {
    std::lock_guard g(m_);
    auto it = map_.find(token);
    if (it == map_.end() || it->second.owner != std::this_thread::get_id()) return nullptr;
    return it->second.object;
  }
  T* find(std::optional<std::uint32_t> token) const { return token ? find(*token) : nullptr; }

 private:
  struct Entry {
    T* object;
    std::thread::id owner;
  };
  mutable std::mutex m_;
  std::uint32_t last_ = 0;
  std::unordered_map<std::uint32_t, Entry> map_;
};

}  // namespace qv::core
