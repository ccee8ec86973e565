// Process port: what module start-up needs to know about the host process
// and, for the unfathered-browser rule, about the process that started it.
#pragma once

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

}  // namespace qv
