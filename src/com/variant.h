// Variant: the one owner of a VARIANT.  Move-only; cleared with
// VariantClear.  Like Bstr, a Variant never takes over a raw VARIANT through
// a constructor: values are built from typed constructors, a callee's [out]
// VARIANT goes through Receive() (which requires VT_EMPTY), and release()
// hands the value on to an [out] VARIANT the caller owns.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cassert>
#include <cstdint>

#include "com/bstr.h"

namespace qv::com {

class Variant {
 public:
  Variant() noexcept { VariantInit(&v_); }
  explicit Variant(Bstr text) noexcept : Variant() {
    V_VT(&v_) = VT_BSTR;
    V_BSTR(&v_) = text.release();
  }
  explicit Variant(bool value) noexcept : Variant() {
    V_VT(&v_) = VT_BOOL;
    V_BOOL(&v_) = value ? VARIANT_TRUE : VARIANT_FALSE;
  }
  explicit Variant(std::int32_t value) noexcept : Variant() {
    V_VT(&v_) = VT_I4;
    V_I4(&v_) = value;
  }
  // Takes over a SAFEARRAY (of `elementType` elements).
  static Variant ofArray(SAFEARRAY* owned, VARTYPE elementType) noexcept {
    Variant v;
    V_VT(&v.v_) = static_cast<VARTYPE>(VT_ARRAY | elementType);
    V_ARRAY(&v.v_) = owned;
    return v;
  }
  static Variant ofError(HRESULT code) noexcept {
    Variant v;
    V_VT(&v.v_) = VT_ERROR;
    V_ERROR(&v.v_) = code;
    return v;
  }
  Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      reset();
      v_ = other.v_;
      VariantInit(&other.v_);
    }
    return *this;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }

  void reset() noexcept {
    VariantClear(&v_);
    VariantInit(&v_);
  }
  [[nodiscard]] VARIANT* Receive() noexcept {
    assert(V_VT(&v_) == VT_EMPTY && "Receive() into a Variant that still holds a value");
    return &v_;
  }
  // Moves the value into `target`, which the caller owns and which is
  // cleared first; this owner is left empty.
  void releaseInto(VARIANT* target) noexcept {
    VariantClear(target);
    *target = v_;
    VariantInit(&v_);
  }
  // `from` converted to `type` (VariantChangeType) into `out`; the HRESULT
  // of the conversion.
  [[nodiscard]] static HRESULT convert(const VARIANT& from, VARTYPE type, Variant& out) noexcept {
    out.reset();
    return VariantChangeType(&out.v_, const_cast<VARIANT*>(&from), 0, type);
  }

  const VARIANT& get() const noexcept { return v_; }
  VARTYPE type() const noexcept { return V_VT(&v_); }

 private:
  VARIANT v_;
};

}  // namespace qv::com
