#include "adware/clean.h"

#include "adware/page_view.h"

#include <optional>

namespace qv::adware {
namespace {

class Walker {
 public:
  Walker(Registry& registry, const std::unordered_set<std::string>& targets, AdwareView* view,
         const std::atomic<bool>* stop)
      : registry_(registry), targets_(targets), view_(view), stop_(stop), pacer_(10000) {}

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
      if (stop_ && stop_->load(std::memory_order_relaxed)) return;
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
  const std::atomic<bool>* stop_;
  ProgressPacer pacer_;
  RegRoot root_ = RegRoot::ClassesRoot;
  std::string label_;
};

}  // namespace

WalkResult cleanRegistry(Registry& registry, const std::unordered_set<std::string>& targets, AdwareView* view,
                         const std::atomic<bool>* stop) {
  Walker w(registry, targets, view, stop);
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
    if (!change(base + rec.classId, rec.classId)) ok = false;
    if (view) pacer.tick([&] { view->progressStep(); });
  }
  return ok;
}

}  // namespace

namespace {

std::optional<std::uint32_t> dwordValue(RegistryKey& key, std::string_view name) {
  RegValue v;
  if (key.query(name, v) != RegStatus::Ok) return std::nullopt;
  return v.asDword();
}

bool valueExists(RegistryKey& key, std::string_view name) {
  RegValue v;
  return key.query(name, v) == RegStatus::Ok;
}

// The product's record for one class id (0 when there is none).
std::uint32_t recordOf(Registry& registry, const std::string& classId) {
  RegOpen rec = registry.open(RegRoot::LocalMachine, kKillBitRecordKey);
  if (rec.status != RegStatus::Ok) return 0;
  return dwordValue(*rec.key, classId).value_or(0);
}

bool setRecord(Registry& registry, const std::string& classId, std::uint32_t record) {
  RegOpen rec = registry.create(RegRoot::LocalMachine, kKillBitRecordKey);
  return rec.status == RegStatus::Ok && rec.key->set(classId, RegValue::dword(record)) == RegStatus::Ok;
}

void dropRecord(Registry& registry, const std::string& classId) {
  RegOpen rec = registry.open(RegRoot::LocalMachine, kKillBitRecordKey);
  if (rec.status == RegStatus::Ok) rec.key->deleteValue(classId);
}

bool isEmptyKey(RegistryKey& key) {
  std::string name;
  return key.enumSubkey(0, name) == RegStatus::NotFound && key.enumValue(0, name) == RegStatus::NotFound;
}

bool writeOne(Registry& registry, const std::string& path, const std::string& classId) {
  std::uint32_t record = recordOf(registry, classId);
  RegOpen k = registry.open(RegRoot::LocalMachine, path);
  if (k.status == RegStatus::NotFound) {
    k = registry.create(RegRoot::LocalMachine, path);
    if (k.status == RegStatus::Ok) record |= kRecordKeyMade;
  }
  if (k.status != RegStatus::Ok) return false;
  const bool present = valueExists(*k.key, kCompatibilityFlags);
  const std::optional<std::uint32_t> flags = dwordValue(*k.key, kCompatibilityFlags);
  if (flags && (*flags & kKillBit)) {
    // Already killed, by this product earlier or by someone else: unchanged.
    return (record & kRecordKeyMade) == 0 || setRecord(registry, classId, record);
  }
  if (present && !flags) return true;  // a value of another kind: not ours to rewrite
  // Recorded before it is written, so that no kill bit of ours is ever left
  // without its record.
  record |= kRecordBitAdded | (present ? 0u : kRecordValueMade);
  if (!setRecord(registry, classId, record)) return false;
  return k.key->set(kCompatibilityFlags, RegValue::dword(flags.value_or(0) | kKillBit)) == RegStatus::Ok;
}

bool removeOne(Registry& registry, const std::string& path, const std::string& classId) {
  const std::uint32_t record = recordOf(registry, classId);
  if (record == 0) return true;  // nothing of ours
  bool ok = true;
  {
    RegOpen k = registry.open(RegRoot::LocalMachine, path);
    if (k.status == RegStatus::NotFound) {
      dropRecord(registry, classId);
      return true;
    }
    if (k.status != RegStatus::Ok) return false;
    const std::optional<std::uint32_t> flags = dwordValue(*k.key, kCompatibilityFlags);
    if ((record & kRecordBitAdded) && flags && (*flags & kKillBit)) {
      const RegStatus st = (record & kRecordValueMade) && *flags == kKillBit
                               ? k.key->deleteValue(kCompatibilityFlags)
                               : k.key->set(kCompatibilityFlags, RegValue::dword(*flags & ~kKillBit));
      ok = st == RegStatus::Ok;
    }
    if (!ok) return false;
    if (!(record & kRecordKeyMade) || !isEmptyKey(*k.key)) {
      dropRecord(registry, classId);
      return true;
    }
  }
  const RegStatus del = registry.deleteKey(RegRoot::LocalMachine, path);
  if (del != RegStatus::Ok && del != RegStatus::NotFound) return false;
  dropRecord(registry, classId);
  return true;
}

}  // namespace

bool hasCompatibilityKey(Registry& registry) {
  return registry.openReadOnly(RegRoot::LocalMachine, kCompatibilityKey).status == RegStatus::Ok;
}

bool writeKillBits(Registry& registry, const std::vector<ListRecord>& records, AdwareView* view) {
  if (view) {
    view->setStatus("add adwares in blocking list...");
    view->progressRange(0, 116);
    view->progressStepSize(1);
    view->progressPos(0);
  }
  const bool ok = changeKillBits(registry, records, view, [&](const std::string& path, const std::string& id) {
    return writeOne(registry, path, id);
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
  const bool ok = changeKillBits(registry, records, view, [&](const std::string& path, const std::string& id) {
    return removeOne(registry, path, id);
  });
  if (view) {
    view->setStatus(ok ? "ready" : kNeedsAdministrator);
    view->progressPos(0);
  }
  return ok;
}

}  // namespace qv::adware
