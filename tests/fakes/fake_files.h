// In-memory file system: files are a map from path to bytes (paths compare
// exactly as given).  Tests can make reading, replacing or copying fail for a
// given path, and read back every call made.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"

namespace qv::fake {

class FakeFileSystem final : public FileSystem {
 public:
  static constexpr std::uint32_t kFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
  static constexpr std::uint32_t kFileExists = 80;   // ERROR_FILE_EXISTS

  struct Replace {
    std::string path;
    std::string bytes;
    bool ok = false;
  };

  std::optional<std::string> readAll(const std::string& path) override {
    reads.push_back(path);
    if (readFailures.count(path)) return std::nullopt;
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  }

  FileResult replaceContents(const std::string& path, std::string_view bytes) override {
    Replace call{path, std::string(bytes), false};
    const auto failure = replaceFailures.find(path);
    if (failure != replaceFailures.end()) {
      replaces.push_back(std::move(call));
      return {false, failure->second};
    }
    files[path] = std::string(bytes);
    call.ok = true;
    replaces.push_back(std::move(call));
    return {true, 0};
  }

  FileResult copyNoOverwrite(const std::string& from, const std::string& to) override {
    copies.emplace_back(from, to);
    const auto failure = copyFailures.find(to);
    if (failure != copyFailures.end()) return {false, failure->second};
    if (files.count(to)) return {false, kFileExists};
    const auto it = files.find(from);
    if (it == files.end()) return {false, kFileNotFound};
    files[to] = it->second;
    return {true, 0};
  }

  // --- set-up ---
  void failRead(const std::string& path) { readFailures[path] = true; }
  void failReplace(const std::string& path, std::uint32_t error) { replaceFailures[path] = error; }
  void failCopyTo(const std::string& to, std::uint32_t error) { copyFailures[to] = error; }

  // --- state and call records ---
  std::map<std::string, std::string> files;
  std::vector<std::string> reads;
  std::vector<Replace> replaces;
  std::vector<std::pair<std::string, std::string>> copies;

 private:
  std::map<std::string, bool> readFailures;
  std::map<std::string, std::uint32_t> replaceFailures;
  std::map<std::string, std::uint32_t> copyFailures;
};

}  // namespace qv::fake
