#include "pub_test_support.h"

#include "core/win/shared_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <shlobj.h>

#include "whitelist/win/locate_win.h"
#include "child_entry.h"
#include "win_test_support.h"

#include <gtest/gtest.h>

#include "quillvane_i.h"
#include "standin_browser.h"

namespace qvstub {
void unexpectedCall(const char* method) { ADD_FAILURE() << "unexpected call of " << method; }
}  // namespace qvstub

namespace standin {
ComPtr<IObjectWithSite> createPub() {
  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(qvtest::module(), "DllGetClassObject")));
  ComPtr<IObjectWithSite> pub;
  if (!get) return pub;
  ComPtr<IClassFactory> factory;
  if (FAILED(get(CLSID_CPub, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())))) return pub;
  factory->CreateInstance(nullptr, IID_IObjectWithSite, reinterpret_cast<void**>(pub.GetAddressOf()));
  return pub;
}
}  // namespace standin

namespace qvtest {

// The session record, made here (as the module makes it) if no one has yet.
qv::SharedSettings* sharedRecord() { return &qv::sharedSettings(); }

namespace {

struct Found {
  HWND box = nullptr;
};

BOOL CALLBACK findBox(HWND w, LPARAM lp) {
  char cls[32] = {};
  char title[64] = {};
  // The class first: reading the title of a window of another thread of
  // this process sends it a message, which must not happen to windows
  // whose thread may be waiting for this one.
  GetClassNameA(w, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
  GetWindowTextA(w, title, sizeof title);
  if (std::strcmp(title, "Quillvane") == 0) {
    reinterpret_cast<Found*>(lp)->box = w;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK readStatic(HWND w, LPARAM lp) {
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (std::strcmp(cls, "Static") == 0) {
    char text[512] = {};
    GetWindowTextA(w, text, sizeof text);
    if (text[0]) *reinterpret_cast<std::string*>(lp) = text;
  }
  return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher() {
  InitializeCriticalSection(&lock_);
  thread_ = std::thread([this] {
    while (!stop_) {
      Found f;
      EnumWindows(findBox, reinterpret_cast<LPARAM>(&f));
      if (f.box) {
        std::string text;
        EnumChildWindows(f.box, readStatic, reinterpret_cast<LPARAM>(&text));
        EnterCriticalSection(&lock_);
        texts_.push_back(text);
        LeaveCriticalSection(&lock_);
        PostMessageA(f.box, WM_COMMAND, IDOK, 0);
        // Wait for it to go before looking again.
        for (int i = 0; i < 200 && IsWindow(f.box) && IsWindowVisible(f.box); ++i) Sleep(5);
      }
      Sleep(10);
    }
  });
}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  thread_.join();
  DeleteCriticalSection(&lock_);
}

std::vector<std::string> MessageBoxWatcher::texts() {
  EnterCriticalSection(&lock_);
  auto out = texts_;
  LeaveCriticalSection(&lock_);
  return out;
}

HANDLE startChild(const std::string& entry, const std::vector<std::string>& vars) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  return startChildOf(exe, entry, vars);
}

HANDLE startChildOf(const std::string& exe, const std::string& entry, const std::vector<std::string>& extra) {
  std::vector<std::string> vars = extra;
  vars.push_back(std::string(kChildEntryVar) + "=" + entry);
  for (const auto& v : vars) {
    const auto eq = v.find('=');
    SetEnvironmentVariableA(v.substr(0, eq).c_str(), v.substr(eq + 1).c_str());
  }
  std::string cmd = "\"" + exe + "\" --gtest_brief=1 --gtest_filter=" + entry;
  // The child's own test report is of no interest unless it fails, which
  // its exit code tells; keep it out of this run's output.
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  if (nul != INVALID_HANDLE_VALUE) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = nul;
    si.hStdError = nul;
  }
  PROCESS_INFORMATION pi{};
  const BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, nul != INVALID_HANDLE_VALUE, 0, nullptr,
                                 nullptr, &si, &pi);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  for (const auto& v : vars) SetEnvironmentVariableA(v.substr(0, v.find('=')).c_str(), nullptr);
  if (!ok) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

int waitChild(HANDLE process, DWORD boundMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD spent = GetTickCount() - start;
    if (spent >= boundMs) return -1;
    const DWORD r = MsgWaitForMultipleObjects(1, &process, FALSE, boundMs - spent, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) break;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return static_cast<int>(code);
}

char* historyRegion() {
  static char* view = [] {
    HANDLE m = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "PubBlockedSiteList");
    return m ? static_cast<char*>(MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, kHistorySize)) : nullptr;
  }();
  return view;
}

std::string historyText() {
  const char* h = historyRegion();
  if (!h) return {};
  size_t n = 0;
  while (n < kHistorySize && h[n]) ++n;
  return std::string(h, n);
}

void clearHistory() {
  if (char* h = historyRegion()) std::memset(h, 0, kHistorySize);
}

WhiteListFile::WhiteListFile(const std::vector<std::string>& sites) {
  // The module's file: in the user's LocalLow folder, where there is one.
  qv::wl::win::Win32LocateEnvironment env;
  if (const std::optional<std::string> low = env.sharedLowFolder()) {
    path_ = *low + "\\Quillvane.WL";
  } else {
    char folder[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PERSONAL, TRUE)) return;
    path_ = std::string(folder) + "\\Quillvane.WL";
  }
  if (FILE* f = std::fopen(path_.c_str(), "rb")) {
    had_ = true;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) old_.append(buf, n);
    std::fclose(f);
  }
  if (FILE* f = std::fopen(path_.c_str(), "wb")) {
    for (const auto& site : sites) std::fprintf(f, "%s\r\n", site.c_str());
    std::fclose(f);
  }
}

WhiteListFile::~WhiteListFile() {
  if (path_.empty()) return;
  if (!had_) {
    DeleteFileA(path_.c_str());
    return;
  }
  if (FILE* f = std::fopen(path_.c_str(), "wb")) {
    std::fwrite(old_.data(), 1, old_.size(), f);
    std::fclose(f);
  }
}

std::string env(const char* name) {
  char buf[512] = {};
  const DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

}  // namespace qvtest
