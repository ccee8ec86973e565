// A dialog as a map of controls by id, for the options pages' logic.  Lists
// and combo boxes named in `sorted` keep their items sorted without regard
// to case, as sorted Windows lists do; insert() bypasses the sorting.
// A control exists when the page's template names it (the constructor), the
// test scripts it (c()) or a write creates it; reading any other fails the test, as does a
// question that the script has no answer for.  Every question is recorded.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ui/option_pages.h"

namespace qv::fake {

class FakeDialog final : public ui::DialogControls {
 public:
  struct Control {
    int check = 0;
    std::string text;
    std::vector<std::string> items;
    int selection = -1;
    int hotkey = 0;
  };
  FakeDialog() = default;
  // A dialog with the controls of a page's template.
  explicit FakeDialog(std::initializer_list<int> templateIds) {
    for (int id : templateIds) controls[id];
  }

  std::map<int, Control> controls;
  std::set<int> sorted;
  std::map<int, std::string> strings;  // string table
  std::deque<bool> answers;            // Yes/No answers, in order
  std::vector<std::string> asked;
  int changedMarks = 0;
  int itemReads = 0;

  // The test's own access: scripts a control, creating it.
  Control& c(int id) { return controls[id]; }

  int check(int id) override { return read(id).check; }
  void setCheck(int id, int state) override { c(id).check = state; }
  void comboAppend(int id, const std::string& text) override { c(id).items.push_back(text); }
  void comboAdd(int id, const std::string& text) override { listAdd(id, text); }
  void comboClear(int id) override {
    c(id).items.clear();
    c(id).selection = -1;
  }
  int comboCount(int id) override { return static_cast<int>(read(id).items.size()); }
  void comboSelect(int id, int index) override {
    c(id).selection = index >= 0 && index < comboCount(id) ? index : -1;
  }
  int comboSelection(int id) override { return read(id).selection; }
  int comboFind(int id, const std::string& text) override { return listFind(id, text); }
  std::string text(int id) override { return read(id).text; }
  void setText(int id, const std::string& text) override { c(id).text = text; }
  void listClear(int id) override { comboClear(id); }
  int listAdd(int id, const std::string& text) override {
    auto& items = c(id).items;
    auto at = items.end();
    if (sorted.count(id))
      at = std::upper_bound(items.begin(), items.end(), text,
                            [](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
    const auto index = at - items.begin();
    items.insert(at, text);
    return static_cast<int>(index);
  }
  int listInsert(int id, int index, const std::string& text) override {
    auto& items = c(id).items;
    items.insert(items.begin() + index, text);
    return index;
  }
  int listCount(int id) override { return comboCount(id); }
  std::string listItem(int id, int index) override {
    ++itemReads;
    return read(id).items.at(static_cast<std::size_t>(index));
  }
  int listFind(int id, const std::string& text) override {
    const auto& items = read(id).items;
    for (std::size_t i = 0; i < items.size(); ++i)
      if (lower(items[i]) == lower(text)) return static_cast<int>(i);
    return -1;
  }
  void listDelete(int id, int index) override { read(id).items.erase(read(id).items.begin() + index); }
  int listSelection(int id) override { return read(id).selection; }
  void listSelect(int id, int index) override { comboSelect(id, index); }
  int hotkey(int id) override { return read(id).hotkey; }
  void setHotkey(int id, int value) override { c(id).hotkey = value; }
  void markChanged() override { ++changedMarks; }
  bool ask(const std::string& text, ui::Ask kind) override {
    asked.push_back(text);
    if (kind == ui::Ask::Info) return true;  // an OK box: nothing to answer
    if (answers.empty()) {
      ADD_FAILURE() << "unscripted question: " << text;
      return false;
    }
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::string loadString(int id) override {
    auto it = strings.find(id);
    return it == strings.end() ? std::string() : it->second;
  }

  std::vector<std::string> items(int id) { return read(id).items; }

 private:
  Control& read(int id) {
    auto it = controls.find(id);
    if (it == controls.end()) ADD_FAILURE() << "read of unscripted control " << id;
    return controls[id];
  }
  static std::string lower(std::string s) {
    for (char& ch : s)
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return s;
  }
};

}  // namespace qv::fake
