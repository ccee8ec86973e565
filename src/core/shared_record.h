// Making a view of the session's shared mapping into the SharedSettings
// record: the first process that finds it unmade (a new mapping is all
// zeros) writes the defaults, under the data mutex, so that no process ever
// reads a half-made record and none resets a record another has made.
#pragma once

#include <cstdint>
#include <span>

#include "core/shared_settings.h"
#include "platform/mutex.h"

namespace qv {

inline constexpr std::uint32_t kSharedRecordWaitMs = 5000;

// Whether `bytes` already hold a record of this layout.
bool sharedRecordMade(std::span<const std::uint8_t> bytes);

// The record in `bytes`, given its defaults first when it is not yet made.
// Null when the view is smaller than the record, or when the data mutex
// (null, timed out, failed) could not be had and the record is not yet made
// -- the caller then keeps a record of its own rather than race another
// process's initialisation.
SharedSettings* adoptSharedRecord(std::span<std::uint8_t> bytes, NamedMutex* dataMutex);

}  // namespace qv
