// DllRegisterServer / DllUnregisterServer: the registration table applied to
// the real registry, with the embedded type library registered between the
// class entries and the module entries.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <new>
#include <string>
#include <vector>

#include "com/guarded.h"
#include "com/module.h"
#include "com/registration.h"
#include "com/text.h"
#include "platform/win/broker_win.h"
#include "platform/win/registry_win.h"
#include "quillvane_i.h"

namespace qv::com {
namespace {

using Microsoft::WRL::ComPtr;

// The module's path, wide for the type library calls and in the ANSI code
// page for the registry.  A path the code page cannot spell is refused:
// writing it with substitute characters would register a file that does
// not exist.
HRESULT modulePaths(std::wstring& wide, std::string& ansi) {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(moduleInstance(), buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (n < buf.size()) {
      wide.assign(buf.data(), n);
      break;
    }
    if (buf.size() >= 32768) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    buf.resize(buf.size() * 2);
  }
  std::optional<std::string> exact = narrowExact(wide);
  if (!exact) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
  ansi = std::move(*exact);
  return S_OK;
}

HRESULT loadOwnTypeLibrary(const std::wstring& path, ComPtr<ITypeLib>& lib) {
  return LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.ReleaseAndGetAddressOf());
}

// Registers the embedded library with the module's folder as help folder.
HRESULT registerTypeLibrary(const std::wstring& path) {
  ComPtr<ITypeLib> lib;
  HRESULT hr = loadOwnTypeLibrary(path, lib);
  if (FAILED(hr)) return hr;
  std::wstring helpDir = path;
  const auto cut = helpDir.find_last_of(L"\\/");
  helpDir.resize(cut == std::wstring::npos ? 0 : cut);
  std::wstring fullPath = path;  // RegisterTypeLib takes non-const strings
  return RegisterTypeLib(lib.Get(), fullPath.data(), helpDir.empty() ? nullptr : helpDir.data());
}

// Unregisters the library under exactly the identity it was registered with
// (GUID, version, locale and platform as recorded in the library itself).
HRESULT unregisterTypeLibrary(const std::wstring& path) {
  ComPtr<ITypeLib> lib;
  HRESULT hr = loadOwnTypeLibrary(path, lib);
  if (FAILED(hr)) return hr;
  TLIBATTR* attr = nullptr;
  hr = lib->GetLibAttr(&attr);
  if (FAILED(hr)) return hr;
  const TLIBATTR a = *attr;
  lib->ReleaseTLibAttr(attr);
  return UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
}

}  // namespace
}  // namespace qv::com

extern "C" HRESULT WINAPI DllRegisterServer() {
  using namespace qv::com;
  return guarded([] {
    std::wstring wide;
    std::string ansi;
    const HRESULT hr = modulePaths(wide, ansi);
    if (FAILED(hr)) return hr;
    qv::win::Win32Registry registry;
    const HRESULT registered = static_cast<HRESULT>(
        registerServer(registry, ansi, [&] { return static_cast<HResult>(registerTypeLibrary(wide)); }));
    // Protected Mode tabs write the settings through the browser's broker,
    // which writes only keys registered here.  Without it (an older browser)
    // the module still works; such tabs then keep their changes for the
    // session and say so once.
    if (SUCCEEDED(registered)) qv::win::registerWritableKeys(CLSID_CPub);
    return registered;
  });
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
  using namespace qv::com;
  return guarded([] {
    std::wstring wide;
    std::string ansi;
    const HRESULT pathResult = modulePaths(wide, ansi);
    qv::win::Win32Registry registry;
    qv::win::unregisterWritableKeys(CLSID_CPub);
    // The type library needs only the wide path; without it the library
    // cannot be reached, but the registry entries are still removed.
    return static_cast<HRESULT>(unregisterServer(registry, [&]() -> HResult {
      return wide.empty() ? pathResult : unregisterTypeLibrary(wide);
    }));
  });
}
