#include "core/shared_record.h"

#include <atomic>
#include <cstring>
#include <new>

#include "core/shared_access.h"

namespace qv {
namespace {

SharedSettings* recordIn(std::span<std::uint8_t> bytes) {
  return std::launder(reinterpret_cast<SharedSettings*>(bytes.data()));
}

}  // namespace

bool sharedRecordMade(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < sizeof(SharedSettings)) return false;
  const auto* r = reinterpret_cast<const SharedSettings*>(bytes.data());
  return shared::load(r->layoutTag) == kSharedLayoutTag && shared::load(r->layoutSize) == sizeof(SharedSettings);
}

SharedSettings* adoptSharedRecord(std::span<std::uint8_t> bytes, NamedMutex* dataMutex) {
  if (bytes.size() < sizeof(SharedSettings)) return nullptr;
  if (sharedRecordMade(bytes)) return recordIn(bytes);
  MutexLock lock(dataMutex, kSharedRecordWaitMs);
  if (!lock.owned()) return nullptr;
  if (!sharedRecordMade(bytes)) {
    // The defaults, with the tag written last: a reader that checks the tag
    // without the mutex never sees it before the rest.
    SharedSettings defaults;
    defaults.layoutTag = 0;
    std::memcpy(bytes.data(), &defaults, sizeof defaults);
    std::atomic_thread_fence(std::memory_order_release);
    shared::store(recordIn(bytes)->layoutTag, kSharedLayoutTag);
  }
  return recordIn(bytes);
}

}  // namespace qv
