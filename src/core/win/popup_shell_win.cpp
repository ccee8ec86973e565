#include "core/win/popup_shell_win.h"

#include <algorithm>
#include <mutex>

#include "com/module.h"
#include "core/notify.h"
#include "core/win/pub_windows.h"
#include "core/win/shared_state.h"
#include "platform/win/messages_win.h"
#include "platform/win/mutex_win.h"
#include "platform/win/process_win.h"
#include "res/resource_ids.h"

namespace qv::win {

namespace {
std::mutex g_configure;
}  // namespace

PopupShell& PopupShell::instance() {
  static PopupShell shell;
  return shell;
}

bool PopupShell::configure(const PopupShellConfig& config) {
  std::lock_guard lock(g_configure);
  if (context_ || !config.settings || !config.messages) return false;
  table_ = std::make_unique<core::BrowserTable>(*config.settings, config.browserTableMutex, &processDirectory());
  context_.reset(new popup::PopupContext{*config.settings, clicks_, desktop_, timers_, sound_, *config.messages,
                                         config.saveTotal, config.history});
  return true;
}

bool PopupShell::configureForModule() {
  {
    std::lock_guard lock(g_configure);
    if (context_) return false;
    if (!ownMessages_) ownMessages_ = std::make_unique<Win32Messages>(com::moduleInstance());
    if (!ownTableMutex_) ownTableMutex_ = Win32NamedMutex::create(core::kBrowserTableMutexName);
  }
  return configure({&sharedSettings(), ownMessages_.get(), [] { settingsStore().saveTotal(); },
                    popup::HistoryChars(historyRegion()), ownTableMutex_.get()});
}

void PopupShell::loadCursors() {
  clicks_.handCursor.store(toHandle(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649))));  // IDC_HAND
  if (HINSTANCE module = com::moduleInstance())
    clicks_.blockCursor.store(toHandle(LoadCursorA(module, MAKEINTRESOURCEA(IDC_BLOCKCURSOR))));
}

bool PopupShell::startSweepTimer(HWND window) {
  return timers_.start(toHandle(window), popup::kTimerSweep, popup::kSweepPeriodMs);
}

bool PopupShell::startRelookTimer(HWND window) {
  return timers_.start(toHandle(window), popup::kTimerDialogWatch, popup::kLookPeriodMs);
}

// ---------------------------------------------------------------------------
// The dialog watch's window-creation hook.

void PopupShell::addWatchReceiver(std::uint32_t token, HWND timerWindow) {
  {
    std::lock_guard g(watchLock_);
    bool known = false;
    for (Receiver& r : receivers_)
      if (r.window == timerWindow) {
        r.token = token;
        known = true;
      }
    if (!known) receivers_.push_back({token, timerWindow, GetCurrentThreadId()});
  }
  ensureWatchHook();
}

void PopupShell::removeWatchReceiver(HWND timerWindow) {
  HWND heir = nullptr;
  {
    std::lock_guard g(watchLock_);
    std::erase_if(receivers_, [&](const Receiver& r) { return r.window == timerWindow; });
    const DWORD self = GetCurrentThreadId();
    const bool stays = std::any_of(receivers_.begin(), receivers_.end(), [&](const Receiver& r) { return r.thread == self; });
    if (!watchHook_ || watchHookThread_ != self || stays) return;
    // A hook belongs to its thread: it goes with this thread's last object,
    // and another thread's object takes the watch on.
    UnhookWinEvent(watchHook_);
    watchHook_ = nullptr;
    watchHookThread_ = 0;
    if (!receivers_.empty()) heir = receivers_.front().window;
  }
  if (heir) PostMessageW(heir, core::win::kTakeWatchHookMessage, 0, 0);
}

void PopupShell::ensureWatchHook() {
  std::lock_guard g(watchLock_);
  if (watchHook_) return;
  const DWORD self = GetCurrentThreadId();
  if (std::none_of(receivers_.begin(), receivers_.end(), [&](const Receiver& r) { return r.thread == self; })) return;
  // Out of context: the callback runs on this thread when it pumps, for
  // windows of every process.  Creation is what counts; a window shown (or
  // gone) is looked at again at once where the host reports it.
  watchHook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr, &PopupShell::WinEventProc, 0, 0,
                               WINEVENT_OUTOFCONTEXT);
  if (watchHook_) watchHookThread_ = self;
}

bool PopupShell::watchHookSet() {
  std::lock_guard g(watchLock_);
  return watchHook_ != nullptr;
}

HWND PopupShell::receiverFor(HWND watched) {
  if (!table_) return nullptr;
  popup::WindowThread owner, creator;
  DWORD pid = 0;
  if (HWND o = GetWindow(watched, GW_OWNER)) {
    owner.threadId = GetWindowThreadProcessId(o, &pid);
    owner.processId = pid;
  }
  pid = 0;
  creator.threadId = GetWindowThreadProcessId(watched, &pid);
  creator.processId = pid;
  const std::vector<BrowserEntry> entries = table_->Entries();
  const popup::WatchRoute route = popup::RouteWatchedWindow(entries, GetCurrentProcessId(), owner, creator);
  if (route.kind == popup::WatchRoute::Kind::Leave) return nullptr;
  std::lock_guard g(watchLock_);
  if (route.kind == popup::WatchRoute::Kind::Object) {
    for (const Receiver& r : receivers_)
      if (r.token == route.object) return r.window;
    return nullptr;
  }
  // Anyone's: this thread's object first (the one that saw it), else the
  // first object of the process that still has its table entry.
  const auto inTable = [&](const Receiver& r) {
    return r.token != 0 && std::any_of(entries.begin(), entries.end(), [&](const BrowserEntry& e) {
             return e.pubObject == r.token && e.processId == GetCurrentProcessId();
           });
  };
  for (const Receiver& r : receivers_)
    if (r.thread == GetCurrentThreadId() && inTable(r)) return r.window;
  for (const Receiver& r : receivers_)
    if (inTable(r)) return r.window;
  return nullptr;
}

VOID CALLBACK PopupShell::WinEventProc(HWINEVENTHOOK, DWORD, HWND window, LONG objectId, LONG childId, DWORD, DWORD) {
  if (!window || objectId != OBJID_WINDOW || childId != CHILDID_SELF) return;
  try {
    PopupShell& shell = instance();
    if (!shell.configured()) return;
    // The class first: every window of every process passes here.
    const popup::WatchedKind kind = popup::WatchedKindOf(shell.desktop_.className(toHandle(window)));
    if (kind == popup::WatchedKind::None || !popup::WatchOn(shell.context().settings, kind)) return;
    if (GetAncestor(window, GA_PARENT) != GetDesktopWindow()) return;  // top-level windows only
    if (HWND to = shell.receiverFor(window)) PostMessageW(to, core::win::kWatchWindowMessage, reinterpret_cast<WPARAM>(window), 0);
  } catch (...) {
    // This window is not watched; the next one is.
  }
}

void PopupShell::stopSweepTimer(HWND frame) { timers_.stop(toHandle(frame), popup::kTimerSweep); }

popup::PubState* PopupShell::findPubForFocus() {
  if (!table_) return nullptr;
  return tokens_.find(table_->FindPubForFocus(desktop_, GetCurrentThreadId(), GetCurrentProcessId()));
}

popup::PubState* PopupShell::findPubOfWindow(HWND window) {
  if (!table_) return nullptr;
  const std::uint32_t w = core::TableWindow(toHandle(window));
  const DWORD pid = GetCurrentProcessId(), tid = GetCurrentThreadId();
  for (const BrowserEntry& e : table_->Entries())
    if (e.processId == pid && e.threadId == tid && e.pubObject && e.frameWindow == w) return tokens_.find(e.pubObject);
  return nullptr;
}

// The procedures below run on browser threads called from the system: no
// exception may leave them.

LRESULT CALLBACK PopupShell::KeyboardProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code < 0) return CallNextHookEx(nullptr, code, wParam, lParam);
  try {
    PopupShell& shell = instance();
    if (shell.configured()) {
      popup::PubState* pub = shell.findPubForFocus();
      const auto verdict = popup::OnKeyboard(shell.context(), pub, code, static_cast<std::uint32_t>(wParam),
                                             static_cast<std::uint32_t>(lParam));
      if (verdict == popup::KeyVerdict::Swallow) return 1;
    }
  } catch (...) {
    // The key goes on to the page as if the hook were not there.
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK PopupShell::MouseProc(int code, WPARAM wParam, LPARAM lParam) {
  // A negative code must go straight on (its lParam is not ours to read).
  if (code >= 0 && lParam != 0) {
    try {
      PopupShell& shell = instance();
      const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
      popup::OnMouseMessage(shell.clicks_, shell.desktop_, static_cast<std::uint32_t>(wParam),
                            toHandle(info->hwnd), ScreenPoint{info->pt.x, info->pt.y});
    } catch (...) {
      // A class name that could not be read: the click is not counted.
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

VOID CALLBACK PopupShell::TimerProc(HWND window, UINT, UINT_PTR id, DWORD) {
  try {
    PopupShell& shell = instance();
    if (!shell.configured()) {
      if (id == popup::kTimerBlockCursor) KillTimer(window, id);
      return;
    }
    // Timer 2 is the re-look of the object's dialog watch.  Timer 0 needs no
    // helper object.  Timer 1 lives on a helper object's own timer window,
    // and that object is the one it serves: the
    // focus may be in another tab or window of the same thread, whose page
    // would otherwise be swept twice and this one never.  A window that is
    // not a timer window (timers started by hand) is looked up in the table,
    // then through the focus chain; both answer only with this thread's
    // objects.
    if (id == popup::kTimerDialogWatch) {
      core::win::TimerWindow::relook(window);
      return;
    }
    popup::PubState* pub = nullptr;
    if (id != popup::kTimerBlockCursor) {
      pub = core::win::TimerWindow::stateOf(window);
      if (!pub) pub = shell.findPubOfWindow(window);
      if (!pub) pub = shell.findPubForFocus();
    }
    // A hook handed over to a window that went meanwhile is taken up again.
    if (id == popup::kTimerSweep) shell.ensureWatchHook();
    popup::OnTimer(shell.context(), toHandle(window), static_cast<std::uint32_t>(id), pub);
  } catch (...) {
    // The next tick tries again.
  }
}

}  // namespace qv::win
