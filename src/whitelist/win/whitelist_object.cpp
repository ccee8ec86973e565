// CWhiteList: the COM shell around one white list store.  The set, its
// order, the file format and the address matching all live in the store and
// the address rules; this file decodes COM arguments, calls them and encodes
// the answers.
#include "whitelist/win/whitelist_object.h"

#include <objbase.h>
#include <oleauto.h>

#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "com/classes.h"
#include "com/module.h"
#include "platform/win/files_win.h"
#include "whitelist/store.h"
#include "whitelist/win/wide_text.h"
#include "whitelist/win/whitelist_dispatch.h"

namespace qv::com {

// {6D1F3A52-8C4B-4E2F-9B1D-3A7C5E0F2B91}
const IID IID_IWhiteListReplace = {0x6d1f3a52, 0x8c4b, 0x4e2f, {0x9b, 0x1d, 0x3a, 0x7c, 0x5e, 0x0f, 0x2b, 0x91}};

namespace {

// Runs one COM entry point's body; no exception leaves it.
template <class F>
HRESULT guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// A VARIANT that is cleared when it goes out of scope.
struct ScopedVariant {
  VARIANT v;
  ScopedVariant() { VariantInit(&v); }
  ~ScopedVariant() { VariantClear(&v); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
};

struct SafeArrayDeleter {
  void operator()(SAFEARRAY* a) const { SafeArrayDestroy(a); }
};
using UniqueSafeArray = std::unique_ptr<SAFEARRAY, SafeArrayDeleter>;

// Keeps a SAFEARRAY's data locked while it is read.
class ArrayData {
 public:
  explicit ArrayData(SAFEARRAY* a) : array_(a), hr_(SafeArrayAccessData(a, &data_)) {}
  ~ArrayData() {
    if (SUCCEEDED(hr_)) SafeArrayUnaccessData(array_);
  }
  ArrayData(const ArrayData&) = delete;
  ArrayData& operator=(const ArrayData&) = delete;
  bool ok() const { return SUCCEEDED(hr_) && data_ != nullptr; }
  const VARIANT* variants() const { return static_cast<const VARIANT*>(data_); }

 private:
  SAFEARRAY* array_;
  void* data_ = nullptr;
  HRESULT hr_;
};

// The site texts held by a PutWhiteList value, or DISP_E_TYPEMISMATCH when
// the value is neither VT_EMPTY nor a one-dimensional array of VARIANTs
// (directly or by reference).  Elements that are not VT_BSTR are skipped.
HRESULT sitesOfList(const VARIANT& list, std::vector<std::string>& sites) {
  sites.clear();
  if (V_VT(&list) == VT_EMPTY) return S_OK;
  SAFEARRAY* array = nullptr;
  if (V_VT(&list) == (VT_ARRAY | VT_VARIANT))
    array = V_ARRAY(&list);
  else if (V_VT(&list) == (VT_BYREF | VT_ARRAY | VT_VARIANT) && V_ARRAYREF(&list))
    array = *V_ARRAYREF(&list);
  else
    return DISP_E_TYPEMISMATCH;
  // The type tag is the caller's word; the array's own description must
  // agree before its elements are read as VARIANTs.
  if (!array || SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != sizeof(VARIANT))
    return DISP_E_TYPEMISMATCH;
  VARTYPE elementType = VT_EMPTY;
  if (FAILED(SafeArrayGetVartype(array, &elementType)) || elementType != VT_VARIANT) return DISP_E_TYPEMISMATCH;
  const ULONG count = array->rgsabound[0].cElements;
  if (count == 0) return S_OK;
  ArrayData data(array);
  if (!data.ok()) return DISP_E_TYPEMISMATCH;
  sites.reserve(count);
  for (ULONG i = 0; i < count; ++i) {
    const VARIANT& element = data.variants()[i];
    if (V_VT(&element) == VT_BSTR) sites.push_back(win::narrowFromBstr(V_BSTR(&element)));
  }
  return S_OK;
}

FileSystem& systemFiles() {
  static win::Win32FileSystem files;
  return files;
}

class WhiteList final : public IWhiteList, public IPersistFile, public IProvideClassInfo, public IWhiteListReplace {
 public:
  explicit WhiteList(FileSystem& files) : store_(files) {}

  // IUnknown -----------------------------------------------------------------
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWhiteList)
      *out = static_cast<IWhiteList*>(this);
    else if (iid == IID_IPersistFile || iid == IID_IPersist)
      *out = static_cast<IPersistFile*>(this);
    else if (iid == IID_IProvideClassInfo)
      *out = static_cast<IProvideClassInfo*>(this);
    else if (iid == IID_IWhiteListReplace)
      *out = static_cast<IWhiteListReplace*>(this);
    else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) {
      delete this;
      return 0;
    }
    if (rotCookie_ != 0 && n == rotRefs_) {
      // Only the running object table's own references are left.  The
      // registration is meant to be weak, but the table's marshaled entry
      // holds real references; without this the object (and the module)
      // would stay alive until the apartment ends.  End the registration,
      // which drops those references, and let the object go.
      AddRef();
      revoke();
      return Release();
    }
    return static_cast<ULONG>(n);
  }

  // IDispatch ----------------------------------------------------------------
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    ITypeInfo* info = nullptr;
    *count = SUCCEEDED(getTypeInfo(IID_IWhiteList, &info)) ? 1 : 0;
    if (info) info->Release();
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return getTypeInfo(IID_IWhiteList, info);
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count == 0) return S_OK;
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      if (!win::lookUpWhiteListName(names[i], &ids[i])) {
        ids[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
      }
    }
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT* argErr) override {
    return guarded([&] { return invoke(id, params, result, argErr); });
  }

  // IWhiteList ---------------------------------------------------------------
  STDMETHODIMP Add(BSTR domain) override {
    return guarded([&] { return store_.insert(win::narrowFromBstr(domain)) ? save() : S_OK; });
  }
  STDMETHODIMP Delete(BSTR domain) override {
    return guarded([&] { return store_.erase(win::narrowFromBstr(domain)) ? save() : S_OK; });
  }
  STDMETHODIMP Find(BSTR domain, VARIANT_BOOL* found) override {
    if (!found) return E_POINTER;
    *found = VARIANT_FALSE;
    return guarded([&] {
      *found = store_.lookup(win::narrowFromBstr(domain)) ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
  STDMETHODIMP GetWhiteList(VARIANT* list) override {
    if (!list) return E_POINTER;
    return guarded([&] {
      VariantClear(list);
      const auto& sites = store_.sites();
      if (sites.empty()) return S_OK;
      const HRESULT hr = copySitesOut(list);
      if (FAILED(hr)) {
        V_VT(list) = VT_ERROR;
        V_ERROR(list) = hr;
      }
      return S_OK;
    });
  }
  STDMETHODIMP PutWhiteList(VARIANT list) override {
    return guarded([&] {
      std::vector<std::string> sites;
      const HRESULT hr = sitesOfList(list, sites);
      if (FAILED(hr)) return hr;
      store_.clear();
      for (const std::string& site : sites) store_.insert(site);
      store_.rewind();
      return save();
    });
  }
  STDMETHODIMP DeleteAll() override {
    return guarded([&] {
      store_.clear();
      return save();
    });
  }
  STDMETHODIMP GetFirst(BSTR* domain) override {
    if (!domain) return E_POINTER;
    return guarded([&] {
      store_.rewind();
      return giveCurrent(domain);
    });
  }
  STDMETHODIMP GetNext(BSTR* domain) override {
    if (!domain) return E_POINTER;
    return guarded([&] {
      store_.advance();
      return giveCurrent(domain);
    });
  }

  // IWhiteListReplace --------------------------------------------------------
  STDMETHODIMP ReplaceAll(const char* const* sites, ULONG count) override {
    if (!sites && count != 0) return E_POINTER;
    return guarded([&] {
      std::vector<std::string> texts;
      texts.reserve(count);
      for (ULONG i = 0; i < count; ++i) texts.emplace_back(sites[i] ? sites[i] : "");
      const wl::StoreResult r = store_.replaceAll(texts);
      return r.ok() ? S_OK : whiteListSaveError(r.systemError);
    });
  }

  // IPersist / IPersistFile ----------------------------------------------------
  STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
  STDMETHODIMP IsDirty() override { return E_NOTIMPL; }
  STDMETHODIMP Load(LPCOLESTR fileName, DWORD) override {
    if (!fileName) return E_POINTER;
    return guarded([&] {
      revoke();  // a second Load replaces the first one's registration
      store_.setFileName(win::narrowFromWide(fileName));
      // An unreadable file gives an empty list and no registration.
      if (store_.loadFile().status != wl::StoreStatus::Ok) return S_OK;
      registerRunning(fileName);
      return S_OK;
    });
  }
  STDMETHODIMP Save(LPCOLESTR, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP SaveCompleted(LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP GetCurFile(LPOLESTR*) override { return E_NOTIMPL; }

  // IProvideClassInfo ----------------------------------------------------------
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    return getTypeInfo(CLSID_CWhiteList, info);
  }

 private:
  ~WhiteList() { revoke(); }

  // Rewrites the file after a change.  An object that was never loaded has
  // no file and keeps its list in memory only; a failed rewrite is reported
  // (the in-memory list keeps the change).
  HRESULT save() {
    const wl::StoreResult r = store_.saveFile();
    return r.ok() ? S_OK : whiteListSaveError(r.systemError);
  }

  HRESULT giveCurrent(BSTR* domain) {
    const std::string* site = store_.current();
    if (!site) return S_FALSE;
    BSTR copy = win::bstrFromNarrow(*site);
    if (!copy) return E_OUTOFMEMORY;
    *domain = copy;
    return S_OK;
  }

  HRESULT copySitesOut(VARIANT* list) {
    const auto& sites = store_.sites();
    if (sites.size() > std::numeric_limits<ULONG>::max() / sizeof(VARIANT)) return E_OUTOFMEMORY;
    UniqueSafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(sites.size())));
    if (!array) return E_OUTOFMEMORY;
    {
      ArrayData data(array.get());
      if (!data.ok()) return E_UNEXPECTED;
      auto* elements = const_cast<VARIANT*>(data.variants());
      ULONG i = 0;
      for (const std::string& site : sites) {
        BSTR text = win::bstrFromNarrow(site);
        if (!text) return E_OUTOFMEMORY;  // the array (with what it holds) is destroyed
        V_VT(&elements[i]) = VT_BSTR;
        V_BSTR(&elements[i]) = text;
        ++i;
      }
    }
    V_VT(list) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(list) = array.release();
    return S_OK;
  }

  // Registers this object in the running object table under a file moniker
  // of its file (flags 0: a weak registration).  Failures leave it
  // unregistered; nothing in the system depends on the entry.
  void registerRunning(LPCOLESTR fileName) {
    IRunningObjectTable* rot = nullptr;
    if (FAILED(GetRunningObjectTable(0, &rot)) || !rot) return;
    IMoniker* moniker = nullptr;
    if (SUCCEEDED(CreateFileMoniker(fileName, &moniker)) && moniker) {
      DWORD cookie = 0;
      const LONG before = refs_;
      if (SUCCEEDED(rot->Register(0, static_cast<IWhiteList*>(this), moniker, &cookie)) && cookie != 0) {
        rotCookie_ = cookie;
        // How many references the table's entry holds (none on a table that
        // keeps no reference, in which case destruction revokes as usual).
        rotRefs_ = refs_ > before ? refs_ - before : -1;
      }
      moniker->Release();
    }
    rot->Release();
  }

  void revoke() {
    if (rotCookie_ == 0) return;
    const DWORD cookie = rotCookie_;
    rotCookie_ = 0;
    rotRefs_ = -1;
    IRunningObjectTable* rot = nullptr;
    if (SUCCEEDED(GetRunningObjectTable(0, &rot)) && rot) {
      rot->Revoke(cookie);
      rot->Release();
    }
  }

  HRESULT invoke(DISPID id, DISPPARAMS* params, VARIANT* result, UINT* argErr);

  LONG refs_ = 0;
  ModuleLock lock_;
  wl::WhiteListStore store_;
  DWORD rotCookie_ = 0;
  LONG rotRefs_ = -1;  // references the table's entry holds; -1 when none
};

// Reads the text argument of Add, Delete and Find: a BSTR, or anything
// VariantChangeType turns into one.
HRESULT textArgument(VARIANT* arg, ScopedVariant& converted, BSTR& text, UINT* argErr) {
  if (V_VT(arg) == VT_BSTR) {
    text = V_BSTR(arg);
    return S_OK;
  }
  if (FAILED(VariantChangeType(&converted.v, arg, 0, VT_BSTR)) || V_VT(&converted.v) != VT_BSTR) {
    if (argErr) *argErr = 0;
    return DISP_E_TYPEMISMATCH;
  }
  text = V_BSTR(&converted.v);
  return S_OK;
}

HRESULT WhiteList::invoke(DISPID id, DISPPARAMS* params, VARIANT* result, UINT* argErr) {
  if (result) VariantInit(result);
  if (!params) return DISP_E_BADVARTYPE;
  if (params->cArgs > 2) return DISP_E_BADPARAMCOUNT;
  win::PlacedArgs args;
  HRESULT hr = win::placeWhiteListArgs(params, args, argErr);
  if (FAILED(hr)) return hr;
  if (id < win::kDispAdd || id > win::kDispGetNext) return DISP_E_MEMBERNOTFOUND;
  const UINT needed = id == win::kDispDeleteAll ? 0 : 1;
  if (args.count != needed) return DISP_E_BADPARAMCOUNT;
  VARIANT* arg = args.at[0];

  switch (id) {
    case win::kDispAdd:
    case win::kDispDelete:
    case win::kDispFind: {
      ScopedVariant converted;
      BSTR text = nullptr;
      hr = textArgument(arg, converted, text, argErr);
      if (FAILED(hr)) return hr;
      if (id == win::kDispAdd) return Add(text);
      if (id == win::kDispDelete) return Delete(text);
      VARIANT_BOOL found = VARIANT_FALSE;
      hr = Find(text, &found);
      if (SUCCEEDED(hr) && result) {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = found;
      }
      return hr;
    }
    case win::kDispGetWhiteList: {
      if (V_VT(arg) != (VT_BYREF | VT_VARIANT)) {
        if (argErr) *argErr = 0;
        return DISP_E_TYPEMISMATCH;
      }
      VARIANT* target = V_VARIANTREF(arg);
      if (!target) return E_POINTER;
      VariantClear(target);
      return GetWhiteList(target);
    }
    case win::kDispPutWhiteList: {
      const VARIANT* source = arg;
      if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) {
        source = V_VARIANTREF(arg);
        if (!source) return E_POINTER;
      }
      hr = PutWhiteList(*source);
      if (hr == DISP_E_TYPEMISMATCH && argErr) *argErr = 0;
      return hr;
    }
    case win::kDispDeleteAll:
      return DeleteAll();
    case win::kDispGetFirst:
    case win::kDispGetNext: {
      const bool first = id == win::kDispGetFirst;
      if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) {
        VARIANT* target = V_VARIANTREF(arg);
        if (!target) return E_POINTER;
        VariantClear(target);
        V_VT(target) = VT_BSTR;
        V_BSTR(target) = nullptr;
        return first ? GetFirst(&V_BSTR(target)) : GetNext(&V_BSTR(target));
      }
      // Anything else must really be a reference to a BSTR before it is
      // written through.
      if (V_VT(arg) != (VT_BYREF | VT_BSTR)) {
        if (argErr) *argErr = 0;
        return DISP_E_TYPEMISMATCH;
      }
      BSTR* target = V_BSTRREF(arg);
      if (!target) return E_POINTER;
      BSTR text = nullptr;
      hr = first ? GetFirst(&text) : GetNext(&text);
      if (hr == S_OK) {
        // The reference is in/out: the caller's previous string is ours to free.
        SysFreeString(*target);
        *target = text;
      }
      return hr;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace

HRESULT whiteListSaveError(std::uint32_t systemError) {
  return systemError != 0 ? HRESULT_FROM_WIN32(systemError) : STG_E_WRITEFAULT;
}

HRESULT createWhiteListOver(FileSystem& files, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return guarded([&] {
    auto* obj = new WhiteList(files);
    obj->AddRef();
    const HRESULT hr = obj->QueryInterface(iid, out);
    obj->Release();
    return hr;
  });
}

HRESULT createWhiteList(REFIID iid, void** out) { return createWhiteListOver(systemFiles(), iid, out); }

HRESULT createAndLoadWhiteList(const wchar_t* path, IWhiteList** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!path) return E_POINTER;
  IWhiteList* list = nullptr;
  HRESULT hr = createWhiteList(IID_IWhiteList, reinterpret_cast<void**>(&list));
  if (FAILED(hr)) return hr;
  IPersistFile* file = nullptr;
  hr = list->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(hr)) {
    hr = file->Load(path, 0);
    file->Release();
  }
  if (FAILED(hr)) {
    list->Release();
    return hr;
  }
  *out = list;
  return S_OK;
}

}  // namespace qv::com
