#include "platform/win/mutex_win.h"

#include <new>

namespace qv::win {

std::unique_ptr<Win32NamedMutex> Win32NamedMutex::create(const std::string& name, DWORD* error) {
  HANDLE h = CreateMutexA(nullptr, FALSE, name.c_str());
  const DWORD e = h ? ERROR_SUCCESS : GetLastError();
  if (error) *error = e;
  if (!h) return nullptr;
  std::unique_ptr<Win32NamedMutex> m(new (std::nothrow) Win32NamedMutex(h));
  if (!m) {
    CloseHandle(h);
    if (error) *error = ERROR_NOT_ENOUGH_MEMORY;
  }
  return m;
}

Win32NamedMutex::~Win32NamedMutex() { CloseHandle(handle_); }

WaitResult Win32NamedMutex::wait(std::uint32_t milliseconds) {
  switch (WaitForSingleObject(handle_, milliseconds)) {
    case WAIT_OBJECT_0: return WaitResult::Obtained;
    case WAIT_ABANDONED: return WaitResult::Abandoned;
    case WAIT_TIMEOUT: return WaitResult::Timeout;
    default: return WaitResult::Failed;
  }
}

void Win32NamedMutex::release() { ReleaseMutex(handle_); }

}  // namespace qv::win
