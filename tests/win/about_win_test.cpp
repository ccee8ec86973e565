// The About page and its hyperlink controls under Wine with a display.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "com/module.h"
#include "screenshot.h"
#include "ui/links.h"
#include "ui/win/hyperlink_win.h"
#include "ui/win/sheet_pages.h"
#include "win_test_support.h"

namespace {

using qv::ui::win::HyperlinkControl;

// The page as the sheet would show it, inside a plain captioned parent.
struct AboutPage {
  HWND parent = nullptr;
  HWND page = nullptr;
  // A parent that is never shown is never mapped on the display (and
  // goes without waiting for the display).
  explicit AboutPage(HINSTANCE versionModule, bool visible = false) {
    InitCommonControls();
    qv::com::setModuleInstance(versionModule);
    parent = CreateWindowExA(0, "STATIC", "About", WS_OVERLAPPED | WS_CAPTION | (visible ? WS_VISIBLE : 0), 50, 50, 420, 380,
                             nullptr, nullptr, nullptr, nullptr);
    const auto p = qv::ui::win::aboutPage();
    page = CreateDialogParamA(qvtest::module(), MAKEINTRESOURCEA(p.dialogId), parent, p.proc, 0);
    if (page) {
      // As a sheet shows its pages: no caption or frame of its own.
      const LONG_PTR style = GetWindowLongPtrA(page, GWL_STYLE);
      SetWindowLongPtrA(page, GWL_STYLE, (style & ~(WS_DISABLED | WS_CAPTION | WS_THICKFRAME | DS_MODALFRAME)) | WS_VISIBLE);
      EnableWindow(page, TRUE);
      SetWindowPos(page, nullptr, 4, 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
      UpdateWindow(parent);
      UpdateWindow(page);
    }
  }
  ~AboutPage() {
    if (page) DestroyWindow(page);
    DestroyWindow(parent);
    qv::com::setModuleInstance(nullptr);
  }
  std::string text(int id) const {
    char buf[256] = {};
    GetDlgItemTextA(page, id, buf, sizeof buf);
    return buf;
  }
};

void pump() {
  MSG m;
  for (int i = 0; i < 20; ++i) {
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    Sleep(5);
  }
}

std::string tooltipText(const HyperlinkControl& link) {
  char text[256] = {};
  TOOLINFOA ti{};
  ti.cbSize = sizeof ti;
  ti.lpszText = text;
  if (!SendMessageA(link.tooltip(), TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&ti))) return "<none>";
  return text;
}

LPARAM point(LONG x, LONG y) { return MAKELPARAM(x, y); }

TEST(AboutPageWin, VersionLineLinksAndTooltips) {
  AboutPage about(qvtest::module(), true);
  ASSERT_NE(about.page, nullptr);
  pump();
  // The version of the module's own version resource.
  char path[MAX_PATH];
  GetModuleFileNameA(qvtest::module(), path, MAX_PATH);
  DWORD h = 0;
  std::vector<char> block(GetFileVersionInfoSizeA(path, &h));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(block.size()), block.data()));
  char* version = nullptr;
  UINT n = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<void**>(&version), &n));
  EXPECT_EQ(about.text(202), std::string("Quillvane\n\nVersion ") + version);

  HyperlinkControl* web = qv::ui::win::aboutPageLink(about.page, false);
  HyperlinkControl* mail = qv::ui::win::aboutPageLink(about.page, true);
  ASSERT_TRUE(web && mail);
  EXPECT_EQ(web->label(), qv::ui::kWebHost);
  EXPECT_EQ(web->target(), qv::ui::kWebAddress);
  EXPECT_EQ(mail->label(), qv::ui::kSupportEmail);
  EXPECT_EQ(mail->target(), "mailto:" + std::string(qv::ui::kSupportEmail));
  EXPECT_EQ(tooltipText(*mail), mail->target());  // the full target, not the label
  EXPECT_EQ(tooltipText(*web), web->target());
  EXPECT_TRUE(GetWindowLongPtrA(web->window(), GWL_STYLE) & SS_NOTIFY);
  EXPECT_NE(web->handCursor(), nullptr);
  EXPECT_TRUE(web->paintsLabel());
  const RECT r = web->linkRect();
  EXPECT_GT(r.right - r.left, 10);
  RECT client;
  GetClientRect(web->window(), &client);
  EXPECT_LT(r.right, client.right);  // the text, not the whole control
  // Drawn and on the display before the picture is taken.
  RedrawWindow(about.parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  pump();
  Sleep(200);
  EXPECT_TRUE(qvtest::screenshotWindow(about.parent, "about_page"));
  // Not a blank picture: the link's label is on the display.
  HDC screen = GetDC(nullptr);
  POINT origin{r.left, r.top};
  ClientToScreen(web->window(), &origin);
  const COLORREF ground = GetPixel(screen, origin.x, origin.y);
  bool inked = false;
  for (int y = 0; y < r.bottom - r.top && !inked; ++y)
    for (int x = 0; x < r.right - r.left && !inked; ++x) inked = GetPixel(screen, origin.x + x, origin.y + y) != ground;
  ReleaseDC(nullptr, screen);
  EXPECT_TRUE(inked) << "the link's label is not drawn";
}

TEST(AboutPageWin, ModuleWithoutVersionKeepsTheDialogText) {
  AboutPage about(GetModuleHandleA(nullptr));  // this test binary has no version resource
  ASSERT_NE(about.page, nullptr);
  EXPECT_EQ(about.text(202), "Static");
}

TEST(AboutPageWin, ClicksSpaceAndVisitedColour) {
  AboutPage about(qvtest::module());
  ASSERT_NE(about.page, nullptr);
  HyperlinkControl* web = qv::ui::win::aboutPageLink(about.page, false);
  ASSERT_NE(web, nullptr);
  std::vector<std::string> opened;
  bool succeed = false;
  web->opener = [&](const std::string& t) {
    opened.push_back(t);
    return succeed;
  };
  HWND w = web->window();
  const RECT r = web->linkRect();
  const LPARAM inside = point((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  const LPARAM outside = point(r.right + 5, (r.top + r.bottom) / 2);

  // Starts outside: no capture, no open.
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, outside);
  EXPECT_NE(GetCapture(), w);
  SendMessageA(w, WM_LBUTTONUP, 0, inside);
  EXPECT_TRUE(opened.empty());
  // Starts inside, ends outside: captured and focused, then nothing opens.
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, inside);
  EXPECT_EQ(GetCapture(), w);
  EXPECT_EQ(GetFocus(), w);
  SendMessageA(w, WM_LBUTTONUP, 0, outside);
  EXPECT_NE(GetCapture(), w);
  EXPECT_TRUE(opened.empty());
  // A failed open leaves the link unvisited.
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, inside);
  SendMessageA(w, WM_LBUTTONUP, 0, inside);
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_FALSE(web->visited());
  // Space opens; other characters do not; the dialog hands characters over.
  succeed = true;
  EXPECT_EQ(SendMessageA(w, WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS);
  SendMessageA(w, WM_CHAR, 'x', 0);
  EXPECT_EQ(opened.size(), 1u);
  SendMessageA(w, WM_CHAR, VK_SPACE, 0);
  EXPECT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened.back(), qv::ui::kWebAddress);
  EXPECT_TRUE(web->visited());

  // Drawn in the visited colour now.
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  RECT c;
  GetClientRect(w, &c);
  HBITMAP bmp = CreateCompatibleBitmap(screen, c.right, c.bottom);
  HGDIOBJ old = SelectObject(mem, bmp);
  FillRect(mem, &c, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SendMessageA(w, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
  int visitedPixels = 0, linkPixels = 0;
  for (int y = 0; y < c.bottom; ++y)
    for (int x = 0; x < c.right; ++x) {
      const COLORREF p = GetPixel(mem, x, y);
      visitedPixels += p == web->visitedColor();
      linkPixels += p == web->linkColor();
    }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  EXPECT_GT(visitedPixels, 10);
  EXPECT_EQ(linkPixels, 0);
}

}  // namespace

namespace {

// The links take part in the dialog's keyboard handling as in the sheet,
// whose loop hands every message to IsDialogMessage first: Tab reaches
// them, and Enter on a focused link opens it rather than being taken for
// the dialog's default button (the sheet's OK).
TEST(AboutPageWin, TabReachesTheLinksAndEnterOpensTheFocusedOne) {
  AboutPage about(qvtest::module(), true);
  ASSERT_NE(about.page, nullptr);
  HyperlinkControl* web = qv::ui::win::aboutPageLink(about.page, false);
  HyperlinkControl* mail = qv::ui::win::aboutPageLink(about.page, true);
  ASSERT_TRUE(web && mail);
  for (HyperlinkControl* link : {web, mail})
    EXPECT_TRUE(GetWindowLongPtrA(link->window(), GWL_STYLE) & WS_TABSTOP);
  EXPECT_EQ(GetNextDlgTabItem(about.page, web->window(), FALSE), mail->window());
  EXPECT_EQ(GetNextDlgTabItem(about.page, mail->window(), FALSE), web->window());

  std::vector<std::string> opened;
  for (HyperlinkControl* link : {web, mail})
    link->opener = [&](const std::string& t) {
      opened.push_back(t);
      return true;
    };
  auto press = [&](HWND focus, WPARAM key) {
    SetFocus(focus);
    PostMessageA(focus, WM_KEYDOWN, key, 1);
    PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
    MSG m;
    for (int i = 0; i < 10; ++i) {
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (IsDialogMessageA(about.page, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageA(&m);
      }
      Sleep(5);
    }
  };
  press(web->window(), VK_RETURN);
  press(mail->window(), VK_RETURN);
  EXPECT_EQ(opened, (std::vector<std::string>{web->target(), mail->target()}));
  press(web->window(), VK_TAB);
  EXPECT_EQ(GetFocus(), mail->window());
}

}  // namespace
