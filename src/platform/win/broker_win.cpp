#include "platform/win/broker_win.h"

#include <cstring>
#include <string>
#include <vector>

#include "com/text.h"
#include "core/settings.h"
#include "ui/options_sheet.h"

namespace qv::win {
namespace {

// Declared here: the toolchain ships no header for them.
using IsProtectedModeProcessFn = HRESULT(WINAPI*)(BOOL*);
using RegCreateKeyExFn = HRESULT(WINAPI*)(LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                          LPDWORD);
using RegSetValueExFn = HRESULT(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
using RegisterWritableKeyFn = HRESULT(WINAPI*)(GUID, LPCWSTR, BOOL);
using RegisterWritableValueFn = HRESULT(WINAPI*)(GUID, LPCWSTR, LPCWSTR, DWORD, const BYTE*, DWORD);
using UnregisterWritableFn = HRESULT(WINAPI*)(GUID);

HMODULE browserLibrary() {
  static const HMODULE library = [] {
    HMODULE m = GetModuleHandleW(L"ieframe.dll");
    return m ? m : LoadLibraryW(L"ieframe.dll");
  }();
  return library;
}

template <class Fn>
Fn find(const char* name) {
  const HMODULE m = browserLibrary();
  return m ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

struct Functions {
  IsProtectedModeProcessFn isProtected = find<IsProtectedModeProcessFn>("IEIsProtectedModeProcess");
  RegCreateKeyExFn createKey = find<RegCreateKeyExFn>("IERegCreateKeyEx");
  RegSetValueExFn setValue = find<RegSetValueExFn>("IERegSetValueEx");
};

const Functions& functions() {
  static const Functions f;
  return f;
}

// The broker's calls are wide: a string is stored as the wide calls store
// it, up to its first zero and with a terminating zero.
std::vector<BYTE> wideData(const RegValue& value) {
  if (value.type != RegType::Sz && value.type != RegType::ExpandSz) return value.data;
  const std::string narrowText(value.data.begin(), value.data.end());
  std::wstring wide = com::widen(narrowText);  // stops at the first zero
  wide.push_back(L'\0');
  std::vector<BYTE> out(wide.size() * sizeof(wchar_t));
  std::memcpy(out.data(), wide.data(), out.size());
  return out;
}

// The browser values the options sheet writes: name, type, largest size.
struct WritableValue {
  const wchar_t* name;
  DWORD type;
  DWORD maxBytes;
};
constexpr WritableValue kDisplayValues[] = {
    {L"Display Inline Videos", REG_SZ, 8},  {L"Play_Background_Sounds", REG_SZ, 8},
    {L"Display Inline Images", REG_SZ, 8},  {L"Expand Alt Text", REG_SZ, 8},
    {L"Play_Animations", REG_SZ, 8},        {L"Disable Script Debugger", REG_SZ, 8},
    {L"Show image placeholders", REG_DWORD, 4},
};

}  // namespace

RegStatus regStatusFromHresult(HRESULT hr) {
  if (SUCCEEDED(hr)) return RegStatus::Ok;
  if (hr == E_ACCESSDENIED) return RegStatus::AccessDenied;  // also HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)
  if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND))
    return RegStatus::NotFound;
  return RegStatus::Failed;
}

bool Win32Broker::protectedMode() {
  static const bool tab = [] {
    BOOL yes = FALSE;
    const auto fn = functions().isProtected;
    return fn && SUCCEEDED(fn(&yes)) && yes != FALSE;
  }();
  return tab;
}

bool Win32Broker::available() { return functions().createKey && functions().setValue; }

RegStatus Win32Broker::createKey(std::string_view path) {
  if (!available()) return RegStatus::AccessDenied;
  const std::wstring p = com::widen(path);
  HKEY key = nullptr;
  DWORD disposition = 0;
  const HRESULT hr = functions().createKey(p.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                           nullptr, &key, &disposition);
  if (SUCCEEDED(hr) && key) RegCloseKey(key);
  return regStatusFromHresult(hr);
}

RegStatus Win32Broker::setValue(std::string_view path, std::string_view name, const RegValue& value) {
  if (!available()) return RegStatus::AccessDenied;
  const std::wstring p = com::widen(path);
  const std::wstring n = com::widen(name);
  const std::vector<BYTE> data = wideData(value);
  return regStatusFromHresult(functions().setValue(p.c_str(), n.c_str(), 0, static_cast<DWORD>(value.type),
                                                   data.empty() ? nullptr : data.data(),
                                                   static_cast<DWORD>(data.size())));
}

Win32Broker& broker() {
  static Win32Broker b;
  return b;
}

HRESULT registerWritableKeys(const GUID& owner) {
  const auto key = find<RegisterWritableKeyFn>("IERegisterWritableRegistryKey");
  const auto value = find<RegisterWritableValueFn>("IERegisterWritableRegistryValue");
  if (!key) return S_FALSE;
  const std::wstring settings = com::widen(settingsKeyPath());
  HRESULT hr = key(owner, settings.c_str(), FALSE);
  if (FAILED(hr) || !value) return hr;
  // Only the seven values the sheet writes, never the browser's whole key.
  const std::wstring main = com::widen(ui::kBrowserMainKey);
  for (const WritableValue& v : kDisplayValues) {
    const HRESULT one = value(owner, main.c_str(), v.name, v.type, nullptr, v.maxBytes);
    if (FAILED(one) && SUCCEEDED(hr)) hr = one;
  }
  return hr;
}

HRESULT unregisterWritableKeys(const GUID& owner) {
  const auto fn = find<UnregisterWritableFn>("IEUnregisterWritableRegistry");
  return fn ? fn(owner) : S_FALSE;
}

}  // namespace qv::win
