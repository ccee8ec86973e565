// The logic of the "Adwares and Spywares" page: the loaded list, the scan,
// cleaning after a confirmed scan and the kill-bit check box.  The dialog
// procedure decodes messages and calls these; everything the user sees goes
// through AdwareView.
#pragma once

#include <optional>
#include <unordered_set>
#include <string>
#include <string_view>
#include <vector>

#include "adware/clean.h"
#include "adware/list_file.h"
#include "adware/page_view.h"
#include "adware/scan.h"
#include "platform/registry.h"

namespace qv::adware {

inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
inline constexpr char kReportCaption[] = "Quillvane - scanning result report";

// The page's introduction with the size of the list actually loaded, rounded
// down to the hundred ("over 1500"); below a hundred, the exact count.
std::string introText(std::size_t recordCount);

// On 64-bit Windows the registry has two views, and 32-bit browsers keep
// their helper objects and kill bits in the 32-bit one: `registry` is then
// the 64-bit view (whose walk from the roots reaches the 32-bit view's keys
// too, under Wow6432Node) and `otherView` the 32-bit view, read by the scan
// and given the kill bits as well.  Elsewhere `otherView` is null.
class AdwarePageLogic {
 public:
  AdwarePageLogic(Registry& registry, AdwareView& view, Registry* otherView = nullptr)
      : registry_(registry), other_(otherView), view_(view) {}

  // WM_INITDIALOG: the list file's bytes (nullopt when it could not be
  // opened: the list stays empty).
  void load(const std::optional<std::string>& fileBytes);
  // Timer 0: fills the list box.
  void fillList();
  // Button 607.
  void scan();
  // Timer 1: cleans what the latest confirmed scan found.
  void clean();
  // clean() in two halves, for a walk that runs elsewhere (another thread):
  // beginClean shows the start and gives the class ids to delete (empty:
  // nothing to walk); finishClean takes the walk's result and reports.
  std::unordered_set<std::string> beginClean();
  void finishClean(WalkResult walk);
  // Check box 257: flips autoBlockOn and writes or removes the kill bits.
  void toggleAutoBlock(int& autoBlockOn);

  const std::vector<ListRecord>& records() const { return records_; }
  const std::vector<RegisteredEntry>& table() const { return table_; }
  int foundCount() const { return static_cast<int>(found_.size()); }
  int scanAnswer() const { return scanAnswer_; }
  const WalkResult& lastWalk() const { return lastWalk_; }

 private:
  Registry& registry_;
  Registry* other_;
  AdwareView& view_;
  std::vector<ListRecord> records_;
  std::vector<RegisteredEntry> table_;
  std::vector<Found> found_;
  int scanAnswer_ = kIdNo;
  WalkResult lastWalk_;
};

}  // namespace qv::adware
