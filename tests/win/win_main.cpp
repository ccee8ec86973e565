// Entry point of the Windows test binary.  Before any test loads the module
// it switches the unfathered-browser rule off for this user, since the test
// host is not started by the shell, and loads the session's settings record
// from the settings key as the first helper object of a browser would: a
// test that sets switches on the record before its first helper object
// exists keeps them.  Every test gets the settings key back as it found it,
// so that no test depends on what an earlier one saved.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/win/shared_state.h"
#include "platform/win/registry_win.h"
#include "child_entry.h"
#include "pub_test_support.h"
#include "standin_browser.h"
#include "win_test_support.h"

namespace {

struct RegValue {
  std::string name;
  DWORD type = 0;
  std::vector<BYTE> data;
};

// Each test starts as a fresh session would: the settings key as the run
// found it, and the session's shared record as its first load left it.  A
// test that leaves a helper object alive fails the run (its table entry
// would change what later tests see).
class SessionKeeper : public testing::EmptyTestEventListener {
 public:
  explicit SessionKeeper(const qv::SharedSettings& fresh) : fresh_(fresh) {}

  void OnTestStart(const testing::TestInfo&) override {
    qv::SharedSettings& record = qv::sharedSettings();
    const std::int32_t count = record.browserCount;
    qv::BrowserEntry table[qv::kMaxBrowsers];
    std::memcpy(table, record.browserTable, sizeof table);
    record = fresh_;
    record.browserCount = count;
    std::memcpy(record.browserTable, table, sizeof table);

    values_.clear();
    HKEY k;
    existed_ = RegOpenKeyExA(HKEY_CURRENT_USER, qvtest::kSettingsKey, 0, KEY_READ, &k) == ERROR_SUCCESS;
    if (!existed_) return;
    values_ = read(k);
    RegCloseKey(k);
  }
  void OnTestEnd(const testing::TestInfo& test) override {
    restoreKey();
    // An object released from a message or another thread may go a little
    // after the test body returns.
    const ULONGLONG deadline = GetTickCount64() + 2000;
    while (objectsOfThisProcess() != 0 && GetTickCount64() < deadline) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      Sleep(10);
    }
    if (const int left = objectsOfThisProcess(); left != 0) {
      std::printf("%s.%s left %d helper object(s) alive\n", test.test_suite_name(), test.name(), left);
      ADD_FAILURE() << test.test_suite_name() << "." << test.name() << " left " << left << " helper object(s) alive";
    }
  }

 private:
  void restoreKey() {
    if (!existed_) {
      RegDeleteTreeA(HKEY_CURRENT_USER, qvtest::kSettingsKey);
      return;
    }
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, qvtest::kSettingsKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &k,
                        nullptr) != ERROR_SUCCESS)
      return;
    for (const RegValue& v : read(k)) RegDeleteValueA(k, v.name.c_str());
    for (const RegValue& v : values_)
      RegSetValueExA(k, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    RegCloseKey(k);
  }

  static int objectsOfThisProcess() {
    const qv::SharedSettings& record = qv::sharedSettings();
    int n = 0;
    for (int i = 0; i < record.browserCount && i < qv::kMaxBrowsers; ++i)
      if (record.browserTable[i].processId == GetCurrentProcessId()) ++n;
    return n;
  }

  static std::vector<RegValue> read(HKEY k) {
    std::vector<RegValue> values;
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD nameLen = sizeof name, type = 0, size = 0;
      if (RegEnumValueA(k, i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
      RegValue v{std::string(name, nameLen), type, std::vector<BYTE>(size)};
      RegQueryValueExA(k, v.name.c_str(), nullptr, nullptr, v.data.data(), &size);
      values.push_back(std::move(v));
    }
    return values;
  }

  qv::SharedSettings fresh_;
  bool existed_ = false;
  std::vector<RegValue> values_;
};

class Silent final : public qv::Messages {
 public:
  void showString(int) override {}
  void showText(const std::string&) override {}
};

struct ChildEntry {
  const char* suite;
  const char* name;
  void (*body)();
  const char* file;
  int line;
};

std::vector<ChildEntry>& childEntries() {
  static std::vector<ChildEntry> entries;
  return entries;
}

class ChildEntryTest : public testing::Test {
 public:
  explicit ChildEntryTest(void (*body)()) : body_(body) {}
  void TestBody() override { body_(); }

 private:
  void (*body_)();
};

}  // namespace

qvtest::ChildEntryRegistrar::ChildEntryRegistrar(const char* suite, const char* name, void (*body)(),
                                                 const char* file, int line) {
  childEntries().push_back({suite, name, body, file, line});
}

bool qvtest::registerChildEntry() {
  const std::string wanted = qvtest::env(kChildEntryVar);
  if (wanted.empty()) return false;
  bool found = false;
  for (const ChildEntry& e : childEntries()) {
    if (wanted != std::string(e.suite) + "." + e.name && wanted != std::string(e.suite) + ".*") continue;
    void (*body)() = e.body;
    testing::RegisterTest(e.suite, e.name, nullptr, nullptr, e.file, e.line,
                          [body]() -> testing::Test* { return new ChildEntryTest(body); });
    found = true;
  }
  if (!found) std::printf("no child entry %s in this binary\n", wanted.c_str());
  return found;
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  standin::onWaitTimeout = [](const char* what) { ADD_FAILURE() << what; };
  qvtest::setUnfathered(0);
  {
    qv::win::Win32Registry registry;
    Silent silent;
    qv::SettingsStore(registry, silent, qv::sharedSettings()).load();
  }
  // A child process runs its one entry (one that names no entry fails) in
  // the session its parent set up.
  if (!qvtest::env(qvtest::kChildEntryVar).empty()) {
    if (!qvtest::registerChildEntry()) return 3;
  } else {
    testing::UnitTest::GetInstance()->listeners().Append(new SessionKeeper(qv::sharedSettings()));
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int rc = RUN_ALL_TESTS();
  CoUninitialize();
  return rc;
}
