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

// The first of the libraries that loads and holds the standard context menu:
// SHDOCLC.DLL as such, the later places as data only (their code is the
// browser's own and must not be started twice).
void loadStandardMenu(const ContextMenuContext& context, Library& library, HMENU& menu) {
  std::vector<std::pair<const char*, bool>> places;
  places.push_back({context.resourceLibrary, false});
  for (const char* later : context.laterLibraries) places.push_back({later, true});
  for (const auto& [name, asData] : places) {
    if (!name) continue;
    HMODULE h = asData ? LoadLibraryExA(name, nullptr, LOAD_LIBRARY_AS_DATAFILE) : LoadLibraryA(name);
    if (!h) continue;
    if (HMENU m = LoadMenuA(h, MAKEINTRESOURCEA(kBrowserContextMenu))) {
      library.h = h;
      menu = m;
      return;
    }
    FreeLibrary(h);
  }
}
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
  Menu standard;
  loadStandardMenu(context, library, standard.h);
  // Without the browser's menu anywhere, the program's submenu still shows,
  // over the browser's menu extensions alone.
  Menu bare;
  HMENU sub = nullptr;
  if (standard.h) {
    sub = GetSubMenu(standard.h, static_cast<int>(kind));
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
  } else {
    bare.h = CreatePopupMenu();
    if (!bare.h) return S_FALSE;
    sub = bare.h;
  }

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
  bool inserted = false, separated = false;
  if (ownPopup) {
    char label[64] = "Quillvane";
    LoadStringA(context.module, 107, label, sizeof label);
    inserted = InsertMenuA(sub, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(ownPopup), label) != FALSE;
    // The separator parts the submenu from the browser's items; a bare menu
    // with nothing after it needs none.
    if (inserted && GetMenuItemCount(sub) > 1)
      separated = InsertMenuA(sub, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr) != FALSE;
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
    if (separated) RemoveMenu(sub, 1, MF_BYPOSITION);
    RemoveMenu(sub, 0, MF_BYPOSITION);
  }

  const ContextRoute route = contextCommand(id);
  if (route.clearNewWindowGuard && context.newWindowGuard) *context.newWindowGuard = 0;
  if (context.store) runMenuCommand(route.command, *context.store, context.openSheet);
  if (route.sendToWindow) SendMessageA(window, WM_COMMAND, static_cast<WPARAM>(id), 0);
  return S_OK;
}

}  // namespace qv::ui::win
