#include "platform/win/process_win.h"

#include <psapi.h>
#include <tlhelp32.h>

#include "com/handle.h"

namespace qv::win {
namespace {

// A path read into a MAX_PATH buffer: `n` bytes, or unreadable when n is 0
// or fills the buffer (then it may be cut short and unterminated).
std::string boundedPath(const char (&buf)[MAX_PATH], DWORD n) {
  if (n == 0 || n >= MAX_PATH) return {};
  return std::string(buf, n);
}

std::string processImagePath(DWORD pid) {
  char buf[MAX_PATH];
  if (com::UniqueHandle h{OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid)}) {
    std::string p = boundedPath(buf, GetModuleFileNameExA(h.get(), nullptr, buf, MAX_PATH));
    if (!p.empty()) return p;
  }
  if (com::UniqueHandle h{OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)}) {
    DWORD n = MAX_PATH;
    return QueryFullProcessImageNameA(h.get(), 0, buf, &n) ? boundedPath(buf, n) : std::string();
  }
  return {};
}

}  // namespace

std::string moduleFileName(HMODULE module) {
  char buf[MAX_PATH];
  return boundedPath(buf, GetModuleFileNameA(module, buf, MAX_PATH));
}

std::string Win32Process::exePath() { return moduleFileName(nullptr); }

std::string Win32Process::commandLine() {
  const char* c = GetCommandLineA();
  return c ? std::string(c) : std::string();
}

std::string Win32Process::parentExePath() {
  const com::UniqueHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap) return {};
  std::string result;
  const DWORD self = GetCurrentProcessId();
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32First(snap.get(), &entry); ok; ok = Process32Next(snap.get(), &entry)) {
    if (entry.th32ProcessID == self) {
      result = processImagePath(entry.th32ParentProcessID);
      break;
    }
  }
  return result;
}

void Win32Process::terminateSelf() {
  // The handle is closed only when termination was refused.
  if (const com::UniqueHandle h{OpenProcess(PROCESS_TERMINATE, FALSE, GetCurrentProcessId())}) TerminateProcess(h.get(), 0);
}

ProcessStart Win32ProcessDirectory::started(std::uint32_t processId) {
  const com::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) {
    // Windows answers an unused id with ERROR_INVALID_PARAMETER.
    const DWORD error = GetLastError();
    return {error == ERROR_INVALID_PARAMETER ? ProcessStart::State::Ended : ProcessStart::State::Unknown, 0};
  }
  DWORD code = 0;
  if (GetExitCodeProcess(process.get(), &code) && code != STILL_ACTIVE) return {ProcessStart::State::Ended, 0};
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) return {ProcessStart::State::Unknown, 0};
  return {ProcessStart::State::Running,
          (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime};
}

ProcessDirectory& processDirectory() {
  static Win32ProcessDirectory directory;
  return directory;
}

std::string Win32Libraries::ownModulePath() { return moduleFileName(self_); }

bool Win32Libraries::load(const std::string& path) {
  HMODULE m = LoadLibraryA(path.c_str());
  if (m) lastLoaded_ = m;
  return m != nullptr;
}

void Win32Libraries::freeByName(std::string_view moduleName) {
  const std::string name(moduleName);
  if (HMODULE m = GetModuleHandleA(name.c_str())) {
    FreeLibrary(m);
    if (m == lastLoaded_) lastLoaded_ = nullptr;
  }
}

}  // namespace qv::win
