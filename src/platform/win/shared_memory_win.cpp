#include "platform/win/shared_memory_win.h"

#include <algorithm>
#include <new>

namespace qv::win {
namespace {

class Win32Mapping final : public SharedMapping {
 public:
  explicit Win32Mapping(HANDLE mapping) : mapping_(mapping) {}
  ~Win32Mapping() override {
    if (view_) UnmapViewOfFile(view_);
    CloseHandle(mapping_);
  }
  Win32Mapping(const Win32Mapping&) = delete;
  Win32Mapping& operator=(const Win32Mapping&) = delete;

  bool map(std::size_t size) override {
    if (view_) return false;
    void* v = MapViewOfFileEx(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, size, nullptr);
    if (!v) return false;
    view_ = v;
    size_ = size;
    return true;
  }
  std::span<std::uint8_t> view() override { return {static_cast<std::uint8_t*>(view_), view_ ? size_ : 0}; }

 private:
  HANDLE mapping_;
  void* view_ = nullptr;
  std::size_t size_ = 0;
};

std::unique_ptr<SharedMapping> adopt(HANDLE mapping) {
  if (!mapping) return nullptr;
  std::unique_ptr<SharedMapping> m(new (std::nothrow) Win32Mapping(mapping));
  if (!m) CloseHandle(mapping);
  return m;
}

class Win32BackingFile final : public BackingFile {
 public:
  explicit Win32BackingFile(HANDLE file) : file_(file) {}
  ~Win32BackingFile() override { CloseHandle(file_); }
  Win32BackingFile(const Win32BackingFile&) = delete;
  Win32BackingFile& operator=(const Win32BackingFile&) = delete;

  bool setLength(std::uint32_t bytes) override {
    if (SetFilePointer(file_, static_cast<LONG>(bytes), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
      return false;
    return SetEndOfFile(file_) != FALSE;
  }

  std::unique_ptr<SharedMapping> createMapping(std::string_view name, std::uint32_t minSize) override {
    const std::string n(name);
    const DWORD fileSize = GetFileSize(file_, nullptr);
    const DWORD size = fileSize == INVALID_FILE_SIZE ? minSize : std::max<DWORD>(fileSize, minSize);
    return adopt(CreateFileMappingA(file_, nullptr, PAGE_READWRITE, 0, size, n.c_str()));
  }

 private:
  HANDLE file_;
};

}  // namespace

std::unique_ptr<SharedMapping> Win32SharedMemory::openMapping(std::string_view name) {
  const std::string n(name);
  return adopt(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, n.c_str()));
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
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &sa, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  std::unique_ptr<BackingFile> f(new (std::nothrow) Win32BackingFile(h));
  if (!f) CloseHandle(h);
  return f;
}

void Win32SharedMemory::deleteFile(const std::string& path) { DeleteFileA(path.c_str()); }

}  // namespace qv::win
