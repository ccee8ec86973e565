// Timer port: periodic timers on a window, identified by window and id.
// Starting a timer that runs already restarts it with the new period.  The
// Windows adapter routes every timer it starts to one timer procedure.
#pragma once

#include <cstdint>

#include "platform/input.h"

namespace qv {

class Timers {
 public:
  virtual ~Timers() = default;
  virtual bool start(WindowHandle window, std::uint32_t id, std::uint32_t periodMs) = 0;
  virtual void stop(WindowHandle window, std::uint32_t id) = 0;
};

}  // namespace qv
