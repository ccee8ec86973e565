// Atomic access to single fields of shared memory (SharedSettings, the
// browser table).  Other threads of this process and other processes change
// these words at any time; relaxed atomic loads and stores make every such
// access well defined and cost a plain move on the targets we build for.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>

namespace qv::shared {

template <class T>
  requires std::is_integral_v<T>
inline T load(const T& field) {
  return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_relaxed);
}

template <class T>
  requires std::is_integral_v<T>
inline void store(T& field, T value) {
  std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}

// The interlocked increment: returns the new value.  Wraps on overflow.
inline std::int32_t increment(std::int32_t& field) {
  const std::int32_t old = std::atomic_ref<std::int32_t>(field).fetch_add(1);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(old) + 1u);
}

// A flag as the readers see it: any non-zero value is on.
inline bool on(const std::int32_t& flag) { return load(flag) != 0; }

}  // namespace qv::shared
