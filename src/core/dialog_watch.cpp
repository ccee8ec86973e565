#include "core/dialog_watch.h"

#include <algorithm>
#include <string>

#include "core/notify.h"
#include "core/shared_access.h"

namespace qv::popup {

using shared::load;
using shared::on;

WatchedKind WatchedKindOf(std::string_view className) {
  if (className == kDialogFrameClass) return WatchedKind::Dialog;
  if (className == kHelpParentClass) return WatchedKind::Help;
  return WatchedKind::None;
}

bool WatchOn(const SharedSettings& settings, WatchedKind kind) {
  switch (kind) {
    case WatchedKind::Dialog: return on(settings.modelessDialogEnable);
    case WatchedKind::Help: return on(settings.winHelpEnable);
    case WatchedKind::None: return false;
  }
  return false;
}

namespace {

// A web page dialog whose title's first "--" comes after its first
// character; a help window whose first child is a "Shell Embedding".
bool qualifies(Desktop& d, WatchedKind kind, WindowHandle w) {
  if (kind == WatchedKind::Dialog) {
    const std::size_t dash = d.windowTitle(w).find("--");
    return dash != std::string::npos && dash > 0;
  }
  const WindowHandle child = d.firstChild(w);
  return child != 0 && d.className(child).find(kHelpChildClassPart) != std::string::npos;
}

}  // namespace

LookResult DialogWatch::lookAt(PopupContext& ctx, PubState& pub, Watched& w, std::uint32_t nowMs) {
  if (pub.quitting) return LookResult::Quitting;
  Desktop& d = ctx.desktop;
  // A window that went has no class any more; its handle given to a window
  // of another class is not ours either.
  const WatchedKind kind = WatchedKindOf(d.className(w.window));
  if (kind == WatchedKind::None || !WatchOn(ctx.settings, kind)) return LookResult::Gone;
  const bool pastBound = nowMs - w.since >= kLookBoundMs;
  if (w.closed) {
    if (pastBound) return LookResult::GaveUp;
    d.postClose(w.window);
    return LookResult::Reclosed;
  }
  if (qualifies(d, kind, w.window)) {
    d.postClose(w.window);
    w.closed = true;
    NotifyBlock(ctx.settings, ctx.sound, pub.host);
    RecordBlock(ctx.settings, pub.dataMutex, ctx.saveTotal, ctx.history, std::nullopt);
    StartBlockCursor(ctx, pub.timerWindow);
    return LookResult::Closed;
  }
  return pastBound ? LookResult::GaveUp : LookResult::Waiting;
}

LookResult DialogWatch::add(PopupContext& ctx, PubState& pub, WindowHandle window, std::uint32_t nowMs) {
  if (window == 0) return LookResult::Gone;
  if (std::none_of(windows_.begin(), windows_.end(), [&](const Watched& w) { return w.window == window; }))
    windows_.push_back({window, nowMs, false});
  LookResult mine = LookResult::Gone;
  std::erase_if(windows_, [&](Watched& w) {
    const LookResult r = lookAt(ctx, pub, w, nowMs);
    if (w.window == window) mine = r;
    return r != LookResult::Waiting && r != LookResult::Closed && r != LookResult::Reclosed;
  });
  return mine;
}

int DialogWatch::look(PopupContext& ctx, PubState& pub, std::uint32_t nowMs) {
  int closed = 0;
  std::erase_if(windows_, [&](Watched& w) {
    const LookResult r = lookAt(ctx, pub, w, nowMs);
    if (r == LookResult::Closed) ++closed;
    return r != LookResult::Waiting && r != LookResult::Closed && r != LookResult::Reclosed;
  });
  return closed;
}

namespace {

bool hasObject(std::span<const BrowserEntry> table, std::uint32_t processId, std::uint32_t threadId,
               std::uint32_t* token) {
  for (const BrowserEntry& e : table) {
    if (load(e.processId) != processId || load(e.pubObject) == 0) continue;
    if (threadId != 0 && load(e.threadId) != threadId) continue;
    if (token) *token = load(e.pubObject);
    return true;
  }
  return false;
}

}  // namespace

WatchRoute RouteWatchedWindow(std::span<const BrowserEntry> table, std::uint32_t selfProcess, WindowThread owner,
                              WindowThread creator) {
  // The responsible process: the owner's when it has an object, else the
  // creator's.  Every process reads the same table, so at most one process
  // takes the window on.
  const WindowThread* responsible = nullptr;
  for (const WindowThread* t : {&owner, &creator})
    if (!responsible && t->processId != 0 && hasObject(table, t->processId, 0, nullptr)) responsible = t;
  if (!responsible) return {WatchRoute::Kind::Anyone, 0};
  if (responsible->processId != selfProcess) return {WatchRoute::Kind::Leave, 0};
  std::uint32_t token = 0;
  for (const WindowThread* t : {&owner, &creator})
    if (t->threadId != 0 && t->processId == selfProcess && hasObject(table, selfProcess, t->threadId, &token))
      return {WatchRoute::Kind::Object, token};
  return {WatchRoute::Kind::Anyone, 0};
}

}  // namespace qv::popup
