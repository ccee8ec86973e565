// Owners of kernel and registry handles and of mapped views.  Move-only.
// UniqueHandle treats both of Windows' "no handle" values (NULL and
// INVALID_HANDLE_VALUE) as empty, so one owner serves CreateFile and
// CreateMutex/CreateFileMapping/OpenProcess alike.
#pragma once

#include <windows.h>

#include <cassert>
#include <utility>

namespace qv::com {

template <class H, class Traits>
class UniqueOwner {
 public:
  UniqueOwner() noexcept = default;
  explicit UniqueOwner(H owned) noexcept : h_(owned) {}
  UniqueOwner(UniqueOwner&& other) noexcept : h_(std::exchange(other.h_, Traits::empty())) {}
  UniqueOwner& operator=(UniqueOwner&& other) noexcept {
    if (this != &other) reset(std::exchange(other.h_, Traits::empty()));
    return *this;
  }
  UniqueOwner(const UniqueOwner&) = delete;
  UniqueOwner& operator=(const UniqueOwner&) = delete;
  ~UniqueOwner() { reset(); }

  void reset(H owned = Traits::empty()) noexcept {
    if (valid()) (void)Traits::close(h_);
    h_ = owned;
  }
  // Closes now and reports whether the system accepted the close (a file
  // whose last write fails on close); the owner is empty afterwards.
  [[nodiscard]] bool close() noexcept { return !valid() || Traits::close(release()); }
  [[nodiscard]] H release() noexcept { return std::exchange(h_, Traits::empty()); }
  [[nodiscard]] H* Receive() noexcept {
    assert(!valid() && "Receive() into an owner that still holds a handle");
    return &h_;
  }
  H get() const noexcept { return h_; }
  bool valid() const noexcept { return Traits::valid(h_); }
  explicit operator bool() const noexcept { return valid(); }

 private:
  H h_ = Traits::empty();
};

struct KernelHandleTraits {
  static HANDLE empty() noexcept { return nullptr; }
  static bool valid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static bool close(HANDLE h) noexcept { return CloseHandle(h) != FALSE; }
};
using UniqueHandle = UniqueOwner<HANDLE, KernelHandleTraits>;

struct RegKeyTraits {
  static HKEY empty() noexcept { return nullptr; }
  static bool valid(HKEY h) noexcept { return h != nullptr; }
  static bool close(HKEY h) noexcept { return RegCloseKey(h) == ERROR_SUCCESS; }
};
using RegKey = UniqueOwner<HKEY, RegKeyTraits>;

struct ViewTraits {
  static void* empty() noexcept { return nullptr; }
  static bool valid(void* p) noexcept { return p != nullptr; }
  static bool close(void* p) noexcept { return UnmapViewOfFile(p) != FALSE; }
};
// A view from MapViewOfFile.
using UniqueView = UniqueOwner<void*, ViewTraits>;

}  // namespace qv::com
