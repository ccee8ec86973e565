#include "platform/win/files_win.h"

#include <windows.h>

#include <new>

#include "com/handle.h"

namespace qv::win {
namespace {

using FileHandle = com::UniqueHandle;

FileResult failure(DWORD error) { return {false, error == 0 ? static_cast<std::uint32_t>(ERROR_GEN_FAILURE) : error}; }

// The folder part of a path ("." when it has none), for the temporary file.
std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return ".";
  if (slash == 0) return path.substr(0, 1);
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);  // "C:\"
  return path.substr(0, slash);
}

}  // namespace

std::optional<std::string> Win32FileSystem::readAll(const std::string& path) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return std::nullopt;
  try {
    std::string bytes;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0 && size.QuadPart < (1LL << 30))
      bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char chunk[64 * 1024];
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) return std::nullopt;
      if (got == 0) break;
      bytes.append(chunk, got);
    }
    return bytes;
  } catch (const std::bad_alloc&) {
    return std::nullopt;  // a file too large for memory reads as unreadable
  }
}

FileResult Win32FileSystem::replaceContents(const std::string& path, std::string_view bytes) {
  // A read-only file is not rewritten, just as opening it for writing would
  // fail (a rename over it is not refused everywhere).
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return failure(ERROR_ACCESS_DENIED);

  const std::string folder = folderOf(path);
  char temp[MAX_PATH + 1] = {};
  if (!GetTempFileNameA(folder.c_str(), "qvw", 0, temp)) return failure(GetLastError());

  DWORD error = ERROR_SUCCESS;
  {
    FileHandle file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
      error = GetLastError();
    } else {
      std::size_t done = 0;
      while (error == ERROR_SUCCESS && done < bytes.size()) {
        const std::size_t left = bytes.size() - done;
        const DWORD want = left > (1u << 20) ? (1u << 20) : static_cast<DWORD>(left);
        DWORD wrote = 0;
        if (!WriteFile(file.get(), bytes.data() + done, want, &wrote, nullptr))
          error = GetLastError();
        else if (wrote != want)
          error = ERROR_WRITE_FAULT;
        else
          done += wrote;
      }
      if (error == ERROR_SUCCESS && !FlushFileBuffers(file.get())) error = GetLastError();
      if (!file.close() && error == ERROR_SUCCESS) error = GetLastError();
    }
  }
  if (error == ERROR_SUCCESS &&
      !MoveFileExA(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = GetLastError();
  if (error != ERROR_SUCCESS) {
    DeleteFileA(temp);
    return failure(error);
  }
  return {true, 0};
}

FileResult Win32FileSystem::copyNoOverwrite(const std::string& from, const std::string& to) {
  // An existing target is reported as such even when the source is gone:
  // CopyFileA opens the source first and would answer "file not found",
  // and the caller would then give up a personal copy that is right there.
  if (GetFileAttributesA(to.c_str()) != INVALID_FILE_ATTRIBUTES) return failure(ERROR_FILE_EXISTS);
  if (CopyFileA(from.c_str(), to.c_str(), TRUE)) return {true, 0};
  return failure(GetLastError());
}

}  // namespace qv::win
