// What an idle browser window costs under Wine with the helper object, and
// how fast the dialog watch closes a dialog.  Measurements, not checks: they
// run only with QV_MEASURE=1 and print MEASURE lines.  Each baseline is
// measured in the same run, on the same stand-in window:
//   - idle window, visible: CPU time and timer messages per second without
//     the object, with it, and with a stand-in of the earlier 5 ms polling
//     watch (two FindWindowA and the table walk per tick, no object);
//   - a background tab: page calls (get_LocationURL) and timer messages per
//     second;
//   - a web page dialog: time from its creation (title there), and from the
//     moment its title qualifies, to the WM_CLOSE it receives.
// QV_MEASURE_SECONDS sets the length of each idle run (default 30).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/browser_table.h"
#include "core/shared_settings.h"
#include "pub_test_support.h"
#include "standin_browser.h"

namespace {

double now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

double cpuSeconds() {
  FILETIME c, e, k, u;
  GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u);
  auto v = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(v(k) + v(u)) / 1e7;
}

DWORD runMs() {
  const std::string v = qvtest::env("QV_MEASURE_SECONDS");
  const int s = v.empty() ? 30 : std::atoi(v.c_str());
  return static_cast<DWORD>(std::max(1, s)) * 1000;
}

// Pumps this thread for `ms`; returns the WM_TIMER messages it dispatched.
int pumpCountingTimers(DWORD ms) {
  int timers = 0;
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_TIMER) ++timers;
      DispatchMessageA(&msg);
    }
    const DWORD spent = GetTickCount() - start;
    if (spent >= ms) return timers;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
  }
}

void report(const char* what, DWORD ms, double cpu, int timers) {
  const double s = ms / 1000.0;
  std::printf("MEASURE %-44s %6.3f s CPU in %4.0f s (%5.2f%% of a core), %6.1f timer messages/s\n", what, cpu, s,
              cpu / s * 100.0, timers / s);
  std::fflush(stdout);
}

// The earlier watch, for comparison: every 5 ms the owning object looked up
// in the table and the two window classes searched.
qv::SharedSettings* g_pollTable = nullptr;
VOID CALLBACK oldPoll(HWND window, UINT, UINT_PTR, DWORD) {
  const auto w = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
  int found = 0;
  for (int i = 0; i < g_pollTable->browserCount; ++i)
    if (g_pollTable->browserTable[i].frameWindow == w) found = 1;
  if (found) {
    FindWindowA("Internet Explorer_TridentDlgFrame", nullptr);
    FindWindowA("HH Parent", nullptr);
  }
}

TEST(PubMeasure, IdleWindow) {
  if (qvtest::env("QV_MEASURE") != "1") GTEST_SKIP() << "set QV_MEASURE=1";
  const DWORD ms = runMs();
  {
    auto browser = standin::make<standin::Browser>();
    const double c0 = cpuSeconds();
    const int timers = pumpCountingTimers(ms);
    report("idle window without the object:", ms, cpuSeconds() - c0, timers);
  }
  {
    // The earlier 5 ms poll on a window of its own, without the object.
    auto browser = standin::make<standin::Browser>();
    qv::SharedSettings table;
    table.browserCount = 1;
    table.browserTable[0].frameWindow = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(browser->hwnd));
    g_pollTable = &table;
    SetTimer(browser->hwnd, 2, 5, oldPoll);
    const double c0 = cpuSeconds();
    const int timers = pumpCountingTimers(ms);
    report("idle window, the earlier 5 ms poll alone:", ms, cpuSeconds() - c0, timers);
    KillTimer(browser->hwnd, 2);
  }
  {
    auto browser = standin::make<standin::Browser>();
    auto pub = standin::createPub();
    ASSERT_TRUE(pub);
    pub->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
    browser->switchTab(true);  // the browser reports the window in front
    browser->load(L"http://idle.example/");
    const double c0 = cpuSeconds();
    const int timers = pumpCountingTimers(ms);
    report("idle window with the object (visible):", ms, cpuSeconds() - c0, timers);
    const int asked = browser->locationAsked.load();
    browser->switchTab(false);
    const double c1 = cpuSeconds();
    const int hiddenTimers = pumpCountingTimers(ms / 3);
    report("the same window hidden (background tab):", ms / 3, cpuSeconds() - c1, hiddenTimers);
    std::printf("MEASURE background tab: %.2f page calls/s\n",
                (browser->locationAsked.load() - asked) / (ms / 3 / 1000.0));
    browser->quit();
    pub.Reset();
    browser->document.Reset();
  }
}

// A web page dialog that records when it is told to close.
double g_closedAt = 0;
LRESULT CALLBACK dialogProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_CLOSE) {
    if (g_closedAt == 0) g_closedAt = now();
    DestroyWindow(w);
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

void printTimes(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  if (ms.empty()) return;
  std::printf("MEASURE %s: median %.2f ms, worst %.2f ms, best %.2f ms (%zu dialogs)\n", what, ms[ms.size() / 2],
              ms.back(), ms.front(), ms.size());
  std::fflush(stdout);
}

TEST(PubMeasure, DialogToClose) {
  if (qvtest::env("QV_MEASURE") != "1") GTEST_SKIP() << "set QV_MEASURE=1";
  qv::SharedSettings* s = qvtest::sharedRecord();
  ASSERT_NE(s, nullptr);
  s->modelessDialogEnable = 1;
  s->beep = s->playDefaultSound = s->playSoundFile = 0;
  auto browser = standin::make<standin::Browser>();
  auto pub = standin::createPub();
  ASSERT_TRUE(pub);
  pub->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
  browser->load(L"http://dialogs.example/");
  WNDCLASSA wc{};
  wc.lpfnWndProc = dialogProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "Internet Explorer_TridentDlgFrame";
  RegisterClassA(&wc);
  std::vector<double> fromCreation, fromTitle;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 25; ++i) {
      g_closedAt = 0;
      const bool late = round == 1;
      const double t0 = now();
      HWND d = CreateWindowExA(0, wc.lpszClassName, late ? "" : "Ad -- Web Page Dialog", WS_POPUP, 0, 0, 10, 10,
                               nullptr, nullptr, wc.hInstance, nullptr);
      double start = t0;
      if (late) {
        standin::pump(30);  // handed over and looked at: waiting for its title
        start = now();
        SetWindowTextA(d, "Ad -- Web Page Dialog");
      }
      standin::pumpUntil([] { return g_closedAt != 0; }, 2000);
      if (g_closedAt != 0) (late ? fromTitle : fromCreation).push_back((g_closedAt - start) * 1000.0);
      if (IsWindow(d)) DestroyWindow(d);
      standin::pump(20);
    }
  }
  printTimes("web page dialog, creation to WM_CLOSE", fromCreation);
  printTimes("web page dialog, title qualifies to WM_CLOSE", fromTitle);
  browser->quit();
  pub.Reset();
  browser->document.Reset();
}

}  // namespace
