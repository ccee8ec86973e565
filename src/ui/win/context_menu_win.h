// The page's right-click menu, built in the browser's way with the
// program's submenu ("Quillvane", the tray menu's commands) and a separator
// at its top.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <functional>
#include <vector>

#include "core/settings.h"
#include "core/shared_settings.h"

namespace qv::ui::win {

struct ContextMenuContext {
  HINSTANCE module = nullptr;           // menu 238 and string 107
  const SharedSettings* settings = nullptr;
  SettingsStore* store = nullptr;
  std::function<void(int)> openSheet;
  std::int32_t* newWindowGuard = nullptr;  // cleared by the browser's "open in new window"
  // The browser's resource library with its standard context menus, and
  // where later versions of the browser keep the same menu (its seventh
  // version moved the resources of SHDOCLC.DLL into ieframe.dll; the HTML
  // engine's own module is the last place tried).  Tried in this order;
  // where none holds menu 24641 the program's submenu is shown over the
  // browser's menu extensions alone.
  const char* resourceLibrary = "SHDOCLC.DLL";
  std::vector<const char*> laterLibraries = {"ieframe.dll", "mshtml.dll"};
};

inline constexpr int kBrowserContextMenu = 24641;
inline constexpr int kEncodingItem = 2292;
inline constexpr DWORD kCmdGetEncodingMenu = 27;
inline constexpr DWORD kCmdAddMenuExtensions = 53;

// IDocHostUIHandler::ShowContextMenu: S_OK when the program showed the menu,
// S_FALSE when the browser is to show its own.  `choose` stands in for the
// user in tests: it gets the menu and the owner window and returns the id.
HRESULT showContextMenu(DWORD kind, const POINT* at, IUnknown* target, const ContextMenuContext& context,
                        const std::function<int(HMENU, HWND)>& choose = nullptr);

}  // namespace qv::ui::win
