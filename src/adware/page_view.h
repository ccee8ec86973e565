// What the adware page's logic needs of its dialog: the status line (609),
// the progress bar (608), the list box (602), the introduction text, message
// boxes and the cleaning timer.
#pragma once

#include <string>

namespace qv::adware {

enum class MessageIcon { Information, Warning };

class AdwareView {
 public:
  virtual ~AdwareView() = default;
  virtual void setStatus(const std::string& text) = 0;
  virtual void progressRange(int low, int high) = 0;
  virtual void progressStepSize(int step) = 0;
  virtual void progressPos(int pos) = 0;
  virtual void progressStep() = 0;
  virtual void addListLine(const std::string& line) = 0;
  virtual void setIntro(const std::string& text) = 0;
  // Yes/No message box on the page; true for Yes.
  virtual bool askYesNo(const std::string& caption, const std::string& text) = 0;
  // OK message box on the page (no icon when `icon` is false).
  virtual void showOk(const std::string& caption, const std::string& text, bool icon, MessageIcon kind) = 0;
  // Starts timer 1 (50 ms); the page's clean() runs when it fires.
  virtual void startCleanTimer() = 0;
};

// Counts steps as the page's progress bar moves: after each item, one step
// when the count before it exceeds the mark, then the mark moves on by
// `every` (the first step comes after the second item).
class ProgressPacer {
 public:
  explicit ProgressPacer(long every) : every_(every) {}
  template <class F>
  void tick(F&& onStep) {
    if (count_++ > mark_) {
      mark_ += every_;
      onStep();
    }
  }
  long count() const { return count_; }

 private:
  long every_;
  long count_ = 0;
  long mark_ = 0;
};

}  // namespace qv::adware
