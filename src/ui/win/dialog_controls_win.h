// The controls of one page of the options sheet, over its dialog window:
// each call is one or two messages to a child control.  A missing control
// reads as empty and ignores changes (SendMessage to a null window).
#pragma once

#include <windows.h>

#include "ui/option_pages.h"

namespace qv::ui::win {

class HwndControls final : public DialogControls {
 public:
  HwndControls(HWND page, HINSTANCE resources) : page_(page), resources_(resources) {}

  int check(int id) override;
  void setCheck(int id, int state) override;
  void comboAppend(int id, const std::string& text) override;
  void comboAdd(int id, const std::string& text) override;
  void comboClear(int id) override;
  int comboCount(int id) override;
  void comboSelect(int id, int index) override;
  int comboSelection(int id) override;
  int comboFind(int id, const std::string& text) override;
  std::string text(int id) override;
  void setText(int id, const std::string& text) override;
  void listClear(int id) override;
  int listAdd(int id, const std::string& text) override;
  int listInsert(int id, int index, const std::string& text) override;
  void listReplace(int id, const std::vector<std::string>& texts) override;
  int listCount(int id) override;
  std::string listItem(int id, int index) override;
  int listFind(int id, const std::string& text) override;
  void listDelete(int id, int index) override;
  int listSelection(int id) override;
  void listSelect(int id, int index) override;
  int hotkey(int id) override;
  void setHotkey(int id, int value) override;
  void markChanged() override;
  bool ask(const std::string& text, Ask kind) override;
  std::string loadString(int id) override;

 private:
  LRESULT send(int id, UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendDlgItemMessageA(page_, id, msg, w, l); }
  HWND page_;
  HINSTANCE resources_;
};

}  // namespace qv::ui::win
