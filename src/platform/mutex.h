// Named-mutex port: the cross-process locks that order access to the shared
// record, the history region and the white list.
#pragma once

#include <cstdint>

namespace qv {

enum class WaitResult {
  Obtained,
  Abandoned,  // the previous owner died holding it: ownership is ours all the same
  Timeout,
  Failed
};

// An abandoned mutex has been granted to the caller; it must be treated as
// obtained and released like any other.
inline bool owns(WaitResult r) { return r == WaitResult::Obtained || r == WaitResult::Abandoned; }

class NamedMutex {
 public:
  virtual ~NamedMutex() = default;
  virtual WaitResult wait(std::uint32_t milliseconds) = 0;
  virtual void release() = 0;
};

// Waits on construction, releases on destruction when ownership was granted.
class MutexLock {
 public:
  MutexLock(NamedMutex* m, std::uint32_t milliseconds)
      : m_(m), result_(m ? m->wait(milliseconds) : WaitResult::Failed) {}
  ~MutexLock() {
    if (m_ && owns(result_)) m_->release();
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;
  bool owned() const { return owns(result_); }
  WaitResult result() const { return result_; }

 private:
  NamedMutex* m_;
  WaitResult result_;
};

}  // namespace qv
