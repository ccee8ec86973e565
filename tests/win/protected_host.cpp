// A browser tab in Protected Mode, as far as Wine can show one.  Copied as
// <dir>\iexplore.exe beside the broker double (<dir>\ieframe.dll) and run
// with the native ieframe preferred, it:
//   - narrows the DACL of the settings key and the browser's Main key to
//     read access (Wine enforces DACLs; it never enforces integrity levels),
//     after the double took writable handles, as the broker at medium
//     integrity has them;
//   - loads the module (which must read UnfatheredEnable 0 to stay) and
//     makes a helper object;
//   - checks what registration and unregistration ask of the broker;
//   - loads the settings, flips a menu switch and saves the options sheet's
//     OK through the module's own registry wiring, showing no message;
//   - reads back the security of every named object the first process made;
//   - times a toggle and a sheet save through the broker and, with the
//     DACL restored, directly.
// Usage: protected_host DLL RESULTS.  Writes one line per failed check and
// the measures to RESULTS; exit code 10 when every check held.
#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/shared_names.h"
#include "core/tab_registry.h"
#include "core/win/shared_state.h"
#include "platform/win/broker_win.h"
#include "platform/win/mutex_win.h"
#include "platform/win/object_security.h"
#include "platform/win/registry_win.h"
#include "quillvane_i.h"
#include "ui/options_sheet.h"

namespace {

const wchar_t kSettings[] = L"Software\\Harrowlyn\\Quillvane";
const wchar_t kMain[] = L"Software\\Microsoft\\Internet Explorer\\Main";

std::vector<std::string> g_failures;
void check(bool ok, const std::string& what) {
  if (!ok) g_failures.push_back(what);
}

class Recorder final : public qv::Messages {
 public:
  void showString(int id) override { shown.push_back("#" + std::to_string(id)); }
  void showText(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

std::wstring userSid() {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  BYTE buf[256];
  DWORD size = sizeof buf;
  GetTokenInformation(token, TokenUser, buf, size, &size);
  CloseHandle(token);
  LPWSTR text = nullptr;
  ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buf)->User.Sid, &text);
  std::wstring s = text ? text : L"";
  LocalFree(text);
  return s;
}

// The key's DACL narrowed to reading (and changing the DACL back) for the
// scope; the old one restored after.
class ReadOnlyKey {
 public:
  explicit ReadOnlyKey(const wchar_t* path) {
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, READ_CONTROL | WRITE_DAC, &key_) != ERROR_SUCCESS) return;
    DWORD size = 0;
    RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
    old_.resize(size);
    if (RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, old_.data(), &size) != ERROR_SUCCESS) return;
    const std::wstring sddl = L"D:(A;;KRWD;;;" + userSid() + L")";
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr)) return;
    applied_ = RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
    LocalFree(sd);
  }
  ~ReadOnlyKey() { restore(); }
  void restore() {
    if (applied_) RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, old_.data());
    applied_ = false;
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }
  bool applied() const { return applied_; }

 private:
  HKEY key_ = nullptr;
  std::vector<BYTE> old_;
  bool applied_ = false;
};

DWORD readDword(const wchar_t* name) {
  DWORD v = 0xFFFFFFFF, size = sizeof v;
  RegGetValueW(HKEY_CURRENT_USER, kSettings, name, RRF_RT_REG_DWORD, nullptr, &v, &size);
  return v;
}
std::wstring readMain(const wchar_t* name) {
  wchar_t buf[64] = {};
  DWORD size = sizeof buf;
  RegGetValueW(HKEY_CURRENT_USER, kMain, name, RRF_RT_REG_SZ, nullptr, buf, &size);
  return buf;
}

// The sheet as a user who changes two things and presses OK.
class OkHost final : public qv::ui::OptionsHost {
 public:
  void focusFrame() override {}
  void applyDialogSkin(std::int32_t) override {}
  void removeDialogSkin() override {}
  qv::ui::SheetWhiteList* whiteList() override { return &list_; }
  std::optional<std::string> readDefaultStatus() override { return std::nullopt; }
  void writeDefaultStatus(const std::string&) override {}
  int runSheet(qv::ui::SheetValues& v, int) override {
    v.newForm.blockImages = v.newForm.blockImages ? 0 : 1;
    v.settings.display.noAnimations = v.settings.display.noAnimations ? 0 : 1;
    return 1;
  }
  bool sendSettingsNotice() override { return false; }
  void refreshBrowser() override {}

 private:
  class List final : public qv::ui::SheetWhiteList {
   public:
    ReadResult readAll() override { return {{"kept.test"}, std::nullopt}; }
    std::optional<qv::ui::ComError> replaceAll(const std::vector<std::string>&) override { return std::nullopt; }
  } list_;
};

// The named object's label and DACL as another process reads them.
void checkObject(HANDLE h, const std::string& name) {
  if (!h) {
    g_failures.push_back(name + ": not found by a second process");
    return;
  }
  PACL dacl = nullptr, sacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  const DWORD rc = GetSecurityInfo(h, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION,
                                   nullptr, nullptr, &dacl, &sacl, &sd);
  CloseHandle(h);
  if (rc != ERROR_SUCCESS) {
    g_failures.push_back(name + ": GetSecurityInfo " + std::to_string(rc));
    return;
  }
  const std::wstring user = userSid();
  // The label: low, no write-up.  (Read from the ACL itself: Wine's SDDL
  // writer leaves labels out.)
  bool low = false;
  for (DWORD i = 0; sacl && i < sacl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (!GetAce(sacl, i, reinterpret_cast<void**>(&ace)) || ace->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) continue;
    auto* label = reinterpret_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace);
    LPWSTR sid = nullptr;
    ConvertSidToStringSidW(&label->SidStart, &sid);
    low = sid && std::wstring(sid) == L"S-1-16-4096" && (label->Mask & SYSTEM_MANDATORY_LABEL_NO_WRITE_UP) != 0;
    LocalFree(sid);
  }
  check(low, name + ": no low no-write-up label");
  // The DACL: the user and the system, nobody else.
  bool userAce = false, systemAce = false, other = false;
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
    if (ace->AceType != ACCESS_ALLOWED_ACE_TYPE) {
      other = true;
      continue;
    }
    LPWSTR sid = nullptr;
    ConvertSidToStringSidW(&reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, &sid);
    const std::wstring s = sid ? sid : L"";
    LocalFree(sid);
    if (s == user) userAce = true;
    else if (s == L"S-1-5-18") systemAce = true;
    else other = true;
  }
  check(userAce && systemAce && !other, name + ": DACL is not the user's and the system's only");
  LocalFree(sd);
}

template <class F>
double microsEach(int n, F f) {
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < n; ++i) f();
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count() / n;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  FILE* out = std::fopen(argv[2], "w");
  if (!out) return 3;

  HMODULE ie = LoadLibraryW(L"ieframe.dll");
  using OpenFn = BOOL(WINAPI*)();
  using LogFn = LONG(WINAPI*)(const char**);
  using ClearFn = void(WINAPI*)();
  auto openWritable = reinterpret_cast<OpenFn>(reinterpret_cast<void*>(GetProcAddress(ie, "BrokerDoubleOpenWritable")));
  auto log = reinterpret_cast<LogFn>(reinterpret_cast<void*>(GetProcAddress(ie, "BrokerDoubleLog")));
  auto clear = reinterpret_cast<ClearFn>(reinterpret_cast<void*>(GetProcAddress(ie, "BrokerDoubleClearLog")));
  if (!openWritable || !log || !clear) {
    std::fprintf(out, "the broker double is not the process's ieframe.dll\n");
    return 20;
  }
  if (!openWritable()) return 21;

  double brokerToggle = 0, brokerSheet = 0, directToggle = 0, directSheet = 0;
  {
    ReadOnlyKey settingsKey(kSettings), mainKey(kMain);
    HKEY probe = nullptr;
    const LONG denied = RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_SET_VALUE, &probe);
    if (probe) RegCloseKey(probe);
    if (!settingsKey.applied() || !mainKey.applied() || denied != ERROR_ACCESS_DENIED) {
      std::fprintf(out, "the keys' DACL does not refuse writes (%ld)\n", static_cast<long>(denied));
      return 22;
    }

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // A browser not started by the shell ends here unless the module read
    // the user's UnfatheredEnable 0.
    HMODULE m = LoadLibraryA(argv[1]);
    if (!m) return 11;
    // The module's helper object starts in the tab (a message box would
    // hold it until the test gives up on the process).
    using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(m, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    IUnknown* pub = nullptr;
    check(get && SUCCEEDED(get(CLSID_CPub, IID_IClassFactory, reinterpret_cast<void**>(&factory))) &&
              SUCCEEDED(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&pub))),
          "no helper object in the tab");
    if (factory) factory->Release();
    if (pub) pub->Release();

    Recorder messages;
    qv::SharedSettings session;  // a record of this process's own, so that the load runs here
    qv::SettingsStore store(qv::win::tabRegistry(), messages, session);
    store.load();
    check(session.unfatheredEnable == 0, "the load did not read UnfatheredEnable");
    check(session.popupEnable == 0, "the load did not read PopupEnable");

    clear();
    const std::int32_t popup = store.toggle(qv::Toggle::PopupEnable);
    check(readDword(L"PopupEnable") == static_cast<DWORD>(popup), "the toggle was not kept");
    const char* text = nullptr;
    log(&text);
    check(std::string(text) == "set Software\\Harrowlyn\\Quillvane\\PopupEnable\n",
          "the toggle did not go through the broker: " + std::string(text));

    const auto dataMutex = qv::win::Win32NamedMutex::create(qv::kDataMutexName);
    const auto optionsMutex = qv::win::Win32NamedMutex::create(qv::kOptionsMutexName);
    OkHost host;
    const std::wstring animationsBefore = readMain(L"Play_Animations");
    const DWORD imagesBefore = readDword(L"BlockImages");
    clear();
    const qv::ui::OptionsPorts ports{session, qv::win::tabRegistry(), messages, optionsMutex.get(), dataMutex.get(),
                                     host};
    check(qv::ui::showOptions(ports, 0) == qv::ui::OptionsOutcome::Saved, "the sheet did not save");
    check(readDword(L"BlockImages") != imagesBefore, "the sheet's settings were not kept");
    check(readMain(L"Play_Animations") != animationsBefore, "the sheet's display values were not kept");
    check(log(&text) == 23 + 7, "the sheet's OK made " + std::to_string(log(&text)) + " broker calls");
    check(messages.shown.empty(), "a message was shown: " + (messages.shown.empty() ? "" : messages.shown[0]));

    // The module's named objects, made by the first process of the session.
    for (const auto name : {qv::kDataMutexName, qv::kOptionsMutexName, qv::kBrowserTableMutexName})
      checkObject(OpenMutexA(READ_CONTROL | SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, std::string(name).c_str()),
                  std::string(name));
    for (const auto name : {qv::kHistoryRegionName, qv::kSharedRecordName})
      checkObject(OpenFileMappingA(READ_CONTROL | FILE_MAP_WRITE, FALSE, std::string(name).c_str()), std::string(name));

    // What registration asks of the broker, and unregistration.
    clear();
    qv::win::registerWritableKeys(CLSID_CPub);
    qv::win::unregisterWritableKeys(CLSID_CPub);
    log(&text);
    check(std::string(text) ==
              "register Software\\Harrowlyn\\Quillvane\n"
              "register-value Software\\Microsoft\\Internet Explorer\\Main\\Display Inline Videos\n"
              "register-value Software\\Microsoft\\Internet Explorer\\Main\\Play_Background_Sounds\n"
              "register-value Software\\Microsoft\\Internet Explorer\\Main\\Display Inline Images\n"
              "register-value Software\\Microsoft\\Internet Explorer\\Main\\Expand Alt Text\n"
              "register-value Software\\Microsoft\\Internet Explorer\\Main\\Play_Animations\n"
              "register-value Software\\Microsoft\\Internet Explorer\\Main\\Disable Script Debugger\n"
              "register-value Software\\Microsoft\\Internet Explorer\\Main\\Show image placeholders\n"
              "unregister \n",
          "registration asked the broker: " + std::string(text));

    brokerToggle = microsEach(200, [&] { store.toggle(qv::Toggle::BlockFlash); });
    brokerSheet = microsEach(50, [&] { qv::ui::showOptions(ports, 0); });
    check(messages.shown.empty(), "a message was shown while measuring");
  }
  // The DACL restored: the same work written directly.
  {
    Recorder messages;
    qv::SharedSettings session;
    qv::win::Win32Registry direct;
    qv::SettingsStore store(direct, messages, session);
    store.load();
    const auto dataMutex = qv::win::Win32NamedMutex::create(qv::kDataMutexName);
    const auto optionsMutex = qv::win::Win32NamedMutex::create(qv::kOptionsMutexName);
    OkHost host;
    const qv::ui::OptionsPorts ports{session, direct, messages, optionsMutex.get(), dataMutex.get(), host};
    directToggle = microsEach(200, [&] { store.toggle(qv::Toggle::BlockFlash); });
    directSheet = microsEach(50, [&] { qv::ui::showOptions(ports, 0); });
    check(messages.shown.empty(), "a direct write failed");
  }
  std::fprintf(out, "measure toggle: broker %.1f us, direct %.1f us; sheet OK: broker %.1f us, direct %.1f us\n",
               brokerToggle, directToggle, brokerSheet, directSheet);
  for (const std::string& f : g_failures) std::fprintf(out, "FAIL %s\n", f.c_str());
  std::fclose(out);
  return g_failures.empty() ? 10 : 30;
}
