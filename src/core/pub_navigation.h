// Per-window navigation state of the browser helper object and the rules that
// move it: which browser events reset which flags, when the page sinks of the
// window are dropped, and the bounded wait for the blank page at quit.
//
// The click state shared by all windows of a process (clickSeen, clickGrace)
// belongs to the popup decision; the shell resets it at the same points.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/pub_host.h"

namespace qv::core {

// documentReady, newWindowGuard, userClicked, quitting: the per-window flags
// the popup decision reads.
using PubFlags = popup::PubState;

enum class PageSinks {
  Keep,           // the current pages stay connected
  DisconnectAll,  // drop every page's sinks, oldest first
};

// BeforeNavigate2.
PageSinks onBeforeNavigate(PubFlags& flags, std::string_view address);
// NavigateComplete2, before the page is connected and the top-level attach.
void onNavigateCompleteBegin(PubFlags& flags);
// DocumentComplete, before the page is connected.
void onDocumentCompleteBegin(PubFlags& flags);
// Both completions, after their work.
void onCompletionEnd(PubFlags& flags);

// What the quit wait needs from the browser and the thread.
class ReadyStateWait {
 public:
  virtual ~ReadyStateWait() = default;
  virtual std::uint32_t tickCount() = 0;            // milliseconds, wraps at 2^32
  virtual std::optional<int> readyState() = 0;      // nullopt when it cannot be read
  virtual void sleepAndPump(std::uint32_t ms) = 0;  // sleep, then dispatch waiting messages
};

inline constexpr int kReadyStateComplete = 4;
inline constexpr std::uint32_t kQuitWaitLimitMs = 10000;
inline constexpr std::uint32_t kQuitPollMs = 100;

enum class WaitOutcome { Complete, TimedOut, Unreadable };

// Polls the ready state until it is complete, it cannot be read, or more
// than `limitMs` have passed since the first poll; sleeps and pumps
// messages between polls.  Tick wrap-around is harmless.
WaitOutcome waitUntilComplete(ReadyStateWait& port, std::uint32_t limitMs = kQuitWaitLimitMs,
                              std::uint32_t pollMs = kQuitPollMs);

}  // namespace qv::core
