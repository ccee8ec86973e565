// Helpers shared by the tray and context-menu tests and the UI demo: the
// settings a tray needs, the session's "SS_Wnd" windows seen from outside,
// the items of an open menu, and a stand-in for the browser's command
// target and page window.
#pragma once

#include <windows.h>
#include <docobj.h>
#include <oleidl.h>

#include <string>
#include <vector>

#include "core/settings.h"
#include "platform/messages.h"
#include "platform/win/registry_win.h"
#include "ui/win/tray_win.h"

namespace qvtest {

class NoMessages final : public qv::Messages {
 public:
  void showString(int id) override { shown.push_back(id); }
  void showText(const std::string&) override { shown.push_back(-1); }
  std::vector<int> shown;
};

// A settings record with its store over the user's registry, and the pages
// the tray asked the options sheet to open.
struct TrayWorld {
  qv::SharedSettings settings;
  qv::win::Win32Registry registry;
  NoMessages messages;
  qv::SettingsStore store{registry, messages, settings};
  std::vector<int> opened;
  qv::ui::win::TrayContext context(HINSTANCE module);
};

// Dispatches this thread's messages for `ms` milliseconds.
void pump(DWORD ms);

// The "SS_Wnd" windows of the session (top-level), as any process sees
// them: how many, and the process of the last one found.
struct TrayWindows {
  int count = 0;
  DWORD process = 0;
};
TrayWindows trayWindows();

// One item of a menu as the user sees it.
struct MenuItem {
  std::string text;  // without the '&' marks; empty for a separator
  bool separator = false;
  bool checked = false;
  UINT id = 0;
  HMENU submenu = nullptr;
};
std::vector<MenuItem> menuItems(HMENU menu);
// The menu shown by an open popup menu window ("#32768").
HMENU menuOfPopup(HWND popup);
// The open popup menu window showing `menu`, or else the first one found.
HWND openPopupWindow(HMENU menu = nullptr);

// The browser's command target and window for the page context menu: it
// answers the encoding-menu command (27) with a menu of its own and takes
// the menu-extension command (53), keeping what it was given.
class CommandTarget final : public IOleCommandTarget, public IOleWindow {
 public:
  // The encoding menu goes with the browser's menu it is attached to.
  explicit CommandTarget(HWND w);
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override { return E_NOTIMPL; }
  STDMETHODIMP Exec(const GUID* group, DWORD id, DWORD, VARIANT* in, VARIANT* out) override;
  STDMETHODIMP GetWindow(HWND* w) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  ULONG refs = 1;
  std::vector<int> execs;
  HMENU encoding = nullptr;
  HMENU extensionMenu = nullptr;
  LONG extensionKind = -1;

 private:
  HWND window_;
};

// A top-level window standing in for the browser's page window; the
// WM_COMMAND ids it receives are kept in browserCommands().
HWND browserWindow();
std::vector<WPARAM>& browserCommands();

}  // namespace qvtest
