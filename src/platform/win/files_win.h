// The file port over Win32: whole-file reads, replacing a file's content in
// one step through a temporary file in the same folder, copying without
// overwriting.  Paths are ANSI.
#pragma once

#include "platform/files.h"

namespace qv::win {

class Win32FileSystem final : public FileSystem {
 public:
  std::optional<std::string> readAll(const std::string& path) override;
  FileResult replaceContents(const std::string& path, std::string_view bytes) override;
  FileResult copyNoOverwrite(const std::string& from, const std::string& to) override;
};

}  // namespace qv::win
