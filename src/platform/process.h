// Process port: what module start-up needs to know about the host process
// and, for the unfathered-browser rule, about the process that started it.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

class ProcessPort {
 public:
  virtual ~ProcessPort() = default;
  // Full path of the host program's executable; "" when it cannot be read.
  virtual std::string exePath() = 0;
  // The host's command line as the system keeps it.
  virtual std::string commandLine() = 0;
  // Full path of the parent process's main module; "" when the parent has
  // ended, cannot be opened or its path cannot be read.
  virtual std::string parentExePath() = 0;
  // Ends this process at once with exit code 0.  Returns only when that was
  // refused.
  virtual void terminateSelf() = 0;
};

// What the browser table asks about the process behind an entry: whether it
// still runs, and since when (its creation time, which tells it from a later
// process given the same id).
struct ProcessStart {
  enum class State {
    Running,  // `time` is its creation time
    Ended,    // no process has that id, or it has exited
    Unknown,  // it could not be asked (counts as running)
  };
  State state = State::Unknown;
  std::uint64_t time = 0;
};

class ProcessDirectory {
 public:
  virtual ~ProcessDirectory() = default;
  virtual ProcessStart started(std::uint32_t processId) = 0;
};

}  // namespace qv
