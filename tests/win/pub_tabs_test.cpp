// The helper object in the tabbed stand-in browser: the top-level frame in
// a process of its own, two tabs on two threads of this process, each with
// its own helper object.  Blocks, the sweep timer and the dialog watch work
// in both tabs; each tab's timers serve its own object; nothing of a tab is
// called from the other tab's thread; no timer is aimed at the shared frame.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/shared_settings.h"
#include "pub_test_support.h"
#include "standin_browser.h"

namespace {

using standin::Browser;
using standin::ComPtr;
using Pub = ComPtr<IObjectWithSite>;

constexpr wchar_t kBlockedText[] = L"Quillvane blocked popup Ads in this page!";

LRESULT CALLBACK closingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }

// A child of `parent`, or (popup) a top-level window owned by it.
HWND makeOn(const wchar_t* cls, const wchar_t* title, HWND parent, bool popup = false) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = closingProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = cls;
  RegisterClassW(&wc);  // already registered by an earlier test: fine
  return CreateWindowExW(0, cls, title, parent && !popup ? WS_CHILD : WS_POPUP, 0, 0, 10, 10, parent, nullptr,
                         wc.hInstance, nullptr);
}

class Tabs : public ::testing::Test {
 protected:
  void SetUp() override {
    s = qvtest::sharedRecord();
    ASSERT_NE(s, nullptr);
    saved = *s;
    s->popupEnable = 1;
    s->showStatusMsg = 1;
    s->beep = 0;
    s->playDefaultSound = 0;
    s->playSoundFile = 0;
    s->modelessDialogEnable = 1;
    s->winHelpEnable = 0;
    frame = std::make_unique<standin::FrameProcess>(standin::frameExePath());
    ASSERT_NE(frame->window(), nullptr) << "the frame process did not show its window";
    ASSERT_NE(frame->processId(), GetCurrentProcessId());
    for (auto& tab : tabs) {
      tab = std::make_unique<standin::TabThread>(frame->window(), [] { return standin::createPub(); });
      ASSERT_TRUE(tab->ready()) << "a tab could not attach its helper object";
    }
    for (int i = 0; i < 2; ++i)
      tabs[i]->run([&, i](Browser& b, Pub&) {
        browsers[i] = &b;
        tabWindows[i] = b.tabWindow;
        ASSERT_TRUE(b.load(i == 0 ? L"http://news.example/" : L"http://games.example/"));
      });
  }
  void TearDown() override {
    for (Browser* b : browsers) {
      if (!b) continue;
      EXPECT_EQ(b->foreignThreadCalls.load(), 0) << "a tab's browser was called from another thread";
    }
    if (frame && frame->window()) {
      EXPECT_EQ(frame->foreignTimers(), 0) << "a timer was aimed at the shared frame";
    }
    for (auto& tab : tabs) tab.reset();
    frame.reset();
    if (s) {
      s->popupEnable = saved.popupEnable;
      s->showStatusMsg = saved.showStatusMsg;
      s->beep = saved.beep;
      s->playDefaultSound = saved.playDefaultSound;
      s->playSoundFile = saved.playSoundFile;
      s->modelessDialogEnable = saved.modelessDialogEnable;
      s->winHelpEnable = saved.winHelpEnable;
    }
  }
  std::wstring status(int i) {
    std::wstring text;
    tabs[i]->run([&](Browser& b, Pub&) { text = b.document->window->defaultStatus; });
    return text;
  }
  void clearStatus() {
    for (auto& tab : tabs) tab->run([](Browser& b, Pub&) { b.document->window->defaultStatus.clear(); });
  }

  qv::SharedSettings* s = nullptr;
  qv::SharedSettings saved{};
  std::unique_ptr<standin::FrameProcess> frame;
  std::unique_ptr<standin::TabThread> tabs[2];
  Browser* browsers[2] = {nullptr, nullptr};  // read only for their atomic counters
  HWND tabWindows[2] = {nullptr, nullptr};
};

TEST_F(Tabs, EachTabHasItsOwnEntryTimerWindowAndBlocks) {
  const auto timerWindows = standin::timerWindowsByThread();
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(GetAncestor(tabWindows[i], GA_ROOT), frame->window()) << "the tab's window sits in the frame";
    // The table entry names the tab's own window and thread, not the frame.
    int entries = 0;
    for (int e = 0; e < s->browserCount; ++e) {
      const qv::BrowserEntry& entry = s->browserTable[e];
      if (entry.processId != GetCurrentProcessId() || entry.threadId != tabs[i]->threadId()) continue;
      ++entries;
      EXPECT_EQ(entry.frameWindow, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(tabWindows[i])));
    }
    EXPECT_EQ(entries, 1);
    auto it = timerWindows.find(tabs[i]->threadId());
    EXPECT_EQ(it == timerWindows.end() ? 0 : it->second, 1) << "one timer window on the tab's thread";
  }
  // A script popup in each tab is cancelled and announced in that tab only.
  const int session = s->blockedSession;
  for (int i = 0; i < 2; ++i) {
    clearStatus();
    bool blocked = false;
    tabs[i]->run([&](Browser& b, Pub&) { blocked = b.newWindow2(); });
    EXPECT_TRUE(blocked) << i;
    EXPECT_EQ(status(i), kBlockedText) << i;
    EXPECT_EQ(status(1 - i), L"") << i;
  }
  EXPECT_EQ(s->blockedSession, session + 2);
}

TEST_F(Tabs, EachTabsSweepTimerServesItsOwnObject) {
  // Timer 1 asks its own object's browser for the address every second.
  const int before[2] = {browsers[0]->locationAsked.load(), browsers[1]->locationAsked.load()};
  EXPECT_TRUE(standin::pumpUntil(
      [&] { return browsers[0]->locationAsked.load() > before[0] && browsers[1]->locationAsked.load() > before[1]; },
      4000));
}

TEST_F(Tabs, DialogWatchWorksInEitherTab) {
  for (int keep = 0; keep < 2; ++keep) {
    SCOPED_TRACE(keep);
    if (keep == 1) {
      // A fresh pair of tabs, of which the other one quits.
      for (auto& tab : tabs) tab.reset();
      for (auto& tab : tabs) {
        tab = std::make_unique<standin::TabThread>(frame->window(), [] { return standin::createPub(); });
        ASSERT_TRUE(tab->ready());
      }
      for (int i = 0; i < 2; ++i)
        tabs[i]->run([&, i](Browser& b, Pub&) {
          browsers[i] = &b;
          ASSERT_TRUE(b.load(L"http://news.example/"));
        });
    }
    // A quitting tab watches nothing: a dialog its thread makes is the kept
    // tab's to close.
    tabs[1 - keep]->run([](Browser& b, Pub&) { b.quit(); });
    clearStatus();
    HWND dialog = nullptr;
    tabs[1 - keep]->run([&](Browser&, Pub&) {
      dialog = makeOn(L"Internet Explorer_TridentDlgFrame", L"You won -- Web Page Dialog", nullptr);
    });
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(standin::pumpUntil([&] { return !IsWindow(dialog); }, 4000)) << "the dialog watch closed it";
    tabs[1 - keep]->run([&](Browser&, Pub&) {
      if (IsWindow(dialog)) DestroyWindow(dialog);
    });
    EXPECT_EQ(status(keep), kBlockedText);
    EXPECT_EQ(status(1 - keep), L"");
  }
}

}  // namespace

namespace {

TEST_F(Tabs, ATabsDialogAndHelpWindowAreClosedAndCountedOnceByThatTab) {
  s->winHelpEnable = 1;
  clearStatus();
  const int session = s->blockedSession;
  // Tab 1 opens a web page dialog (owned, through the tab's window, by the
  // frame of the other process) whose title comes later, and a help window
  // whose page comes later.
  HWND dialog = nullptr, help = nullptr;
  tabs[1]->run([&](Browser& b, Pub&) {
    dialog = makeOn(L"Internet Explorer_TridentDlgFrame", L"", b.tabWindow, true);
    help = makeOn(L"HH Parent", L"Help", nullptr);
  });
  ASSERT_NE(dialog, nullptr);
  ASSERT_NE(help, nullptr);
  // The tab's watch looks at them again (its re-look timer ticks) and leaves them.
  bool looked = false;
  tabs[1]->run([&](Browser&, Pub&) {
    const std::vector<HWND> timers = standin::timerWindowsOfThisThread();
    looked = timers.size() == 1 && standin::pumpUntilTick(timers[0], 2, 2000);
  });
  EXPECT_TRUE(looked);
  EXPECT_TRUE(IsWindow(dialog) && IsWindow(help)) << "neither qualifies yet";
  tabs[1]->run([&](Browser&, Pub&) {
    SetWindowTextW(dialog, L"Ad offer -- Web Page Dialog");
    makeOn(L"Shell Embedding", L"", help);
  });
  EXPECT_TRUE(standin::pumpUntil([&] { return !IsWindow(dialog) && !IsWindow(help); }, 4000))
      << "the tab's dialog watch closed both";
  // A third dialog of the tab: the look that closes it takes in every window
  // the tab watches, so a second count of the first two is in by then.
  HWND third = nullptr;
  tabs[1]->run([&](Browser& b, Pub&) {
    third = makeOn(L"Internet Explorer_TridentDlgFrame", L"Another -- Web Page Dialog", b.tabWindow, true);
  });
  EXPECT_TRUE(standin::pumpUntil([&] { return !IsWindow(third); }, 4000));
  EXPECT_EQ(s->blockedSession, session + 3) << "each counted once";
  EXPECT_EQ(status(1), kBlockedText) << "announced in the tab that opened them";
  EXPECT_EQ(status(0), L"");
  tabs[1]->run([&](Browser&, Pub&) {
    for (HWND w : {dialog, help, third})
      if (IsWindow(w)) DestroyWindow(w);
  });
}

TEST_F(Tabs, AHiddenTabDoesNotSweepAndSweepsAtOnceWhenShown) {
  // Tab 0 comes to the front: tab 1 goes behind it.
  tabs[1]->run([](Browser& b, Pub&) { b.switchTab(false); });
  tabs[0]->run([](Browser& b, Pub&) { b.switchTab(true); });
  const int hidden = browsers[1]->locationAsked.load();
  const int shown = browsers[0]->locationAsked.load();
  standin::pumpUntil([&] { return browsers[0]->locationAsked.load() >= shown + 2; }, 4000);
  EXPECT_GE(browsers[0]->locationAsked.load(), shown + 2) << "the front tab sweeps every second";
  EXPECT_EQ(browsers[1]->locationAsked.load(), hidden) << "the hidden tab's page is not even asked";
  // Tab 1 back in front: swept at once, within the switch itself.
  int during = 0;
  tabs[1]->run([&](Browser& b, Pub&) {
    b.switchTab(true);
    during = b.locationAsked.load();
  });
  EXPECT_GT(during, hidden);
}

}  // namespace
