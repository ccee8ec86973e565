// The adware page's logic over the in-memory registry: scan and report,
// cleaning walk, kill bits.
#include <gtest/gtest.h>

#include <random>

#include "adware/page.h"
#include "fakes/fake_adware_view.h"
#include "fakes/fake_registry.h"

namespace qv::adware {
namespace {

using fake::FakeAdwareView;
using fake::FakeRegistry;
constexpr RegRoot HKCR = RegRoot::ClassesRoot, HKCU = RegRoot::CurrentUser, HKLM = RegRoot::LocalMachine;
const std::string kBho = std::string(kHelperObjectsKey) + "\\";
const std::string kCompat = std::string(kCompatibilityKey) + "\\";

const std::string A = "{AAAAAAAA-1111-2222-3333-444444444444}";
const std::string B = "{BBBBBBBB-1111-2222-3333-444444444444}";
const std::string C = "{CCCCCCCC-1111-2222-3333-444444444444}";
const std::string Legit = "{0D0D0D0D-1111-2222-3333-444444444444}";

std::string lower(std::string s) { return lowerAscii(s); }

// The page with a list file holding `records`.
struct Page {
  FakeRegistry reg;
  FakeAdwareView view;
  AdwarePageLogic logic{reg, view};
  void load(const std::vector<ListRecord>& records) { logic.load(encodeList(records)); }
  void registerBho(const std::string& clsid) { reg.create(HKLM, kBho + clsid); }
  void registerClass(const std::string& clsid, const char* name, const char* path) {
    reg.put(HKCR, "CLSID\\" + clsid, "", RegValue::string(name));
    reg.put(HKCR, "CLSID\\" + clsid + "\\InprocServer32", "", RegValue::string(path));
  }
  const std::string& report() { return view.boxes.at(0).text; }
};

TEST(AdwareScan, MatchesIgnoringCaseAndReportsEachEntryOnce) {
  Page p;
  p.load({{lower(A), "Alpha.dll"}, {lower(A), "Alpha again"}, {B, "Beta"}});
  p.registerBho(A);  // upper-case key name, lower-case list entry
  p.registerClass(lower(A), "Alpha Helper Class", "C:\\Program Files\\Alpha\\ALPHA.DLL");
  p.view.answers = {false};  // only the report is read
  p.logic.scan();
  ASSERT_EQ(p.view.boxes.size(), 1u);
  EXPECT_TRUE(p.view.boxes[0].yesNo);
  EXPECT_EQ(p.view.boxes[0].caption, "Quillvane - scanning result report");
  EXPECT_EQ(p.report(),
            "1. adware name: alpha helper\r\n   path: c:\\program files\\alpha\\alpha.dll\r\n\r\n"
            "\r\n\r\nQuillvane found 1 adwares(spwares) in this scanning period,\r\n"
            "select Yes to clean those Ads, No to cancel.");
  EXPECT_EQ(p.logic.foundCount(), 1);
}

TEST(AdwareScan, MissingClassKeyReportsTheListNameAndStub) {
  Page p;
  p.load({{A, "Alpha Toolbar.DLL"}, {B, "Beta"}});
  p.registerBho(A);
  p.registerBho(B);
  p.registerClass(B, "Beta Class", "C:\\beta.dll");
  p.view.answers = {false};  // only the report is read
  p.logic.scan();
  // The missing class key's line lower-cases and removes ".dll" from the
  // whole text so far; the path of the later match keeps its ".dll".
  EXPECT_EQ(p.report().substr(0, p.report().find("\r\n\r\n\r\n")),
            "1. adware name: alpha toolbar\r\n   path: stub\r\n\r\n"
            "2. adware name: beta\r\n   path: c:\\beta.dll");
}

TEST(AdwareScan, ClassKeysAreReadWithoutAskingForWriteAccess) {
  Page p;
  p.load({{A, "Alpha"}});
  p.registerBho(A);
  p.registerClass(A, "Alpha Bar", "C:\\a.dll");
  p.reg.failWriteOpen(HKCR, "CLSID\\" + lower(A), RegStatus::AccessDenied);
  p.reg.failWriteOpen(HKCR, "CLSID\\" + lower(A) + "\\InprocServer32", RegStatus::AccessDenied);
  p.view.answers = {false};  // only the report is read
  p.logic.scan();
  EXPECT_EQ(p.report().substr(0, 44), "1. adware name: alpha bar\r\n   path: c:\\a.dll");
}

TEST(AdwareScan, AnswersAndEmptyCasesDecideTheCleaning) {
  struct Case {
    const char* what;
    bool listed, registered, yes;
    int timers;
  } cases[] = {{"found, Yes", true, true, true, 1},
               {"found, No", true, true, false, 0},
               {"nothing registered", true, false, true, 0},
               {"no list file", false, true, true, 0}};
  for (const Case& c : cases) {
    Page p;
    if (c.listed) {
      p.load({{A, "Alpha"}});
    } else {
      p.logic.load(std::nullopt);
    }
    if (c.registered) p.registerBho(A);
    if (c.listed && c.registered) p.view.answers = {c.yes};
    p.logic.scan();
    EXPECT_EQ(p.view.cleanTimers, c.timers) << c.what;
    ASSERT_EQ(p.view.boxes.size(), 1u) << c.what;
    if (!c.listed || !c.registered) {
      EXPECT_FALSE(p.view.boxes[0].yesNo);
      EXPECT_EQ(p.view.boxes[0].text, "Congradulations! \n\nNo adware or spyware was found in your computer.");
    }
    EXPECT_EQ(p.logic.scanAnswer(), c.timers ? kIdYes : kIdNo) << c.what;
    p.logic.clean();  // a stray timer after No cleans nothing
    if (c.registered && !c.timers) {
      EXPECT_TRUE(p.reg.exists(HKLM, kBho + A)) << c.what;
    }
  }
}

TEST(AdwareScan, ProgressAndStatusLines) {
  Page p;
  std::vector<ListRecord> list;
  for (int i = 0; i < 5800; ++i) list.push_back({"{" + std::to_string(i) + "}", "n" + std::to_string(i)});
  p.load(list);
  EXPECT_EQ(p.view.intro.find("over 5800"), 20u);
  p.logic.fillList();
  EXPECT_EQ(p.view.lines.size(), 5800u);
  EXPECT_EQ(p.view.steps, 58);
  EXPECT_EQ(p.view.statuses.front(), "Loading Adware list ...");
  EXPECT_EQ(p.view.statuses.back(), "ready");
  p.view.steps = 0;
  p.view.statuses.clear();
  p.logic.scan();
  EXPECT_EQ(p.view.steps, 116);
  EXPECT_EQ(p.view.statuses.front(), "Scaning adwares ...");
  EXPECT_EQ(p.view.statuses[1], "Scanning for n0 ...");
  EXPECT_EQ(p.view.statuses.back(), "ready");
  EXPECT_EQ(p.view.pos, 0);
}

TEST(AdwareScan, MarksOfAnEarlierScanDoNotCarryIntoTheNextCleaning) {
  Page p;
  p.load({{A, "Alpha"}, {B, "Beta"}});
  p.registerBho(A);
  p.registerBho(B);
  p.view.answers = {false, true};
  p.logic.scan();  // finds both, user says No
  p.reg.deleteKey(HKLM, kBho + A);  // Alpha's helper entry goes, its class stays
  p.reg.create(HKCR, "CLSID\\" + A);
  p.logic.scan();
  p.logic.clean();
  EXPECT_TRUE(p.reg.exists(HKCR, "CLSID\\" + A)) << "not in the confirmed report";
  EXPECT_FALSE(p.reg.exists(HKLM, kBho + B));
}

// The scan as the page's algorithm states it: nested loops and whole-text
// rules after every match.
std::string referenceReport(FakeRegistry& reg, const std::vector<ListRecord>& list,
                            std::vector<RegisteredEntry> table) {
  std::string text;
  int found = 0;
  auto value = [&](const std::string& path) -> std::optional<std::string> {
    if (!reg.exists(HKCR, path)) return std::nullopt;
    return reg.string(HKCR, path, "").value_or("");
  };
  for (const auto& rec : list)
    for (auto& e : table) {
      if (e.matched || lowerAscii(e.name) != lowerAscii(rec.classId)) continue;
      ++found;
      const std::string key = "CLSID\\" + lowerAscii(rec.classId);
      text += std::to_string(found) + ". adware name: ";
      if (auto v = value(key)) {
        text += *v;
      } else {
        text += rec.name;
        text = lowerAscii(text);
        removeAll(text, ".dll");
      }
      text += "\r\n   Path: " + value(key + "\\InprocServer32").value_or("stub");
      text = lowerAscii(text);
      removeAll(text, " class");
      text += "\r\n\r\n";
      e.matched = true;
    }
  return text + "\r\n\r\nQuillvane found " + std::to_string(found) +
         " adwares(spwares) in this scanning period,\r\nselect Yes to clean those Ads, No to cancel.";
}

TEST(AdwareScan, FastMatchingGivesTheReportOfTheNestedLoops) {
  // Names and paths made of pieces that the removals join into new
  // occurrences (".d" + ".dll" + "ll", " c" + ".dll" + "lass"), over many
  // seeds, with repeated and case-varied class ids.
  const char* pieces[] = {".d", "ll", ".DLL", " c", "lass", " CLASS", "x", "\\", ".dll", "L"};
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    auto text = [&] {
      std::string s;
      for (int k = rng() % 6; k >= 0; --k) s += pieces[rng() % 10];
      return s;
    };
    FakeRegistry reg;
    std::vector<ListRecord> list;
    std::vector<RegisteredEntry> table;
    for (int i = 0; i < 30; ++i) {
      char id[40];
      std::snprintf(id, sizeof id, "{%08X-0000-0000-0000-00000000000%c}", static_cast<unsigned>(rng() % 12),
                    rng() % 2 ? 'A' : 'a');
      list.push_back({id, text()});
      if (rng() % 3 == 0) table.push_back({id, false});
      if (rng() % 2) reg.put(HKCR, std::string("CLSID\\") + id, "", RegValue::string(text()));
      if (rng() % 2) reg.put(HKCR, std::string("CLSID\\") + id + "\\InprocServer32", "", RegValue::string(text()));
    }
    const ScanResult fast = scanTable(reg, list, table, nullptr);
    EXPECT_EQ(fast.report, referenceReport(reg, list, table)) << "seed " << seed;
  }
}

// --- cleaning ---------------------------------------------------------------

struct Planted : Page {
  Planted() {
    load({{A, "Alpha"}, {B, "Beta"}, {C, "Gamma"}});
    for (const auto& id : {A, B, Legit}) {
      registerBho(id);
      registerClass(id, "x", "c:\\x.dll");
    }
    reg.put(HKCU, "Software\\Classes\\CLSID\\" + lower(A) + "\\InprocServer32", "", RegValue::string("c:\\a"));
    reg.put(HKLM, kCompat + A, kCompatibilityFlags, RegValue::dword(kKillBit));
    reg.create(HKLM, "SOFTWARE\\Vendor\\ActiveX Compatibility\\" + B);  // never entered, wherever it is
    reg.create(HKLM, "SOFTWARE\\Vendor\\" + A + "x");                   // longer name: kept
    reg.create(HKLM, "SOFTWARE\\Vendor\\" + A.substr(0, 37));           // shorter name: kept
    reg.create(HKCU, "Software\\Other");
    view.answers = {true};  // the user confirms the report
  }
};

TEST(AdwareClean, DeletesEveryKeyOfFoundAddOnsAndNothingElse) {
  Planted p;
  const auto before = p.reg.allKeys(HKLM).size() + p.reg.allKeys(HKCU).size();
  p.logic.scan();
  ASSERT_EQ(p.view.cleanTimers, 1);
  p.logic.clean();
  // A and B sit side by side under CLSID and under the helper-object key:
  // both go, wherever the walk meets them (class ids in any case).
  for (const auto& id : {A, B}) {
    EXPECT_FALSE(p.reg.exists(HKCR, "CLSID\\" + id));
    EXPECT_FALSE(p.reg.exists(HKLM, kBho + id));
  }
  EXPECT_FALSE(p.reg.exists(HKCU, "Software\\Classes\\CLSID\\" + A));
  EXPECT_TRUE(p.reg.exists(HKLM, kCompat + A));
  EXPECT_TRUE(p.reg.exists(HKLM, "SOFTWARE\\Vendor\\ActiveX Compatibility\\" + B));
  EXPECT_TRUE(p.reg.exists(HKLM, "SOFTWARE\\Vendor\\" + A + "x"));
  EXPECT_TRUE(p.reg.exists(HKLM, "SOFTWARE\\Vendor\\" + A.substr(0, 37)));
  EXPECT_TRUE(p.reg.exists(HKLM, kBho + Legit));
  EXPECT_TRUE(p.reg.exists(HKCR, "CLSID\\" + Legit + "\\InprocServer32"));
  EXPECT_EQ(p.reg.allKeys(HKLM).size() + p.reg.allKeys(HKCU).size(), before - 4);  // 2 helper entries, the HKCU copy with its subkey
  ASSERT_EQ(p.view.boxes.size(), 2u);
  EXPECT_EQ(p.view.boxes[1].caption, "Quillvane");
  EXPECT_EQ(p.view.boxes[1].text, "Quillvane has cleaned 2 adwares.");
  EXPECT_TRUE(p.view.boxes[1].icon);
  EXPECT_EQ(p.view.statuses.back(), "ready");
  EXPECT_EQ(p.logic.lastWalk().deleted.size(), 5u);
}

TEST(AdwareClean, SaysWhatCouldNotBeRemoved) {
  Planted p;
  p.reg.failDelete(HKLM, kBho + B, RegStatus::AccessDenied);
  p.logic.scan();
  p.logic.clean();
  EXPECT_FALSE(p.reg.exists(HKLM, kBho + A));
  const auto& box = p.view.boxes.at(1);
  EXPECT_EQ(box.text.substr(0, box.text.find("\r\n")), "Quillvane has cleaned 1 adwares.");
  EXPECT_NE(box.text.find("could not be removed: Beta."), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("administrator rights"), std::string::npos) << box.text;
  EXPECT_EQ(box.kind, MessageIcon::Warning);
}

TEST(AdwareClean, WalkReportsProgressEveryTenThousandKeys) {
  FakeRegistry reg;
  FakeAdwareView view;
  for (int i = 0; i < 200; ++i)
    for (int j = 0; j < 100; ++j) reg.create(HKCU, "K" + std::to_string(i) + "\\" + std::to_string(j));
  const WalkResult r = cleanRegistry(reg, {lower(A)}, &view);
  EXPECT_EQ(r.keysVisited, 20200u);
  EXPECT_EQ(view.steps, 3);  // keys 2, 10002, 20002
  EXPECT_EQ(view.statuses.at(0), "\\HKEY_CURRENT_USER\\0");  // K0's first subkey, the second key met
}

// A walk asked to stop ends before its next key and deletes nothing more.
TEST(AdwareClean, AStoppedWalkEndsBeforeItsNextKey) {
  FakeRegistry reg;
  reg.create(RegRoot::CurrentUser, "Software\\Classes\\CLSID\\" + A);
  std::atomic<bool> stop{true};
  const WalkResult r = cleanRegistry(reg, {lowerAscii(A)}, nullptr, &stop);
  EXPECT_EQ(r.keysVisited, 0u);
  EXPECT_TRUE(r.deleted.empty());
  EXPECT_TRUE(reg.exists(RegRoot::CurrentUser, "Software\\Classes\\CLSID\\" + A));
  stop = false;
  EXPECT_EQ(cleanRegistry(reg, {lowerAscii(A)}, nullptr, &stop).deleted.size(), 1u);
}

// --- kill bits ----------------------------------------------------------------

TEST(AdwareKillBits, WriteAndRemoveEveryListEntry) {
  Page p;
  p.load({{A, "Alpha"}, {B, "Beta"}});
  p.reg.create(HKLM, kCompatibilityKey);
  int autoBlockOn = 0;
  p.logic.toggleAutoBlock(autoBlockOn);
  EXPECT_EQ(autoBlockOn, 1);
  for (const auto& id : {A, B}) EXPECT_EQ(p.reg.dword(HKLM, kCompat + id, kCompatibilityFlags), 0x400u);
  EXPECT_EQ(p.view.statuses.front(), "add adwares in blocking list...");
  EXPECT_EQ(p.view.statuses.back(), "ready");
  p.logic.toggleAutoBlock(autoBlockOn);
  EXPECT_EQ(autoBlockOn, 0);
  EXPECT_FALSE(p.reg.exists(HKLM, kCompat + A));  // the keys it made go again
  EXPECT_FALSE(p.reg.exists(HKLM, kCompat + B));
  EXPECT_TRUE(p.reg.valueNames(HKLM, kKillBitRecordKey).empty());
  EXPECT_EQ(p.view.statuses.back(), "ready");
  EXPECT_EQ(p.view.stepSize, -1);
}

// What others wrote under a listed class id's compatibility key survives the
// box ticked and cleared: their kill bits, other flags and values.
TEST(AdwareKillBits, OthersValuesSurviveTickingAndClearing) {
  const std::string C = "{CCCCCCCC-0000-0000-0000-000000000003}";
  const std::string D = "{DDDDDDDD-0000-0000-0000-000000000004}";
  struct Case {
    const char* what;
    std::string id;
    std::optional<std::uint32_t> flagsBefore;
    bool alternate;                             // an AlternateCLSID value beside
    std::optional<std::uint32_t> flagsTicked;   // after ticking
  } cases[] = {
      {"someone's kill bit", A, kKillBit, false, kKillBit},
      {"kill bit and AlternateCLSID", B, kKillBit, true, kKillBit},
      {"AlternateCLSID only", C, std::nullopt, true, kKillBit},
      {"other flags", D, 0x800u, false, 0xC00u},
  };
  Page p;
  std::vector<ListRecord> list;
  for (const Case& c : cases) list.push_back({c.id, c.what});
  p.load(list);
  for (const Case& c : cases) {
    if (c.flagsBefore) p.reg.put(HKLM, kCompat + c.id, kCompatibilityFlags, RegValue::dword(*c.flagsBefore));
    if (c.alternate) p.reg.put(HKLM, kCompat + c.id, "AlternateCLSID", RegValue::string(Legit));
  }
  int autoBlockOn = 0;
  p.logic.toggleAutoBlock(autoBlockOn);
  for (const Case& c : cases) {
    EXPECT_EQ(p.reg.dword(HKLM, kCompat + c.id, kCompatibilityFlags), c.flagsTicked) << c.what;
    if (c.alternate) {
      EXPECT_EQ(p.reg.string(HKLM, kCompat + c.id, "AlternateCLSID"), Legit) << c.what;
    }
  }
  p.logic.toggleAutoBlock(autoBlockOn);
  for (const Case& c : cases) {
    EXPECT_TRUE(p.reg.exists(HKLM, kCompat + c.id)) << c.what;
    EXPECT_EQ(p.reg.dword(HKLM, kCompat + c.id, kCompatibilityFlags), c.flagsBefore) << c.what;
    if (c.alternate) {
      EXPECT_EQ(p.reg.string(HKLM, kCompat + c.id, "AlternateCLSID"), Legit) << c.what;
    }
  }
  EXPECT_EQ(p.view.statuses.back(), "ready");
}

TEST(AdwareKillBits, StatusSaysWhenTheBlockingListCouldNotBeChanged) {
  const std::string failed = "The blocking list could not be changed: administrator rights are needed.";
  struct Case {
    const char* what;
    bool compatKey, emptyList, writesFail;
    const char* status;
  } cases[] = {{"empty list", true, true, false, "ready"},
               {"missing key", false, false, false, failed.c_str()},
               {"writes refused", true, false, true, failed.c_str()}};
  for (const Case& c : cases) {
    for (int start : {0, 1}) {
      Page p;
      p.load(c.emptyList ? std::vector<ListRecord>{} : std::vector<ListRecord>{{A, "Alpha"}});
      if (c.compatKey) p.reg.create(HKLM, kCompatibilityKey);
      if (c.writesFail) {
        p.reg.put(HKLM, kCompat + A, "x", RegValue::dword(1));
        p.reg.put(HKLM, kKillBitRecordKey, A, RegValue::dword(kRecordBitAdded));
        p.reg.failOpen(HKLM, kCompat + A, RegStatus::AccessDenied);
        p.reg.failCreate(HKLM, kCompat + A, RegStatus::AccessDenied);
        p.reg.failDelete(HKLM, kCompat + A, RegStatus::AccessDenied);
      }
      const auto keys = p.reg.allKeys(HKLM);
      int autoBlockOn = start;
      p.logic.toggleAutoBlock(autoBlockOn);
      EXPECT_EQ(p.view.statuses.back(), c.status) << c.what << " start " << start;
      EXPECT_EQ(p.reg.allKeys(HKLM), keys) << c.what;
    }
  }
}


// 64-bit Windows: 32-bit browsers keep helper objects, classes and kill bits
// in the registry's 32-bit view.
struct TwoViewPage : Page {
  FakeRegistry reg32;
  AdwarePageLogic logic{reg, view, &reg32};
  void load(const std::vector<ListRecord>& records) { logic.load(encodeList(records)); }
};

TEST(AdwareViews, ScanReadsBothViewsAndReportsEachAddOnOnce) {
  TwoViewPage p;
  p.load({{A, "Alpha"}, {B, "Beta"}, {C, "Gamma"}});
  p.registerBho(B);
  p.registerBho(C);
  p.registerClass(C, "Gamma Class", "C:\\g64.dll");
  p.reg32.create(HKLM, kBho + A);
  p.reg32.put(HKCR, "CLSID\\" + A, "", RegValue::string("Alpha Class"));
  p.reg32.put(HKCR, "CLSID\\" + A + "\\InprocServer32", "", RegValue::string("C:\\a32.dll"));
  p.reg32.create(HKLM, kBho + lower(B));  // in both views: one entry
  p.reg32.create(HKLM, kBho + Legit);
  p.view.answers = {false};  // only the report is read
  p.logic.scan();
  EXPECT_EQ(p.logic.foundCount(), 3);
  EXPECT_EQ(p.logic.table().size(), 4u);
  EXPECT_EQ(p.report().substr(0, p.report().find("\r\n\r\n\r\n")),
            "1. adware name: alpha\r\n   path: c:\\a32\r\n\r\n"  // the later list name's \".dll\" rule reaches it
            "2. adware name: beta\r\n   path: stub\r\n\r\n"
            "3. adware name: gamma\r\n   path: c:\\g64.dll");
}

// A view counts where that bitness has a browser (its compatibility key):
// written there, skipped without the key, told when it refuses; the 64-bit
// view alike (a 32-bit browser's sheet on a machine whose 32-bit view has
// the key only).
TEST(AdwareViews, KillBitsGoToBothViewsAndAFailureInEitherIsTold) {
  enum Other { HasKey, NoKey, Refuses };
  for (Other other : {HasKey, NoKey, Refuses}) {
    TwoViewPage p;
    p.load({{A, "Alpha"}});
    p.reg.create(HKLM, kCompatibilityKey);
    if (other != NoKey) p.reg32.create(HKLM, kCompatibilityKey);
    if (other == Refuses) p.reg32.failWriteOpen(HKLM, kCompatibilityKey, RegStatus::AccessDenied);
    int box = 0;
    p.logic.toggleAutoBlock(box);
    EXPECT_EQ(p.reg.dword(HKLM, kCompat + A, kCompatibilityFlags), kKillBit) << other;
    EXPECT_EQ(p.reg32.exists(HKLM, kCompat + A), other == HasKey) << other;
    EXPECT_EQ(p.view.statuses.back(), other == Refuses ? kNeedsAdministrator : "ready") << other;
    p.logic.toggleAutoBlock(box);
    EXPECT_FALSE(p.reg.exists(HKLM, kCompat + A));
    EXPECT_FALSE(p.reg32.exists(HKLM, kCompat + A));
  }
  TwoViewPage p;
  p.load({{A, "Alpha"}});
  p.reg32.create(HKLM, kCompatibilityKey);
  int box = 0;
  p.logic.toggleAutoBlock(box);
  EXPECT_EQ(p.reg32.dword(HKLM, kCompat + A, kCompatibilityFlags), kKillBit);
  EXPECT_FALSE(p.reg.exists(HKLM, kCompat + A));
  EXPECT_EQ(p.view.statuses.back(), "ready");
}

}  // namespace
}  // namespace qv::adware
