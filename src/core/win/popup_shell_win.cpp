#include "core/win/popup_shell_win.h"

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

bool PopupShell::startWindowTimers(HWND frame) {
  const bool sweep = timers_.start(toHandle(frame), popup::kTimerSweep, popup::kSweepPeriodMs);
  const bool watch = timers_.start(toHandle(frame), popup::kTimerDialogWatch, popup::kDialogWatchPeriodMs);
  return sweep && watch;
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
    // Timer 0 needs no helper object.  Timers 1 and 2 live on a helper
    // object's own timer window, and that object is the one they serve: the
    // focus may be in another tab or window of the same thread, whose page
    // would otherwise be swept twice and this one never.  A window that is
    // not a timer window (timers started by hand) is looked up in the table,
    // then through the focus chain; both answer only with this thread's
    // objects.
    popup::PubState* pub = nullptr;
    if (id != popup::kTimerBlockCursor) {
      pub = core::win::TimerWindow::stateOf(window);
      if (!pub) pub = shell.findPubOfWindow(window);
      if (!pub) pub = shell.findPubForFocus();
    }
    popup::OnTimer(shell.context(), toHandle(window), static_cast<std::uint32_t>(id), pub);
  } catch (...) {
    // The next tick tries again.
  }
}

}  // namespace qv::win
