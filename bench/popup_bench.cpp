// Cost of the new-window decision against a bare walk through the same
// ports: the decision runs on the browser's user-interface thread for every
// new-window request, and the hooks and timers on every click, key and 5 ms
// tick, so its own work must stay far below a microsecond.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/notify.h"
#include "core/dialog_watch.h"
#include "core/popup.h"

namespace {

using namespace qv;

class QuietDesktop final : public Desktop {
 public:
  CursorHandle current = 11;
  bool asyncKeyDown(int) override { return false; }
  bool keyDown(int) override { return false; }
  CursorHandle cursor() override { return current; }
  void setCursor(CursorHandle c) override { current = c; }
  std::optional<ScreenPoint> cursorPos() override { return ScreenPoint{102, 98}; }
  std::string className(WindowHandle w) override {
    return w == 50 ? "Internet Explorer_TridentDlgFrame" : "Internet Explorer_Server";
  }
  WindowHandle findTopLevel(const char*) override { return 0; }
  WindowHandle firstChild(WindowHandle) override { return 0; }
  std::string windowTitle(WindowHandle) override { return {}; }
  void postClose(WindowHandle) override {}
  WindowHandle focus() override { return 0; }
  WindowHandle parent(WindowHandle) override { return 0; }
};

class QuietTimers final : public Timers {
 public:
  bool start(WindowHandle, std::uint32_t, std::uint32_t) override { return true; }
  void stop(WindowHandle, std::uint32_t) override {}
};

class QuietSound final : public Sound {
 public:
  void beep(std::uint32_t, std::uint32_t) override {}
  bool moduleKnown() override { return true; }
  void playFileAsync(const std::string&) override {}
  void playResourceAsync(const char*) override {}
};

class QuietMessages final : public Messages {
 public:
  void showString(int) override {}
  void showText(const std::string&) override {}
};

class FreeMutex final : public NamedMutex {
 public:
  WaitResult wait(std::uint32_t) override { return WaitResult::Obtained; }
  void release() override {}
};

class Host final : public popup::PubHost {
 public:
  std::string url = "http://www.example-news-site.com/articles/today.html";
  std::optional<std::string> locationUrl() override { return url; }
  std::optional<bool> whiteListFind(std::string_view) override { return false; }
  bool setStatusText(const std::string&) override { return true; }
  void sweepDocument(int) override {}
  void ensureTray() override {}
  void showOptions() override {}
};

struct World {
  SharedSettings settings;
  popup::ClickState clicks;
  QuietDesktop desktop;
  QuietTimers timers;
  QuietSound sound;
  QuietMessages messages;
  FreeMutex mutex;
  Host host;
  std::vector<char> history = std::vector<char>(qv::kHistoryRegionSize, 0);
  popup::PopupContext ctx{settings, clicks, desktop, timers, sound, messages, [] {}, history};
  popup::PubState pub;
  World() {
    pub.frameWindow = 7;
    pub.timerWindow = 7;
    pub.host = &host;
    pub.dataMutex = &mutex;
    clicks.handCursor = 11;
    clicks.blockCursor = 12;
  }
  // The click state a click on a scripted element leaves behind.
  void click() {
    clicks.clickSeen = 1;
    clicks.setLastClickPoint({100, 100});
  }
};

// The same port calls the decision makes on its longest allowing path, with
// no logic between them.
void BM_PortsBaseline(benchmark::State& state) {
  World w;
  popup::PopupContext& ctx = w.ctx;
  for (auto _ : state) {
    auto url = w.pub.host->locationUrl();
    benchmark::DoNotOptimize(url);
    benchmark::DoNotOptimize(w.pub.dataMutex->wait(1000));
    benchmark::DoNotOptimize(w.pub.host->whiteListFind(*url));
    w.pub.dataMutex->release();
    benchmark::DoNotOptimize(ctx.desktop.asyncKeyDown(0x11));
    benchmark::DoNotOptimize(ctx.desktop.asyncKeyDown(0x10));
    benchmark::DoNotOptimize(ctx.desktop.cursor());
    benchmark::DoNotOptimize(ctx.desktop.cursorPos());
  }
}
BENCHMARK(BM_PortsBaseline);

// Longest allowing path: address, white list under the mutex, suspend keys,
// cursor and pointer, then the resets.
void BM_DecisionClickNearCursor(benchmark::State& state) {
  World w;
  for (auto _ : state) {
    w.click();
    auto d = popup::DecideNewWindow(w.ctx, w.pub);
    benchmark::DoNotOptimize(d);
  }
}
BENCHMARK(BM_DecisionClickNearCursor);

void BM_DecisionSecurePage(benchmark::State& state) {
  World w;
  w.host.url = "https://www.example-bank.com/accounts/overview";
  for (auto _ : state) benchmark::DoNotOptimize(popup::DecideNewWindow(w.ctx, w.pub));
}
BENCHMARK(BM_DecisionSecurePage);

// A block with everything it does: notification, counters, total save and
// the history search over a nearly full region (the page is already in it).
void BM_DecisionBlockedFullHistory(benchmark::State& state) {
  World w;
  w.desktop.current = 13;
  std::string text;
  for (int i = 0; text.size() < 8000; ++i) text += "http://www.site" + std::to_string(i) + ".example.com/\n";
  text += w.host.url + "\n";
  std::copy(text.begin(), text.end(), w.history.begin());
  for (auto _ : state) benchmark::DoNotOptimize(popup::DecideNewWindow(w.ctx, w.pub));
}
BENCHMARK(BM_DecisionBlockedFullHistory);

// A block with history off: the decision's own work on its blocking path.
void BM_DecisionBlockedEmptyHistory(benchmark::State& state) {
  World w;
  w.desktop.current = 13;
  w.settings.enableHistory = 0;
  for (auto _ : state) benchmark::DoNotOptimize(popup::DecideNewWindow(w.ctx, w.pub));
}
BENCHMARK(BM_DecisionBlockedEmptyHistory);

// The history's duplicate test over a full 8 KB region on its own: the
// substring rule makes every block scan the whole text.
void BM_HistoryDuplicateSearch(benchmark::State& state) {
  std::vector<char> h(qv::kHistoryRegionSize, 0);
  std::string text;
  for (int i = 0; text.size() < 8000; ++i) text += "http://www.site" + std::to_string(i) + ".example.com/\n";
  text += "http://www.example-news-site.com/articles/today.html\n";
  std::copy(text.begin(), text.end(), h.begin());
  for (auto _ : state)
    benchmark::DoNotOptimize(popup::AppendHistory(h, "http://www.example-news-site.com/articles/today.html"));
}
BENCHMARK(BM_HistoryDuplicateSearch);

// One re-look of the dialog watch at a web page dialog still without its
// title (the 10 ms timer's work while such a window exists), and the mouse hook.
void BM_DialogWatchRelook(benchmark::State& state) {
  World w;
  popup::DialogWatch watch;
  watch.add(w.ctx, w.pub, 50, 0);
  for (auto _ : state) benchmark::DoNotOptimize(watch.look(w.ctx, w.pub, 1));
}
BENCHMARK(BM_DialogWatchRelook);

void BM_MouseHookClick(benchmark::State& state) {
  World w;
  for (auto _ : state) popup::OnMouseMessage(w.clicks, w.desktop, kWmLButtonDown, 5, {1, 2});
}
BENCHMARK(BM_MouseHookClick);

}  // namespace
