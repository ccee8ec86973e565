#include "platform/win/shared_memory_win.h"

#include <algorithm>
#include <new>

#include "com/handle.h"
#include "platform/win/object_security.h"

namespace qv::win {
namespace {

class Win32Mapping final : public SharedMapping {
 public:
  explicit Win32Mapping(com::UniqueHandle mapping) : mapping_(std::move(mapping)) {}
  Win32Mapping(const Win32Mapping&) = delete;
  Win32Mapping& operator=(const Win32Mapping&) = delete;

  bool map(std::size_t size) override {
    if (view_) return false;
    view_.reset(MapViewOfFileEx(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, size, nullptr));
    if (!view_) return false;
    size_ = size;
    return true;
  }
  std::span<std::uint8_t> view() override { return {static_cast<std::uint8_t*>(view_.get()), view_ ? size_ : 0}; }

 private:
  com::UniqueHandle mapping_;
  com::UniqueView view_;
  std::size_t size_ = 0;
};

std::unique_ptr<SharedMapping> mappingOver(HANDLE handle) {
  com::UniqueHandle mapping(handle);
  if (!mapping) return nullptr;
  return std::unique_ptr<SharedMapping>(new (std::nothrow) Win32Mapping(std::move(mapping)));
}

class Win32BackingFile final : public BackingFile {
 public:
  explicit Win32BackingFile(com::UniqueHandle file) : file_(std::move(file)) {}
  Win32BackingFile(const Win32BackingFile&) = delete;
  Win32BackingFile& operator=(const Win32BackingFile&) = delete;

  bool setLength(std::uint32_t bytes) override {
    if (SetFilePointer(file_.get(), static_cast<LONG>(bytes), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
      return false;
    return SetEndOfFile(file_.get()) != FALSE;
  }

  std::unique_ptr<SharedMapping> createMapping(std::string_view name, std::uint32_t minSize) override {
    const std::string n(name);
    const DWORD fileSize = GetFileSize(file_.get(), nullptr);
    const DWORD size = fileSize == INVALID_FILE_SIZE ? minSize : std::max<DWORD>(fileSize, minSize);
    return mappingOver(CreateFileMappingA(file_.get(), sharedObjectAttributes(), PAGE_READWRITE, 0, size, n.c_str()));
  }

 private:
  com::UniqueHandle file_;
};

}  // namespace

std::unique_ptr<SharedMapping> Win32SharedMemory::openMapping(std::string_view name) {
  const std::string n(name);
  return mappingOver(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, n.c_str()));
}

std::optional<std::string> Win32SharedMemory::tempDirectory() {
  constexpr DWORD kMax = 256;
  char buf[kMax];
  const DWORD n = GetTempPathA(kMax, buf);
  if (n == 0 || n >= kMax) return std::nullopt;
  return std::string(buf, n);
}

std::optional<std::string> Win32SharedMemory::makeTempFileName(const std::string& dir, std::string_view prefix) {
  const std::string p(prefix);
  char buf[MAX_PATH] = {};
  if (GetTempFileNameA(dir.c_str(), p.c_str(), 0, buf) == 0) return std::nullopt;
  buf[MAX_PATH - 1] = '\0';
  return std::string(buf);
}

std::unique_ptr<BackingFile> Win32SharedMemory::createBackingFile(const std::string& path) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  com::UniqueHandle h(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &sa, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr));
  if (!h) return nullptr;
  return std::unique_ptr<BackingFile>(new (std::nothrow) Win32BackingFile(std::move(h)));
}

void Win32SharedMemory::deleteFile(const std::string& path) { DeleteFileA(path.c_str()); }

}  // namespace qv::win
