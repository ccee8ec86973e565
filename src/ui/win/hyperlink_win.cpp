#include "ui/win/hyperlink_win.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "com/module.h"
#include "platform/win/registry_win.h"

namespace qv::ui::win {
namespace {

constexpr UINT_PTR kSubclassId = 0x51564C4B;

bool inRect(const RECT& r, LPARAM lp) {
  const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  return PtInRect(&r, p) != FALSE;
}

}  // namespace

HyperlinkControl::HyperlinkControl() {
  opener = [](const std::string& target) {
    const auto r = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return r > 32;
  };
}

HyperlinkControl::~HyperlinkControl() {
  unsubclass();
  if (font_) DeleteObject(font_);
  if (hand_) DestroyCursor(hand_);
}

void HyperlinkControl::unsubclass() {
  if (window_) RemoveWindowSubclass(window_, &HyperlinkControl::proc, kSubclassId);
  window_ = nullptr;
}

void HyperlinkControl::setLabel(const std::string& text) {
  label_ = text;
  hasLabel_ = true;
  computeLinkRect();
}

void HyperlinkControl::setTarget(const std::string& text) {
  target_ = text;
  hasTarget_ = true;
  if (!hasLabel_) computeLinkRect();
}

bool HyperlinkControl::subclass(HWND window) {
  if (!window || !IsWindow(window)) return false;
  DWORD pid = 0;
  if (GetWindowThreadProcessId(window, &pid) != GetCurrentThreadId()) return false;
  if (!SetWindowSubclass(window, &HyperlinkControl::proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
    return false;
  window_ = window;
  return true;
}

void HyperlinkControl::initialise() {
  if (!window_) return;
  char cls[8] = {};
  GetClassNameA(window_, cls, sizeof cls);
  if (lstrcmpiA(cls, "static") == 0) {
    const LONG_PTR style = GetWindowLongPtrA(window_, GWL_STYLE);
    SetWindowLongPtrA(window_, GWL_STYLE, style | SS_NOTIFY);
    const int type = static_cast<int>(style & 0xFF);
    if ((type >= 3 && type <= 9) || (type >= 13 && type <= 15)) paintLabel_ = false;
  }
  if (!hand_)
    hand_ = CreateCursor(com::moduleInstance() ? com::moduleInstance() : GetModuleHandleA(nullptr), kHandHotX,
                         kHandHotY, kHandSize, kHandSize, handAndPlane().data(), handXorPlane().data());
  if (paintLabel_ && !font_) {
    if (auto parentFont = reinterpret_cast<HFONT>(SendMessageA(GetParent(window_), WM_GETFONT, 0, 0))) {
      LOGFONTA lf{};
      if (GetObjectA(parentFont, sizeof lf, &lf)) {
        lf.lfUnderline = TRUE;
        font_ = CreateFontIndirectA(&lf);
      }
    }
  }
  if (!hasLabel_) {
    const int n = GetWindowTextLengthA(window_);
    if (n > 0) {
      std::string text(static_cast<std::size_t>(n) + 1, '\0');
      text.resize(static_cast<std::size_t>(GetWindowTextA(window_, text.data(), n + 1)));
      label_ = text;
      hasLabel_ = true;
    }
  }
  if (!hasTarget_ && hasLabel_) {
    target_ = label_;
    hasTarget_ = true;
  }
  computeLinkRect();

  if (!tooltip_) {
    tooltip_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, window_, nullptr, nullptr, nullptr);
    if (tooltip_) {
      SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
      TOOLINFOA ti{};
      ti.cbSize = sizeof ti;
      ti.uFlags = TTF_IDISHWND;
      ti.hwnd = GetParent(window_);
      ti.uId = reinterpret_cast<UINT_PTR>(window_);
      ti.lpszText = target_.data();
      SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    }
  }

  if (paintLabel_) {
    qv::win::Win32Registry registry;
    const LinkColors colors = readLinkColors(registry);
    linkColor_ = colors.link;
    visitedColor_ = colors.visited;
  }
}

UINT HyperlinkControl::alignFlags() const {
  const LONG_PTR style = window_ ? GetWindowLongPtrA(window_, GWL_STYLE) : 0;
  if ((style & 0x1F) == SS_CENTER) return DT_CENTER;
  if ((style & 0x1F) == SS_RIGHT) return DT_RIGHT;
  return 0;
}

void HyperlinkControl::computeLinkRect() {
  if (!window_ || !IsWindow(window_) || (!hasLabel_ && !hasTarget_)) return;
  RECT client{};
  GetClientRect(window_, &client);
  if (!paintLabel_) {
    linkRect_ = client;
    return;
  }
  const std::string& text = hasLabel_ ? label_ : target_;
  RECT r = client;
  HDC dc = GetDC(window_);
  if (!dc) return;
  HGDIOBJ old = font_ ? SelectObject(dc, font_) : nullptr;
  const UINT align = alignFlags();
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_WORDBREAK | align);
  if (old) SelectObject(dc, old);
  ReleaseDC(window_, dc);
  const TextAlign a = align == DT_CENTER ? TextAlign::Center : align == DT_RIGHT ? TextAlign::Right : TextAlign::Left;
  OffsetRect(&r, linkOffset(a, client.right, r.right), 0);
  linkRect_ = r;
}

void HyperlinkControl::draw(HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, visited_ ? visitedColor_ : linkColor_);
  HGDIOBJ old = font_ ? SelectObject(dc, font_) : nullptr;
  const std::string& text = hasLabel_ ? label_ : target_;
  RECT r = linkRect_;
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_WORDBREAK | alignFlags());
  if (old) SelectObject(dc, old);
  if (GetFocus() == window_) DrawFocusRect(dc, &linkRect_);
}

void HyperlinkControl::open() {
  if (!hasTarget_ || !opener) return;
  if (opener(target_)) {
    visited_ = true;
    InvalidateRect(window_, nullptr, TRUE);
  }
}

LRESULT HyperlinkControl::handle(UINT msg, WPARAM wp, LPARAM lp, bool& done) {
  done = true;
  if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSEWHEEL && tooltip_) {
    MSG m{window_, msg, wp, lp, static_cast<DWORD>(GetMessageTime()), {}};
    SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
  }
  switch (msg) {
    case WM_ERASEBKGND:
      if (!paintLabel_) break;
      {
        auto dc = reinterpret_cast<HDC>(wp);
        auto brush = reinterpret_cast<HBRUSH>(
            SendMessageA(GetParent(window_), WM_CTLCOLORSTATIC, wp, reinterpret_cast<LPARAM>(window_)));
        if (brush) {
          RECT c{};
          GetClientRect(window_, &c);
          FillRect(dc, &c, brush);
        }
      }
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      if (!paintLabel_) break;
      if (wp) {
        draw(reinterpret_cast<HDC>(wp));
      } else {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window_, &ps);
        if (dc) draw(dc);
        EndPaint(window_, &ps);
      }
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (!paintLabel_) break;
      InvalidateRect(window_, nullptr, TRUE);
      return 0;
    case WM_MOUSEMOVE:
      if (hasTarget_ && inRect(linkRect_, lp)) {
        SetCursor(hand_);
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (hasTarget_) {
        POINT p{};
        GetCursorPos(&p);
        ScreenToClient(window_, &p);
        if (PtInRect(&linkRect_, p)) {
          SetCursor(hand_);
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN:
      if (inRect(linkRect_, lp)) {
        SetFocus(window_);
        SetCapture(window_);
      }
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == window_) {
        ReleaseCapture();
        if (inRect(linkRect_, lp)) open();
      }
      return 0;
    case WM_CHAR:
      if (wp == VK_RETURN || wp == VK_SPACE) open();
      return 0;
    case WM_GETDLGCODE: {
      // Characters come to the link (Space opens it).  Enter would be taken
      // by the dialog for its default button (the sheet's OK, which saves
      // and closes): the link asks for that key itself, so that Enter on a
      // focused link opens the link.
      const auto* m = reinterpret_cast<const MSG*>(lp);
      if (m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN) return DLGC_WANTCHARS | DLGC_WANTMESSAGE;
      return DLGC_WANTCHARS;
    }
    case WM_NCDESTROY: {
      // The window goes before the object: drop the subclass now.
      HWND w = window_;
      unsubclass();
      done = false;
      return DefSubclassProc(w, msg, wp, lp);
    }
    default:
      break;
  }
  done = false;
  return 0;
}

LRESULT CALLBACK HyperlinkControl::proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<HyperlinkControl*>(data);
  bool done = false;
  const LRESULT r = self->handle(msg, wp, lp, done);
  if (done) return r;
  if (msg == WM_NCDESTROY) return r;
  return DefSubclassProc(w, msg, wp, lp);
}

}  // namespace qv::ui::win
