// The tray icon's Windows side: the "MutexForTray" guard, the hidden
// "SS_Wnd" window that receives the icon's messages, the shell calls, and
// the command menu shared with the page context menu.
//
// Tray windows and menus live on the thread of the browser window that
// owns the tray; nothing here is handed to another thread.  At most one
// tray object exists per process (the guard admits one owner per session).
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>

#include "core/settings.h"
#include "core/shared_settings.h"

namespace qv::ui::win {

struct TrayContext {
  HINSTANCE module = nullptr;         // icon 225 and menu 238
  const SharedSettings* settings = nullptr;
  SettingsStore* store = nullptr;     // the menu's switches
  std::function<void(int)> openSheet; // the options sheet at a start page
};

// Offers the tray to `owner` (the calling window's helper object): it
// becomes the owner if nobody in the session is; an owner whose icon the
// shell refused adds it again.
void ensureTray(const void* owner, const TrayContext& context);
// The owner's browser quits: icon removed, guard closed, window destroyed.
// Anyone else: nothing.
void removeTray(const void* owner);

// This process's tray window, or null (for tests and the demo).
HWND trayWindow();
// The NIF_* flags of this process's last icon add; whether it is shown now.
UINT trayIconFlags();
bool trayIconShown();
// The icon image this process's tray shows, or null.
HICON trayIcon();

// The shell call the tray makes (Shell_NotifyIconA); tests put a shell in
// front of it that times out.  Null puts the system's back.  Returns the
// call it replaced.
using ShellNotifyCall = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);
ShellNotifyCall setShellNotifyCall(ShellNotifyCall call);

// Sets the check marks of the four "Block" items from the settings.
void setCheckMarks(HMENU menu, const SharedSettings& settings);

// Subclasses `window` while a command menu is open so that
// WM_INITMENUPOPUP for `menu` sets the check marks afresh.  Windows of other
// threads are not subclassed (installed() is then false).
class CheckMarkSubclass {
 public:
  CheckMarkSubclass(HWND window, HMENU menu, const SharedSettings& settings);
  ~CheckMarkSubclass();
  CheckMarkSubclass(const CheckMarkSubclass&) = delete;
  CheckMarkSubclass& operator=(const CheckMarkSubclass&) = delete;
  bool installed() const { return installed_; }

 private:
  static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  HWND window_;
  HMENU menu_;
  const SharedSettings& settings_;
  bool installed_ = false;
};

// Shows `menu` at `at` (screen) owned by `window`, with the check marks,
// and returns the id chosen (0 when dismissed).  `foreground` brings the
// owner to the front first, as a menu opened from the notification area
// needs in order to close when the user clicks elsewhere.
int trackCommandMenu(HWND window, HMENU menu, POINT at, const SharedSettings& settings, bool foreground);

// ShowTrayMenu: the menu at the cursor; carries out the chosen command.
void showTrayMenu(HWND window, HMENU menu, const TrayContext& context);

}  // namespace qv::ui::win
