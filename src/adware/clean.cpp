#include "adware/clean.h"

#include "adware/page_view.h"

namespace qv::adware {
namespace {

class Walker {
 public:
  Walker(Registry& registry, const std::unordered_set<std::string>& targets, AdwareView* view)
      : registry_(registry), targets_(targets), view_(view), pacer_(10000) {}

  void walkRoot(RegRoot root, const char* label) {
    root_ = root;
    label_ = label;
    walk("");
  }
  WalkResult result;

 private:
  bool isTarget(const std::string& name) const {
    if (name.size() < 38 || name[0] != '{' || name[37] != '}') return false;
    return targets_.count(lowerAscii(name)) != 0;
  }

  void walk(const std::string& path) {
    RegOpen key = registry_.openReadOnly(root_, path);
    if (key.status != RegStatus::Ok) return;
    std::string name, previous;
    bool again = false;  // the index is read again after a deletion
    for (std::uint32_t i = 0;;) {
      if (key.key->enumSubkey(i, name) != RegStatus::Ok) break;
      // A deletion that reported success but left the key in place must not
      // keep the walk on one index.
      if (again && name == previous) {
        ++i;
        again = false;
        continue;
      }
      again = false;
      if (name == kCompatibilityName) {
        ++i;
        continue;
      }
      const std::string sub = path.empty() ? name : path + "\\" + name;
      const bool target = isTarget(name);
      ++result.keysVisited;
      if (view_) pacer_.tick([&] {
        view_->setStatus(label_ + name);
        view_->progressStep();
      });
      if (!target) {
        walk(sub);
        ++i;
        continue;
      }
      const RegStatus st = registry_.deleteTree(root_, sub);
      if (st == RegStatus::Ok) {
        result.deleted.push_back(label_ + sub);
        previous = name;
        again = true;
      } else {
        result.failed.push_back(label_ + sub);
        ++i;
      }
    }
  }

  Registry& registry_;
  const std::unordered_set<std::string>& targets_;
  AdwareView* view_;
  ProgressPacer pacer_;
  RegRoot root_ = RegRoot::ClassesRoot;
  std::string label_;
};

}  // namespace

WalkResult cleanRegistry(Registry& registry, const std::unordered_set<std::string>& targets, AdwareView* view) {
  Walker w(registry, targets, view);
  w.walkRoot(RegRoot::ClassesRoot, "\\HKEY_CLASSES_ROOT\\");
  w.walkRoot(RegRoot::CurrentUser, "\\HKEY_CURRENT_USER\\");
  w.walkRoot(RegRoot::LocalMachine, "\\HKEY_LOCAL_MACHINE\\");
  return std::move(w.result);
}

namespace {

// Runs `change` on the compatibility key of each record's class, pacing the
// progress bar.  True when every change succeeded; with the compatibility
// key missing nothing is changed, and that is a failure unless there was
// nothing to change.
template <class Change>
bool changeKillBits(Registry& registry, const std::vector<ListRecord>& records, AdwareView* view, Change&& change) {
  if (registry.open(RegRoot::LocalMachine, kCompatibilityKey).status != RegStatus::Ok) return records.empty();
  bool ok = true;
  ProgressPacer pacer(50);
  const std::string base = std::string(kCompatibilityKey) + "\\";
  for (const ListRecord& rec : records) {
    if (!change(base + rec.classId)) ok = false;
    if (view) pacer.tick([&] { view->progressStep(); });
  }
  return ok;
}

}  // namespace

bool writeKillBits(Registry& registry, const std::vector<ListRecord>& records, AdwareView* view) {
  if (view) {
    view->setStatus("add adwares in blocking list...");
    view->progressRange(0, 116);
    view->progressStepSize(1);
    view->progressPos(0);
  }
  const bool ok = changeKillBits(registry, records, view, [&](const std::string& path) {
    const RegStatus del = registry.deleteKey(RegRoot::LocalMachine, path);
    bool done = del == RegStatus::Ok || del == RegStatus::NotFound || del == RegStatus::NotEmpty;
    RegOpen k = registry.create(RegRoot::LocalMachine, path);
    if (k.status != RegStatus::Ok || k.key->set(kCompatibilityFlags, RegValue::dword(kKillBit)) != RegStatus::Ok)
      done = false;
    return done;
  });
  if (view) {
    view->progressPos(116);
    view->setStatus(ok ? "ready" : kNeedsAdministrator);
    view->progressPos(0);
  }
  return ok;
}

bool removeKillBits(Registry& registry, const std::vector<ListRecord>& records, AdwareView* view) {
  if (view) {
    view->setStatus("remove adwares from blocking list...");
    view->progressRange(0, 116);
    view->progressStepSize(-1);
    view->progressPos(116);
  }
  const bool ok = changeKillBits(registry, records, view, [&](const std::string& path) {
    const RegStatus del = registry.deleteKey(RegRoot::LocalMachine, path);
    return del == RegStatus::Ok || del == RegStatus::NotFound;
  });
  if (view) {
    view->setStatus(ok ? "ready" : kNeedsAdministrator);
    view->progressPos(0);
  }
  return ok;
}

}  // namespace qv::adware
