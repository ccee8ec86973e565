// A dialog as a map of controls by id, for the options pages' logic.  Lists
// and combo boxes named in `sorted` keep their items sorted without regard
// to case, as sorted Windows lists do; insert() bypasses the sorting.
// Answers to message boxes come from a script; every question is recorded.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
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
  std::map<int, Control> controls;
  std::set<int> sorted;
  std::map<int, std::string> strings;  // string table
  std::deque<bool> answers;            // Yes/No answers, in order (default Yes)
  std::vector<std::string> asked;
  int changedMarks = 0;
  int itemReads = 0;

  Control& c(int id) { return controls[id]; }

  int check(int id) override { return c(id).check; }
  void setCheck(int id, int state) override { c(id).check = state; }
  void comboAppend(int id, const std::string& text) override { c(id).items.push_back(text); }
  void comboAdd(int id, const std::string& text) override { listAdd(id, text); }
  void comboClear(int id) override {
    c(id).items.clear();
    c(id).selection = -1;
  }
  int comboCount(int id) override { return static_cast<int>(c(id).items.size()); }
  void comboSelect(int id, int index) override {
    c(id).selection = index >= 0 && index < comboCount(id) ? index : -1;
  }
  int comboSelection(int id) override { return c(id).selection; }
  int comboFind(int id, const std::string& text) override { return listFind(id, text); }
  std::string text(int id) override { return c(id).text; }
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
    return c(id).items.at(static_cast<std::size_t>(index));
  }
  int listFind(int id, const std::string& text) override {
    const auto& items = c(id).items;
    for (std::size_t i = 0; i < items.size(); ++i)
      if (lower(items[i]) == lower(text)) return static_cast<int>(i);
    return -1;
  }
  void listDelete(int id, int index) override { c(id).items.erase(c(id).items.begin() + index); }
  int listSelection(int id) override { return c(id).selection; }
  void listSelect(int id, int index) override { comboSelect(id, index); }
  int hotkey(int id) override { return c(id).hotkey; }
  void setHotkey(int id, int value) override { c(id).hotkey = value; }
  void markChanged() override { ++changedMarks; }
  bool ask(const std::string& text, ui::Ask) override {
    asked.push_back(text);
    if (answers.empty()) return true;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::string loadString(int id) override {
    auto it = strings.find(id);
    return it == strings.end() ? std::string() : it->second;
  }

  std::vector<std::string> items(int id) { return c(id).items; }

 private:
  static std::string lower(std::string s) {
    for (char& ch : s)
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return s;
  }
};

}  // namespace qv::fake
