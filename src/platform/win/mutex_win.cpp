#include "platform/win/mutex_win.h"

#include <new>

#include "platform/win/object_security.h"

namespace qv::win {

std::unique_ptr<Win32NamedMutex> Win32NamedMutex::create(std::string_view name, DWORD* error) {
  const std::string n(name);
  com::UniqueHandle h(CreateMutexA(sharedObjectAttributes(), FALSE, n.c_str()));
  const DWORD e = h ? ERROR_SUCCESS : GetLastError();
  if (error) *error = e;
  if (!h) return nullptr;
  std::unique_ptr<Win32NamedMutex> m(new (std::nothrow) Win32NamedMutex(std::move(h)));
  if (!m && error) *error = ERROR_NOT_ENOUGH_MEMORY;
  return m;
}

WaitResult Win32NamedMutex::wait(std::uint32_t milliseconds) {
  switch (WaitForSingleObject(handle_.get(), milliseconds)) {
    case WAIT_OBJECT_0: return WaitResult::Obtained;
    case WAIT_ABANDONED: return WaitResult::Abandoned;
    case WAIT_TIMEOUT: return WaitResult::Timeout;
    default: return WaitResult::Failed;
  }
}

void Win32NamedMutex::release() { ReleaseMutex(handle_.get()); }

}  // namespace qv::win
