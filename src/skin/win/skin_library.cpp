// Quillvane.skn, the skin library.  Between SetDialogSkin and
// RemoveDialogSkin every dialog and property sheet (frame and pages) that
// the calling thread creates is drawn in the loaded skin's colours:
// backgrounds, static text, check boxes, radio buttons and group boxes
// through the WM_CTLCOLOR* answers of their dialog, push buttons and the
// property sheet's tabs painted by the library.  A thread-local CBT hook
// finds the windows as they are created; every subclass, brush and the hook
// are undone by RemoveDialogSkin or ExitSkinMagicLib, and a window that goes
// earlier takes its subclass with it.
//
// State is per thread: a browser tab's thread skins its own sheet only.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

#include "skin/skin_format.h"

namespace {

using qv::skin::Part;
using qv::skin::Skin;

constexpr int kParts = static_cast<int>(Part::Count);

enum class Kind { Dialog, Button, Tab };

// A window whose procedure the library replaced.  The library keeps its own
// table rather than the common controls' subclass chain: that chain looks
// its record up as a window property on every message, which on some hosts
// costs a round trip to the window server per message and made skinned
// sheets open markedly slower.
struct Subclassed {
  HWND window;
  Kind kind;
  bool unicode;      // the window's character set, kept as it was
  WNDPROC previous;  // what the library forwards to
  WNDPROC ours;      // the procedure the library installed
};

struct ThreadSkin {
  std::optional<Skin> skin;
  HHOOK hook = nullptr;
  std::array<HBRUSH, kParts> brushes{};
  std::vector<Subclassed> windows;
};

thread_local ThreadSkin* t_state = nullptr;
// Windows that someone subclassed after the library: the library's
// procedure stays in their chain as a plain pass-through for the rest of
// the thread's life (the library is pinned for them).
thread_local std::vector<Subclassed>* t_passThrough = nullptr;

COLORREF colorOf(const ThreadSkin& s, Part p, int systemIndex) {
  const auto c = s.skin ? s.skin->color(p) : std::nullopt;
  return c ? static_cast<COLORREF>(*c) : GetSysColor(systemIndex);
}

HBRUSH brushOf(const ThreadSkin& s, Part p) { return s.brushes[static_cast<int>(p)]; }

const Subclassed* findIn(const std::vector<Subclassed>* list, HWND w) {
  if (!list) return nullptr;
  for (const Subclassed& e : *list)
    if (e.window == w) return &e;
  return nullptr;
}

LRESULT forward(const Subclassed& e, HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  return e.unicode ? CallWindowProcW(e.previous, w, msg, wp, lp) : CallWindowProcA(e.previous, w, msg, wp, lp);
}

LONG_PTR setProc(HWND w, bool unicode, WNDPROC p) {
  return unicode ? SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(p))
                 : SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(p));
}

LONG_PTR currentProc(HWND w, bool unicode) {
  return unicode ? GetWindowLongPtrW(w, GWLP_WNDPROC) : GetWindowLongPtrA(w, GWLP_WNDPROC);
}

// Puts the previous procedure back when the library's is still the
// window's; otherwise leaves a pass-through.  Returns true when restored.
bool restore(const Subclassed& e) {
  if (currentProc(e.window, e.unicode) == reinterpret_cast<LONG_PTR>(e.ours)) {
    setProc(e.window, e.unicode, e.previous);
    return true;
  }
  if (!t_passThrough) t_passThrough = new std::vector<Subclassed>();
  t_passThrough->push_back(e);
  HMODULE pinned = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCSTR>(e.ours), &pinned);
  return false;
}

void forget(std::vector<Subclassed>* list, HWND w) {
  if (!list) return;
  for (auto it = list->begin(); it != list->end(); ++it)
    if (it->window == w) {
      list->erase(it);
      return;
    }
}

LRESULT dialogMessage(ThreadSkin& s, const Subclassed& e, HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      // Drawn here rather than by the theme's page texture.
      if (HBRUSH b = brushOf(s, Part::Dialog)) {
        RECT r{};
        GetClientRect(w, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, b);
        return 1;
      }
      break;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (HBRUSH b = brushOf(s, Part::Dialog)) {
        auto dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, colorOf(s, Part::Text, COLOR_BTNTEXT));
        SetBkColor(dc, colorOf(s, Part::Dialog, COLOR_BTNFACE));
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(b);
      }
      break;
    default:
      break;
  }
  return forward(e, w, msg, wp, lp);
}

void paintButton(ThreadSkin& s, HWND w, HDC dc) {
  RECT r{};
  GetClientRect(w, &r);
  const LRESULT state = SendMessageA(w, BM_GETSTATE, 0, 0);
  const bool pushed = (state & BST_PUSHED) != 0;
  const bool focused = (state & BST_FOCUS) != 0 || GetFocus() == w;
  FillRect(dc, &r, brushOf(s, Part::Button) ? brushOf(s, Part::Button) : GetSysColorBrush(COLOR_BTNFACE));
  HBRUSH frame = brushOf(s, Part::Frame) ? brushOf(s, Part::Frame) : GetSysColorBrush(COLOR_WINDOWFRAME);
  FrameRect(dc, &r, frame);
  if ((GetWindowLongPtrA(w, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON || focused) {
    RECT inner = r;
    InflateRect(&inner, -1, -1);
    FrameRect(dc, &inner, frame);
  }
  char text[256] = {};
  GetWindowTextA(w, text, sizeof text);
  RECT t = r;
  if (pushed) OffsetRect(&t, 1, 1);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, IsWindowEnabled(w) ? colorOf(s, Part::ButtonText, COLOR_BTNTEXT) : GetSysColor(COLOR_GRAYTEXT));
  HGDIOBJ old = nullptr;
  if (auto font = reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0))) old = SelectObject(dc, font);
  DrawTextA(dc, text, -1, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (old) SelectObject(dc, old);
  if (focused) {
    RECT f = r;
    InflateRect(&f, -4, -4);
    DrawFocusRect(dc, &f);
  }
}

// The tab row and the outline of the body below it.  The chosen tab takes
// the page's colour so that it joins the page; the others the tab colour.
void paintTabs(ThreadSkin& s, HWND w, HDC dc) {
  RECT client{};
  GetClientRect(w, &client);
  HBRUSH page = brushOf(s, Part::Dialog) ? brushOf(s, Part::Dialog) : GetSysColorBrush(COLOR_BTNFACE);
  HBRUSH tab = brushOf(s, Part::Tab) ? brushOf(s, Part::Tab) : page;
  HBRUSH frame = brushOf(s, Part::Frame) ? brushOf(s, Part::Frame) : GetSysColorBrush(COLOR_WINDOWFRAME);
  FillRect(dc, &client, page);
  const int count = static_cast<int>(SendMessageW(w, TCM_GETITEMCOUNT, 0, 0));
  const int chosen = static_cast<int>(SendMessageW(w, TCM_GETCURSEL, 0, 0));
  LONG rowBottom = client.top;
  for (int i = 0; i < count; ++i) {
    RECT r{};
    if (SendMessageW(w, TCM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r)))
      rowBottom = std::max(rowBottom, r.bottom);
  }
  RECT body{client.left, rowBottom, client.right, client.bottom};
  FrameRect(dc, &body, frame);
  HGDIOBJ oldFont = nullptr;
  if (auto font = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0))) oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colorOf(s, Part::Text, COLOR_BTNTEXT));
  for (int i = 0; i < count; ++i) {
    RECT r{};
    if (!SendMessageW(w, TCM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r))) continue;
    const bool isChosen = i == chosen;
    if (isChosen) InflateRect(&r, 2, 2);
    FillRect(dc, &r, isChosen ? page : tab);
    FrameRect(dc, &r, frame);
    if (isChosen) {
      // Open towards the page.
      RECT joint{r.left + 1, r.bottom - 1, r.right - 1, r.bottom + 1};
      FillRect(dc, &joint, page);
    }
    wchar_t text[128] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(std::size(text));
    SendMessageW(w, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    DrawTextW(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (isChosen && GetFocus() == w) {
      InflateRect(&r, -3, -3);
      DrawFocusRect(dc, &r);
    }
  }
  if (oldFont) SelectObject(dc, oldFont);
}

using Painter = void (*)(ThreadSkin&, HWND, HDC);

// The drawing messages of a control the library draws whole: true, with
// the answer in `result`, when `msg` is one of them.
bool drawWhole(ThreadSkin& s, Painter paint, HWND w, UINT msg, WPARAM wp, LRESULT& result) {
  switch (msg) {
    case WM_PAINT:
      if (wp) {  // some callers hand the control a DC to paint into
        paint(s, w, reinterpret_cast<HDC>(wp));
      } else {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        if (dc) paint(s, w, dc);
        EndPaint(w, &ps);
      }
      result = 0;
      return true;
    case WM_PRINTCLIENT:
      paint(s, w, reinterpret_cast<HDC>(wp));
      result = 0;
      return true;
    case WM_ERASEBKGND:
      result = 1;
      return true;
    default:
      return false;
  }
}

LRESULT tabMessage(ThreadSkin& s, const Subclassed& e, HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = 0;
  return drawWhole(s, paintTabs, w, msg, wp, r) ? r : forward(e, w, msg, wp, lp);
}

LRESULT buttonMessage(ThreadSkin& s, const Subclassed& e, HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = 0;
  if (drawWhole(s, paintButton, w, msg, wp, r)) return r;
  switch (msg) {
    case BM_SETSTATE:
    case BM_SETSTYLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
      // The control draws itself on these; draw over it in the skin.
      r = forward(e, w, msg, wp, lp);
      if (IsWindowVisible(w)) InvalidateRect(w, nullptr, FALSE);  // nothing to draw over while hidden
      return r;
    default:
      return forward(e, w, msg, wp, lp);
  }
}

LRESULT CALLBACK skinProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  ThreadSkin* s = t_state;
  if (const Subclassed* e = s ? findIn(&s->windows, w) : nullptr) {
    const Subclassed entry = *e;  // the table may change below
    if (msg == WM_NCDESTROY) {
      // The window goes first: its procedure goes with it, so only the
      // table entry is dropped.
      forget(&s->windows, w);
      return forward(entry, w, msg, wp, lp);
    }
    switch (entry.kind) {
      case Kind::Dialog: return dialogMessage(*s, entry, w, msg, wp, lp);
      case Kind::Button: return buttonMessage(*s, entry, w, msg, wp, lp);
      case Kind::Tab: return tabMessage(*s, entry, w, msg, wp, lp);
    }
  }
  if (const Subclassed* e = findIn(t_passThrough, w)) {
    const Subclassed entry = *e;
    if (msg == WM_NCDESTROY) forget(t_passThrough, w);
    return forward(entry, w, msg, wp, lp);
  }
  // Not reached for windows the library subclassed; answer safely.
  return IsWindowUnicode(w) ? DefWindowProcW(w, msg, wp, lp) : DefWindowProcA(w, msg, wp, lp);
}

void track(ThreadSkin& s, HWND w, Kind kind) {
  Subclassed e{w, kind, IsWindowUnicode(w) != FALSE, nullptr, skinProc};
  // Register first: messages may arrive while the procedure changes.
  s.windows.push_back(e);
  const LONG_PTR old = setProc(w, e.unicode, skinProc);
  if (!old) {
    s.windows.pop_back();
    return;
  }
  s.windows.back().previous = reinterpret_cast<WNDPROC>(old);
}

LRESULT CALLBACK cbtProc(int code, WPARAM wp, LPARAM lp) {
  ThreadSkin* s = t_state;
  if (code == HCBT_CREATEWND && s) {
    auto w = reinterpret_cast<HWND>(wp);
    char cls[32] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0) {
      track(*s, w, Kind::Dialog);
    } else if (lstrcmpiA(cls, "Button") == 0 && brushOf(*s, Part::Button)) {
      const auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lp);
      const LONG style = create && create->lpcs ? create->lpcs->style : static_cast<LONG>(GetWindowLongPtrA(w, GWL_STYLE));
      const LONG type = style & 0x0F;
      if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) track(*s, w, Kind::Button);
    } else if (lstrcmpiA(cls, WC_TABCONTROLA) == 0 && brushOf(*s, Part::Tab)) {
      track(*s, w, Kind::Tab);
    }
  }
  return CallNextHookEx(s ? s->hook : nullptr, code, wp, lp);
}

void freeBrushes(ThreadSkin& s) {
  for (HBRUSH& b : s.brushes) {
    if (b) DeleteObject(b);
    b = nullptr;
  }
}

// Takes the skin off every window still skinned and frees what it used.
void unskin(ThreadSkin& s) {
  if (s.hook) UnhookWindowsHookEx(s.hook);
  s.hook = nullptr;
  std::vector<Subclassed> windows;
  windows.swap(s.windows);
  for (const Subclassed& e : windows)
    if (IsWindow(e.window)) restore(e);
  for (const Subclassed& e : windows)
    if (IsWindow(e.window)) RedrawWindow(e.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
  freeBrushes(s);
}

}  // namespace

extern "C" {

// Starts (or restarts) the calling thread's skinning; no skin loaded yet.
BOOL WINAPI InitSkinMagicLib(HINSTANCE, LPCSTR, LPCSTR, LPCSTR) {
  if (t_state) unskin(*t_state);
  else t_state = new ThreadSkin();
  t_state->skin.reset();
  return TRUE;
}

// Reads a skin (skin_format.h) from a resource of `module`.
BOOL WINAPI LoadSkinFromResource(HINSTANCE module, LPCSTR name, LPCSTR type) {
  if (!t_state) return FALSE;
  HRSRC res = FindResourceA(module, name, type);
  if (!res) return FALSE;
  HGLOBAL data = LoadResource(module, res);
  const DWORD size = SizeofResource(module, res);
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) return FALSE;
  auto parsed = qv::skin::parseSkin(std::string_view(static_cast<const char*>(bytes), size));
  if (!parsed.skin) return FALSE;
  t_state->skin = std::move(parsed.skin);
  return TRUE;
}

// Skins the dialogs the calling thread creates from now on.  With no skin
// loaded, or a skin that keeps the system's look, nothing is hooked.
BOOL WINAPI SetDialogSkin(LPCSTR) {
  ThreadSkin* s = t_state;
  if (!s) return FALSE;
  if (s->hook || !s->skin || s->skin->classic()) return TRUE;
  for (int i = 0; i < kParts; ++i)
    if (const auto c = s->skin->colors[i]) s->brushes[static_cast<std::size_t>(i)] = CreateSolidBrush(*c);
  s->hook = SetWindowsHookExA(WH_CBT, cbtProc, nullptr, GetCurrentThreadId());
  if (!s->hook) {
    freeBrushes(*s);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI RemoveDialogSkin() {
  if (t_state) unskin(*t_state);
  return TRUE;
}

void WINAPI ExitSkinMagicLib() {
  if (!t_state) return;
  unskin(*t_state);
  delete t_state;
  t_state = nullptr;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
