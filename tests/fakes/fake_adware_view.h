// Recording AdwareView: keeps the status lines, list lines and message boxes
// the page logic produced.  Yes/No boxes take their answers from a script,
// in order; a question nobody scripted fails the test (and is answered No).
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "adware/page_view.h"

namespace qv::fake {

class FakeAdwareView final : public adware::AdwareView {
 public:
  struct Box {
    std::string caption, text;
    bool yesNo = false;
    bool icon = false;
    adware::MessageIcon kind = adware::MessageIcon::Information;
  };

  void setStatus(const std::string& text) override { statuses.push_back(text); }
  void progressRange(int, int high) override { progressHigh = high; }
  void progressStepSize(int step) override { stepSize = step; }
  void progressPos(int p) override { pos = p; }
  void progressStep() override { ++steps; }
  void addListLine(const std::string& line) override { lines.push_back(line); }
  void setIntro(const std::string& text) override { intro = text; }
  bool askYesNo(const std::string& caption, const std::string& text) override {
    boxes.push_back({caption, text, true});
    if (answers.empty()) {
      ADD_FAILURE() << "unscripted question: " << caption;
      return false;
    }
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  void showOk(const std::string& caption, const std::string& text, bool withIcon, adware::MessageIcon k) override {
    boxes.push_back({caption, text, false, withIcon, k});
  }
  void startCleanTimer() override { ++cleanTimers; }

  std::deque<bool> answers;  // Yes/No answers, in order
  std::vector<std::string> statuses, lines;
  std::vector<Box> boxes;
  std::string intro;
  int progressHigh = 0, stepSize = 0, pos = 0, steps = 0, cleanTimers = 0;
};

}  // namespace qv::fake
