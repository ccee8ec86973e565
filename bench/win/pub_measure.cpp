// Cost of the 5 ms dialog watch (timer 2) under Wine with no dialog present:
// the work of one tick, and the CPU share of an idle browser window with its
// helper object over 10 seconds.  Measurements, not checks: they run only
// with QV_MEASURE=1 and print their numbers.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "core/browser_table.h"
#include "core/popup.h"
#include "core/win/popup_ports_win.h"
#include "platform/win/messages_win.h"
#include "pub_test_support.h"
#include "standin_browser.h"

namespace {

double seconds(const LARGE_INTEGER& a, const LARGE_INTEGER& b) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

double cpuSeconds() {
  FILETIME c, e, k, u;
  GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u);
  auto v = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(v(k) + v(u)) / 1e7;
}

TEST(PubMeasure, DialogWatchTick) {
  if (qvtest::env("QV_MEASURE") != "1") GTEST_SKIP() << "set QV_MEASURE=1";
  // The tick's own work: find the window's object from the focus up, then
  // the two window searches, with the same adapters the module uses.
  qv::SharedSettings settings;
  qv::popup::ClickState clicks;
  qv::win::Win32Desktop desktop;
  qv::win::Win32Timers timers(nullptr);
  qv::win::Win32Sound sound;
  qv::win::Win32Messages messages(nullptr);
  qv::popup::PopupContext ctx{settings, clicks, desktop, timers, sound, messages, {}, {}};
  auto mutex = std::unique_ptr<qv::NamedMutex>();
  qv::core::BrowserTable table(settings, nullptr);
  settings.browserCount = 1;
  auto browser = standin::make<standin::Browser>();
  settings.browserTable[0] = {static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(browser->hwnd)), 1,
                              GetCurrentThreadId(), GetCurrentProcessId()};
  qv::popup::PubState pub;
  constexpr int kTicks = 20000;
  struct Row {
    const char* name;
    int dialogs;
    int help;
  } rows[] = {{"defaults (dialog watch on, help watch off)", 1, 0},
              {"both watches on", 1, 1},
              {"both off (lookup only)", 0, 0}};
  for (const auto& r : rows) {
    settings.modelessDialogEnable = r.dialogs;
    settings.winHelpEnable = r.help;
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    const auto window = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(browser->hwnd));
    for (int i = 0; i < kTicks; ++i) {
      // The timer's own window looked up in the table, as the module does.
      int found = 0;
      for (const auto& e : table.Entries())
        if (e.frameWindow == window && e.processId == GetCurrentProcessId()) found = 1;
      if (found) qv::popup::WatchDialogs(ctx, pub);
    }
    QueryPerformanceCounter(&b);
    const double us = seconds(a, b) * 1e6 / kTicks;
    std::printf("MEASURE timer-2 tick, %s: %.2f us per tick (%.3f%% of the 5 ms period)\n", r.name, us,
                us / 5000.0 * 100.0);
  }
  // The focus-chain look-up the timer falls back to, for comparison.
  {
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    for (int i = 0; i < kTicks; ++i) table.FindPubForFocus(desktop, GetCurrentThreadId(), GetCurrentProcessId());
    QueryPerformanceCounter(&b);
    std::printf("MEASURE focus-chain look-up alone: %.2f us\n", seconds(a, b) * 1e6 / kTicks);
  }
  // Baseline in the same run: one bare FindWindowA of a class that is absent.
  LARGE_INTEGER a, b;
  QueryPerformanceCounter(&a);
  for (int i = 0; i < kTicks; ++i) FindWindowA("Internet Explorer_TridentDlgFrame", nullptr);
  QueryPerformanceCounter(&b);
  std::printf("MEASURE baseline: one FindWindowA %.2f us\n", seconds(a, b) * 1e6 / kTicks);
}

// Pumps for `ms`, counting timer-2 ticks of this thread (on the helper
// object's own timer window).
int pumpCounting(HWND, DWORD ms) {
  int ticks = 0;
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_TIMER && msg.wParam == 2) ++ticks;
      DispatchMessageA(&msg);
    }
    const DWORD spent = GetTickCount() - start;
    if (spent >= ms) return ticks;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
  }
}

TEST(PubMeasure, IdleBrowserWindowCpuShare) {
  if (qvtest::env("QV_MEASURE") != "1") GTEST_SKIP() << "set QV_MEASURE=1";
  const DWORD kMs = 10000;
  // Without the helper object: the stand-in window alone.
  {
    auto browser = standin::make<standin::Browser>();
    const double c0 = cpuSeconds();
    pumpCounting(browser->hwnd, kMs);
    const double c1 = cpuSeconds();
    std::printf("MEASURE idle window without helper: %.3f s CPU in %.1f s (%.2f%%)\n", c1 - c0, kMs / 1000.0,
                (c1 - c0) / (kMs / 1000.0) * 100.0);
  }
  auto browser = standin::make<standin::Browser>();
  auto pub = standin::createPub();
  ASSERT_TRUE(pub);
  pub->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
  browser->load(L"http://idle.example/");
  const double c0 = cpuSeconds();
  const int ticks = pumpCounting(browser->hwnd, kMs);
  const double c1 = cpuSeconds();
  std::printf("MEASURE idle window with helper: %.3f s CPU in %.1f s (%.2f%%), %d timer-2 ticks (%.1f per s)\n",
              c1 - c0, kMs / 1000.0, (c1 - c0) / (kMs / 1000.0) * 100.0, ticks, ticks / (kMs / 1000.0));
  browser->quit();
  pub.Reset();
}

}  // namespace
