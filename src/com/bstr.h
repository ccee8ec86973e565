// Bstr: the one owner of a BSTR.  Move-only; frees with SysFreeString.
//  - constructors copy text, they never take over a raw BSTR;
//  - reset(BSTR) is the one way to take over a BSTR someone handed us;
//  - Receive() gives the address for a callee's [out] BSTR and requires
//    the owner to be empty (a filled owner would leak its string);
//  - release() hands the string on (to an [out] parameter or a VARIANT).
// Allocation failure throws std::bad_alloc, which `guarded` reports as
// E_OUTOFMEMORY.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cassert>
#include <new>
#include <string_view>
#include <utility>

namespace qv::com {

class Bstr {
 public:
  Bstr() noexcept = default;
  explicit Bstr(std::wstring_view text) {
    if (text.size() > 0x7FFFFFFFu) throw std::bad_alloc();
    s_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!s_) throw std::bad_alloc();
  }
  explicit Bstr(const wchar_t* text) : Bstr(std::wstring_view(text ? text : L"")) {}
  Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.s_, nullptr));
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(s_); }

  // Takes over `owned` (which may be null), freeing what was held.
  void reset(BSTR owned = nullptr) noexcept {
    if (owned != s_) SysFreeString(s_);
    s_ = owned;
  }
  [[nodiscard]] BSTR release() noexcept { return std::exchange(s_, nullptr); }
  [[nodiscard]] BSTR* Receive() noexcept {
    assert(!s_ && "Receive() into a Bstr that still owns a string");
    return &s_;
  }

  BSTR get() const noexcept { return s_; }
  UINT length() const noexcept { return SysStringLen(s_); }
  std::wstring_view view() const noexcept { return s_ ? std::wstring_view(s_, SysStringLen(s_)) : std::wstring_view(); }
  explicit operator bool() const noexcept { return s_ != nullptr; }

 private:
  BSTR s_ = nullptr;
};

}  // namespace qv::com
