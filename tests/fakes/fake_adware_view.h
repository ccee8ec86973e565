// Recording AdwareView: keeps the status lines, list lines and message boxes
// the page logic produced, answers Yes/No boxes with a preset answer.
#pragma once

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
    return answerYes;
  }
  void showOk(const std::string& caption, const std::string& text, bool withIcon, adware::MessageIcon k) override {
    boxes.push_back({caption, text, false, withIcon, k});
  }
  void startCleanTimer() override { ++cleanTimers; }

  bool answerYes = true;
  std::vector<std::string> statuses, lines;
  std::vector<Box> boxes;
  std::string intro;
  int progressHigh = 0, stepSize = 0, pos = 0, steps = 0, cleanTimers = 0;
};

}  // namespace qv::fake
