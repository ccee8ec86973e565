// Module start-up: the host gate, the unfathered-browser rule, the skin
// library and the history region, against scripted ports.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/startup.h"
#include "fakes/fake_process.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_shared_memory.h"

namespace qv {
namespace {

using fake::FakeLibraries;
using fake::FakeProcess;
using fake::FakeRegistry;
using fake::FakeSharedMemory;
using Step = FakeSharedMemory::Step;

constexpr RegRoot HKCU = RegRoot::CurrentUser;
const std::string kKey = "Software\\Harrowlyn\\Quillvane";
const std::string kIe = "C:\\Program Files\\Internet Explorer\\iexplore.exe";
const std::string kShell = "C:\\Windows\\explorer.exe";

TEST(HostGate, ClassifiesByLowerCasedPathSubstring) {
  struct Case {
    const char* path;
    HostKind kind;
  } cases[] = {
      {"C:\\Program Files\\Internet Explorer\\iexplore.exe", HostKind::Browser},
      {"C:\\PROGRAM FILES\\INTERNET EXPLORER\\IEXPLORE.EXE", HostKind::Browser},
      {"C:\\Windows\\System32\\regsvr32.exe", HostKind::RegistrationTool},
      {"C:\\WINDOWS\\SYSTEM32\\REGSVR32.EXE", HostKind::RegistrationTool},
      {"C:\\iexplore.exe\\host.exe", HostKind::Browser},  // a folder name counts too
      {"C:\\tools\\regsvr32.exe\\iexplore.exe", HostKind::RegistrationTool},
      {"C:\\Windows\\explorer.exe", HostKind::Other},
      {"C:\\Windows\\System32\\rundll32.exe", HostKind::Other},
      {"C:\\iexplore.ex", HostKind::Other},
      {"", HostKind::Other},
  };
  for (const auto& c : cases) EXPECT_EQ(classifyHost(c.path), c.kind) << c.path;
}

TEST(UnfatheredRule, OnUnlessStoredAsDwordZero) {
  struct Case {
    const char* what;
    std::function<void(FakeRegistry&)> setup;
    bool on;
  } cases[] = {
      {"key missing", [](FakeRegistry&) {}, true},
      {"value missing", [](FakeRegistry& r) { r.create(HKCU, kKey); }, true},
      {"value 0", [](FakeRegistry& r) { r.put(HKCU, kKey, "UnfatheredEnable", RegValue::dword(0)); }, false},
      {"value 1", [](FakeRegistry& r) { r.put(HKCU, kKey, "UnfatheredEnable", RegValue::dword(1)); }, true},
      {"value 7", [](FakeRegistry& r) { r.put(HKCU, kKey, "UnfatheredEnable", RegValue::dword(7)); }, true},
      {"value as string \"0\"",
       [](FakeRegistry& r) { r.put(HKCU, kKey, "UnfatheredEnable", RegValue::string("0")); }, true},
      {"key refused",
       [](FakeRegistry& r) {
         r.put(HKCU, kKey, "UnfatheredEnable", RegValue::dword(0));
         r.failOpen(HKCU, kKey, RegStatus::AccessDenied);
       },
       true},
  };
  for (const auto& c : cases) {
    FakeRegistry reg;
    c.setup(reg);
    EXPECT_EQ(unfatheredRuleOn(reg), c.on) << c.what;
  }
}

TEST(UnfatheredRule, FatheredTable) {
  struct Case {
    const char* parent;
    const char* cmdLine;
    bool fathered;
  } cases[] = {
      {"C:\\Windows\\explorer.exe", "iexplore.exe", true},
      {"C:\\WINDOWS\\EXPLORER.EXE", "iexplore.exe", true},
      {"C:\\Program Files\\Internet Explorer\\iexplore.exe", "iexplore.exe http://x/", false},
      {"C:\\Program Files\\Internet Explorer\\iexplore.exe", "\"iexplore.exe\" SCODEF:1234 CREDAT:79106", true},
      {"C:\\PROGRAM FILES\\INTERNET EXPLORER\\IEXPLORE.EXE", "iexplore.exe SCODEF:1", true},
      {"C:\\Tools\\launcher.exe", "iexplore.exe SCODEF:1234", false},  // the marker alone proves nothing
      {"", "iexplore.exe SCODEF:1234", false},                         // parent gone
      {"", "iexplore.exe", false},
      {"C:\\Program Files\\Internet Explorer\\iexplore.exe", "iexplore.exe scodef:1", false},
      {"C:\\Tools\\myexplorer.exe.bak", "x", true},  // a substring rule, as the shell check always was
  };
  for (const auto& c : cases)
    EXPECT_EQ(browserIsFathered(c.parent, c.cmdLine), c.fathered) << c.parent << " | " << c.cmdLine;
}

TEST(SkinLibrary, PathBesideTheModule) {
  EXPECT_EQ(skinLibraryPath("C:\\Program Files\\Quillvane\\Quillvane.dll"),
            "C:\\Program Files\\Quillvane\\Quillvane.skn");
  EXPECT_EQ(skinLibraryPath("C:\\Quillvane.dll"), "C:\\Quillvane.skn");
  EXPECT_EQ(skinLibraryPath("Quillvane.dll"), std::nullopt);
  EXPECT_EQ(skinLibraryPath(""), std::nullopt);
}

// The whole attach, as a decision table over host, registry and parent.
TEST(ProcessAttach, DecisionTable) {
  struct Case {
    const char* what;
    std::string exe;
    std::optional<std::uint32_t> unfathered;  // nullopt: value absent
    std::optional<std::string> parent;        // nullopt: must not be asked
    std::string cmdLine;
    AttachResult result;
  } cases[] = {
      {"browser started by the shell", kIe, std::nullopt, kShell, "iexplore.exe", AttachResult::Attached},
      {"browser in capitals", "C:\\IE\\IEXPLORE.EXE", std::nullopt, kShell, "x", AttachResult::Attached},
      {"browser started by a stranger", kIe, std::nullopt, "C:\\evil\\adware.exe", "x", AttachResult::Terminated},
      {"browser started by a browser", kIe, 1, kIe, "iexplore.exe http://ads/", AttachResult::Terminated},
      {"browser tab of a browser", kIe, 1, kIe, "iexplore.exe SCODEF:4242 CREDAT:1", AttachResult::Attached},
      {"marker from a stranger", kIe, 1, "C:\\evil\\x.exe", "iexplore.exe SCODEF:1", AttachResult::Terminated},
      {"parent already gone", kIe, 1, "", "iexplore.exe", AttachResult::Terminated},
      {"rule switched off", kIe, 0, std::nullopt, "", AttachResult::Attached},
      {"registration tool never checked", "C:\\Windows\\system32\\regsvr32.exe", 1, std::nullopt, "",
       AttachResult::Attached},
      {"other host", "C:\\Windows\\system32\\rundll32.exe", 1, std::nullopt, "", AttachResult::NotAdmitted},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeProcess proc;
    FakeRegistry reg;
    FakeLibraries libs;
    FakeSharedMemory mem;
    proc.exe = c.exe;
    if (c.unfathered) reg.put(HKCU, kKey, "UnfatheredEnable", RegValue::dword(*c.unfathered));
    proc.parent = c.parent;
    if (c.parent) proc.cmdLine = c.cmdLine;
    libs.modulePath = "C:\\QV\\Quillvane.dll";
    ModuleState state;
    EXPECT_EQ(processAttach({proc, reg, libs, mem}, state), c.result);
    const bool attached = c.result == AttachResult::Attached;
    EXPECT_EQ(proc.terminations, c.result == AttachResult::Terminated ? 1 : 0);
    EXPECT_EQ(libs.loaded, attached ? std::vector<std::string>{"C:\\QV\\Quillvane.skn"} : std::vector<std::string>{});
    EXPECT_EQ(state.historyView().size(), attached ? kHistoryRegionSize : 0u);
    EXPECT_TRUE(reg.writeLog().empty());
  }
}

TEST(ProcessAttach, SkinFailureIgnoredHistoryFailureRefusesAndFreesSkin) {
  FakeProcess proc;
  proc.exe = "C:\\Windows\\system32\\regsvr32.exe";
  FakeRegistry reg;
  {
    FakeLibraries libs;
    libs.modulePath = "C:\\QV\\Quillvane.dll";
    libs.loadSucceeds = false;
    FakeSharedMemory mem;
    ModuleState state;
    EXPECT_EQ(processAttach({proc, reg, libs, mem}, state), AttachResult::Attached);
    EXPECT_FALSE(state.skinLoaded);
    processDetach(libs, state, false);
    EXPECT_TRUE(libs.freed.empty());  // nothing was loaded, nothing is freed
  }
  {
    FakeLibraries libs;
    libs.modulePath = "C:\\QV\\Quillvane.dll";
    FakeSharedMemory mem;
    mem.failAt(Step::TempDirectory);
    ModuleState state;
    EXPECT_EQ(processAttach({proc, reg, libs, mem}, state), AttachResult::NoHistoryRegion);
    EXPECT_EQ(libs.freed, std::vector<std::string>{"Quillvane.skn"});
    EXPECT_FALSE(state.skinLoaded);
  }
  {
    FakeLibraries libs;
    libs.modulePath = "Quillvane.dll";  // no folder: no skin attempt
    FakeSharedMemory mem;
    ModuleState state;
    EXPECT_EQ(processAttach({proc, reg, libs, mem}, state), AttachResult::Attached);
    EXPECT_TRUE(libs.loaded.empty());
  }
}

TEST(ProcessDetach, ReleasesRegionAndFreesSkinUnlessProcessEnds) {
  for (bool ending : {false, true}) {
    SCOPED_TRACE(ending);
    FakeProcess proc;
    proc.exe = "C:\\Windows\\system32\\regsvr32.exe";
    FakeRegistry reg;
    FakeLibraries libs;
    libs.modulePath = "C:\\QV\\Quillvane.dll";
    FakeSharedMemory mem;
    ModuleState state;
    ASSERT_EQ(processAttach({proc, reg, libs, mem}, state), AttachResult::Attached);
    EXPECT_EQ(mem.openHandles(), 1);
    processDetach(libs, state, ending);
    EXPECT_EQ(mem.openHandles(), 0);
    EXPECT_TRUE(state.historyView().empty());
    EXPECT_EQ(libs.freed.size(), ending ? 0u : 1u);
  }
}

TEST(HistoryRegion, CreatesOverDeletedTempFileThenSecondProcessOpensIt) {
  FakeSharedMemory mem;
  auto first = openOrCreateHistoryRegion(mem);
  ASSERT_TRUE(first);
  EXPECT_EQ(mem.calls, (std::vector<std::string>{"openMapping", "tempDirectory", "makeTempFileName",
                                                 "createBackingFile", "setLength", "createMapping", "mapNew",
                                                 "deleteFile"}));
  auto view = first->view();
  ASSERT_EQ(view.size(), kHistoryRegionSize);
  EXPECT_TRUE(std::all_of(view.begin(), view.end(), [](std::uint8_t b) { return b == 0; }));
  EXPECT_TRUE(mem.files().empty());
  EXPECT_EQ(mem.openHandles(), 1);  // the mapping only; the file handle is closed

  const char line[] = "http://a.example/\n";
  std::copy(line, line + sizeof line - 1, view.begin());
  mem.calls.clear();
  auto second = openOrCreateHistoryRegion(mem);
  ASSERT_TRUE(second);
  EXPECT_EQ(mem.calls, (std::vector<std::string>{"openMapping", "mapExisting"}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(second->view().data())), line);

  // When every process let go, the history is gone.
  first.reset();
  second.reset();
  auto third = openOrCreateHistoryRegion(mem);
  ASSERT_TRUE(third);
  EXPECT_EQ(third->view()[0], 0);
}

TEST(HistoryRegion, EachFailingStepTable) {
  struct Case {
    Step step;
    bool created;            // does the result still hold a region?
    std::size_t lastCallAt;  // calls made, the delete included
    bool deletes;            // was a temporary file name made that must go?
  } cases[] = {
      {Step::OpenMapping, true, 8, true},     // nothing to open: create
      {Step::TempDirectory, false, 2, false},
      {Step::TempFileName, false, 3, false},
      {Step::CreateFile, false, 5, true},
      {Step::SetLength, false, 6, true},
      {Step::CreateMapping, false, 7, true},
      {Step::MapNew, false, 8, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.step));
    FakeSharedMemory mem;
    mem.failAt(c.step);
    auto region = openOrCreateHistoryRegion(mem);
    EXPECT_EQ(static_cast<bool>(region), c.created);
    EXPECT_EQ(mem.calls.size(), c.lastCallAt);
    EXPECT_EQ(!mem.calls.empty() && mem.calls.back() == "deleteFile", c.deletes);
    EXPECT_TRUE(mem.files().empty()) << "temporary file left behind";
    EXPECT_EQ(mem.openHandles(), c.created ? 1 : 0) << "handle leaked";
  }
}

TEST(HistoryRegion, ExistingRegionThatCannotBeMappedFallsBackToCreate) {
  FakeSharedMemory mem;
  auto first = openOrCreateHistoryRegion(mem);
  ASSERT_TRUE(first);
  mem.calls.clear();
  mem.failAt(Step::MapExisting);
  auto second = openOrCreateHistoryRegion(mem);
  ASSERT_TRUE(second);
  EXPECT_EQ(mem.calls.front(), "openMapping");
  EXPECT_EQ(mem.calls[1], "mapExisting");
  EXPECT_EQ(mem.calls.back(), "deleteFile");
  // Creating under the existing name yields the same region.
  first->view()[5] = 'x';
  EXPECT_EQ(second->view()[5], 'x');
  EXPECT_EQ(mem.openHandles(), 2);
}

}  // namespace
}  // namespace qv
