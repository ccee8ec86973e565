// SAFEARRAY helpers: an owner (SafeArrayDestroy) and a scoped, bounds-checked
// view of a one-dimensional array's elements (SafeArrayAccessData /
// SafeArrayUnaccessData).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <memory>
#include <span>
#include <stdexcept>

namespace qv::com {

struct SafeArrayDestroyer {
  void operator()(SAFEARRAY* a) const noexcept { SafeArrayDestroy(a); }
};
using SafeArray = std::unique_ptr<SAFEARRAY, SafeArrayDestroyer>;

// Locks the data of a one-dimensional array whose elements are `T` of
// VARTYPE `type` for as long as the view lives.  The array's own description
// is checked (dimensions, element size, element type) before its memory is
// read as `T`: the VARIANT's type tag alone is the caller's word.  A view
// that could not be had is !ok() and empty.
template <class T>
class [[nodiscard]] SafeArrayView {
 public:
  SafeArrayView(SAFEARRAY* array, VARTYPE type) noexcept {
    VARTYPE actual = VT_EMPTY;
    if (!array || SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != sizeof(T) ||
        FAILED(SafeArrayGetVartype(array, &actual)) || actual != type)
      return;
    const ULONG count = array->rgsabound[0].cElements;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return;
    array_ = array;
    if (data) elements_ = std::span<T>(static_cast<T*>(data), count);
  }
  ~SafeArrayView() {
    if (array_) SafeArrayUnaccessData(array_);
  }
  SafeArrayView(const SafeArrayView&) = delete;
  SafeArrayView& operator=(const SafeArrayView&) = delete;

  bool ok() const noexcept { return array_ != nullptr; }
  std::size_t size() const noexcept { return elements_.size(); }
  // Element `i` counted from the array's first element, whatever its lower
  // bound; out of range throws (a guarded entry point reports it).
  T& at(std::size_t i) const {
    if (i >= elements_.size()) throw std::out_of_range("SAFEARRAY index");
    return elements_[i];
  }
  std::span<T> elements() const noexcept { return elements_; }

 private:
  SAFEARRAY* array_ = nullptr;
  std::span<T> elements_;
};

}  // namespace qv::com
