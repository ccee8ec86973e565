#include "adware/page.h"

#include <algorithm>
#include <set>

namespace qv::adware {

std::string introText(std::size_t n) {
  const std::string count = n >= 100 ? "over " + std::to_string(n / 100 * 100) : std::to_string(n);
  return "Quillvane can block " + count +
         " adwares(spywares) which are installed automaticlly when user visites some websites.";
}

void AdwarePageLogic::load(const std::optional<std::string>& fileBytes) {
  records_ = fileBytes ? parseList(*fileBytes) : std::vector<ListRecord>{};
  view_.setIntro(introText(records_.size()));
}

void AdwarePageLogic::fillList() {
  view_.setStatus("Loading Adware list ...");
  view_.progressRange(0, 58);
  view_.progressStepSize(1);
  view_.progressPos(0);
  ProgressPacer pacer(100);
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (!records_[i].name.empty()) view_.addListLine(listLine(i + 1, records_[i].name));
    pacer.tick([&] { view_.progressStep(); });
  }
  view_.progressPos(58);
  view_.setStatus("ready");
  view_.progressPos(0);
}

void AdwarePageLogic::scan() {
  view_.setStatus("Scaning adwares ...");
  view_.progressRange(0, 116);
  view_.progressStepSize(1);
  view_.progressPos(0);
  // Each scan starts from what is registered now: marks of an earlier scan
  // never carry over into this scan's cleaning.
  ScanResult r = scanTable(registry_, records_, enumerateRegistered(registry_, other_), &view_, other_);
  table_ = std::move(r.table);
  found_ = std::move(r.found);
  view_.progressPos(116);
  view_.setStatus("ready");
  if (!found_.empty()) {
    scanAnswer_ = view_.askYesNo(kReportCaption, r.report) ? kIdYes : kIdNo;
  } else {
    scanAnswer_ = kIdNo;
    view_.showOk(kReportCaption, "Congradulations! \n\nNo adware or spyware was found in your computer.", false,
                 MessageIcon::Information);
  }
  if (scanAnswer_ == kIdYes) view_.startCleanTimer();
  view_.progressPos(0);
}

void AdwarePageLogic::clean() {
  const std::unordered_set<std::string> targets = beginClean();
  finishClean(targets.empty() ? WalkResult{} : cleanRegistry(registry_, targets, &view_));
}

std::unordered_set<std::string> AdwarePageLogic::beginClean() {
  view_.setStatus("Clean adwares ...");
  view_.progressRange(0, 100);
  view_.progressStepSize(1);
  view_.progressPos(0);
  std::unordered_set<std::string> targets;
  if (scanAnswer_ == kIdYes)
    for (const RegisteredEntry& e : table_)
      if (e.matched) targets.insert(lowerAscii(e.name));
  return targets;
}

void AdwarePageLogic::finishClean(WalkResult walk) {
  lastWalk_ = std::move(walk);
  view_.progressPos(100);

  if (!found_.empty() && scanAnswer_ == kIdYes) {
    // An add-on counts as cleaned when keys of it were deleted and none of
    // its keys resisted; the others are named.
    auto keyName = [](const std::string& path) { return lowerAscii(path.substr(path.rfind('\\') + 1)); };
    std::set<std::string> deleted, failed;
    for (const auto& p : lastWalk_.deleted) deleted.insert(keyName(p));
    for (const auto& p : lastWalk_.failed) failed.insert(keyName(p));
    int cleaned = 0;
    std::string notRemoved;
    for (const Found& f : found_) {
      const std::string id = lowerAscii(table_[f.entry].name);
      if (failed.count(id)) {
        notRemoved += (notRemoved.empty() ? "" : ", ") + records_[f.record].name;
      } else if (deleted.count(id)) {
        ++cleaned;
      }
    }
    std::string text = "Quillvane has cleaned " + std::to_string(cleaned) + " adwares.";
    if (!notRemoved.empty())
      text += "\r\n\r\nThese adwares could not be removed: " + notRemoved +
              ".\r\nRemoving them needs administrator rights: start Internet Explorer as administrator, "
              "then scan and clean again.";
    view_.showOk("Quillvane", text, true, notRemoved.empty() ? MessageIcon::Information : MessageIcon::Warning);
  }
  // Cleaning is one-shot per confirmed scan.
  scanAnswer_ = kIdNo;
  view_.setStatus("ready");
  view_.progressPos(0);
}

void AdwarePageLogic::toggleAutoBlock(int& autoBlockOn) {
  // Each registry view with the browser's compatibility key has a browser
  // of that bitness whose controls a kill bit stops, whichever bitness this
  // browser is.  With the key in neither view nothing can be written, and
  // the status line says so.
  const bool on = autoBlockOn == 0;
  autoBlockOn = on ? 1 : 0;
  auto change = [&](Registry& r) {
    return on ? writeKillBits(r, records_, &view_) : removeKillBits(r, records_, &view_);
  };
  const bool here = hasCompatibilityKey(registry_);
  const bool there = other_ && hasCompatibilityKey(*other_);
  if (here != there || !here) {
    change(there ? *other_ : registry_);  // one view (or none): it tells its own outcome
    return;
  }
  const bool ok = change(registry_);
  if (!change(*other_) || !ok) view_.setStatus(kNeedsAdministrator);
}

}  // namespace qv::adware
