// TEMPORARY stand-in for the Win32 file port until it lands; deleted then.
#pragma once
#include <windows.h>
#include <string>
#include "platform/files.h"
namespace qv::win {
class Win32FileSystem final : public FileSystem {
 public:
  std::optional<std::string> readAll(const std::string& path) override {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string out;
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
    CloseHandle(h);
    return out;
  }
  FileResult replaceContents(const std::string& path, std::string_view bytes) override {
    const std::string tmp = path + ".tmp";
    HANDLE h = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {false, GetLastError()};
    DWORD n = 0;
    const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
    if (!ok || !MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      const DWORD e = GetLastError();
      DeleteFileA(tmp.c_str());
      return {false, e};
    }
    return {true, 0};
  }
  FileResult copyNoOverwrite(const std::string& from, const std::string& to) override {
    if (CopyFileA(from.c_str(), to.c_str(), TRUE)) return {true, 0};
    return {false, GetLastError()};
  }
};
}  // namespace qv::win
