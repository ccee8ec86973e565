// The dialog watch: script-opened web page dialogs and HTML Help windows
// used as popups, closed and counted as blocks.
//
// It is driven by window creation, not by polling.  The Windows side hooks
// window creation once per process and hands each new top-level window of a
// watched class to one helper object (RouteWatchedWindow says which); that
// object's DialogWatch judges it at once.  A window that does not qualify
// yet (its title or its child comes after its creation, and some hosts send
// no event for either) is looked at again every kLookPeriodMs until it
// qualifies, goes, or kLookBoundMs have passed since it was handed over; a
// closed window that is still there gets its close again, but is counted
// once.  While no window is watched, no timer runs.
//
// Which windows count (unchanged from the polling watch):
//   "Internet Explorer_TridentDlgFrame" whose title's first "--" comes after
//     its first character (switch modelessDialogEnable);
//   "HH Parent" whose first child's class name contains "Shell Embedding"
//     (switch winHelpEnable).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/popup.h"
#include "core/shared_settings.h"

namespace qv::popup {

// The re-look timer (timer 2 on the object's timer window) and its bound.
inline constexpr std::uint32_t kLookPeriodMs = 10;
inline constexpr std::uint32_t kLookBoundMs = 5000;

enum class WatchedKind { None, Dialog, Help };

// The kind a window of this class would be (exact class names).
WatchedKind WatchedKindOf(std::string_view className);

// Whether the kind's switch is on.
bool WatchOn(const SharedSettings& settings, WatchedKind kind);

// What one look at a watched window found.
enum class LookResult {
  Waiting,   // there, not qualifying yet, within the bound: look again
  Closed,    // qualified now: closed, announced and counted
  Reclosed,  // closed earlier and still there: closed again, not counted
  Gone,      // no longer a window of its class (or its switch went off)
  GaveUp,    // the bound passed
  Quitting,  // the object quits: it watches nothing
};

// One helper object's watched windows.  Touched only on the object's thread.
class DialogWatch {
 public:
  // A top-level window of a watched class handed to this object at nowMs
  // (again: no second entry; the bound runs from the first).  Looks at every
  // watched window at once; returns what the look found for this window.
  LookResult add(PopupContext& ctx, PubState& pub, WindowHandle window, std::uint32_t nowMs);
  // The re-look: every watched window once.  Returns how many were closed
  // and counted now.
  int look(PopupContext& ctx, PubState& pub, std::uint32_t nowMs);
  // Whether the re-look timer must run.
  bool active() const { return !windows_.empty(); }
  void clear() { windows_.clear(); }

 private:
  struct Watched {
    WindowHandle window;
    std::uint32_t since;  // when it was handed over (ms, wraps)
    bool closed;          // counted already
  };
  LookResult lookAt(PopupContext& ctx, PubState& pub, Watched& w, std::uint32_t nowMs);
  std::vector<Watched> windows_;
};

// Who handles a new watched window, as seen from one process.
struct WatchRoute {
  enum class Kind {
    Object,  // the object whose table entry is `object` (of this process)
    Leave,   // another process with a helper object handles it
    Anyone,  // no process with an object made or owns it: the first object that sees it
  };
  Kind kind = Kind::Anyone;
  std::uint32_t object = 0;  // Object: the table token
};

// The thread and process of a window (0 when unknown or no window).
struct WindowThread {
  std::uint32_t threadId = 0;
  std::uint32_t processId = 0;
};

// The tab that opened the window judges it: the object of its owner
// window's thread when that thread is in this process, else the object of
// the thread that made it, when in this process.  A window made or owned by
// another process that has an object in the table is left to that process.
// Anything else (a process without the object) is anyone's.
WatchRoute RouteWatchedWindow(std::span<const BrowserEntry> table, std::uint32_t selfProcess, WindowThread owner,
                              WindowThread creator);

}  // namespace qv::popup
