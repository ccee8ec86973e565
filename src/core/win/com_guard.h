// No exception may cross a COM boundary: every entry point runs its body
// through `guarded`, which turns an escaping exception into an HRESULT.
#pragma once

#include <windows.h>

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

}  // namespace qv::com
