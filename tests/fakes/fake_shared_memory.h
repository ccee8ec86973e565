// In-memory shared-memory port.  Named regions live while any mapping of
// them is open, like the system's; mappings of one name share their bytes.
// Any step can be made to fail, and the fake counts open handles and keeps
// the files it made and deleted so tests can see nothing leaks.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/shared_memory.h"

namespace qv::fake {

class FakeSharedMemory final : public SharedMemory {
 public:
  enum class Step { OpenMapping, MapExisting, TempDirectory, TempFileName, CreateFile, SetLength, CreateMapping, MapNew };

  void failAt(Step s) { failures_.insert(s); }

  // --- inspection ---
  int openHandles() const { return openHandles_; }            // mappings and files not yet closed
  const std::set<std::string>& files() const { return files_; }  // temporary files that exist
  std::vector<std::string> calls;                              // steps taken, in order
  std::string tempDir = "C:\\Temp\\";

  std::unique_ptr<SharedMapping> openMapping(std::string_view name) override {
    calls.push_back("openMapping");
    if (failures_.count(Step::OpenMapping)) return nullptr;
    auto it = regions_.find(std::string(name));
    if (it == regions_.end()) return nullptr;
    auto bytes = it->second.lock();
    if (!bytes) return nullptr;
    return std::make_unique<Mapping>(*this, bytes, Step::MapExisting);
  }

  std::optional<std::string> tempDirectory() override {
    calls.push_back("tempDirectory");
    if (failures_.count(Step::TempDirectory)) return std::nullopt;
    return tempDir;
  }

  std::optional<std::string> makeTempFileName(const std::string& dir, std::string_view prefix) override {
    calls.push_back("makeTempFileName");
    if (failures_.count(Step::TempFileName)) return std::nullopt;
    std::string name = dir + std::string(prefix) + std::to_string(++serial_) + ".tmp";
    files_.insert(name);  // the system makes the empty file at once
    return name;
  }

  std::unique_ptr<BackingFile> createBackingFile(const std::string& path) override {
    calls.push_back("createBackingFile");
    if (failures_.count(Step::CreateFile)) return nullptr;
    files_.insert(path);
    return std::make_unique<File>(*this);
  }

  void deleteFile(const std::string& path) override {
    calls.push_back("deleteFile");
    files_.erase(path);
  }

 private:
  class Mapping final : public SharedMapping {
   public:
    Mapping(FakeSharedMemory& owner, std::shared_ptr<std::vector<std::uint8_t>> bytes, Step mapStep)
        : owner_(owner), bytes_(std::move(bytes)), mapStep_(mapStep) {
      ++owner_.openHandles_;
    }
    ~Mapping() override { --owner_.openHandles_; }
    bool map(std::size_t size) override {
      owner_.calls.push_back(mapStep_ == Step::MapExisting ? "mapExisting" : "mapNew");
      if (owner_.failures_.count(mapStep_) || size > bytes_->size()) return false;
      mapped_ = size;
      return true;
    }
    std::span<std::uint8_t> view() override { return {bytes_->data(), mapped_}; }

   private:
    FakeSharedMemory& owner_;
    std::shared_ptr<std::vector<std::uint8_t>> bytes_;
    Step mapStep_;
    std::size_t mapped_ = 0;
  };

  class File final : public BackingFile {
   public:
    explicit File(FakeSharedMemory& owner) : owner_(owner) { ++owner_.openHandles_; }
    ~File() override { --owner_.openHandles_; }
    bool setLength(std::uint32_t bytes) override {
      owner_.calls.push_back("setLength");
      if (owner_.failures_.count(Step::SetLength)) return false;
      length_ = bytes;
      return true;
    }
    std::unique_ptr<SharedMapping> createMapping(std::string_view name, std::uint32_t minSize) override {
      owner_.calls.push_back("createMapping");
      if (owner_.failures_.count(Step::CreateMapping)) return nullptr;
      auto& slot = owner_.regions_[std::string(name)];
      auto bytes = slot.lock();
      if (!bytes) {
        bytes = std::make_shared<std::vector<std::uint8_t>>(std::max(length_, minSize), 0);
        slot = bytes;
      }
      return std::make_unique<Mapping>(owner_, bytes, Step::MapNew);
    }

   private:
    FakeSharedMemory& owner_;
    std::uint32_t length_ = 0;
  };

  std::set<Step> failures_;
  std::map<std::string, std::weak_ptr<std::vector<std::uint8_t>>> regions_;
  std::set<std::string> files_;
  int openHandles_ = 0;
  int serial_ = 0;
};

}  // namespace qv::fake
