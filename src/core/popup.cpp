#include "core/popup.h"

#include <cstdlib>
#include <string>

#include "core/notify.h"
#include "core/shared_access.h"
#include "res/resource_ids.h"

namespace qv::popup {

using shared::load;
using shared::on;

namespace {

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

// A virtual-key code the keyboard can report; anything else (a corrupt or
// disabled setting) names no key.
bool isKeyCode(std::int32_t vk) { return vk > 0 && vk < 0xFF; }

bool withinSlop(ScreenPoint a, ScreenPoint b) {
  const std::int64_t dx = std::int64_t{a.x} - b.x;
  const std::int64_t dy = std::int64_t{a.y} - b.y;
  return std::llabs(dx) <= kClickSlop && std::llabs(dy) <= kClickSlop;
}

// Announce, count and show the block cursor: what every kind of block does.
void blocked(PopupContext& ctx, PubState& pub, std::optional<std::string_view> address) {
  NotifyBlock(ctx.settings, ctx.sound, pub.host);
  RecordBlock(ctx.settings, pub.dataMutex, ctx.saveTotal, ctx.history, address);
  StartBlockCursor(ctx, pub.timerWindow);
}

// The pointer shows the hand or the block cursor, or a grace period runs;
// a button event was seen; the pointer has stayed near it.
bool clickNearCursor(PopupContext& ctx) {
  ClickState& c = ctx.clicks;
  bool cursorSays = c.clickGrace.load() == 1;
  if (!cursorSays) {
    const CursorHandle current = ctx.desktop.cursor();
    const CursorHandle hand = c.handCursor.load();
    const CursorHandle block = c.blockCursor.load();
    cursorSays = current != 0 && (current == hand || current == block);
  }
  if (!cursorSays || c.clickSeen.load() != 1) return false;
  const std::optional<ScreenPoint> now = ctx.desktop.cursorPos();
  return now && withinSlop(*now, c.lastClickPoint());
}

class OptionsKeyGuard {
 public:
  explicit OptionsKeyGuard(std::int32_t& busy) : busy_(busy) {
    std::int32_t expected = 0;
    owned_ = std::atomic_ref<std::int32_t>(busy_).compare_exchange_strong(expected, 1);
  }
  ~OptionsKeyGuard() {
    if (owned_) std::atomic_ref<std::int32_t>(busy_).store(0);
  }
  OptionsKeyGuard(const OptionsKeyGuard&) = delete;
  OptionsKeyGuard& operator=(const OptionsKeyGuard&) = delete;
  bool owned() const { return owned_; }

 private:
  std::int32_t& busy_;
  bool owned_ = false;
};

}  // namespace

bool IsJavascriptUrl(std::string_view address) { return startsWithNoCase(address, "javascript:"); }

bool IsSiteExempt(PopupContext& ctx, PubState& pub, std::optional<std::string_view> address,
                  MissingWhiteList report) {
  if (pub.quitting) return true;
  std::optional<std::string> current;
  if (!address) {
    if (!pub.host) return true;
    current = pub.host->locationUrl();
    if (!current) return true;
    address = *current;
  }
  if (address->empty()) return true;
  if (startsWithNoCase(*address, "https:")) return true;
  if (!on(ctx.settings.enableWhiteList)) return false;

  // haveList is false when the white list is missing.  (Two flags rather
  // than an optional<bool>: the 32-bit optimiser takes the optional's later
  // read for an uninitialised one and warns.)
  bool listed = false;
  bool haveList = false;
  {
    MutexLock lock(pub.dataMutex, kWhiteListWaitMs);
    if (!lock.owned()) return false;
    if (const std::optional<bool> found = pub.host ? pub.host->whiteListFind(*address) : std::nullopt) {
      haveList = true;
      listed = *found;
    }
  }
  // The message box waits for the user: never while other processes wait
  // for the data mutex.
  if (!haveList && report == MissingWhiteList::Report) ctx.messages.showString(IDS_ERR_OPENWHITELIST);
  return listed;
}

bool ShouldBlockNow(PopupContext& ctx, const PubState& pub) {
  if (pub.quitting || !on(ctx.settings.popupEnable)) return false;
  const std::int32_t hotkey = load(ctx.settings.hotkey);
  if (isKeyCode(hotkey) && ctx.desktop.asyncKeyDown(hotkey)) return false;
  return !ctx.desktop.asyncKeyDown(kVkShift);
}

const char* reasonName(Reason reason) {
  switch (reason) {
    case Reason::Guard: return "guard";
    case Reason::Exempt: return "exempt";
    case Reason::Suspended: return "suspended";
    case Reason::UserClicked: return "userClicked";
    case Reason::ClickNearCursor: return "clickNearCursor";
    case Reason::Blocked: return "blocked";
  }
  return "?";
}

Decision DecideNewWindow(PopupContext& ctx, PubState& pub) {
  std::optional<std::string> url = pub.host ? pub.host->locationUrl() : std::nullopt;
  const bool haveAddress = url && !url->empty();
  const bool exempt = haveAddress ? IsSiteExempt(ctx, pub, *url) : true;

  Decision d;
  if (pub.newWindowGuard == 0)
    d.reason = Reason::Guard;
  else if (exempt)
    d.reason = Reason::Exempt;
  else if (!ShouldBlockNow(ctx, pub))
    d.reason = Reason::Suspended;
  else if (pub.userClicked == 1)
    d.reason = Reason::UserClicked;
  else if (clickNearCursor(ctx))
    d.reason = Reason::ClickNearCursor;
  else
    d = {true, Reason::Blocked};

  if (d.block) blocked(ctx, pub, haveAddress ? std::optional<std::string_view>(*url) : std::nullopt);

  pub.newWindowGuard = 1;
  pub.userClicked = 0;
  ctx.clicks.resetClicks();
  return d;
}

void StartBlockCursor(PopupContext& ctx, WindowHandle timerWindow) {
  ctx.clicks.clickGrace.store(1);
  if (timerWindow == 0) return;
  ctx.timers.stop(timerWindow, kTimerBlockCursor);
  ctx.clicks.blockCursorTicks.store(0);
  ctx.timers.start(timerWindow, kTimerBlockCursor, kBlockCursorPeriodMs);
}

void EndBlockCursor(PopupContext& ctx) {
  ClickState& c = ctx.clicks;
  c.clickGrace.store(0);
  // Before the first tick the block cursor has not shown (and the cursor to
  // restore is not known yet), unless an earlier block's still shows.
  const bool showing = c.blockCursorTicks.exchange(0) > 0 ||
                       (c.blockCursor.load() != 0 && ctx.desktop.cursor() == c.blockCursor.load());
  if (showing) ctx.desktop.setCursor(c.savedCursor.load());
}

namespace {

// Timer 1's work: the sweep of a visible, not exempt page, and the tray offer.
void sweepTick(PopupContext& ctx, PubState& pub) {
  if (TabVisible(pub) && !IsSiteExempt(ctx, pub, std::nullopt, MissingWhiteList::Silent)) {
    int flags = 0;
    if (on(ctx.settings.blockFlash)) flags |= SweepFlash;
    if (on(ctx.settings.blockImages)) flags |= SweepAnimated;
    if (on(ctx.settings.floatingEnable)) flags |= SweepFloating;
    if (flags != 0 && pub.host) pub.host->sweepDocument(flags);
  }
  if (pub.host) pub.host->ensureTray();
}

}  // namespace

bool TabVisible(const PubState& pub) {
  if (pub.windowStateKnown) return pub.userVisible != 0;
  return !pub.host || pub.host->windowVisible();
}

void OnWindowState(PopupContext& ctx, PubState& pub, bool visible) {
  const bool was = TabVisible(pub);
  pub.windowStateKnown = 1;
  pub.userVisible = visible ? 1 : 0;
  if (!visible || was || pub.quitting || pub.timerWindow == 0) return;
  sweepTick(ctx, pub);
  ctx.timers.start(pub.timerWindow, kTimerSweep, kSweepPeriodMs);
}

void OnTimer(PopupContext& ctx, WindowHandle window, std::uint32_t timerId, PubState* pub) {
  switch (timerId) {
    case kTimerBlockCursor: {
      ClickState& c = ctx.clicks;
      const std::int32_t t = c.blockCursorTicks.load();
      if (t == 0) {
        // A block during the block-cursor period restarts the count while the
        // block cursor shows: the cursor to restore is still the earlier one.
        const CursorHandle current = ctx.desktop.cursor();
        if (current != c.blockCursor.load() || c.savedCursor.load() == 0) c.savedCursor.store(current);
      }
      c.blockCursorTicks.store(t + 1);
      if (t < kBlockCursorTicks) {
        ctx.desktop.setCursor(c.blockCursor.load());
        c.clickGrace.store(1);
      } else {
        EndBlockCursor(ctx);
        ctx.timers.stop(window, kTimerBlockCursor);
      }
      return;
    }
    case kTimerSweep:
      if (pub) sweepTick(ctx, *pub);
      return;
    default:
      return;
  }
}

void OnMouseMessage(ClickState& clicks, Desktop& desktop, std::uint32_t message, WindowHandle target,
                    ScreenPoint pt) {
  if (message != kWmLButtonDown && message != kWmLButtonUp && message != kWmRButtonDown &&
      message != kWmRButtonUp)
    return;
  clicks.setLastClickPoint(pt);
  const std::string cls = desktop.className(target);
  const bool dropDown = contains(cls, "ComboLBox");
  if (dropDown || contains(cls, "Internet Explorer_Server") || contains(cls, "MacromediaFlashPlayerActiveX"))
    clicks.clickSeen.store(1);
  if (message == kWmLButtonUp && dropDown) {
    clicks.clickGrace.store(1);
    clicks.clickSeen.store(1);
  } else if (clicks.clickGrace.load() == 1) {
    clicks.clickSeen.store(1);
  }
}

int CurrentModifiers(Desktop& desktop) {
  int bits = 0;
  if (desktop.keyDown(kVkShift)) bits |= 1;
  if (desktop.keyDown(kVkControl)) bits |= 2;
  if (desktop.keyDown(kVkAlt)) bits |= 4;
  return bits;
}

KeyVerdict OnKeyboard(PopupContext& ctx, PubState* pub, int code, std::uint32_t virtualKey,
                      std::uint32_t keyData) {
  if (!pub) return KeyVerdict::Pass;
  constexpr std::uint32_t kPrevious = 1u << 30;
  constexpr std::uint32_t kTransition = 1u << 31;

  if (code == 0 && virtualKey == static_cast<std::uint32_t>(kVkF12) && (keyData & kPrevious)) {
    OptionsKeyGuard busy(ctx.settings.optionsKeyBusy);
    if (busy.owned() && pub->host) pub->host->showOptions();
    return KeyVerdict::Pass;
  }
  if (pub->documentReady == 1 && code >= 0 && (keyData & (kPrevious | kTransition)) == 0) {
    const std::int32_t shortcut = load(ctx.settings.blockAnimHotkey);
    if (shortcut != 0 && virtualKey == static_cast<std::uint32_t>(shortcut & 0xFF) &&
        CurrentModifiers(ctx.desktop) == ((shortcut >> 8) & 0xFF)) {
      if (pub->host) pub->host->sweepDocument(SweepFlash | SweepAnimated);
      return KeyVerdict::Swallow;
    }
  }
  return KeyVerdict::Pass;
}

}  // namespace qv::popup
