// Shared-memory port: named memory regions that every process of the user
// maps in one copy.  Each system step is one call so that the logic decides
// the order and what a failure means, and a test can make any step fail.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qv {

// An open named mapping, mapped or not yet.  Destruction unmaps the view and
// closes the mapping.
class SharedMapping {
 public:
  virtual ~SharedMapping() = default;
  // Maps `size` bytes at offset 0 with read, write and copy access.
  virtual bool map(std::size_t size) = 0;
  // The mapped bytes; empty until map() succeeded.
  virtual std::span<std::uint8_t> view() = 0;
};

// An open backing file for a new mapping.  Destruction closes the file
// handle (the mapping keeps the file's contents alive).
class BackingFile {
 public:
  virtual ~BackingFile() = default;
  // Sets the file's length.
  virtual bool setLength(std::uint32_t bytes) = 0;
  // Creates a read-write mapping named `name` over the file, with a maximum
  // size of the larger of the file's size and `minSize`.  When a mapping of
  // that name exists already, that one is returned.
  virtual std::unique_ptr<SharedMapping> createMapping(std::string_view name, std::uint32_t minSize) = 0;
};

class SharedMemory {
 public:
  virtual ~SharedMemory() = default;
  // Opens an existing mapping by name (full access); null when there is none.
  virtual std::unique_ptr<SharedMapping> openMapping(std::string_view name) = 0;
  // The directory for temporary files; nullopt when it cannot be found.
  virtual std::optional<std::string> tempDirectory() = 0;
  // A new unique file name in `dir` starting with `prefix`; the system may
  // create the (empty) file at once.  nullopt on failure.
  virtual std::optional<std::string> makeTempFileName(const std::string& dir, std::string_view prefix) = 0;
  // Creates (or truncates) the file for read and write access, unshared,
  // inheritable, with the temporary and not-content-indexed attributes.
  virtual std::unique_ptr<BackingFile> createBackingFile(const std::string& path) = 0;
  // Deletes a file by name; the result is of no interest to the caller.
  virtual void deleteFile(const std::string& path) = 0;
};

}  // namespace qv
