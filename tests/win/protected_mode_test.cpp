// The module in a Protected Mode tab, as far as Wine shows one: a second
// process with a double of the browser's broker, whose settings keys refuse
// it writes (see protected_host.cpp), beside this process, which made the
// named objects first.
#include <gtest/gtest.h>
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "quillvane_i.h"
#include "whitelist/win/locate_win.h"
#include "win_test_support.h"

namespace {

using Microsoft::WRL::ComPtr;

std::string winPath(std::string p) {
  if (!p.empty() && p[0] == '/') {
    std::replace(p.begin(), p.end(), '/', '\\');
    p = "Z:" + p;
  }
  return p;
}

// Every value of a key of the current user, put back as it was afterwards
// (values the test added are removed).
class KeyValues {
 public:
  explicit KeyValues(const char* path) : path_(path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return;
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD nameLen = sizeof name, type = 0, size = 0;
      if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
      Value v{std::string(name, nameLen), type, std::vector<BYTE>(size)};
      nameLen = sizeof name;
      RegEnumValueA(key, i, name, &nameLen, nullptr, &type, v.data.data(), &size);
      saved_.push_back(std::move(v));
    }
    RegCloseKey(key);
  }
  ~KeyValues() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path_, 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    std::vector<std::string> now;
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD nameLen = sizeof name;
      if (RegEnumValueA(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      now.emplace_back(name, nameLen);
    }
    for (const std::string& n : now) RegDeleteValueA(key, n.c_str());
    for (const Value& v : saved_)
      RegSetValueExA(key, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    RegCloseKey(key);
  }

 private:
  struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
  };
  const char* path_;
  std::vector<Value> saved_;
};

// Wine's per-program DLL load order: programs named iexplore.exe take a
// native ieframe.dll (the double beside the tab process) before Wine's own,
// for the scope.
class PreferNativeIeframe {
 public:
  PreferNativeIeframe() {
    RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr);
    if (key_) RegSetValueExA(key_, "ieframe", 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"), 15);
  }
  ~PreferNativeIeframe() {
    if (!key_) return;
    RegDeleteValueA(key_, "ieframe");
    RegCloseKey(key_);
  }

 private:
  static constexpr const char* kKey = "Software\\Wine\\AppDefaults\\iexplore.exe\\DllOverrides";
  HKEY key_ = nullptr;
};

TEST(ProtectedModeTab, LoadsAndKeepsChangesThroughTheBrokerAndSharesTheObjects) {
  const std::string dll = qvtest::dllPath();
  // A helper object here makes every named object of the module first.
  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObjectFn>(
      reinterpret_cast<void*>(GetProcAddress(qvtest::module(), "DllGetClassObject")));
  ASSERT_NE(get, nullptr);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(get(CLSID_CPub, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())), S_OK);
  ComPtr<IUnknown> pub;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(pub.GetAddressOf())), S_OK);

  KeyValues settings(qvtest::kSettingsKey);
  KeyValues main("Software\\Microsoft\\Internet Explorer\\Main");
  qvtest::setUnfathered(0);
  {
    // A stored value unlike the default, so that the tab's load shows.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, qvtest::kSettingsKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    const DWORD off = 0;
    RegSetValueExA(key, "PopupEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off);
    RegCloseKey(key);
  }
  {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Play_Animations", 0, REG_SZ, reinterpret_cast<const BYTE*>("yes"), 4);
    RegCloseKey(key);
  }

  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  const std::string dir = std::string(tmp) + "qvprotected-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(dir.c_str(), nullptr);
  const std::string host = dir + "\\iexplore.exe";
  const std::string dbl = dir + "\\ieframe.dll";
  const std::string results = dir + "\\results.txt";
  ASSERT_TRUE(CopyFileA(winPath(QV_PROTECTED_HOST_PATH).c_str(), host.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(winPath(QV_BROKER_DOUBLE_PATH).c_str(), dbl.c_str(), FALSE));

  std::string cmd = "\"" + host + "\" \"" + dll + "\" \"" + results + "\"";
  PreferNativeIeframe nativeIeframe;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessA(host.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi));
  CloseHandle(pi.hThread);
  DWORD rc = 0xFFFFFFFF;
  if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(pi.hProcess, &rc);
  } else {
    TerminateProcess(pi.hProcess, 1);
    ADD_FAILURE() << "the tab process did not end";
  }
  CloseHandle(pi.hProcess);

  std::ifstream in(results);
  std::stringstream text;
  text << in.rdbuf();
  in.close();
  std::printf("%s", text.str().c_str());
  EXPECT_EQ(rc, 10u) << text.str();
  DeleteFileA(results.c_str());
  DeleteFileA(host.c_str());
  DeleteFileA(dbl.c_str());
  RemoveDirectoryA(dir.c_str());
}

// The white list's folder is one that processes of every integrity level
// of the user write.
TEST(ProtectedModeTab, WhiteListFolderIsUnderLocalLow) {
  qv::wl::win::Win32LocateEnvironment env;
  const std::optional<std::string> folder = env.sharedLowFolder();
  ASSERT_TRUE(folder.has_value());
  EXPECT_NE(folder->find("LocalLow\\Harrowlyn\\Quillvane"), std::string::npos) << *folder;
  EXPECT_NE(GetFileAttributesA(folder->c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
