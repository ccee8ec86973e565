// A reference-counted COM object with one dual interface and nothing else:
// the shape of the classes that have no behaviour of their own beyond
// IDispatch.  The object holds a module lock while it lives.
#pragma once

#include <new>

#include "com/dispatch_base.h"

namespace qv::com {

template <class Iface>
class SimpleDualObject : public TypeInfoDispatch<Iface> {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Iface) || answersAlso(iid)) {
      *out = static_cast<Iface*>(this);
      this->AddRef();
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

  // Creates an instance of Derived and queries it for iid.
  template <class Derived>
  static HRESULT create(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* obj = new (std::nothrow) Derived();
    if (!obj) return E_OUTOFMEMORY;
    obj->AddRef();
    const HRESULT hr = obj->QueryInterface(iid, out);
    obj->Release();
    return hr;
  }

 protected:
  virtual ~SimpleDualObject() = default;
  // A further interface id answered with the dual interface (an event sink's
  // dispinterface, for instance).
  virtual bool answersAlso(REFIID) const { return false; }

 private:
  // The lock is let go after the derived object's members (a base outlives
  // them) and after the count.
  ModuleLock lock_;
  LONG refs_ = 0;
};

}  // namespace qv::com
