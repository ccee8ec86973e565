// The popup decision and the thread hooks and timers that feed it.
//
// A page popup is let through when it is plausibly the user's own doing (a
// click on a link, a "javascript:" navigation, a click where the hand or the
// block cursor showed, a held suspend key or Shift) or when the page is
// exempt (a secure page or a white-listed site); everything else is blocked
// while popup blocking is on.  Each block is announced and recorded
// (notify.h) and shows the block cursor for 100 ticks of a 5 ms timer, during
// which a click near the same spot lets the next window through.
//
// The hooks and timers also open the options sheet on F12 and run the
// block-animation shortcut; script-opened web page dialogs and HTML Help
// windows used as popups are the dialog watch's (dialog_watch.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "core/pub_host.h"
#include "core/shared_settings.h"
#include "platform/input.h"
#include "platform/messages.h"
#include "platform/mutex.h"
#include "platform/sound.h"
#include "platform/timers.h"

namespace qv::popup {

// Timers on the helper object's own timer window, all served by OnTimer.
inline constexpr std::uint32_t kTimerBlockCursor = 0;
inline constexpr std::uint32_t kTimerSweep = 1;
inline constexpr std::uint32_t kTimerDialogWatch = 2;
inline constexpr std::uint32_t kBlockCursorPeriodMs = 5;
inline constexpr std::uint32_t kSweepPeriodMs = 1000;
inline constexpr std::int32_t kBlockCursorTicks = 100;

// How far (pixels, each axis) the pointer may have moved since the click.
inline constexpr std::int32_t kClickSlop = 5;
// Wait for the data mutex before the white-list look-up.
inline constexpr std::uint32_t kWhiteListWaitMs = 1000;

// Sweep flags handed to PubHost::sweepDocument.
inline constexpr int SweepFlash = 1;
inline constexpr int SweepAnimated = 2;
inline constexpr int SweepFloating = 4;

inline constexpr const char kDialogFrameClass[] = "Internet Explorer_TridentDlgFrame";
inline constexpr const char kHelpParentClass[] = "HH Parent";
inline constexpr const char kHelpChildClassPart[] = "Shell Embedding";

// Per-process click and cursor state, shared by every browser window of the
// process (each on its own thread), hence atomic.  One instance per process.
struct ClickState {
  std::atomic<std::int32_t> lastClickX{0};  // pointer at the last button event (screen)
  std::atomic<std::int32_t> lastClickY{0};
  std::atomic<std::int32_t> clickSeen{0};   // a button event in the page, Flash or a drop-down list
  std::atomic<std::int32_t> clickGrace{0};  // a click now counts as the user's request
  std::atomic<CursorHandle> handCursor{0};  // the system hand cursor (IDC_HAND)
  std::atomic<CursorHandle> blockCursor{0}; // the module's cursor 603
  std::atomic<CursorHandle> savedCursor{0}; // restored when the block cursor ends
  std::atomic<std::int32_t> blockCursorTicks{0};

  ScreenPoint lastClickPoint() const { return {lastClickX.load(), lastClickY.load()}; }
  void setLastClickPoint(ScreenPoint p) {
    lastClickX.store(p.x);
    lastClickY.store(p.y);
  }
  // clickSeen = clickGrace = 0: after every decision and on every navigation.
  void resetClicks() {
    clickSeen.store(0);
    clickGrace.store(0);
  }
};

// The per-process services the logic runs with.  Built once per process by
// the helper object's module code.
struct PopupContext {
  SharedSettings& settings;
  ClickState& clicks;
  Desktop& desktop;
  Timers& timers;
  Sound& sound;
  Messages& messages;
  // Stores blockedTotal in the registry ("BlockedTotal").  Called with the
  // data mutex held; must not take it again.  May be empty.
  std::function<void()> saveTotal;
  // The shared block-history region; empty when it is not mapped.
  std::span<char> history;
};

// Whether the page is exempt from popup blocking and from the sweep.
// address nullopt: the browser's current address is asked for.  Quitting,
// no browser, no or an empty address, or "https:" (any case) is exempt.
// Otherwise, with the white list on, the white list is consulted under the
// data mutex (1000 ms; time-out: not exempt); a window without a usable white
// list object is not exempt and, when report is Report, shows message 506
// once the mutex has been released.  Periodic callers (the sweep timer, the
// frame-window procedure) pass Silent: a message box every second would
// stack up nested in its own timer's ticks.
enum class MissingWhiteList { Report, Silent };
bool IsSiteExempt(PopupContext& ctx, PubState& pub, std::optional<std::string_view> address,
                  MissingWhiteList report = MissingWhiteList::Report);

// Whether popup blocking is active at this instant: not quitting, popupEnable
// on, the suspend key (hotkey; -1 = none) not down, Shift not down.
bool ShouldBlockNow(PopupContext& ctx, const PubState& pub);

// Why a new window was allowed or blocked, in the order the tests run.
enum class Reason { Guard, Exempt, Suspended, UserClicked, ClickNearCursor, Blocked };
const char* reasonName(Reason reason);  // "guard", "exempt", ... for logs and the demo

struct Decision {
  bool block = false;
  Reason reason = Reason::Guard;
};

// The new-window decision for NewWindow (107) and NewWindow2 (251).  When it
// blocks it has already announced and recorded the block and started the
// block cursor; the caller sets the event's Cancel/Processed argument.  In
// every outcome newWindowGuard is 1, userClicked 0, clickSeen and clickGrace
// 0 afterwards.
Decision DecideNewWindow(PopupContext& ctx, PubState& pub);

// Starts (or restarts) the block cursor: clickGrace = 1, timer 0 on the
// object's timer window restarted with 5 ms and its tick count reset.
// Without a timer window only the grace starts (a timer without a window
// could never be stopped by id).
void StartBlockCursor(PopupContext& ctx, WindowHandle timerWindow);

// Ends the block cursor at once: the saved cursor back, the grace over, the
// tick count reset.  Timer 0's last tick does this; so does a timer window
// that goes away while the block cursor shows (its caller stops timer 0).
void EndBlockCursor(PopupContext& ctx);

// The timer procedure for timers 0 and 1.  window is the window the timer
// belongs to; pub is the helper object found for it (FindPubForFocus), or
// null: then timer 1 does nothing.  Timer 2, the dialog watch's re-look,
// belongs to the object's DialogWatch (dialog_watch.h).
void OnTimer(PopupContext& ctx, WindowHandle window, std::uint32_t timerId, PubState* pub);

// Whether the object's tab can be seen: the browser's last report, else
// the window's own visibility.
bool TabVisible(const PubState& pub);

// The browser reported whether the tab can be seen (WindowStateChanged with
// the user-visible bit in its mask).  A tab that becomes visible sweeps at
// once and then every second from now (timer 1 restarted).
void OnWindowState(PopupContext& ctx, PubState& pub, bool visible);

// The mouse hook: a button message for window target with the pointer at pt
// (screen).  The caller always passes the message on.
void OnMouseMessage(ClickState& clicks, Desktop& desktop, std::uint32_t message, WindowHandle target,
                    ScreenPoint pt);

enum class KeyVerdict { Pass, Swallow };

// The keyboard hook: code is the hook code, keyData the key message's flags
// (bit 30 previous state, bit 31 transition).  pub is the helper object found
// with FindPubForFocus, or null (the key passes).  Swallow: do not call the
// next hook and return non-zero.
KeyVerdict OnKeyboard(PopupContext& ctx, PubState* pub, int code, std::uint32_t virtualKey,
                      std::uint32_t keyData);

// Modifier bits as the hot-key control encodes them: 1 Shift, 2 Ctrl, 4 Alt
// (from Desktop::keyDown).
int CurrentModifiers(Desktop& desktop);

// Whether an address is a script navigation ("javascript:", any case).
bool IsJavascriptUrl(std::string_view address);

}  // namespace qv::popup
