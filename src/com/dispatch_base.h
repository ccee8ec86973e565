// Small building blocks for COM objects without ATL: an IDispatch
// implementation over the module's type library for dual interfaces whose
// dispatch side needs nothing special.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "com/module.h"

namespace qv::com {

// Implements the four IDispatch methods of a dual interface `Iface` by
// delegating to the type information of `Iface`.
template <class Iface>
class TypeInfoDispatch : public Iface {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    ITypeInfo* ti = nullptr;
    *count = SUCCEEDED(getTypeInfo(__uuidof(Iface), &ti)) ? 1 : 0;
    if (ti) ti->Release();
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return getTypeInfo(__uuidof(Iface), info);
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    ITypeInfo* ti = nullptr;
    HRESULT hr = getTypeInfo(__uuidof(Iface), &ti);
    if (FAILED(hr)) return hr;
    hr = ti->GetIDsOfNames(names, count, ids);
    ti->Release();
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excep, UINT* argErr) override {
    ITypeInfo* ti = nullptr;
    HRESULT hr = getTypeInfo(__uuidof(Iface), &ti);
    if (FAILED(hr)) return hr;
    hr = ti->Invoke(static_cast<Iface*>(this), id, flags, params, result, excep, argErr);
    ti->Release();
    return hr;
  }
};

}  // namespace qv::com
