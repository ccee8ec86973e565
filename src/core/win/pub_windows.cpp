#include "core/win/pub_windows.h"

#include <servprov.h>
#include <shlguid.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <atomic>

#include "com/module.h"
#include "core/popup.h"
#include "core/win/popup_shell_win.h"

namespace qv::core::win {
namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kTimerWindowClass[] = L"Quillvane.TimerWindow";

// The class's procedure is the system's own: the class may outlive an
// unloaded module without pointing into it, and a module loaded again
// registers its own class (local classes are told apart by instance).
ATOM timerWindowClass() {
  static std::atomic<ATOM> atom{0};
  if (ATOM a = atom.load()) return a;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = com::moduleInstance();
  wc.lpszClassName = kTimerWindowClass;
  ATOM a = RegisterClassExW(&wc);
  if (!a) a = static_cast<ATOM>(GetClassInfoExW(wc.hInstance, kTimerWindowClass, &wc));
  atom.store(a);
  return a;
}

}  // namespace

bool onThisThread(HWND window) {
  return window && IsWindow(window) && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

HWND tabWindowOnThisThread(IUnknown* site, IWebBrowser2* browser) {
  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> shellBrowser;
  HWND tab = nullptr;
  if (site && SUCCEEDED(site->QueryInterface(IID_PPV_ARGS(&services))) && services &&
      SUCCEEDED(services->QueryService(SID_SShellBrowser, IID_PPV_ARGS(&shellBrowser))) && shellBrowser &&
      SUCCEEDED(shellBrowser->GetWindow(&tab)) && onThisThread(tab))
    return tab;
  SHANDLE_PTR top = 0;
  if (browser && SUCCEEDED(browser->get_HWND(&top)) && onThisThread(reinterpret_cast<HWND>(top)))
    return reinterpret_cast<HWND>(top);
  return nullptr;
}

bool TimerWindow::start(popup::PubState& state, std::uint32_t tableToken) {
  if (!window_) {
    const ATOM cls = timerWindowClass();
    if (!cls) return false;
    window_ = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(cls)), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              com::moduleInstance(), nullptr);
    if (!window_) return false;
    // The procedure is set on this window only (the class keeps the
    // system's); the window goes before the module can unload.
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TimerWindow::proc));
  }
  state_ = &state;
  state.timerWindow = reinterpret_cast<WindowHandle>(window_);
  auto& shell = qv::win::PopupShell::instance();
  if (!shell.configured()) return false;
  shell.addWatchReceiver(tableToken, window_);
  return shell.startSweepTimer(window_);
}

void TimerWindow::stopSweep() {
  if (window_) KillTimer(window_, popup::kTimerSweep);
}

void TimerWindow::destroy() {
  if (!window_) return;
  HWND w = window_;
  window_ = nullptr;
  auto& shell = qv::win::PopupShell::instance();
  shell.removeWatchReceiver(w);
  watch_.clear();
  relooking_ = false;
  KillTimer(w, popup::kTimerSweep);
  KillTimer(w, popup::kTimerDialogWatch);
  // Timer 0 runs only while the block cursor shows from this window.
  if (KillTimer(w, popup::kTimerBlockCursor) && shell.configured()) popup::EndBlockCursor(shell.context());
  if (state_) state_->timerWindow = 0;
  state_ = nullptr;
  SetWindowLongPtrW(w, GWLP_USERDATA, 0);
  DestroyWindow(w);
}

TimerWindow* TimerWindow::of(HWND window) {
  if (!window || GetClassLongPtrW(window, GCW_ATOM) != timerWindowClass()) return nullptr;
  if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return nullptr;
  return reinterpret_cast<TimerWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

popup::PubState* TimerWindow::stateOf(HWND window) {
  TimerWindow* t = of(window);
  return t ? t->state_ : nullptr;
}

void TimerWindow::watch(HWND watched) {
  auto& shell = qv::win::PopupShell::instance();
  if (!state_ || !shell.configured()) return;
  watch_.add(shell.context(), *state_, reinterpret_cast<WindowHandle>(watched), GetTickCount());
  afterLook();
}

void TimerWindow::relook(HWND window) {
  TimerWindow* t = of(window);
  auto& shell = qv::win::PopupShell::instance();
  if (!t || !t->state_ || !shell.configured()) {
    KillTimer(window, popup::kTimerDialogWatch);
    return;
  }
  t->watch_.look(shell.context(), *t->state_, GetTickCount());
  t->afterLook();
}

void TimerWindow::afterLook() {
  if (!window_) return;
  const bool want = watch_.active();
  if (want == relooking_) return;
  auto& shell = qv::win::PopupShell::instance();
  relooking_ = want && shell.startRelookTimer(window_);
  if (!want) KillTimer(window_, popup::kTimerDialogWatch);
}

LRESULT CALLBACK TimerWindow::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == kWatchWindowMessage) {
      if (TimerWindow* t = of(window)) t->watch(reinterpret_cast<HWND>(wParam));
      return 0;
    }
    if (message == kTakeWatchHookMessage) {
      qv::win::PopupShell::instance().ensureWatchHook();
      return 0;
    }
  } catch (...) {
    // The window is not judged; nothing else is left half done.
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace qv::core::win
