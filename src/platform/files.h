// File port: what the white list needs of the file system.  Paths are ANSI
// (the system code page), as the module's own calls use them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

struct FileResult {
  bool ok = false;
  std::uint32_t systemError = 0;  // the system's error code when !ok (0 when unknown)
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The whole content of a file, bytes as stored; nullopt when it cannot be opened or read.
  virtual std::optional<std::string> readAll(const std::string& path) = 0;
  // Replaces the file's content in one step: writes a temporary file in the
  // same folder, checks every write and the close, then renames it over
  // `path`.  On failure `path` is untouched and the temporary file is gone.
  virtual FileResult replaceContents(const std::string& path, std::string_view bytes) = 0;
  // Copies `from` to `to`, failing (with the system's "file exists" code, 80)
  // when `to` exists.
  virtual FileResult copyNoOverwrite(const std::string& from, const std::string& to) = 0;
};

}  // namespace qv
