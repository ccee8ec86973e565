// The Win32 side of popup blocking under Wine: the module's sound and cursor
// resources, the desktop and timer adapters on real windows, and the hook
// and timer procedures driving the logic.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "child_entry.h"
#include "core/notify.h"
#include "core/win/popup_shell_win.h"
#include "core/win/pub_windows.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_popup.h"
#include "res/resource_ids.h"
#include "pub_test_support.h"
#include "win_test_support.h"

namespace {

using qv::win::toHandle;

// A real named mutex for the tests (the product's adapter lives elsewhere).
class TestMutex final : public qv::NamedMutex {
 public:
  explicit TestMutex(const char* name) : h_(CreateMutexA(nullptr, FALSE, name)) {}
  ~TestMutex() override {
    if (h_) CloseHandle(h_);
  }
  qv::WaitResult wait(std::uint32_t ms) override {
    switch (WaitForSingleObject(h_, ms)) {
      case WAIT_OBJECT_0: return qv::WaitResult::Obtained;
      case WAIT_ABANDONED: return qv::WaitResult::Abandoned;
      case WAIT_TIMEOUT: return qv::WaitResult::Timeout;
      default: return qv::WaitResult::Failed;
    }
  }
  void release() override { ReleaseMutex(h_); }

 private:
  HANDLE h_;
};

// Windows of test classes that record the WM_CLOSE they get.
int g_closes = 0;
LRESULT CALLBACK RecordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_CLOSE) {
    ++g_closes;
    DestroyWindow(w);
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

void registerClass(const char* name) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = name;
  RegisterClassA(&wc);  // a second registration in the same run fails harmlessly
}

HWND makeWindow(const char* cls, const char* title, HWND parent = nullptr) {
  registerClass(cls);
  return CreateWindowExA(0, cls, title, parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                         parent, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// Dispatches messages until done() or the bound has passed.
template <class Done>
bool pumpUntil(Done done, DWORD boundMs = 3000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed > boundMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, boundMs - elapsed, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return true;
}

TEST(PopupResources, TheModuleCarriesTheBlockSoundAndTheBlockCursor) {
  HMODULE m = qvtest::module();
  ASSERT_NE(m, nullptr);
  for (const char* name : {"PUBSOUND", "PubSound"}) {
    HRSRC r = FindResourceA(m, name, "WAVE");
    ASSERT_NE(r, nullptr) << name;
    const DWORD size = SizeofResource(m, r);
    EXPECT_GT(size, 4000u);
    EXPECT_LT(size, 16000u);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(m, r)));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::string(bytes, 4), "RIFF");
    EXPECT_EQ(std::string(bytes + 8, 8), "WAVEfmt ");
  }
  HCURSOR cursor = LoadCursorA(m, MAKEINTRESOURCEA(IDC_BLOCKCURSOR));
  ASSERT_NE(cursor, nullptr);
  EXPECT_NE(cursor, LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
}

TEST(PopupDesktop, ReadsAndClosesRealWindowsWithinItsBounds) {
  qv::win::Win32Desktop d;
  const std::string longTitle = "Ad -- " + std::string(300, 't');
  HWND frame = makeWindow("QvPopupTestFrame", longTitle.c_str());
  ASSERT_NE(frame, nullptr);
  HWND child = makeWindow("Shell Embedding", "", frame);
  ASSERT_NE(child, nullptr);
  const std::string longClass(150, 'C');
  HWND odd = makeWindow(longClass.c_str(), "");
  ASSERT_NE(odd, nullptr);

  EXPECT_EQ(d.findTopLevel("QvPopupTestFrame"), toHandle(frame));
  EXPECT_EQ(d.findTopLevel("QvNoSuchClass"), 0u);
  EXPECT_EQ(d.className(toHandle(frame)), "QvPopupTestFrame");
  EXPECT_EQ(d.className(toHandle(odd)), std::string(99, 'C'));
  EXPECT_EQ(d.className(0), "");
  EXPECT_EQ(d.windowTitle(toHandle(frame)), longTitle.substr(0, 259));
  EXPECT_EQ(d.firstChild(toHandle(frame)), toHandle(child));
  EXPECT_EQ(d.firstChild(toHandle(child)), 0u);
  EXPECT_EQ(d.parent(toHandle(child)), toHandle(frame));

  g_closes = 0;
  d.postClose(toHandle(odd));
  EXPECT_TRUE(pumpUntil([] { return g_closes == 1; }));
  EXPECT_FALSE(IsWindow(odd));
  DestroyWindow(frame);
}

int g_ticks = 0;
VOID CALLBACK CountingTimer(HWND, UINT, UINT_PTR id, DWORD) {
  if (id == 9) ++g_ticks;
}

TEST(PopupTimers, StartRestartAndStop) {
  HWND w = makeWindow("QvPopupTestTimer", "");
  ASSERT_NE(w, nullptr);
  qv::win::Win32Timers timers(CountingTimer);
  g_ticks = 0;
  ASSERT_TRUE(timers.start(toHandle(w), 9, 5));
  ASSERT_TRUE(timers.start(toHandle(w), 9, 5));  // a restart, not a second timer
  EXPECT_TRUE(pumpUntil([] { return g_ticks >= 3; }));
  timers.stop(toHandle(w), 9);
  const int after = g_ticks;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_LE(g_ticks, after + 1);
  EXPECT_FALSE(PeekMessageA(&msg, w, WM_TIMER, WM_TIMER, PM_NOREMOVE));
  DestroyWindow(w);
}

// One configured shell for the process, as the helper object sets it up.
struct ShellWorld {
  qv::SharedSettings settings;
  qv::fake::FakeMessages messages;
  std::vector<char> history = std::vector<char>(qv::kHistoryRegionSize, 0);
  TestMutex tableMutex{"QvPopupTestTableMutex"};
  TestMutex dataMutex{"QvPopupTestDataMutex"};
  int saves = 0;
  ShellWorld() {
    qv::win::PopupShell::instance().configure(
        {&settings, &messages, [this] { ++saves; }, history, &tableMutex});
  }
  static ShellWorld& get() {
    static ShellWorld w;
    return w;
  }
};

class PopupShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world = &ShellWorld::get();
    frame = makeWindow("QvPopupTestBrowser", "Browser");
    ASSERT_NE(frame, nullptr);
    page = makeWindow("Internet Explorer_Server", "", frame);
    ASSERT_NE(page, nullptr);
    pub.frameWindow = toHandle(frame);
    pub.timerWindow = toHandle(frame);
    pub.host = &host;
    pub.dataMutex = &world->dataMutex;
    token = shell().tokens().add(&pub);
    ASSERT_TRUE(qv::core::AddWindow(shell().table(), world->messages, qv::core::TableWindow(toHandle(frame)),
                                    token, GetCurrentThreadId(), GetCurrentProcessId()));
  }
  void TearDown() override {
    EXPECT_EQ(shell().table().Remove(token, qv::core::TableWindow(toHandle(frame)), GetCurrentProcessId()),
              qv::core::RemoveResult::Removed);
    shell().tokens().remove(token);
    DestroyWindow(frame);
  }
  static qv::win::PopupShell& shell() { return qv::win::PopupShell::instance(); }

  ShellWorld* world = nullptr;
  HWND frame = nullptr;
  HWND page = nullptr;
  qv::fake::FakePubHost host;
  qv::popup::PubState pub;
  std::uint32_t token = 0;
};

// A tick goes to the object of the timer's own window; a window without one
// (a timer the object could not give its own window) falls back to the
// object of the focused page, then to the thread's entry.
TEST_F(PopupShellTest, TheSweepTimerFindsItsOwnObjectThenTheFocusedPagesThenTheThreads) {
  HWND frame2 = makeWindow("QvPopupTestBrowser", "Browser 2");
  HWND page2 = makeWindow("Internet Explorer_Server", "", frame2);
  HWND stray = makeWindow("QvPopupTestBrowser", "No object");
  ASSERT_TRUE(frame2 && page2 && stray);
  qv::fake::FakePubHost host2;
  qv::popup::PubState pub2;
  pub2.frameWindow = pub2.timerWindow = toHandle(frame2);
  pub2.host = &host2;
  pub2.dataMutex = &world->dataMutex;
  const std::uint32_t token2 = shell().tokens().add(&pub2);
  ASSERT_TRUE(qv::core::AddWindow(shell().table(), world->messages, qv::core::TableWindow(toHandle(frame2)), token2,
                                  GetCurrentThreadId(), GetCurrentProcessId()));
  host.url = host2.url = "https://secure.example.com/";  // exempt: no sweep, only the tray offer
  SetFocus(page2);
  ASSERT_EQ(GetFocus(), page2);
  qv::win::PopupShell::TimerProc(frame, WM_TIMER, qv::popup::kTimerSweep, 0);
  EXPECT_EQ(host.trayOffers, 1) << "the timer's own window's object";
  EXPECT_EQ(host2.trayOffers, 0);
  qv::win::PopupShell::TimerProc(stray, WM_TIMER, qv::popup::kTimerSweep, 0);
  EXPECT_EQ(host2.trayOffers, 1) << "the focused page's object";
  EXPECT_TRUE(host2.sweeps.empty());
  EXPECT_EQ(shell().table().Remove(token2, qv::core::TableWindow(toHandle(frame2)), GetCurrentProcessId()),
            qv::core::RemoveResult::Removed);
  shell().tokens().remove(token2);
  DestroyWindow(frame2);
  // Without focus the thread's entry answers.
  SetFocus(nullptr);
  qv::win::PopupShell::TimerProc(stray, WM_TIMER, qv::popup::kTimerSweep, 0);
  EXPECT_EQ(host.trayOffers, 2);
  DestroyWindow(stray);
}

TEST_F(PopupShellTest, TheWatchHookIsSetOnceAndHandsAWindowToTheObjectOfItsThread) {
  // The fixture's object is this thread's; its "timer window" is the frame.
  shell().addWatchReceiver(token, frame);
  EXPECT_TRUE(shell().watchHookSet());
  HWND dialog = makeWindow("Internet Explorer_TridentDlgFrame", "");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(shell().receiverFor(dialog), frame) << "made on this thread: this thread's object";
  // Pumping delivers the creation event, and the object's window gets it.
  bool handed = false;
  const DWORD start = GetTickCount();
  while (!handed && GetTickCount() - start < 3000) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.hwnd == frame && msg.message == qv::core::win::kWatchWindowMessage &&
          reinterpret_cast<HWND>(msg.wParam) == dialog)
        handed = true;
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  EXPECT_TRUE(handed) << "the creation hook handed the new dialog over";
  DestroyWindow(dialog);
  shell().removeWatchReceiver(frame);
  EXPECT_FALSE(shell().watchHookSet()) << "the hook goes with the last object of its thread";
}

TEST_F(PopupShellTest, KeyboardHookDecodesF12AndTheShortcut) {
  SetFocus(page);
  // F12 released: the options open once.
  const LPARAM f12Up = static_cast<LPARAM>(0xC0000001u);
  qv::win::PopupShell::KeyboardProc(HC_ACTION, VK_F12, f12Up);
  EXPECT_EQ(host.optionsShown, 1);
  // Ctrl+Alt+H, first key-down, with the modifiers down in this thread's key state.
  world->settings.blockAnimHotkey = 0x0648;
  BYTE keys[256] = {};
  keys[VK_CONTROL] = 0x80;
  keys[VK_MENU] = 0x80;
  ASSERT_TRUE(SetKeyboardState(keys));
  EXPECT_EQ(qv::win::PopupShell::KeyboardProc(HC_ACTION, 'H', 0x00230001), 1) << "swallowed";
  EXPECT_EQ(host.sweeps, std::vector<int>{3});
  keys[VK_MENU] = 0;
  ASSERT_TRUE(SetKeyboardState(keys));
  EXPECT_EQ(qv::win::PopupShell::KeyboardProc(HC_ACTION, 'H', 0x00230001), 0) << "passed on";
  EXPECT_EQ(host.sweeps.size(), 1u);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  world->settings.blockAnimHotkey = 0;
}

TEST_F(PopupShellTest, MouseHookRecordsClicksInThePage) {
  shell().clicks().resetClicks();
  MOUSEHOOKSTRUCT info{};
  info.hwnd = page;
  info.pt = {321, 123};
  qv::win::PopupShell::MouseProc(HC_ACTION, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(shell().clicks().clickSeen.load(), 1);
  EXPECT_EQ(shell().clicks().lastClickPoint(), (qv::ScreenPoint{321, 123}));
  shell().clicks().resetClicks();
  info.hwnd = frame;
  qv::win::PopupShell::MouseProc(HC_ACTION, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(shell().clicks().clickSeen.load(), 0) << "the browser frame is not the page";
}

}  // namespace

// ---------------------------------------------------------------------------
// Several browser processes at once.  The test binary starts copies of
// itself that each open and close windows and block popups against one
// shared record and history region (a named mapping standing in for the
// module's shared section) under the real named mutexes.

namespace {

constexpr char kMappingName[] = "QvPopupTestSharedState";
constexpr char kChildVar[] = "QV_POPUP_CHILD";
constexpr int kChildren = 4;
constexpr int kRounds = 150;
constexpr int kPagesPerChild = 10;

struct SharedState {
  qv::SharedSettings settings;
  char history[qv::kHistoryRegionSize];
};

class Mapping {
 public:
  Mapping()
      : h_(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedState), kMappingName)),
        view_(h_ ? MapViewOfFile(h_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedState)) : nullptr) {}
  ~Mapping() {
    if (view_) UnmapViewOfFile(view_);
    if (h_) CloseHandle(h_);
  }
  SharedState* state() { return static_cast<SharedState*>(view_); }

 private:
  HANDLE h_;
  void* view_;
};

std::string pageOf(int child, int page) {
  return "http://child" + std::to_string(child) + ".example.com/page" + std::to_string(page);
}

}  // namespace

QV_CHILD_TEST(PopupCrossProcess, ChildWorker) {
  const int child = std::atoi(qvtest::env(kChildVar).c_str());
  Mapping mapping;
  ASSERT_NE(mapping.state(), nullptr);
  SharedState& shared = *mapping.state();
  TestMutex tableMutex("QvPopupTestXTable");
  TestMutex dataMutex("QvPopupTestXData");
  qv::core::BrowserTable table(shared.settings, &tableMutex);
  const std::uint32_t pid = GetCurrentProcessId();
  for (int r = 0; r < kRounds; ++r) {
    const std::uint32_t pub = static_cast<std::uint32_t>(r + 1);
    const std::uint32_t frame = static_cast<std::uint32_t>(child * 1000 + r);
    ASSERT_EQ(table.Add(frame, pub, GetCurrentThreadId(), pid), qv::core::AddResult::Added);
    const std::string page = pageOf(child, r % kPagesPerChild);
    qv::popup::RecordBlock(shared.settings, &dataMutex, nullptr, shared.history, page);
    ASSERT_EQ(table.Remove(pub, frame, pid), qv::core::RemoveResult::Removed);
  }
}

TEST(PopupCrossProcess, WindowsCountersAndHistoryStayExact) {
  Mapping mapping;
  ASSERT_NE(mapping.state(), nullptr);
  SharedState& shared = *mapping.state();
  new (&shared.settings) qv::SharedSettings();
  std::memset(shared.history, 0, sizeof shared.history);
  // Windows that stay open throughout in this process.
  TestMutex tableMutex("QvPopupTestXTable");
  qv::core::BrowserTable table(shared.settings, &tableMutex);
  for (std::uint32_t i = 1; i <= 3; ++i)
    ASSERT_EQ(table.Add(900 + i, i, 1, GetCurrentProcessId()), qv::core::AddResult::Added);

  std::vector<HANDLE> processes;
  for (int c = 0; c < kChildren; ++c) {
    HANDLE p = qvtest::startChild("PopupCrossProcess.ChildWorker", {std::string(kChildVar) + "=" + std::to_string(c)});
    ASSERT_TRUE(p);
    processes.push_back(p);
  }
  ASSERT_EQ(WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(), TRUE, 120000),
            WAIT_OBJECT_0);
  for (HANDLE p : processes) {
    DWORD code = 1;
    GetExitCodeProcess(p, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(p);
  }

  const auto entries = table.Entries();
  ASSERT_EQ(entries.size(), 3u) << "no entry lost, none left behind";
  for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(entries[i].pubObject, i + 1);
  EXPECT_EQ(shared.settings.blockedSession, kChildren * kRounds);
  EXPECT_EQ(shared.settings.blockedTotal, kChildren * kRounds);
  std::string expected;
  std::vector<std::string> lines;
  const std::string text = qv::popup::HistoryText({shared.history, sizeof shared.history});
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(lines.size(), static_cast<std::size_t>(kChildren * kPagesPerChild));
  std::sort(lines.begin(), lines.end());
  std::vector<std::string> pages;
  for (int c = 0; c < kChildren; ++c)
    for (int p = 0; p < kPagesPerChild; ++p) pages.push_back(pageOf(c, p));
  std::sort(pages.begin(), pages.end());
  EXPECT_EQ(lines, pages) << "each page once, none torn";
}
