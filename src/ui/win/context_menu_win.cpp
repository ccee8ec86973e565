#include "ui/win/context_menu_win.h"

#include <docobj.h>
#include <oleidl.h>
#include <wrl/client.h>

#include "ui/tray.h"
#include "ui/win/tray_win.h"

namespace qv::ui::win {
namespace {

using Microsoft::WRL::ComPtr;

// CGID_ShellDocView, the group of the browser's two menu commands.
constexpr GUID kShellDocView = {0x000214D1, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

HMENU menuFromVariant(const VARIANT& v) {
  switch (v.vt) {
    case VT_I4: case VT_INT: return reinterpret_cast<HMENU>(static_cast<INT_PTR>(v.lVal));
    case VT_UI4: case VT_UINT: return reinterpret_cast<HMENU>(static_cast<UINT_PTR>(v.ulVal));
    case VT_I8: return reinterpret_cast<HMENU>(static_cast<INT_PTR>(v.llVal));
    case VT_UI8: return reinterpret_cast<HMENU>(static_cast<UINT_PTR>(v.ullVal));
    case VT_BYREF: case VT_INT_PTR: case VT_UINT_PTR: return static_cast<HMENU>(v.byref);
    default: return nullptr;
  }
}

struct Library {
  HMODULE h = nullptr;
  ~Library() {
    if (h) FreeLibrary(h);
  }
};
struct Menu {
  HMENU h = nullptr;
  ~Menu() {
    if (h) DestroyMenu(h);
  }
};

}  // namespace

HRESULT showContextMenu(DWORD kind, const POINT* at, IUnknown* target, const ContextMenuContext& context,
                        const std::function<int(HMENU, HWND)>& choose) {
  if (!context.settings || context.settings->addToContextMenu == 0) return S_FALSE;
  if (!target) return S_FALSE;
  ComPtr<IOleCommandTarget> commands;
  ComPtr<IOleWindow> oleWindow;
  HWND window = nullptr;
  if (FAILED(target->QueryInterface(IID_PPV_ARGS(&commands))) || !commands) return S_FALSE;
  if (FAILED(target->QueryInterface(IID_PPV_ARGS(&oleWindow))) || !oleWindow) return S_FALSE;
  if (FAILED(oleWindow->GetWindow(&window))) return S_FALSE;

  Library library;
  library.h = LoadLibraryA(context.resourceLibrary);
  if (!library.h) return S_FALSE;
  Menu standard;
  standard.h = LoadMenuA(library.h, MAKEINTRESOURCEA(kBrowserContextMenu));
  if (!standard.h) return S_FALSE;
  HMENU sub = GetSubMenu(standard.h, static_cast<int>(kind));
  if (!sub) return S_FALSE;

  VARIANT encoding;
  VariantInit(&encoding);
  if (FAILED(commands->Exec(&kShellDocView, kCmdGetEncodingMenu, OLECMDEXECOPT_DODEFAULT, nullptr, &encoding)))
    return S_FALSE;
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_SUBMENU;
  info.hSubMenu = menuFromVariant(encoding);
  if (info.hSubMenu) SetMenuItemInfoA(sub, kEncodingItem, FALSE, &info);
  VariantClear(&encoding);

  VARIANT in, out;
  VariantInit(&in);
  VariantInit(&out);
  in.vt = VT_INT_PTR;
  in.byref = sub;
  out.vt = VT_I4;
  out.lVal = static_cast<LONG>(kind);
  if (FAILED(commands->Exec(&kShellDocView, kCmdAddMenuExtensions, OLECMDEXECOPT_DODEFAULT, &in, &out)))
    return S_FALSE;

  // The program's submenu.  It hangs in the browser's menu while that is
  // open and is taken out again before either is destroyed.
  Menu own;
  own.h = LoadMenuA(context.module, MAKEINTRESOURCEA(kTrayMenuResource));
  HMENU ownPopup = own.h ? GetSubMenu(own.h, 0) : nullptr;
  bool inserted = false;
  if (ownPopup) {
    char label[64] = "Quillvane";
    LoadStringA(context.module, 107, label, sizeof label);
    inserted = InsertMenuA(sub, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(ownPopup), label) != FALSE;
    if (inserted) InsertMenuA(sub, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
  }

  const POINT where = at ? *at : POINT{0, 0};
  int id = 0;
  {
    if (ownPopup) setCheckMarks(ownPopup, *context.settings);
    CheckMarkSubclass marks(window, ownPopup, *context.settings);
    id = choose ? choose(sub, window)
                : static_cast<int>(TrackPopupMenu(sub, TPM_RETURNCMD | TPM_RIGHTBUTTON, where.x, where.y, 0,
                                                  window, nullptr));
  }
  if (inserted) {
    // Detach, so that destroying the standard menu leaves the program's
    // popup to its own menu (destroyed once, below).
    RemoveMenu(sub, 1, MF_BYPOSITION);
    RemoveMenu(sub, 0, MF_BYPOSITION);
  }

  const ContextRoute route = contextCommand(id);
  if (route.clearNewWindowGuard && context.newWindowGuard) *context.newWindowGuard = 0;
  if (context.store) runMenuCommand(route.command, *context.store, context.openSheet);
  if (route.sendToWindow) SendMessageA(window, WM_COMMAND, static_cast<WPARAM>(id), 0);
  return S_OK;
}

}  // namespace qv::ui::win
