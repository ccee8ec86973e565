// Class factories of the five coclasses and the two exports that hand them
// out and answer whether the module may be unloaded.
#include <windows.h>
#include <new>

#include "com/classes.h"
#include "com/guarded.h"
#include "com/module.h"
#include "quillvane_i.h"

namespace qv::com {
namespace {

using Creator = HRESULT (*)(REFIID, void**);

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(Creator create) : create_(create) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    // The classes are not written to be aggregated; refuse rather than hand
    // out an object whose IUnknown rules would be broken.
    if (outer) return CLASS_E_NOAGGREGATION;
    return guarded([&] { return create_(iid, out); });
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      lockModule();
    else
      unlockModule();
    return S_OK;
  }

 private:
  ~ClassFactory() = default;
  ModuleLock lock_;  // first: let go after every other member
  LONG refs_ = 0;
  Creator create_;
};

HRESULT makeFactory(Creator create, REFIID iid, void** out) {
  auto* f = new (std::nothrow) ClassFactory(create);
  if (!f) return E_OUTOFMEMORY;
  f->AddRef();
  const HRESULT hr = f->QueryInterface(iid, out);
  f->Release();
  return hr;
}

}  // namespace
}  // namespace qv::com

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  using namespace qv::com;
  if (!out) return E_POINTER;
  *out = nullptr;
  Creator create = nullptr;
  if (clsid == CLSID_CPub)
    create = createPub;
  else if (clsid == CLSID_CWhiteList)
    create = createWhiteList;
  else if (clsid == CLSID_CPubDomExtender)
    create = createPubDomExtender;
  else if (clsid == CLSID_CDocEventHandler)
    create = createDocEventHandler;
  else if (clsid == CLSID_CWindowEventHandler)
    create = createWindowEventHandler;
  else
    return CLASS_E_CLASSNOTAVAILABLE;
  return makeFactory(create, iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return qv::com::moduleLockCount() == 0 ? S_OK : S_FALSE; }
