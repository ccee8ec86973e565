// The shared-memory port over Win32 file mappings.
#pragma once

#include <windows.h>

#include "platform/shared_memory.h"

namespace qv::win {

class Win32SharedMemory final : public SharedMemory {
 public:
  std::unique_ptr<SharedMapping> openMapping(std::string_view name) override;
  std::optional<std::string> tempDirectory() override;
  std::optional<std::string> makeTempFileName(const std::string& dir, std::string_view prefix) override;
  std::unique_ptr<BackingFile> createBackingFile(const std::string& path) override;
  void deleteFile(const std::string& path) override;
};

}  // namespace qv::win
