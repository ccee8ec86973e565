#include "ui/win/dialog_controls_win.h"

#include <commctrl.h>
#include <prsht.h>

#include <vector>

#include "platform/win/messages_win.h"

namespace qv::ui::win {
namespace {

LPARAM textParam(const std::string& s) { return reinterpret_cast<LPARAM>(s.c_str()); }

int asIndex(LRESULT r) { return r < 0 ? -1 : static_cast<int>(r); }

}  // namespace

int HwndControls::check(int id) { return static_cast<int>(send(id, BM_GETCHECK)); }
void HwndControls::setCheck(int id, int state) { send(id, BM_SETCHECK, static_cast<WPARAM>(state)); }

void HwndControls::comboAppend(int id, const std::string& text) {
  send(id, CB_INSERTSTRING, static_cast<WPARAM>(-1), textParam(text));
}
void HwndControls::comboAdd(int id, const std::string& text) { send(id, CB_ADDSTRING, 0, textParam(text)); }

void HwndControls::comboClear(int id) {
  // CB_RESETCONTENT empties the edit field too; only the list is meant.
  const std::string kept = text(id);
  send(id, CB_RESETCONTENT);
  setText(id, kept);
}

int HwndControls::comboCount(int id) { return asIndex(send(id, CB_GETCOUNT)); }
void HwndControls::comboSelect(int id, int index) { send(id, CB_SETCURSEL, static_cast<WPARAM>(index)); }
int HwndControls::comboSelection(int id) { return asIndex(send(id, CB_GETCURSEL)); }
int HwndControls::comboFind(int id, const std::string& text) {
  return asIndex(send(id, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), textParam(text)));
}

std::string HwndControls::text(int id) {
  HWND w = GetDlgItem(page_, id);
  if (!w) return {};
  const int n = GetWindowTextLengthA(w);
  std::vector<char> buf(static_cast<std::size_t>(n > 0 ? n : 0) + 1, '\0');
  const int got = GetWindowTextA(w, buf.data(), static_cast<int>(buf.size()));
  return std::string(buf.data(), static_cast<std::size_t>(got > 0 ? got : 0));
}

void HwndControls::setText(int id, const std::string& text) {
  SetDlgItemTextA(page_, id, text.c_str());
  send(id, CB_SETEDITSEL, 0, MAKELPARAM(-1, 0));  // nothing selected (combo boxes only)
}

void HwndControls::listClear(int id) { send(id, LB_RESETCONTENT); }
int HwndControls::listAdd(int id, const std::string& text) { return asIndex(send(id, LB_ADDSTRING, 0, textParam(text))); }
int HwndControls::listInsert(int id, int index, const std::string& text) {
  return asIndex(send(id, LB_INSERTSTRING, static_cast<WPARAM>(index), textParam(text)));
}
void HwndControls::listReplace(int id, const std::vector<std::string>& texts) {
  // A large list is filled without drawing each step.
  HWND list = GetDlgItem(page_, id);
  if (!list) return;
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  std::size_t bytes = 0;
  for (const std::string& t : texts) bytes += t.size() + 1;
  SendMessageA(list, LB_INITSTORAGE, texts.size(), static_cast<LPARAM>(bytes));
  for (const std::string& t : texts) SendMessageA(list, LB_ADDSTRING, 0, textParam(t));
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

int HwndControls::listCount(int id) { return asIndex(send(id, LB_GETCOUNT)); }

std::string HwndControls::listItem(int id, int index) {
  const LRESULT n = send(id, LB_GETTEXTLEN, static_cast<WPARAM>(index));
  if (n <= 0) return {};
  std::vector<char> buf(static_cast<std::size_t>(n) + 1, '\0');
  const LRESULT got = send(id, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf.data()));
  return got > 0 ? std::string(buf.data(), static_cast<std::size_t>(got)) : std::string();
}

int HwndControls::listFind(int id, const std::string& text) {
  return asIndex(send(id, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), textParam(text)));
}
void HwndControls::listDelete(int id, int index) { send(id, LB_DELETESTRING, static_cast<WPARAM>(index)); }
int HwndControls::listSelection(int id) { return asIndex(send(id, LB_GETCURSEL)); }
void HwndControls::listSelect(int id, int index) { send(id, LB_SETCURSEL, static_cast<WPARAM>(index)); }

int HwndControls::hotkey(int id) { return static_cast<int>(send(id, HKM_GETHOTKEY) & 0xFFFF); }
void HwndControls::setHotkey(int id, int value) { send(id, HKM_SETHOTKEY, static_cast<WPARAM>(value & 0xFFFF)); }

void HwndControls::markChanged() { SendMessageA(GetParent(page_), PSM_CHANGED, reinterpret_cast<WPARAM>(page_), 0); }

bool HwndControls::ask(const std::string& text, Ask kind) {
  const UINT style = kind == Ask::YesNo ? (MB_YESNO | MB_ICONQUESTION) : (MB_OK | MB_ICONINFORMATION);
  const int answer = MessageBoxA(page_, text.c_str(), "Quillvane", style);
  return answer == IDYES || answer == IDOK;
}

std::string HwndControls::loadString(int id) { return qv::win::loadString(resources_, id); }

}  // namespace qv::ui::win
