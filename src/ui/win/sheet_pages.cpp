#include "ui/win/sheet_pages.h"

#include <commctrl.h>
#include <prsht.h>

#include <atomic>

namespace qv::ui::win {
namespace {
std::atomic<int> g_startPage{0};

// Moves `r` inside `area` (keeping its size where it fits).
void keepInside(RECT& r, const RECT& area) {
  const LONG w = r.right - r.left, h = r.bottom - r.top;
  if (r.right > area.right) r.left = area.right - w;
  if (r.bottom > area.bottom) r.top = area.bottom - h;
  if (r.left < area.left) r.left = area.left;
  if (r.top < area.top) r.top = area.top;
  r.right = r.left + w;
  r.bottom = r.top + h;
}
}  // namespace

int startPageIndex() { return g_startPage.load(); }
void setStartPageIndex(int index) { g_startPage.store(index); }

void centreSheetIfStartPage(HWND page) {
  HWND sheet = GetParent(page);
  if (!sheet) return;
  HWND tab = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
  if (!tab || static_cast<int>(SendMessageA(tab, TCM_GETCURSEL, 0, 0)) != startPageIndex()) return;

  RECT area{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  RECT self{};
  GetWindowRect(sheet, &self);
  RECT over = area;
  HWND owner = GetWindow(sheet, GW_OWNER);
  const bool child = (GetWindowLongPtrA(sheet, GWL_STYLE) & WS_CHILD) != 0;
  if (!child && owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &over);
  const LONG w = self.right - self.left, h = self.bottom - self.top;
  RECT r{over.left + ((over.right - over.left) - w) / 2, over.top + ((over.bottom - over.top) - h) / 2, 0, 0};
  r.right = r.left + w;
  r.bottom = r.top + h;
  keepInside(r, area);
  SetWindowPos(sheet, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace qv::ui::win
