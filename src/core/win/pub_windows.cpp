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

bool TimerWindow::start(popup::PubState& state) {
  if (!window_) {
    const ATOM cls = timerWindowClass();
    if (!cls) return false;
    window_ = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(cls)), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              com::moduleInstance(), nullptr);
    if (!window_) return false;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
  }
  state.timerWindow = reinterpret_cast<WindowHandle>(window_);
  auto& shell = qv::win::PopupShell::instance();
  return shell.configured() && shell.startWindowTimers(window_);
}

void TimerWindow::stopSweep() {
  if (window_) KillTimer(window_, popup::kTimerSweep);
}

void TimerWindow::destroy() {
  if (!window_) return;
  HWND w = window_;
  window_ = nullptr;
  KillTimer(w, popup::kTimerSweep);
  KillTimer(w, popup::kTimerDialogWatch);
  // Timer 0 runs only while the block cursor shows from this window.
  auto& shell = qv::win::PopupShell::instance();
  if (KillTimer(w, popup::kTimerBlockCursor) && shell.configured()) popup::EndBlockCursor(shell.context());
  if (auto* state = stateOf(w)) state->timerWindow = 0;
  SetWindowLongPtrW(w, GWLP_USERDATA, 0);
  DestroyWindow(w);
}

popup::PubState* TimerWindow::stateOf(HWND window) {
  if (!window || GetClassLongPtrW(window, GCW_ATOM) != timerWindowClass()) return nullptr;
  return reinterpret_cast<popup::PubState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace qv::core::win
