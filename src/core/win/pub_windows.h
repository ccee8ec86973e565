// The windows a helper object works with, laid out for a tabbed browser:
// each tab's object runs on the tab's thread, while the top-level frame that
// IWebBrowser2::get_HWND names belongs to another thread or process.
//
// - The object's own timer window: a message-only window made on the
//   object's thread that carries its timers 0, 1 and 2, so that every timer
//   serves exactly the object it belongs to.  It also receives the watched
//   windows that the process's window-creation hook hands to this object
//   (kWatchWindowMessage) and the hook itself when the thread that held it
//   lets it go (kTakeWatchHookMessage).
// - The tab's window on this thread: what the shell browser of the site
//   names (IServiceProvider -> IShellBrowser::GetWindow), else the browser's
//   window when that one belongs to this thread, else none.
#pragma once

#include <windows.h>
#include <exdisp.h>

#include "core/dialog_watch.h"
#include "core/pub_host.h"

namespace qv::core::win {

// Whether a window exists and belongs to the calling thread.
bool onThisThread(HWND window);

// The window of the site's own tab on the calling thread, or null.
HWND tabWindowOnThisThread(IUnknown* site, IWebBrowser2* browser);

// Posted to a timer window: wParam is a new top-level window of a watched
// class for this object to judge.
inline constexpr UINT kWatchWindowMessage = WM_APP + 0x51;
// Posted to a timer window: set the process's window-creation hook on this
// thread (its earlier thread let it go).
inline constexpr UINT kTakeWatchHookMessage = WM_APP + 0x52;

// A message-only window of the calling thread whose timers are served by
// the popup shell's timer procedure for `state` alone.  Destroy it on the
// same thread.
class TimerWindow {
 public:
  TimerWindow() = default;
  TimerWindow(const TimerWindow&) = delete;
  TimerWindow& operator=(const TimerWindow&) = delete;
  ~TimerWindow() { destroy(); }

  // Makes the window (once), starts timer 1 (1000 ms) on it and enters it
  // with the object's table token among the dialog watch's receivers (the
  // process's window-creation hook is set if it is not yet).  False when the
  // window could not be made.
  bool start(popup::PubState& state, std::uint32_t tableToken);
  // Stops the sweep timer only (the quit does; the window stays until the
  // object goes).
  void stopSweep();
  // Stops every timer and destroys the window.  When the block cursor was
  // showing from this window, the cursor and the click grace are put back.
  void destroy();
  HWND handle() const { return window_; }

  // The object a timer window serves, or null for any other window.
  static popup::PubState* stateOf(HWND window);
  // Timer 2 of a timer window: the dialog watch's re-look; the timer stops
  // when nothing is watched any more.
  static void relook(HWND window);

 private:
  static TimerWindow* of(HWND window);
  static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void watch(HWND watched);  // a window handed over by the hook
  void afterLook();          // timer 2 runs exactly while something is watched

  HWND window_ = nullptr;
  popup::PubState* state_ = nullptr;
  popup::DialogWatch watch_;
  bool relooking_ = false;
};

}  // namespace qv::core::win
