// The process and library ports over Win32.
#pragma once

#include <windows.h>

#include "platform/libraries.h"
#include "platform/process.h"

namespace qv::win {

class Win32Process final : public ProcessPort {
 public:
  std::string exePath() override;
  std::string commandLine() override;
  // Walks a process snapshot to this process's entry and reads its parent's
  // main-module path, opening the parent with the least access that can
  // name it (a parent running with higher rights must still be found).
  std::string parentExePath() override;
  void terminateSelf() override;
};

class Win32Libraries final : public Libraries {
 public:
  explicit Win32Libraries(HINSTANCE self) : self_(self) {}
  std::string ownModulePath() override;
  bool load(const std::string& path) override;
  void freeByName(std::string_view moduleName) override;
  // Handle of the library last loaded (null when none).
  HMODULE lastLoaded() const { return lastLoaded_; }

 private:
  HINSTANCE self_;
  HMODULE lastLoaded_ = nullptr;
};

// Processes by id: OpenProcess with the least access that reads the times
// (works across integrity levels), then GetProcessTimes.  An id no process
// has, or a process that has exited, is Ended; a refused open is Unknown.
class Win32ProcessDirectory final : public ProcessDirectory {
 public:
  ProcessStart started(std::uint32_t processId) override;
};

// The module's one directory (it holds no state).
ProcessDirectory& processDirectory();

// Path of a module's file, "" when it cannot be read whole.
std::string moduleFileName(HMODULE module);

}  // namespace qv::win
