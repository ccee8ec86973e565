#include "adware/scan.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "adware/page_view.h"

namespace qv::adware {
namespace {

constexpr std::size_t kMaxValueBytes = 260;

// The default value of an open key when it is a string of at most 260 bytes
// ending in its NUL; "" otherwise.
std::string defaultString(RegistryKey& key) {
  RegValue v;
  if (key.query("", v) != RegStatus::Ok) return {};
  if (v.type != RegType::Sz && v.type != RegType::ExpandSz) return {};
  if (v.data.empty() || v.data.size() > kMaxValueBytes || v.data.back() != 0) return {};
  const auto nul = std::find(v.data.begin(), v.data.end(), std::uint8_t{0});
  return std::string(v.data.begin(), nul);
}

// The report text with the whole-text rules of the scan (lower-casing,
// removal of ".dll" and of " class") applied only where they can still
// change something: the text before each mark is known to be free of what
// that rule removes, so every rule costs the length of the new text only,
// and the result equals applying it to the whole text each time.
class Report {
 public:
  void append(std::string_view s) {
    dirty(text_.size());
    text_.append(s);
  }
  void lowerAll() {
    if (lowerFrom_ < text_.size()) {
      dirty(lowerFrom_);
      lowerInPlace(text_, lowerFrom_);
    }
    lowerFrom_ = text_.size();
  }
  void removeDll() {
    const std::size_t at = removeAll(text_, ".dll", std::min(dllFrom_, text_.size()));
    dllFrom_ = text_.size();
    if (at != std::string::npos) classFrom_ = std::min(classFrom_, back(at, 5));
    lowerFrom_ = std::min(lowerFrom_, text_.size());
  }
  void removeClass() {
    const std::size_t at = removeAll(text_, " class", std::min(classFrom_, text_.size()));
    classFrom_ = text_.size();
    if (at != std::string::npos) dllFrom_ = std::min(dllFrom_, back(at, 3));
    lowerFrom_ = std::min(lowerFrom_, text_.size());
  }
  std::string take() { return std::move(text_); }

 private:
  static std::size_t back(std::size_t at, std::size_t by) { return at > by ? at - by : 0; }
  // Text changed from `at` on: an occurrence may now start up to a
  // pattern's length minus one before it.
  void dirty(std::size_t at) {
    dllFrom_ = std::min(dllFrom_, back(at, 3));
    classFrom_ = std::min(classFrom_, back(at, 5));
  }
  std::string text_;
  std::size_t lowerFrom_ = 0, dllFrom_ = 0, classFrom_ = 0;
};

}  // namespace

std::vector<RegisteredEntry> enumerateRegistered(Registry& registry, Registry* other) {
  std::vector<RegisteredEntry> table;
  std::unordered_set<std::string> seen;
  auto add = [&](Registry& from, bool otherView) {
    RegOpen key = from.openReadOnly(RegRoot::LocalMachine, kHelperObjectsKey);
    if (key.status != RegStatus::Ok) return;
    std::string name;
    for (std::uint32_t i = 0; table.size() < kMaxRegistered; ++i) {
      if (key.key->enumSubkey(i, name) != RegStatus::Ok) break;
      if (name.empty()) break;  // an empty name would end the table
      RegisteredEntry e{name.substr(0, kMaxRegisteredName), false, otherView};
      if (!otherView) {
        if (other) seen.insert(lowerAscii(e.name));
      } else if (seen.count(lowerAscii(e.name))) {
        continue;
      }
      table.push_back(std::move(e));
    }
  };
  add(registry, false);
  if (other) add(*other, true);
  return table;
}

ScanResult scanTable(Registry& registry, const std::vector<ListRecord>& records,
                     std::vector<RegisteredEntry> table, AdwareView* view, Registry* other) {
  ScanResult result;
  // Entries by lower-cased name, each list in table order (names cut to 38
  // characters can repeat).
  std::unordered_map<std::string, std::vector<std::size_t>> byName;
  byName.reserve(table.size() * 2);
  for (std::size_t i = 0; i < table.size(); ++i) byName[lowerAscii(table[i].name)].push_back(i);

  Report report;
  ProgressPacer pacer(50);
  std::string key;
  for (std::size_t r = 0; r < records.size(); ++r) {
    const ListRecord& rec = records[r];
    auto hit = byName.find(lowerAscii(rec.classId));
    if (hit != byName.end()) {
      for (std::size_t e : hit->second) {
        if (table[e].matched) continue;
        result.found.push_back({e, r});
        const std::string number = std::to_string(result.found.size());
        key = "CLSID\\" + lowerAscii(rec.classId);
        Registry& where = table[e].otherView && other ? *other : registry;
        RegOpen cls = where.openReadOnly(RegRoot::ClassesRoot, key);
        report.append(number + ". adware name: ");
        if (cls.status == RegStatus::Ok) {
          report.append(defaultString(*cls.key));
        } else {
          report.append(rec.name);
          report.lowerAll();
          report.removeDll();
        }
        cls.key.reset();
        RegOpen server = where.openReadOnly(RegRoot::ClassesRoot, key + "\\InprocServer32");
        report.append("\r\n   Path: ");
        report.append(server.status == RegStatus::Ok ? defaultString(*server.key) : std::string("stub"));
        report.lowerAll();
        report.removeClass();
        report.append("\r\n\r\n");
        table[e].matched = true;
      }
    }
    if (view) {
      view->setStatus("Scanning for " + rec.name + " ...");
      pacer.tick([&] { view->progressStep(); });
    }
  }
  report.append("\r\n\r\nQuillvane found " + std::to_string(result.found.size()) +
                " adwares(spwares) in this scanning period,\r\nselect Yes to clean those Ads, No to cancel.");
  result.report = report.take();
  result.table = std::move(table);
  return result;
}

}  // namespace qv::adware
