#include "whitelist/win/locate_win.h"

#include <windows.h>
#include <oleauto.h>
#include <shlobj.h>
#include <knownfolders.h>

#include <vector>

#include "com/module.h"
#include "com/text.h"
#include "platform/win/files_win.h"
#include "quillvane_i.h"

namespace qv::wl::win {
namespace {

}  // namespace

ModuleFileName Win32LocateEnvironment::moduleFileName() {
  ModuleFileName result;
  char path[kModulePathCapacity] = {};
  SetLastError(ERROR_SUCCESS);
  const DWORD n = GetModuleFileNameA(qv::com::moduleInstance(), path, static_cast<DWORD>(sizeof path));
  if (n == 0) {
    result.systemError = GetLastError();
  } else if (n >= sizeof path) {
    // Cut short to fit the buffer: no usable path.
    result.systemError = ERROR_INSUFFICIENT_BUFFER;
  } else {
    result.ok = true;
    result.path.assign(path, n);
  }
  return result;
}

std::optional<std::string> Win32LocateEnvironment::personalFolder() {
  char path[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathA(nullptr, path, CSIDL_PERSONAL, FALSE)) return std::nullopt;
  path[MAX_PATH] = '\0';
  return std::string(path);
}

std::optional<std::string> Win32LocateEnvironment::sharedLowFolder() {
  PWSTR base = nullptr;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppDataLow, 0, nullptr, &base)) || !base) {
    CoTaskMemFree(base);
    return std::nullopt;
  }
  std::wstring folder(base);
  CoTaskMemFree(base);
  for (const wchar_t* part : {L"\\Harrowlyn", L"\\Quillvane"}) {
    folder += part;
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return std::nullopt;
  }
  // The file port speaks the ANSI code page: a folder it cannot spell is no folder.
  return qv::com::narrowExact(folder);
}

void setPubErrorInfo(const std::string& text, std::int32_t hresult) {
  (void)hresult;  // the HRESULT travels as the failing call's result; the
                  // error object carries the text and the source
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create)) || !create) return;
  create->SetGUID(GUID_NULL);
  LPOLESTR progId = nullptr;
  if (SUCCEEDED(ProgIDFromCLSID(CLSID_CPub, &progId)) && progId) {
    create->SetSource(progId);
    CoTaskMemFree(progId);
  } else {
    wchar_t fallback[] = L"Quillvane.Pub.1";
    create->SetSource(fallback);
  }
  std::wstring description = qv::com::widen(text);
  create->SetDescription(description.data());
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) && info) {
    ::SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}

LocatedFile locateWhiteListFileWin32(Messages& messages) {
  Win32LocateEnvironment env;
  qv::win::Win32FileSystem files;
  return locateWhiteListFile(env, files, messages, setPubErrorInfo);
}

}  // namespace qv::wl::win
