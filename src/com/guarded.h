// The two rules every COM entry point of the module follows:
//  - no exception crosses a COM boundary: the body runs through `guarded`,
//    which turns std::bad_alloc into E_OUTOFMEMORY and anything else into
//    the caller's chosen failure (E_UNEXPECTED unless said otherwise);
//  - an interface pointer handed back with a reference already counted
//    (an out-parameter, CoCreateInstance, a QueryInterface result) is taken
//    over with `adopt`, never AddRef'd again.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <new>

namespace qv::com {

template <class F>
HRESULT guarded(F&& body, HRESULT onException = E_UNEXPECTED) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return onException;
  }
}

// Takes over the reference `counted` already carries.  (mingw-w64's
// ComPtr::Attach adds a reference of its own, unlike the SDK's, so the
// pointer is written into the empty owner instead.)
template <class T>
[[nodiscard]] Microsoft::WRL::ComPtr<T> adopt(T* counted) noexcept {
  Microsoft::WRL::ComPtr<T> owner;
  *owner.GetAddressOf() = counted;
  return owner;
}

}  // namespace qv::com
