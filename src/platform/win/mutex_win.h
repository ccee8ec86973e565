// The named-mutex port over a Win32 mutex (CreateMutexA, not initially
// owned, default security).  One object per opened handle; the handle is
// closed with the object.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "com/handle.h"
#include "platform/mutex.h"

namespace qv::win {

class Win32NamedMutex final : public NamedMutex {
 public:
  // Creates the mutex or opens the one of that name.  Null on failure, with
  // the system's error code in *error (read before anything else could
  // overwrite it).
  static std::unique_ptr<Win32NamedMutex> create(std::string_view name, DWORD* error = nullptr);

  ~Win32NamedMutex() override = default;
  Win32NamedMutex(const Win32NamedMutex&) = delete;
  Win32NamedMutex& operator=(const Win32NamedMutex&) = delete;

  // WAIT_ABANDONED is reported as Abandoned, which owns() counts as obtained.
  WaitResult wait(std::uint32_t milliseconds) override;
  void release() override;

  HANDLE handle() const { return handle_.get(); }

 private:
  explicit Win32NamedMutex(com::UniqueHandle handle) : handle_(std::move(handle)) {}
  com::UniqueHandle handle_;
};

}  // namespace qv::win
