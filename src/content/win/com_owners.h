// Owners of the BSTRs and VARIANTs the page adapter passes to and receives
// from the browser, and the text conversions it needs.  Kept in this one
// file so that the module-wide COM support layer can replace it.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cassert>
#include <cstring>
#include <string>
#include <string_view>

namespace qv::content::win {

// A move-only owned BSTR.  Never adopts a raw BSTR except through receive().
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const wchar_t* text) : value_(SysAllocString(text)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : value_(other.value_) { other.value_ = nullptr; }
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = other.value_;
      other.value_ = nullptr;
    }
    return *this;
  }
  ~Bstr() { reset(); }

  // For an out-parameter; the owner must be empty.
  [[nodiscard]] BSTR* receive() {
    assert(!value_);
    return &value_;
  }
  BSTR get() const { return value_; }
  UINT length() const { return value_ ? SysStringLen(value_) : 0; }
  void reset() {
    if (value_) SysFreeString(value_);
    value_ = nullptr;
  }

 private:
  BSTR value_ = nullptr;
};

// A move-only owned VARIANT, zero-filled when empty so that a callee that
// writes only part of the payload leaves the rest at zero.
class Variant {
 public:
  Variant() { std::memset(&value_, 0, sizeof value_); }
  explicit Variant(long number) : Variant() {
    V_VT(&value_) = VT_I4;
    V_I4(&value_) = number;
  }
  // A string variant; owns the BSTR it makes.
  explicit Variant(const wchar_t* text) : Variant() {
    V_VT(&value_) = VT_BSTR;
    V_BSTR(&value_) = SysAllocString(text);
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&value_); }

  [[nodiscard]] VARIANT* receive() {
    assert(V_VT(&value_) == VT_EMPTY);
    return &value_;
  }
  const VARIANT& get() const { return value_; }
  // For [in] parameters passed by value.
  VARIANT in() const { return value_; }

 private:
  VARIANT value_;
};

// UTF-8 forms of the page's wide strings and back (lossless both ways).
inline std::string utf8FromWide(const wchar_t* text, std::size_t length) {
  if (!text || length == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
  return out;
}

inline std::string utf8FromBstr(const Bstr& text) { return utf8FromWide(text.get(), text.length()); }

inline std::wstring wideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

}  // namespace qv::content::win
