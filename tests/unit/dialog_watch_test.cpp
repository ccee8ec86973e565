// The dialog watch: which windows count, the life of a watched window
// (handed over, looked at, qualified, closed, gone, given up, quitting) on a
// fake clock, who handles a new window, and the sweep of hidden tabs.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "core/dialog_watch.h"
#include "popup_world.h"

namespace {

using namespace qvtest;
namespace popup = qv::popup;
using popup::LookResult;

constexpr qv::WindowHandle kDialog = 50;
constexpr qv::WindowHandle kHelp = 60;
constexpr qv::WindowHandle kHelpChild = 61;

struct WatchWorld : PopupWorld {
  popup::DialogWatch watch;
  WatchWorld() {
    settings.modelessDialogEnable = 1;
    settings.winHelpEnable = 1;
    desktop.currentCursor = kArrow;
    desktop.classes[kDialog] = "Internet Explorer_TridentDlgFrame";
    desktop.titles[kDialog] = "";
    desktop.classes[kHelp] = "HH Parent";
    desktop.children[kHelp] = 0;
  }
};

// ------------------------------------------------------------ which windows

TEST(DialogWatch, WebPageDialogsCountWhenTheirFirstDashesComeAfterTheFirstCharacter) {
  const struct {
    const char* title;
    bool closed;
  } rows[] = {{"-- Web Page Dialog", false},      {"--Ad -- Web Page Dialog", false},
              {"A-- Web Page Dialog", true},      {"Win a prize -- Web Page Dialog", true},
              {"Prize--", true},                  {"Prize - Dialog", false},
              {"", false}};
  for (const auto& r : rows) {
    WatchWorld w;
    w.desktop.titles[kDialog] = r.title;
    EXPECT_EQ(w.watch.add(w.ctx, w.pub, kDialog, 0), r.closed ? LookResult::Closed : LookResult::Waiting) << r.title;
    EXPECT_EQ(w.desktop.closed.size(), r.closed ? 1u : 0u) << r.title;
    EXPECT_EQ(w.settings.blockedTotal, r.closed ? 1 : 0) << r.title;
    EXPECT_EQ(w.historyText(), "") << "dialogs leave no history record";
    EXPECT_EQ(w.timers.isRunning(kFrame, popup::kTimerBlockCursor), r.closed) << r.title;
  }
}

TEST(DialogWatch, HelpWindowsCountOnlyWithAShellEmbeddingChild) {
  const struct {
    std::optional<std::string> childClass;  // nullopt: no child window
    bool closed;
  } rows[] = {{"Shell Embedding", true},
              {"xShell Embeddingx", true},
              {"Shell DocObject View", false},
              {"shell embedding", false},
              {std::nullopt, false}};
  for (const auto& r : rows) {
    WatchWorld w;
    w.desktop.children[kHelp] = r.childClass ? kHelpChild : 0;
    if (r.childClass) w.desktop.classes[kHelpChild] = *r.childClass;
    EXPECT_EQ(w.watch.add(w.ctx, w.pub, kHelp, 0), r.closed ? LookResult::Closed : LookResult::Waiting)
        << r.childClass.value_or("(none)");
    EXPECT_EQ(w.settings.blockedSession, r.closed ? 1 : 0);
  }
}

TEST(DialogWatch, OtherClassesAndSwitchedOffKindsAreNotWatched) {
  EXPECT_EQ(popup::WatchedKindOf("Internet Explorer_TridentDlgFrame"), popup::WatchedKind::Dialog);
  EXPECT_EQ(popup::WatchedKindOf("HH Parent"), popup::WatchedKind::Help);
  for (const char* cls : {"", "IME", "OleMainThreadWndClass", "internet explorer_tridentdlgframe", "HH Parent2"})
    EXPECT_EQ(popup::WatchedKindOf(cls), popup::WatchedKind::None) << cls;
  WatchWorld w;
  w.settings.modelessDialogEnable = 0;
  w.desktop.titles[kDialog] = "Ad -- Web Page Dialog";
  EXPECT_EQ(w.watch.add(w.ctx, w.pub, kDialog, 0), LookResult::Gone);
  EXPECT_FALSE(w.watch.active()) << "no re-look timer for a switched-off kind";
  EXPECT_TRUE(w.desktop.closed.empty());
}

// ------------------------------------------------------------ the life of a watched window

struct Step {
  std::uint32_t at;                                 // fake clock, ms
  std::function<void(WatchWorld&)> change;          // what happens to the window first (may be empty)
  bool add;                                         // handed over (else: the re-look timer fires)
  bool active;                                      // the re-look timer must still run afterwards
  int closes;                                       // WM_CLOSE posted so far
  int counted;                                      // blocks counted so far
};

void title(WatchWorld& w, const char* t) { w.desktop.titles[kDialog] = t; }
void gone(WatchWorld& w) { w.desktop.classes[kDialog] = ""; }

TEST(DialogWatch, AWatchedWindowsLifeOnAFakeClock) {
  const std::uint32_t B = popup::kLookBoundMs;
  const std::uint32_t wrap = 0xFFFFFFF0u;
  const struct {
    const char* name;
    std::vector<Step> steps;
  } rows[] = {
      {"qualifies when created, then goes",
       {{0, [](WatchWorld& w) { title(w, "Ad -- Web Page Dialog"); }, true, true, 1, 1},
        {10, {}, false, true, 2, 1},
        {20, gone, false, false, 2, 1}}},
      {"title comes later: closed on the look that sees it",
       {{0, {}, true, true, 0, 0},
        {10, {}, false, true, 0, 0},
        {20, [](WatchWorld& w) { title(w, "Ad -- Web Page Dialog"); }, false, true, 1, 1},
        {30, gone, false, false, 1, 1}}},
      {"never qualifies: given up at the bound",
       {{0, [](WatchWorld& w) { title(w, "Plain page"); }, true, true, 0, 0},
        {B - 1, {}, false, true, 0, 0},
        {B, {}, false, false, 0, 0}}},
      {"ignores its close: closed again until the bound, counted once",
       {{0, [](WatchWorld& w) { title(w, "Ad -- Web Page Dialog"); }, true, true, 1, 1},
        {B - 10, {}, false, true, 2, 1},
        {B, {}, false, false, 2, 1}}},
      {"goes before it qualifies",
       {{0, {}, true, true, 0, 0}, {10, gone, false, false, 0, 0}}},
      {"the object quits",
       {{0, {}, true, true, 0, 0}, {10, [](WatchWorld& w) { w.pub.quitting = 1; }, false, false, 0, 0}}},
      {"its switch goes off",
       {{0, {}, true, true, 0, 0},
        {10, [](WatchWorld& w) { w.settings.modelessDialogEnable = 0; }, false, false, 0, 0}}},
      {"handed over twice: one entry, counted once, bound from the first",
       {{0, [](WatchWorld& w) { title(w, "Ad -- Web Page Dialog"); }, true, true, 1, 1},
        {B - 1, {}, true, true, 2, 1},
        {B, {}, false, false, 2, 1}}},
      {"the clock wraps",
       {{wrap, {}, true, true, 0, 0}, {wrap + B - 1, {}, false, true, 0, 0}, {wrap + B, {}, false, false, 0, 0}}},
      {"a help window's child comes later",
       {{0, [](WatchWorld& w) { w.desktop.titles[kDialog] = "x"; }, false, false, 0, 0},
        {5, {}, true, true, 0, 0},
        {15, [](WatchWorld& w) {
           w.desktop.children[kHelp] = kHelpChild;
           w.desktop.classes[kHelpChild] = "Shell Embedding";
         }, false, true, 1, 1}}},
  };
  for (const auto& r : rows) {
    WatchWorld w;
    // The help row hands over the help window; every other row the dialog.
    const bool help = std::string(r.name).find("help") != std::string::npos;
    for (size_t i = 0; i < r.steps.size(); ++i) {
      const Step& st = r.steps[i];
      SCOPED_TRACE(std::string(r.name) + ", step " + std::to_string(i));
      if (st.change) st.change(w);
      if (st.add)
        w.watch.add(w.ctx, w.pub, help ? kHelp : kDialog, st.at);
      else
        w.watch.look(w.ctx, w.pub, st.at);
      EXPECT_EQ(w.watch.active(), st.active);
      EXPECT_EQ(static_cast<int>(w.desktop.closed.size()), st.closes);
      EXPECT_EQ(w.settings.blockedSession, st.counted);
      EXPECT_EQ(static_cast<int>(w.sound.log.size()), st.counted) << "announced once per count";
    }
  }
}

TEST(DialogWatch, EachWindowIsJudgedOnItsOwn) {
  WatchWorld w;
  w.watch.add(w.ctx, w.pub, kDialog, 0);  // waiting for its title
  w.desktop.children[kHelp] = kHelpChild;
  w.desktop.classes[kHelpChild] = "Shell Embedding";
  EXPECT_EQ(w.watch.add(w.ctx, w.pub, kHelp, 100), LookResult::Closed);
  gone(w);
  w.desktop.classes[kHelp] = "";
  EXPECT_EQ(w.watch.look(w.ctx, w.pub, 110), 0);
  EXPECT_FALSE(w.watch.active());
  EXPECT_EQ(w.settings.blockedTotal, 1);
  EXPECT_EQ(w.desktop.closed, std::vector<qv::WindowHandle>{kHelp});
}

// ------------------------------------------------------------ who handles it

TEST(DialogWatch, TheTabThatOpenedAWindowHandlesIt) {
  constexpr std::uint32_t self = 100, other = 200, bare = 300;
  // This process: tabs on threads 1 and 2; another process with a tab on 7.
  const std::vector<qv::BrowserEntry> table = {
      {11, 5, 1, self, 0, 0}, {12, 6, 2, self, 0, 0}, {13, 9, 7, other, 0, 0}};
  using K = popup::WatchRoute::Kind;
  const struct {
    const char* name;
    popup::WindowThread owner, creator;
    K kind;
    std::uint32_t object;
  } rows[] = {
      {"owned by this process's tab", {2, self}, {1, self}, K::Object, 6},
      {"owned by the frame of a process without the object, made by a tab", {3, bare}, {1, self}, K::Object, 5},
      {"no owner, made by a tab", {0, 0}, {2, self}, K::Object, 6},
      {"owned by another process's tab", {7, other}, {1, self}, K::Leave, 0},
      {"made by another process with the object", {0, 0}, {8, other}, K::Leave, 0},
      {"this process, but no tab on its threads", {4, self}, {4, self}, K::Anyone, 0},
      {"a process without the object", {0, 0}, {5, bare}, K::Anyone, 0},
      {"nothing known", {0, 0}, {0, 0}, K::Anyone, 0},
  };
  for (const auto& r : rows) {
    const popup::WatchRoute route = popup::RouteWatchedWindow(table, self, r.owner, r.creator);
    EXPECT_EQ(route.kind, r.kind) << r.name;
    EXPECT_EQ(route.object, r.object) << r.name;
    // Seen from the other process, a window this process takes is left alone.
    if (r.kind == K::Object) {
      EXPECT_EQ(popup::RouteWatchedWindow(table, other, r.owner, r.creator).kind, K::Leave) << r.name;
    }
  }
}

// ------------------------------------------------------------ hidden tabs

TEST(HiddenTab, SweepsNothingAndSweepsAtOnceWhenShown) {
  const struct {
    const char* name;
    std::function<void(PopupWorld&)> before;  // the tab's state before the tick
    bool sweptOnTick;
  } rows[] = {
      {"visible, no report yet", [](PopupWorld&) {}, true},
      {"hidden by the browser's report", [](PopupWorld& w) { popup::OnWindowState(w.ctx, w.pub, false); }, false},
      {"no report, its window hidden", [](PopupWorld& w) { w.host.visible = false; }, false},
      {"reported visible, its window hidden", [](PopupWorld& w) {
         w.host.visible = false;
         popup::OnWindowState(w.ctx, w.pub, true);
       }, true},
  };
  for (const auto& r : rows) {
    PopupWorld w;
    w.settings.floatingEnable = 1;
    w.settings.enableWhiteList = 0;
    w.host.url = "http://ads.example/";
    r.before(w);
    w.host.sweeps.clear();
    w.host.urlReads = 0;
    popup::OnTimer(w.ctx, kFrame, popup::kTimerSweep, &w.pub);
    EXPECT_EQ(w.host.sweeps.size(), r.sweptOnTick ? 1u : 0u) << r.name;
    if (!r.sweptOnTick) {
      EXPECT_EQ(w.host.urlReads, 0) << r.name << ": a hidden page is not even asked";
    }
    EXPECT_GE(w.host.trayOffers, 1) << r.name;
  }

  PopupWorld w;
  w.settings.floatingEnable = 1;
  w.settings.enableWhiteList = 0;
  w.host.url = "http://ads.example/";
  popup::OnWindowState(w.ctx, w.pub, false);
  EXPECT_TRUE(w.timers.log.empty()) << "hiding touches no timer";
  popup::OnWindowState(w.ctx, w.pub, true);
  EXPECT_EQ(w.host.sweeps, std::vector<int>{4}) << "swept at once";
  EXPECT_EQ(w.timers.log, std::vector<std::string>{"start 7/1/1000"}) << "then every second from now";
  popup::OnWindowState(w.ctx, w.pub, true);
  EXPECT_EQ(w.host.sweeps.size(), 1u) << "already visible: nothing more";
  popup::OnWindowState(w.ctx, w.pub, false);
  w.pub.quitting = 1;
  popup::OnWindowState(w.ctx, w.pub, true);
  EXPECT_EQ(w.host.sweeps.size(), 1u) << "a quitting tab sweeps nothing";
}

}  // namespace
