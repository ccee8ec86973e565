// The windows a helper object works with, laid out for a tabbed browser:
// each tab's object runs on the tab's thread, while the top-level frame that
// IWebBrowser2::get_HWND names belongs to another thread or process.
//
// - The object's own timer window: a message-only window made on the
//   object's thread that carries its timers 0, 1 and 2, so that every timer
//   serves exactly the object it belongs to.
// - The tab's window on this thread: what the shell browser of the site
//   names (IServiceProvider -> IShellBrowser::GetWindow), else the browser's
//   window when that one belongs to this thread, else none.
#pragma once

#include <windows.h>
#include <exdisp.h>

#include "core/pub_host.h"

namespace qv::core::win {

// Whether a window exists and belongs to the calling thread.
bool onThisThread(HWND window);

// The window of the site's own tab on the calling thread, or null.
HWND tabWindowOnThisThread(IUnknown* site, IWebBrowser2* browser);

// A message-only window of the calling thread whose timers are served by
// the popup shell's timer procedure for `state` alone.  Destroy it on the
// same thread.
class TimerWindow {
 public:
  TimerWindow() = default;
  TimerWindow(const TimerWindow&) = delete;
  TimerWindow& operator=(const TimerWindow&) = delete;
  ~TimerWindow() { destroy(); }

  // Makes the window (once) and starts timers 1 (1000 ms) and 2 (5 ms) on
  // it.  False when the window could not be made.
  bool start(popup::PubState& state);
  // Stops the sweep timer only (the quit does; the dialog watch lives on).
  void stopSweep();
  // Stops every timer and destroys the window.  When the block cursor was
  // showing from this window, the cursor and the click grace are put back.
  void destroy();
  HWND handle() const { return window_; }

  // The object a timer window serves, or null for any other window.
  static popup::PubState* stateOf(HWND window);

 private:
  HWND window_ = nullptr;
};

}  // namespace qv::core::win
