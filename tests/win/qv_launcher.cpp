// Starts the program named by the rest of its command line, waits for it
// (bounded) and exits with its exit code; 98 when it cannot start it, 99 on
// time-out.  Copied as "explorer.exe" it plays the shell as a parent.
#include <windows.h>

#include <string>

int main() {
  const char* c = GetCommandLineA();
  // Skip our own program name, quoted or not.
  if (*c == '"') {
    ++c;
    while (*c && *c != '"') ++c;
    if (*c) ++c;
  } else {
    while (*c && *c != ' ' && *c != '\t') ++c;
  }
  while (*c == ' ' || *c == '\t') ++c;
  std::string cmd = c;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 98;
  CloseHandle(pi.hThread);
  DWORD rc = 99;
  if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &rc);
  else TerminateProcess(pi.hProcess, 99);
  CloseHandle(pi.hProcess);
  return static_cast<int>(rc);
}
