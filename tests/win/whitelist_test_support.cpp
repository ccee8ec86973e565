#include "whitelist_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "win_test_support.h"

namespace qvtest {

SAFEARRAY* makeStringArray(const std::vector<std::wstring>& items, LONG lowerBound) {
  SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), lowerBound};
  SAFEARRAY* a = SafeArrayCreate(VT_VARIANT, 1, &bound);
  for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
    Var element(items[static_cast<size_t>(i)].c_str());
    LONG index = lowerBound + i;
    SafeArrayPutElement(a, &index, &element.v);
  }
  return a;
}

std::vector<std::wstring> stringsOfArray(const VARIANT& value, LONG* lowerBound) {
  std::vector<std::wstring> out;
  EXPECT_EQ(V_VT(&value), VT_ARRAY | VT_VARIANT);
  if (V_VT(&value) != (VT_ARRAY | VT_VARIANT)) return out;
  SAFEARRAY* a = V_ARRAY(&value);
  EXPECT_EQ(SafeArrayGetDim(a), 1u);
  LONG lo = 0, hi = -1;
  SafeArrayGetLBound(a, 1, &lo);
  SafeArrayGetUBound(a, 1, &hi);
  if (lowerBound) *lowerBound = lo;
  for (LONG i = lo; i <= hi; ++i) {
    Var element;
    SafeArrayGetElement(a, &i, &element.v);
    EXPECT_EQ(V_VT(&element.v), VT_BSTR) << i;
    out.emplace_back(V_VT(&element.v) == VT_BSTR && V_BSTR(&element.v) ? V_BSTR(&element.v) : L"");
  }
  return out;
}

ScratchDir::ScratchDir() {
  static std::atomic<int> serial{0};
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  dir_ = std::string(temp) + "qvwl_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
  CreateDirectoryA(dir_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() {
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((dir_ + "\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") {
        SetFileAttributesA((dir_ + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA((dir_ + "\\" + name).c_str());
      }
    } while (FindNextFileA(h, &found));
    FindClose(h);
  }
  SetFileAttributesA(dir_.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(dir_.c_str());
}

std::wstring ScratchDir::wpath(const char* name) const {
  const std::string p = path(name);
  return std::wstring(p.begin(), p.end());
}

std::string readFile(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string out;
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
  CloseHandle(h);
  return out;
}

void writeFile(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  DWORD n = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(h);
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

ComPtr<IWhiteList> newWhiteList() {
  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObjectFn>(
      reinterpret_cast<void*>(GetProcAddress(module(), "DllGetClassObject")));
  ComPtr<IWhiteList> list;
  if (!get) {
    ADD_FAILURE() << "DllGetClassObject missing";
    return list;
  }
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(get(CLSID_CWhiteList, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())), S_OK);
  if (factory) {
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IWhiteList, reinterpret_cast<void**>(list.GetAddressOf())), S_OK);
  }
  return list;
}

qv::com::WhiteListOwner loadedWhiteList(const std::wstring& path) {
  qv::com::WhiteListOwner list(newWhiteList());
  ComPtr<IPersistFile> file;
  if (list) {
    EXPECT_EQ(list.As(&file), S_OK);
  }
  if (file) {
    EXPECT_EQ(file->Load(path.c_str(), 0), S_OK);
  }
  return list;
}

std::vector<std::wstring> enumerate(IWhiteList* list) {
  std::vector<std::wstring> out;
  Bstr site;
  HRESULT hr = list->GetFirst(site.receive());
  while (hr == S_OK) {
    out.push_back(site.str());
    if (out.size() > 10000) break;
    hr = list->GetNext(site.receive());
  }
  EXPECT_EQ(hr, S_FALSE);
  return out;
}

HRESULT invoke(IDispatch* disp, DISPID id, std::vector<VARIANT> args, VARIANT* result, UINT* argErr) {
  std::reverse(args.begin(), args.end());
  DISPPARAMS params{};
  params.rgvarg = args.empty() ? nullptr : args.data();
  params.cArgs = static_cast<UINT>(args.size());
  return invokeRaw(disp, id, &params, result, argErr);
}

HRESULT invokeRaw(IDispatch* disp, DISPID id, DISPPARAMS* params, VARIANT* result, UINT* argErr) {
  return disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, result, nullptr, argErr);
}

}  // namespace qvtest
