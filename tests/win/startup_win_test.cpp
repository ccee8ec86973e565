// Module start-up across real processes: the host gate, the unfathered rule,
// the shared settings record, the history region and a first session's
// registry key.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "com/handle.h"
#include "core/browser_table.h"
#include "core/startup.h"
#include "core/win/shared_state.h"
#include "platform/win/mutex_win.h"
#include "platform/win/process_win.h"
#include "platform/win/shared_memory_win.h"
#include "shared_record_locator.h"
#include "win_test_support.h"

namespace {

constexpr DWORD kLoaded = 10, kRefused = 11, kTerminated = 0;

std::string winPath(std::string p) {
  if (!p.empty() && p[0] == '/') {
    std::replace(p.begin(), p.end(), '/', '\\');
    p = "Z:" + p;
  }
  return p;
}

// A scratch folder under %TEMP%, removed with its files afterwards.
class TempDir {
 public:
  TempDir() {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    static int serial = 0;
    path_ = std::string(tmp) + "qvstart-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TempDir() {
    for (const auto& f : files_) DeleteFileA(f.c_str());
    for (auto it = dirs_.rbegin(); it != dirs_.rend(); ++it) RemoveDirectoryA(it->c_str());
    RemoveDirectoryA(path_.c_str());
  }
  // Copies `from` to <dir>\<relative>, making one level of folder if needed.
  std::string copy(const std::string& from, const std::string& relative) {
    const std::string to = path_ + "\\" + relative;
    const auto slash = relative.find('\\');
    if (slash != std::string::npos) {
      const std::string d = path_ + "\\" + relative.substr(0, slash);
      if (CreateDirectoryA(d.c_str(), nullptr)) dirs_.push_back(d);
    }
    EXPECT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << from << " -> " << to;
    files_.push_back(to);
    return to;
  }

 private:
  std::string path_;
  std::vector<std::string> files_, dirs_;
};

// Runs a program to its end (bounded) and returns its exit code.
DWORD run(const std::string& exe, const std::string& args) {
  std::string cmd = "\"" + exe + "\" " + args;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ADD_FAILURE() << "cannot start " << exe << " error " << GetLastError();
    return 0xFFFFFFFFu;
  }
  CloseHandle(pi.hThread);
  DWORD rc = 0xFFFFFFFEu;
  if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(pi.hProcess, &rc);
  } else {
    ADD_FAILURE() << exe << " did not end";
    TerminateProcess(pi.hProcess, 1);
  }
  CloseHandle(pi.hProcess);
  return rc;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// Sets UnfatheredEnable for the scope; the test host's own setting (0) is
// restored afterwards whatever happens.
class UnfatheredScope {
 public:
  explicit UnfatheredScope(DWORD v) { qvtest::setUnfathered(v); }
  ~UnfatheredScope() { qvtest::setUnfathered(0); }
};

void deleteUnfatheredValue() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, qvtest::kSettingsKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, "UnfatheredEnable");
    RegCloseKey(key);
  }
}

const std::string kHost = winPath(QV_HOST_PATH);
const std::string kLauncher = winPath(QV_LAUNCHER_PATH);

// The record lives in the session's namespace under its name, and every
// participant that opens that name sees the very bytes the module uses.
TEST(Startup, SettingsRecordIsTheSessionsNamedMapping) {
  EXPECT_EQ(qv::kSharedRecordName.substr(0, 6), "Local\\");
  qv::SharedSettings& mine = qv::sharedSettings();  // made here if no one has
  qv::SharedSettings* named = qvtest::openSharedRecord();
  ASSERT_NE(named, nullptr);
  EXPECT_EQ(named->layoutTag, qv::kSharedLayoutTag);
  const std::int32_t saved = mine.blockAnimHotkey;
  mine.blockAnimHotkey = 0x5151;
  EXPECT_EQ(named->blockAnimHotkey, 0x5151);
  mine.blockAnimHotkey = saved;
}

// A crashed browser's entries are freed when an entry is needed: a child
// fills the table, is ended from outside, and a new window still gets in.
TEST(Startup, EntriesOfAKilledProcessAreFreedForNewWindows) {
  TempDir dir;
  const std::string browser = dir.copy(kHost, "iexplore.exe");
  const std::string eventName = "QvTestTableFilled" + std::to_string(GetCurrentProcessId());
  const qv::com::UniqueHandle filled(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
  ASSERT_TRUE(filled);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string cmd = quoted(browser) + " table-fill " + quoted(qvtest::dllPath()) + " " + eventName;
  ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  const qv::com::UniqueHandle child(pi.hProcess), childThread(pi.hThread);
  const HANDLE waits[] = {filled.get(), child.get()};
  ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, 60000), WAIT_OBJECT_0) << "the child did not fill the table";
  qv::SharedSettings& record = qv::sharedSettings();
  const auto lock = qv::win::Win32NamedMutex::create(qv::kBrowserTableMutexName);
  qv::core::BrowserTable table(record, lock.get(), &qv::win::processDirectory());
  EXPECT_EQ(table.Count(), qv::kMaxBrowsers);
  TerminateProcess(child.get(), 1);
  ASSERT_EQ(WaitForSingleObject(child.get(), 10000), WAIT_OBJECT_0);
  EXPECT_EQ(table.Add(0x6001, 0x6001, GetCurrentThreadId(), GetCurrentProcessId()), qv::core::AddResult::Added);
  for (const qv::BrowserEntry& e : table.Entries()) EXPECT_NE(e.processId, pi.dwProcessId);
  EXPECT_EQ(table.Remove(0x6001, 0x6001, GetCurrentProcessId()), qv::core::RemoveResult::Removed);
}

TEST(Startup, GateAdmitsOnlyBrowserAndRegistrationHosts) {
  TempDir dir;
  UnfatheredScope rule(1);  // the registration tool must pass even so
  const std::string dll = quoted(qvtest::dllPath());
  EXPECT_EQ(run(kHost, "load " + dll), kRefused) << "host under its own name";
  EXPECT_EQ(run(dir.copy(kHost, "explorer.exe"), "load " + dll), kRefused);
  EXPECT_EQ(run(dir.copy(kHost, "regsvr32.exe"), "load " + dll), kLoaded);
  EXPECT_EQ(run(dir.copy(kHost, "REGSVR32.EXE.bin\\host.exe"), "load " + dll), kLoaded) << "folder, capitals";
}

TEST(Startup, UnfatheredBrowserEndsWithExitCodeZero) {
  TempDir dir;
  const std::string browser = dir.copy(kHost, "IEXPLORE.EXE");
  const std::string shell = dir.copy(kLauncher, "explorer.exe");
  const std::string stranger = dir.copy(kLauncher, "launcher.exe");
  const std::string dll = quoted(qvtest::dllPath());
  const std::string load = "load " + dll;
  {
    UnfatheredScope rule(1);
    EXPECT_EQ(run(browser, load), kTerminated) << "parent is a browser (this test host)";
    EXPECT_EQ(run(browser, load + " SCODEF:4242 CREDAT:1"), kLoaded) << "tab process of a browser";
    EXPECT_EQ(run(shell, quoted(browser) + " " + load), kLoaded) << "started by the shell";
    EXPECT_EQ(run(stranger, quoted(browser) + " " + load), kTerminated) << "started by another program";
    EXPECT_EQ(run(stranger, quoted(browser) + " " + load + " SCODEF:1"), kTerminated)
        << "marker without a browser parent";
    deleteUnfatheredValue();
    EXPECT_EQ(run(browser, load), kTerminated) << "value missing counts as on";
  }
  UnfatheredScope off(0);
  EXPECT_EQ(run(browser, load), kLoaded) << "rule off";
  EXPECT_EQ(run(stranger, quoted(browser) + " " + load), kLoaded) << "rule off";
}

TEST(Startup, SkinLibraryBesideTheModuleIsLoadedAndFreed) {
  TempDir dir;
  const std::string browser = dir.copy(kHost, "iexplore.exe");
  const std::string dll = dir.copy(qvtest::dllPath(), "mod\\Quillvane.dll");
  dir.copy(winPath(QV_FAKE_SKIN_PATH), "mod\\Quillvane.skn");
  EXPECT_EQ(run(browser, "skin " + quoted(dll)), kLoaded);
  // Without a skin library the module loads all the same.  (The build tree
  // has the real one beside the module; a copy stands alone.)
  const std::string bare = dir.copy(qvtest::dllPath(), "bare\\Quillvane.dll");
  EXPECT_EQ(run(browser, "skin " + quoted(bare)), 16u);
  EXPECT_EQ(run(browser, "load " + quoted(qvtest::dllPath())), kLoaded);
}

TEST(Startup, ModuleUnloadsAndLoadsAgainInOneProcess) {
  TempDir dir;
  const std::string browser = dir.copy(kHost, "iexplore.exe");
  EXPECT_EQ(run(browser, "reload " + quoted(qvtest::dllPath())), kLoaded);
}

TEST(Startup, ProcessesShareOneSettingsRecord) {
  TempDir dir;
  const std::string browser = dir.copy(kHost, "iexplore.exe");
  const std::string dll = quoted(qvtest::dllPath());
  qv::SharedSettings& record = qv::sharedSettings();
  const std::int32_t saved = record.skin;
  record.skin = 42;
  EXPECT_EQ(run(browser, "shared-get " + dll), 42u) << "a change made here is seen there";
  EXPECT_EQ(run(browser, "shared-set " + dll + " 77"), kLoaded);
  EXPECT_EQ(record.skin, 77) << "a change made there is seen here";
  record.skin = saved;
}

TEST(Startup, ProcessesShareOneHistoryRegion) {
  TempDir dir;
  const std::string browser = dir.copy(kHost, "iexplore.exe");
  ASSERT_NE(qvtest::module(), nullptr);  // this process's attach made or opened the region
  qv::win::Win32SharedMemory memory;
  auto region = qv::openOrCreateHistoryRegion(memory);
  ASSERT_TRUE(region);
  auto view = region->view();
  ASSERT_EQ(view.size(), qv::kHistoryRegionSize);
  std::vector<std::uint8_t> saved(view.begin(), view.end());
  std::fill(view.begin(), view.end(), 0);
  const char first[] = "http://first.example/\n";
  std::memcpy(view.data(), first, sizeof first - 1);

  EXPECT_EQ(run(browser, "history " + quoted(qvtest::dllPath()) + " http://first.example/"), kLoaded);
  EXPECT_STREQ(reinterpret_cast<const char*>(view.data()), "http://first.example/\nhttp://second.example/\n");
  EXPECT_EQ(view[view.size() - 1], 0);
  std::copy(saved.begin(), saved.end(), view.begin());
}

TEST(Startup, FirstSessionLeavesOnlyPopupEnableUnderTheKey) {
  TempDir dir;
  const std::string browser = dir.copy(kHost, "iexplore.exe");
  // The session's record with its load flag cleared is what a first
  // session's browser finds.
  const std::string fresh = dir.copy(qvtest::dllPath(), "Quillvane.dll");
  qv::sharedSettings().settingsLoaded = 0;
  // The seed white list beside the module, as an installation has it (the
  // helper object's start-up copies it and shows a message when it cannot).
  const std::string module = qvtest::dllPath();
  dir.copy(module.substr(0, module.rfind('\\')) + "\\Quillvane.WL", "Quillvane.WL");
  UnfatheredScope restore(0);
  ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, qvtest::kSettingsKey), ERROR_SUCCESS);
  // With the key gone the unfathered rule is on; the tab-process marker
  // keeps this child alive.
  EXPECT_EQ(run(browser, "pub " + quoted(fresh) + " SCODEF:7"), kLoaded);

  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, qvtest::kSettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  std::vector<std::string> names;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    if (RegEnumValueA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, len);
  }
  DWORD type = 0, value = 0, size = sizeof value;
  EXPECT_EQ(RegQueryValueExA(key, "PopupEnable", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(names, std::vector<std::string>{"PopupEnable"});
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(value, 1u);
}

}  // namespace
