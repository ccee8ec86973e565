// Helpers for the white list object's Windows tests: owned BSTRs and
// VARIANTs, a scratch folder, objects made by the loaded module's class
// factory, and Invoke with arguments given in positional order.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "quillvane_i.h"
#include "whitelist/win/whitelist_object.h"

namespace qvtest {

using Microsoft::WRL::ComPtr;

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const wchar_t* text) : b_(text ? SysAllocString(text) : nullptr) {}
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }
  BSTR* receive() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  std::wstring str() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }

 private:
  BSTR b_ = nullptr;
};

struct Var {
  VARIANT v;
  Var() { VariantInit(&v); }
  explicit Var(const wchar_t* text) : Var() {
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text);
  }
  ~Var() { VariantClear(&v); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  VARIANT* operator&() { return &v; }
};

// A one-dimensional SAFEARRAY of VARIANTs holding BSTRs, with the given
// lower bound.
SAFEARRAY* makeStringArray(const std::vector<std::wstring>& items, LONG lowerBound = 0);

// The strings of a VT_ARRAY|VT_VARIANT value, in index order; the lower bound
// is stored in *lowerBound.
std::vector<std::wstring> stringsOfArray(const VARIANT& value, LONG* lowerBound = nullptr);

// A folder of its own under the temporary folder, removed with its files.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string path(const char* name) const { return dir_ + "\\" + name; }
  std::wstring wpath(const char* name) const;

 private:
  std::string dir_;
};

std::string readFile(const std::string& path);  // "<missing>" when it cannot be read
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// Whether a result is how the object reports a failed rewrite of its file:
// the system's error as an HRESULT, or STG_E_WRITEFAULT without one.
inline bool isSaveFailure(HRESULT hr) {
  return hr == STG_E_WRITEFAULT || (FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_WIN32);
}

// A new white list object from the module's class factory.
ComPtr<IWhiteList> newWhiteList();
// A new white list object loaded from `path`.
// A white list object Loaded from `path`, held as the module's holders hold
// it (letting go revokes its running object table entry).
qv::com::WhiteListOwner loadedWhiteList(const std::wstring& path);

// All sites by GetFirst/GetNext.
std::vector<std::wstring> enumerate(IWhiteList* list);

// IDispatch::Invoke with `args` in positional order (reversed into rgvarg).
HRESULT invoke(IDispatch* disp, DISPID id, std::vector<VARIANT> args, VARIANT* result = nullptr,
               UINT* argErr = nullptr);
// IDispatch::Invoke with a DISPPARAMS block as given.
HRESULT invokeRaw(IDispatch* disp, DISPID id, DISPPARAMS* params, VARIANT* result = nullptr, UINT* argErr = nullptr);

}  // namespace qvtest
