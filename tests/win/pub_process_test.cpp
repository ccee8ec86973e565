// The helper object across windows and processes: a full browser table, the
// dialog watch closing a real web page dialog of another process, and many
// browser processes attaching, quitting and blocking at once.
//
// Child processes are this test binary again, running one of the
// PubChild.* child entries.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "child_entry.h"
#include "core/shared_settings.h"
#include "pub_test_support.h"
#include "standin_browser.h"
#include "win_test_support.h"

namespace {

using standin::Browser;
using standin::ComPtr;
using standin::make;

struct Window {
  ComPtr<Browser> browser;
  ComPtr<IObjectWithSite> pub;
};

Window openWindow(const std::wstring& url = L"http://start.example/") {
  Window w;
  w.browser = make<Browser>();
  w.pub = standin::createPub();
  if (w.pub) w.pub->SetSite(static_cast<IWebBrowser2*>(w.browser.Get()));
  w.browser->load(url);
  return w;
}

void closeWindow(Window& w) {
  w.browser->quit();
  w.pub.Reset();
  w.browser->document.Reset();
  w.browser.Reset();
}

// Entries of the table as (processId, pubObject) pairs.
std::vector<std::pair<std::uint32_t, std::uint32_t>> entries(const qv::SharedSettings& s) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
  const int n = std::clamp<int>(s.browserCount, 0, qv::kMaxBrowsers);
  for (int i = 0; i < n; ++i) out.emplace_back(s.browserTable[i].processId, s.browserTable[i].pubObject);
  return out;
}

TEST(PubWindows, HundredFirstWindowRunsWithoutAnEntry) {
  qv::SharedSettings* s = qvtest::sharedRecord();
  ASSERT_NE(s, nullptr);
  const int base = s->browserCount;
  ASSERT_LT(base, qv::kMaxBrowsers);
  const int savedSound = s->playDefaultSound;
  s->playDefaultSound = 0;
  std::vector<Window> windows;
  for (int i = base; i < qv::kMaxBrowsers; ++i) windows.push_back(openWindow());
  EXPECT_EQ(s->browserCount, qv::kMaxBrowsers);
  {
    qvtest::MessageBoxWatcher boxes;
    windows.push_back(openWindow());
    standin::pumpUntil([&] { return !boxes.texts().empty(); }, 3000);
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"IDS_ERR_TOOMANYWINDOWS"});
  }
  EXPECT_EQ(s->browserCount, qv::kMaxBrowsers);
  // It runs all the same: a script popup there is still judged and blocked.
  s->showStatusMsg = 1;
  EXPECT_TRUE(windows.back().browser->newWindow2());
  // Closing it first removes nothing of the others; then the rest close.
  closeWindow(windows.back());
  windows.pop_back();
  EXPECT_EQ(s->browserCount, qv::kMaxBrowsers);
  // Closing one in the middle moves the later entries down one place.
  auto before = entries(*s);
  const size_t middle = windows.size() / 2;
  closeWindow(windows[middle]);
  windows.erase(windows.begin() + static_cast<std::ptrdiff_t>(middle));
  auto after = entries(*s);
  before.erase(before.begin() + base + static_cast<std::ptrdiff_t>(middle));
  EXPECT_EQ(after, before);
  for (auto& w : windows) closeWindow(w);
  EXPECT_EQ(s->browserCount, base);
  s->showStatusMsg = 0;
  s->playDefaultSound = savedSound;
}

// --- the dialog watch -----------------------------------------------------

// The child's windows: its script dialog and, made after it, a sentinel
// the watch closes when it works.  The first of them to go ends the child.
HWND g_dialog = nullptr;
int g_firstGone = -1;

// A named procedure rather than a lambda: a lambda converts to a default
// calling-convention pointer, and a 32-bit WNDPROC is stdcall.
LRESULT CALLBACK scriptDialogProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_DESTROY && g_firstGone < 0) {
    g_firstGone = w == g_dialog ? 0 : 4;
    PostQuitMessage(g_firstGone);
  }
  return DefWindowProcA(w, m, wp, lp);
}

HWND makeWindow(const char* cls, const char* title, WNDPROC proc, HWND parent = nullptr) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = cls;
  RegisterClassA(&wc);  // fails harmlessly when made already
  const DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW;
  HWND w = CreateWindowExA(0, cls, title, style, 50, 50, 300, 200, parent, nullptr, wc.hInstance, nullptr);
  if (w && !parent) ShowWindow(w, SW_SHOWNOACTIVATE);
  return w;
}

// A web page dialog titled QV_DIALOG_TITLE, then the sentinel QV_SENTINEL
// names: "dialog" (a web page dialog that qualifies), "help" (a help window
// showing a page) or nothing.  The watch takes a process's windows in the
// order they were made, so the sentinel going while the dialog stays shows
// that the dialog was judged and left alone.  Exit code: 0 the dialog was
// closed, 4 the sentinel was closed first, 3 neither within
// QV_DIALOG_LIFE_MS.
QV_CHILD_TEST(PubChild, ScriptDialogWindow) {
  const std::string title = qvtest::env("QV_DIALOG_TITLE");
  const std::string sentinel = qvtest::env("QV_SENTINEL");
  const UINT lifeMs = static_cast<UINT>(std::stoul(qvtest::env("QV_DIALOG_LIFE_MS")));
  constexpr char kDialogClass[] = "Internet Explorer_TridentDlgFrame";
  g_dialog = makeWindow(kDialogClass, title.c_str(), scriptDialogProc);
  ASSERT_NE(g_dialog, nullptr);
  if (sentinel == "dialog") {
    ASSERT_NE(makeWindow(kDialogClass, "Sentinel -- Web Page Dialog", scriptDialogProc), nullptr);
  } else if (sentinel == "help") {
    HWND help = makeWindow("HH Parent", "Help", scriptDialogProc);
    ASSERT_NE(help, nullptr);
    ASSERT_NE(makeWindow("Shell Embedding", "", DefWindowProcA, help), nullptr);
  }
  SetTimer(nullptr, 0, lifeMs, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == nullptr) ExitProcess(3);
    DispatchMessageA(&msg);
  }
  ExitProcess(g_firstGone < 0 ? 0 : static_cast<UINT>(g_firstGone));
}

class DialogWatch : public ::testing::Test {
 protected:
  void SetUp() override {
    s = qvtest::sharedRecord();
    ASSERT_NE(s, nullptr);
    saved = s->modelessDialogEnable;
    savedHelp = s->winHelpEnable;
    s->modelessDialogEnable = 1;
    window = openWindow(L"http://news.example/");
  }
  void TearDown() override {
    if (window.browser) closeWindow(window);
    if (s) {
      s->modelessDialogEnable = saved;
      s->winHelpEnable = savedHelp;
    }
  }
  // Runs a dialog child (above) titled `title` with `sentinel`; returns its
  // exit code.  The life is a bound for a watch that never acts.
  int runDialog(const std::string& title, const std::string& sentinel = "") {
    constexpr DWORD kLifeMs = 8000;
    HANDLE child = qvtest::startChild("PubChild.ScriptDialogWindow",
                                      {"QV_DIALOG_TITLE=" + title, "QV_SENTINEL=" + sentinel,
                                       "QV_DIALOG_LIFE_MS=" + std::to_string(kLifeMs)});
    if (!child) return -2;
    const int code = qvtest::waitChild(child, kLifeMs + 10000);
    if (code == -1) TerminateProcess(child, 9);
    CloseHandle(child);
    return code;
  }

  qv::SharedSettings* s = nullptr;
  int saved = 1;
  int savedHelp = 0;
  Window window;
};

TEST_F(DialogWatch, ScriptDialogOfAnotherProcessIsClosedAndCounted) {
  const int session = s->blockedSession;
  EXPECT_EQ(runDialog("Ad offer -- Web Page Dialog"), 0) << "the watch closes it";
  EXPECT_EQ(s->blockedSession, session + 1) << "counted once, by the one object that closed it";
}

TEST_F(DialogWatch, DialogWhoseTitleStartsWithDashesIsLeftAlone) {
  const int session = s->blockedSession;
  EXPECT_EQ(runDialog("-- Web Page Dialog -- again", "dialog"), 4) << "the sentinel went, the dialog stayed";
  EXPECT_EQ(s->blockedSession, session + 1) << "the sentinel only";
}

TEST_F(DialogWatch, NothingIsClosedWhileTheWatchIsOff) {
  s->modelessDialogEnable = 0;
  s->winHelpEnable = 1;
  EXPECT_EQ(runDialog("Ad offer -- Web Page Dialog", "help"), 4) << "the help window went, the dialog stayed";
}

// --- many processes at once ------------------------------------------------

constexpr int kProcesses = 4;
constexpr int kWindowsEach = 25;
constexpr int kBlocksEach = 500;

// Waits on a named event while pumping this thread's messages.
bool waitGo(const char* name, DWORD boundMs) {
  HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, name);
  if (!go) return false;
  const DWORD start = GetTickCount();
  bool ok = false;
  for (;;) {
    const DWORD spent = GetTickCount() - start;
    if (spent >= boundMs) break;
    const DWORD r = MsgWaitForMultipleObjects(1, &go, FALSE, boundMs - spent, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) {
      ok = true;
      break;
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  CloseHandle(go);
  return ok;
}

void signal(const char* semaphore) {
  if (HANDLE h = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, semaphore)) {
    ReleaseSemaphore(h, 1, nullptr);
    CloseHandle(h);
  }
}

QV_CHILD_TEST(PubChild, TwentyFiveWindows) {
  ASSERT_TRUE(waitGo("QuillvaneTestAttach", 20000));
  std::vector<Window> windows;
  for (int i = 0; i < kWindowsEach; ++i) windows.push_back(openWindow());
  signal("QuillvaneTestAttached");
  ASSERT_TRUE(waitGo("QuillvaneTestQuit", 30000));
  for (auto& w : windows) closeWindow(w);
}

QV_CHILD_TEST(PubChild, FiveHundredBlocks) {
  Window w = openWindow();
  ASSERT_TRUE(waitGo("QuillvaneTestAttach", 20000));
  int blocked = 0;
  for (int i = 0; i < kBlocksEach; ++i) {
    const std::wstring page =
        L"http://p" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(i) + L".example/ad";
    ASSERT_TRUE(w.browser->load(page));
    blocked += w.browser->newWindow2() ? 1 : 0;
  }
  EXPECT_EQ(blocked, kBlocksEach);
  closeWindow(w);
}

class ManyProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    s = qvtest::sharedRecord();
    ASSERT_NE(s, nullptr);
    // The session's one settings load (which reads the saved total) happens
    // with the first helper object: make it happen before counting.
    ASSERT_TRUE(standin::createPub());
    attach = CreateEventA(nullptr, TRUE, FALSE, "QuillvaneTestAttach");
    quit = CreateEventA(nullptr, TRUE, FALSE, "QuillvaneTestQuit");
    attached = CreateSemaphoreA(nullptr, 0, kProcesses, "QuillvaneTestAttached");
    savedSound = s->playDefaultSound;
    s->playDefaultSound = 0;
  }
  void TearDown() override {
    SetEvent(attach);
    SetEvent(quit);
    for (HANDLE c : children) {
      if (qvtest::waitChild(c, 30000) == -1) TerminateProcess(c, 9);
      CloseHandle(c);
    }
    CloseHandle(attach);
    CloseHandle(quit);
    CloseHandle(attached);
    if (s) s->playDefaultSound = savedSound;
  }
  void start(const char* mode) {
    for (int i = 0; i < kProcesses; ++i)
      children.push_back(qvtest::startChild(std::string("PubChild.") +
                                                (std::strcmp(mode, "windows") == 0 ? "TwentyFiveWindows"
                                                                                   : "FiveHundredBlocks"),
                                            {}));
  }
  std::vector<int> finish(DWORD boundMs) {
    std::vector<int> codes;
    for (HANDLE c : children) {
      codes.push_back(qvtest::waitChild(c, boundMs));
      CloseHandle(c);
    }
    children.clear();
    return codes;
  }

  qv::SharedSettings* s = nullptr;
  HANDLE attach = nullptr, quit = nullptr, attached = nullptr;
  int savedSound = 1;
  std::vector<HANDLE> children;
};

TEST_F(ManyProcesses, WindowsAttachAndQuitAtOnceWithoutLosingEntries) {
  ASSERT_EQ(s->browserCount, 0) << "the table must be empty for 100 windows to fit";
  start("windows");
  SetEvent(attach);
  for (int i = 0; i < kProcesses; ++i) ASSERT_EQ(WaitForSingleObject(attached, 60000), WAIT_OBJECT_0);
  // Every window has exactly one entry: 25 per process, no pair twice.
  const auto all = entries(*s);
  EXPECT_EQ(s->browserCount, kProcesses * kWindowsEach);
  std::map<std::uint32_t, int> perProcess;
  for (const auto& [pid, token] : all) ++perProcess[pid];
  EXPECT_EQ(perProcess.size(), static_cast<size_t>(kProcesses));
  for (const auto& [pid, n] : perProcess) EXPECT_EQ(n, kWindowsEach) << "process " << pid;
  const std::set<std::pair<std::uint32_t, std::uint32_t>> unique(all.begin(), all.end());
  EXPECT_EQ(unique.size(), all.size());
  SetEvent(quit);
  for (int code : finish(60000)) EXPECT_EQ(code, 0);
  EXPECT_EQ(s->browserCount, 0);
}

TEST_F(ManyProcesses, BlocksOnDistinctPagesAreCountedExactly) {
  const int session = s->blockedSession;
  const int total = s->blockedTotal;
  const int savedStatus = s->showStatusMsg;
  s->popupEnable = 1;
  s->enableHistory = 1;
  qvtest::clearHistory();
  start("blocks");
  SetEvent(attach);
  for (int code : finish(180000)) EXPECT_EQ(code, 0);
  EXPECT_EQ(s->blockedSession, session + kProcesses * kBlocksEach);
  EXPECT_EQ(s->blockedTotal, total + kProcesses * kBlocksEach);
  s->showStatusMsg = savedStatus;
  // The history: well-formed lines of the pages, each once, filled up to
  // (never past) the region's last byte.
  const std::string text = qvtest::historyText();
  ASSERT_FALSE(text.empty());
  EXPECT_LT(text.size(), qvtest::kHistorySize);
  EXPECT_EQ(text.back(), '\n');
  std::set<std::string> seen;
  size_t lines = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    ASSERT_NE(end, std::string::npos);
    const std::string line = text.substr(at, end - at);
    EXPECT_EQ(line.rfind("http://p", 0), 0u) << line;
    EXPECT_TRUE(line.size() > 11 && line.compare(line.size() - 11, 11, ".example/ad") == 0) << line;
    EXPECT_TRUE(seen.insert(line).second) << "twice: " << line;
    ++lines;
    at = end + 1;
  }
  // Full: too little room is left for one more line of this length.
  EXPECT_GT(text.size() + 30, qvtest::kHistorySize - 1) << lines << " lines";
}

}  // namespace
