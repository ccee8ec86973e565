// CWhiteList: the COM shell around one white list store.  The set, its
// order, the file format and the address matching live in the store and the
// address rules; the automation decoding in whitelist_dispatch, the arrays
// in whitelist_array.  This file holds the object, its running object table
// entry and the ways to create it.
#include "whitelist/win/whitelist_object.h"

#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "com/classes.h"
#include "com/guarded.h"
#include "com/module.h"
#include "com/text.h"
#include "com/variant.h"
#include "platform/win/files_win.h"
#include "whitelist/store.h"
#include "whitelist/win/whitelist_array.h"
#include "whitelist/win/whitelist_dispatch.h"

namespace qv::com {

// {6D1F3A52-8C4B-4E2F-9B1D-3A7C5E0F2B91}
const IID IID_IWhiteListReplace = {0x6d1f3a52, 0x8c4b, 0x4e2f, {0x9b, 0x1d, 0x3a, 0x7c, 0x5e, 0x0f, 0x2b, 0x91}};

namespace {

using Microsoft::WRL::ComPtr;

FileSystem& systemFiles() {
  static win::Win32FileSystem files;
  return files;
}

class WhiteList final : public IWhiteList,
                        public IPersistFile,
                        public IProvideClassInfo,
                        public WhiteListRegistration,
                        public IWhiteListReplace {
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
    else if (iid == kIidWhiteListRegistration)
      *out = static_cast<WhiteListRegistration*>(this);
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
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  // IDispatch ----------------------------------------------------------------
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    ComPtr<ITypeInfo> info;
    *count = SUCCEEDED(getTypeInfo(IID_IWhiteList, info.GetAddressOf())) ? 1 : 0;
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
    return guarded([&] { return win::invokeWhiteList(*this, id, params, result, argErr); });
  }

  // IWhiteList ---------------------------------------------------------------
  // Add, Delete, PutWhiteList and DeleteAll are all or nothing: when the
  // file cannot be written the list stays as it was and the error is
  // returned.  A site that is empty, or that has no exact narrow form, is
  // refused with E_INVALIDARG.
  STDMETHODIMP Add(BSTR domain) override {
    return guarded([&] {
      const std::optional<std::string> site = narrowAddressBstr(domain, AddressUse::Entry);
      if (!site) return E_INVALIDARG;
      return changeResult(store_.add(*site));
    });
  }
  STDMETHODIMP Delete(BSTR domain) override {
    return guarded([&] {
      const std::optional<std::string> site = narrowAddressBstr(domain, AddressUse::Entry);
      if (!site) return S_OK;  // no such site can be on the list
      return changeResult(store_.remove(*site));
    });
  }
  STDMETHODIMP Find(BSTR domain, VARIANT_BOOL* found) override {
    if (!found) return E_POINTER;
    *found = VARIANT_FALSE;
    return guarded([&] {
      // An address with no exact narrow form is on no list.
      const std::optional<std::string> address = narrowAddressBstr(domain, AddressUse::PageAddress);
      *found = address && store_.lookup(*address) ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
  STDMETHODIMP GetWhiteList(VARIANT* list) override {
    if (!list) return E_POINTER;
    return guarded([&] {
      Variant out;
      if (!store_.sites().empty()) {
        const HRESULT hr = win::listOfSites(store_.sites(), out);
        if (FAILED(hr)) out = Variant::ofError(hr);
      }
      out.releaseInto(list);
      return S_OK;
    });
  }
  STDMETHODIMP PutWhiteList(VARIANT list) override {
    return guarded([&] {
      std::vector<std::string> sites;
      const HRESULT hr = win::sitesOfList(list, sites);
      if (FAILED(hr)) return hr;
      const wl::StoreResult r = store_.replaceAll(sites);
      return r.ok() ? S_OK : whiteListSaveError(r.systemError);
    });
  }
  STDMETHODIMP DeleteAll() override { return guarded([&] { return changeResult(store_.removeAll()); }); }
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
      store_.setFileName(narrow(fileName));
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

  // WhiteListRegistration ------------------------------------------------------
  STDMETHODIMP RevokeRunning() override {
    revoke();
    return S_OK;
  }

 private:
  ~WhiteList() { revoke(); }

  // An object that was never loaded has no file and keeps its list in
  // memory only.
  static HRESULT changeResult(const wl::WhiteListStore::Change& c) {
    if (c.refused) return E_INVALIDARG;
    return c.store.ok() ? S_OK : whiteListSaveError(c.store.systemError);
  }

  HRESULT giveCurrent(BSTR* domain) {
    const std::string* site = store_.current();
    if (!site) return S_FALSE;
    *domain = bstrFromAnsi(*site).release();
    return S_OK;
  }

  // Registers this object in the running object table under a file moniker
  // of its file (flags 0).  The table keeps the object alive until the entry
  // is revoked: by a second Load, or by the holder through RevokeRunning
  // when it lets the object go.  Failures leave it unregistered; nothing in
  // the system depends on the entry.
  void registerRunning(LPCOLESTR fileName) {
    ComPtr<IRunningObjectTable> rot;
    ComPtr<IMoniker> moniker;
    if (FAILED(GetRunningObjectTable(0, rot.GetAddressOf())) || !rot) return;
    if (FAILED(CreateFileMoniker(fileName, moniker.GetAddressOf())) || !moniker) return;
    DWORD cookie = 0;
    if (SUCCEEDED(rot->Register(0, static_cast<IWhiteList*>(this), moniker.Get(), &cookie))) rotCookie_ = cookie;
  }

  void revoke() {
    const DWORD cookie = InterlockedExchange(reinterpret_cast<volatile LONG*>(&rotCookie_), 0);
    if (cookie == 0) return;
    ComPtr<IRunningObjectTable> rot;
    if (SUCCEEDED(GetRunningObjectTable(0, rot.GetAddressOf())) && rot) rot->Revoke(cookie);
  }

  ModuleLock lock_;  // first: let go after every other member
  LONG refs_ = 0;
  wl::WhiteListStore store_;
  DWORD rotCookie_ = 0;
};

}  // namespace

HRESULT whiteListSaveError(std::uint32_t systemError) {
  return systemError != 0 ? HRESULT_FROM_WIN32(systemError) : STG_E_WRITEFAULT;
}

unsigned long WhiteListOwner::Reset() noexcept {
  if (!list_) return 0;
  ComPtr<WhiteListRegistration> registration;
  if (SUCCEEDED(list_->QueryInterface(kIidWhiteListRegistration, reinterpret_cast<void**>(registration.GetAddressOf()))))
    registration->RevokeRunning();
  registration.Reset();
  return list_.Reset();
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
  ComPtr<IWhiteList> list;
  HRESULT hr = createWhiteList(IID_PPV_ARGS(&list));
  if (FAILED(hr)) return hr;
  ComPtr<IPersistFile> file;
  hr = list.As(&file);
  if (SUCCEEDED(hr)) hr = file->Load(path, 0);
  if (FAILED(hr)) {
    // Let go as a holder does: a Load that registered and then failed
    // leaves no entry behind.
    WhiteListOwner(std::move(list)).Reset();
    return hr;
  }
  *out = list.Detach();
  return S_OK;
}

}  // namespace qv::com
