// What the popup logic needs of one browser window's helper object: the
// browser-side seams that the CPub implements over its browser, document and
// white list object, and its per-window state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/input.h"
#include "platform/mutex.h"

namespace qv::popup {

class PubHost {
 public:
  virtual ~PubHost() = default;
  // The browser's current address (IWebBrowser2::get_LocationURL), ANSI;
  // nullopt when there is no browser or the call fails.
  virtual std::optional<std::string> locationUrl() = 0;
  // IWhiteList::Find on the window's white list object: true when the
  // address's site is listed.  nullopt when the window has no white list
  // object or it does not answer IWhiteList.  Called with the data mutex held.
  virtual std::optional<bool> whiteListFind(std::string_view address) = 0;
  // Sets the default status text of the window's statusWindow; false when
  // the window has none.
  virtual bool setStatusText(const std::string& text) = 0;
  // Gets the browser's current document and runs SweepDocument on it with
  // these flags (SweepFlash 1, SweepAnimated 2, SweepFloating 4).
  virtual void sweepDocument(int flags) = 0;
  // Offers this window's object as the owner of the tray icon.
  virtual void ensureTray() = 0;
  // Opens the options sheet at its first page; returns when it has closed.
  virtual void showOptions() = 0;
  // Whether the window of this object's tab is shown (its own visibility,
  // for browsers that never report the window state); true when unknown.
  virtual bool windowVisible() { return true; }
};

// The per-window flags of the helper object.  Touched only on the window's
// own thread.
struct PubState {
  std::int32_t newWindowGuard = 1;  // 0: the next new window passes without any test
  std::int32_t userClicked = 0;     // 1: a new window now is the user's doing
  std::int32_t documentReady = 1;   // 0 while a page loads
  std::int32_t quitting = 0;        // 1 after OnQuit: allow everything, watch nothing
  // The browser's last word on whether the tab can be seen
  // (WindowStateChanged); until it has spoken, the window's own visibility
  // counts.  A tab that cannot be seen is not swept.
  std::int32_t windowStateKnown = 0;
  std::int32_t userVisible = 1;
  WindowHandle frameWindow = 0;     // the window of the object's own tab, on its thread (its table entry)
  WindowHandle timerWindow = 0;     // the object's own window for timers 0, 1 and 2
  PubHost* host = nullptr;          // null: no browser side; every page counts as exempt
  NamedMutex* dataMutex = nullptr;  // "MutexToProtectPubData"; null when it could not be opened
};

}  // namespace qv::popup
