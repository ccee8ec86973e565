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

#include <string>
#include <vector>

#include "core/settings.h"
#include "core/win/shared_state.h"
#include "platform/win/registry_win.h"
#include "standin_browser.h"
#include "win_test_support.h"

namespace {

struct RegValue {
  std::string name;
  DWORD type = 0;
  std::vector<BYTE> data;
};

class SettingsKeyKeeper : public testing::EmptyTestEventListener {
 public:
  void OnTestStart(const testing::TestInfo&) override {
    values_.clear();
    HKEY k;
    existed_ = RegOpenKeyExA(HKEY_CURRENT_USER, qvtest::kSettingsKey, 0, KEY_READ, &k) == ERROR_SUCCESS;
    if (!existed_) return;
    values_ = read(k);
    RegCloseKey(k);
  }
  void OnTestEnd(const testing::TestInfo&) override {
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

 private:
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

  bool existed_ = false;
  std::vector<RegValue> values_;
};

class Silent final : public qv::Messages {
 public:
  void showString(int) override {}
  void showText(const std::string&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  standin::onWaitTimeout = [](const char* what) { ADD_FAILURE() << what; };
  qvtest::setUnfathered(0);
  {
    qv::win::Win32Registry registry;
    Silent silent;
    qv::SettingsStore(registry, silent, qv::sharedSettings()).load();
  }
  testing::UnitTest::GetInstance()->listeners().Append(new SettingsKeyKeeper);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int rc = RUN_ALL_TESTS();
  CoUninitialize();
  return rc;
}
