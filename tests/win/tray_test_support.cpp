#include "tray_test_support.h"

namespace qvtest {

qv::ui::win::TrayContext TrayWorld::context(HINSTANCE module) {
  qv::ui::win::TrayContext c;
  c.module = module;
  c.settings = &settings;
  c.store = &store;
  c.openSheet = [this](int page) { opened.push_back(page); };
  return c;
}

void pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

TrayWindows trayWindows() {
  TrayWindows t;
  EnumWindows(
      [](HWND w, LPARAM lp) CALLBACK -> BOOL {
        char cls[16] = {};
        GetClassNameA(w, cls, sizeof cls);
        if (lstrcmpA(cls, "SS_Wnd") == 0) {
          auto* t = reinterpret_cast<TrayWindows*>(lp);
          ++t->count;
          GetWindowThreadProcessId(w, &t->process);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&t));
  return t;
}

std::vector<MenuItem> menuItems(HMENU menu) {
  std::vector<MenuItem> items;
  const int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    MenuItem item;
    char text[128] = {};
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    item.separator = (info.fType & MFT_SEPARATOR) != 0;
    item.checked = (info.fState & MFS_CHECKED) != 0;
    item.id = info.wID;
    item.submenu = info.hSubMenu;
    for (const char* p = text; *p; ++p)
      if (*p != '&' || p[1] == '&') item.text += *p;
    items.push_back(item);
  }
  return items;
}

HMENU menuOfPopup(HWND popup) {
  return reinterpret_cast<HMENU>(SendMessageA(popup, 0x01E1 /* MN_GETHMENU */, 0, 0));
}

HWND openPopupWindow(HMENU menu) {
  struct Search {
    HMENU menu;
    HWND first = nullptr, match = nullptr;
  } s{menu};
  EnumWindows(
      [](HWND w, LPARAM lp) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        char cls[16] = {};
        GetClassNameA(w, cls, sizeof cls);
        if (lstrcmpA(cls, "#32768") != 0 || !IsWindowVisible(w)) return TRUE;
        if (!s->first) s->first = w;
        if (s->menu && menuOfPopup(w) == s->menu) s->match = w;
        return s->match == nullptr;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.match ? s.match : (menu ? nullptr : s.first);
}

CommandTarget::CommandTarget(HWND w) : window_(w) {
  encoding = CreatePopupMenu();
  AppendMenuA(encoding, MF_STRING, 3000, "Western European");
}

STDMETHODIMP CommandTarget::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IOleCommandTarget) *out = static_cast<IOleCommandTarget*>(this);
  else if (iid == IID_IOleWindow) *out = static_cast<IOleWindow*>(this);
  else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP CommandTarget::Exec(const GUID* group, DWORD id, DWORD, VARIANT* in, VARIANT* out) {
  static const GUID shellDocView = {0x000214D1, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  if (!group || *group != shellDocView) return OLECMDERR_E_UNKNOWNGROUP;
  execs.push_back(static_cast<int>(id));
  if (id == 27 && out) {
    out->vt = VT_I8;
    out->llVal = reinterpret_cast<LONG_PTR>(encoding);
    return S_OK;
  }
  if (id == 53 && in && out) {
    extensionMenu = in->vt == VT_INT_PTR ? static_cast<HMENU>(in->byref) : nullptr;
    extensionKind = out->vt == VT_I4 ? out->lVal : -1;
    return S_OK;
  }
  return OLECMDERR_E_NOTSUPPORTED;
}

STDMETHODIMP CommandTarget::GetWindow(HWND* w) {
  *w = window_;
  return S_OK;
}

std::vector<WPARAM>& browserCommands() {
  static std::vector<WPARAM> commands;
  return commands;
}

namespace {
LRESULT CALLBACK browserWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_COMMAND) browserCommands().push_back(wp);
  return DefWindowProcA(w, m, wp, lp);
}
}  // namespace

HWND browserWindow() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = browserWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QvTestDocWindow";
  RegisterClassA(&wc);
  return CreateWindowExA(0, "QvTestDocWindow", "page", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

}  // namespace qvtest
