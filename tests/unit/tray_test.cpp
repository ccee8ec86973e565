#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "core/settings.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_registry.h"
#include "ui/tray.h"

namespace {

using qv::SharedSettings;
using qv::Toggle;
using qv::ui::GuardResult;
using qv::ui::MenuCommand;

// The session's guard is shared by all windows of these tests.
struct Session {
  bool guardExists = false;
};

class FakeTrayShell final : public qv::ui::TrayShell {
 public:
  explicit FakeTrayShell(Session& session) : session_(session) {}
  GuardResult acquireGuard() override {
    log.push_back("acquire");
    if (failGuard) return GuardResult::Failed;
    if (session_.guardExists) return GuardResult::Existed;
    session_.guardExists = true;
    return GuardResult::Created;
  }
  void releaseGuard() override {
    log.push_back("release");
    session_.guardExists = false;
  }
  bool createWindow() override {
    log.push_back("window");
    return windowOk;
  }
  void destroyWindow() override { log.push_back("destroy"); }
  bool addIcon(std::optional<std::string_view> tip) override {
    log.push_back(tip ? "add+balloon" : "add");
    if (tip) tips.emplace_back(*tip);
    bool ok = true;
    if (!addResults.empty()) {
      ok = addResults.front();
      addResults.pop_front();
    }
    if (ok || addsAnyway) {
      if (holds) ++duplicates;
      holds = true;
    }
    return ok;
  }
  bool modifyIcon() override {
    log.push_back("modify");
    return holds;
  }
  void deleteIcon() override {
    log.push_back("delete");
    holds = false;
  }
  int random() override { return 3; }

  std::vector<std::string> log;
  std::vector<std::string> tips;
  std::deque<bool> addResults;  // what each add reports; true once they run out
  bool addsAnyway = false;        // a failed add still puts the icon there (a shell time-out)
  bool holds = false;             // the notification area holds the icon
  int duplicates = 0;             // adds of an icon already held
  bool failGuard = false;
  bool windowOk = true;

 private:
  Session& session_;
};

using Log = std::vector<std::string>;

TEST(TrayOwnership, FirstWindowOwnsSecondDoesNotUntilFirstQuits) {
  Session session;
  SharedSettings settings;
  FakeTrayShell a(session), b(session);
  qv::ui::TrayOwner first(a, settings), second(b, settings);

  first.ensure();
  second.ensure();
  EXPECT_TRUE(first.owner());
  EXPECT_TRUE(first.shown());
  EXPECT_FALSE(second.owner());
  EXPECT_EQ(b.log, (Log{"acquire"}));

  first.ensure();  // the owner's tick changes nothing once shown
  EXPECT_EQ(a.log, (Log{"acquire", "window", "add+balloon"}));

  first.remove();
  EXPECT_EQ(a.log, (Log{"acquire", "window", "add+balloon", "delete", "destroy", "release"}));
  second.ensure();  // the next tick of the other window takes the tray over
  EXPECT_TRUE(second.owner());
  EXPECT_TRUE(second.shown());
  EXPECT_EQ(b.tips.size(), 1u);  // with a new balloon
}

TEST(TrayOwnership, RefusedIconIsAddedAgainOnTheOwnersNextTick) {
  Session session;
  SharedSettings settings;
  FakeTrayShell shell(session);
  shell.addResults = {false, false, true};
  qv::ui::TrayOwner owner(shell, settings);
  owner.ensure();
  EXPECT_TRUE(owner.owner());
  EXPECT_FALSE(owner.shown());
  owner.ensure();
  EXPECT_FALSE(owner.shown());
  owner.ensure();
  EXPECT_TRUE(owner.shown());
  owner.ensure();
  // One guard, one window, three adds, each retry after the shell said it
  // does not hold the icon.
  EXPECT_EQ(shell.log, (Log{"acquire", "window", "add+balloon", "modify", "add+balloon", "modify", "add+balloon"}));
  owner.remove();
  EXPECT_EQ(shell.log.back(), "release");
}

// A failed add may have added the icon (the shell timed out): it is never
// added twice and never left behind.
TEST(TrayOwnership, FailedAddIsConfirmedBeforeARetryAndDeletedOnRemove) {
  struct Row {
    const char* what;
    std::deque<bool> adds;
    bool addsAnyway;
    int ticks;
    Log log;
  } rows[] = {
      {"timed out but added", {false}, true, 2,
       {"acquire", "window", "add+balloon", "modify", "delete", "destroy", "release"}},
      {"refused, removed before a tick", {false}, false, 0, {"acquire", "window", "add+balloon", "delete", "destroy", "release"}},
      {"refused, then taken", {false, true}, false, 2,
       {"acquire", "window", "add+balloon", "modify", "add+balloon", "delete", "destroy", "release"}},
      {"added at once", {}, false, 2, {"acquire", "window", "add+balloon", "delete", "destroy", "release"}},
  };
  for (const Row& r : rows) {
    Session session;
    SharedSettings settings;
    FakeTrayShell shell(session);
    shell.addResults = r.adds;
    shell.addsAnyway = r.addsAnyway;
    qv::ui::TrayOwner owner(shell, settings);
    owner.ensure();
    for (int i = 0; i < r.ticks; ++i) owner.ensure();
    if (r.ticks > 0) {
      EXPECT_TRUE(owner.shown()) << r.what;
    }
    owner.remove();
    EXPECT_EQ(shell.log, r.log) << r.what;
    EXPECT_FALSE(shell.holds) << r.what << ": a ghost icon is left";
    EXPECT_EQ(shell.duplicates, 0) << r.what;
  }
}

TEST(TrayOwnership, RestartedShellGetsTheIconBackWithoutASecondBalloon) {
  Session session;
  SharedSettings settings;
  settings.enableTips = 1;
  FakeTrayShell shell(session);
  qv::ui::TrayOwner owner(shell, settings);
  owner.shellRestarted();  // not the owner yet: nothing
  EXPECT_TRUE(shell.log.empty());
  owner.ensure();
  shell.holds = false;  // Explorer restarted: its new tray holds nothing
  owner.shellRestarted();
  EXPECT_TRUE(shell.holds);
  EXPECT_TRUE(owner.shown());
  EXPECT_EQ(shell.log, (Log{"acquire", "window", "add+balloon", "add"}));

  // An owner whose icon was never taken still owes its balloon; one refused
  // by the new shell too is tried again on the next tick.
  Session other;
  FakeTrayShell refused(other);
  refused.addResults = {false, false, true};
  qv::ui::TrayOwner late(refused, settings);
  late.ensure();
  late.shellRestarted();
  EXPECT_FALSE(late.shown());
  late.ensure();
  EXPECT_TRUE(late.shown());
  EXPECT_EQ(refused.log, (Log{"acquire", "window", "add+balloon", "add+balloon", "modify", "add+balloon"}));
  EXPECT_EQ(refused.duplicates, 0);
}

TEST(TrayOwnership, FailedGuardOrWindowShowsNothing) {
  Session session;
  SharedSettings settings;
  FakeTrayShell shell(session);
  shell.failGuard = true;
  qv::ui::TrayOwner owner(shell, settings);
  owner.ensure();
  EXPECT_FALSE(owner.owner());
  owner.remove();  // not the owner: nothing released
  EXPECT_EQ(shell.log, (Log{"acquire"}));

  FakeTrayShell noWindow(session);
  noWindow.windowOk = false;
  qv::ui::TrayOwner owner2(noWindow, settings);
  owner2.ensure();
  owner2.ensure();  // the window is tried again with the icon
  EXPECT_TRUE(owner2.owner());
  EXPECT_FALSE(owner2.shown());
  EXPECT_EQ(noWindow.log, (Log{"acquire", "window", "window"}));
}

TEST(TrayOwnership, TipsSettingIsTakenWhenTheTrayIsCreated) {
  Session session;
  SharedSettings settings;
  settings.enableTips = 0;
  FakeTrayShell shell(session);
  shell.addResults = {false, true};
  qv::ui::TrayOwner owner(shell, settings);
  owner.ensure();
  settings.enableTips = 1;  // a later change reaches only the next owner
  owner.ensure();
  EXPECT_FALSE(owner.tipsOn());
  EXPECT_EQ(shell.log, (Log{"acquire", "window", "add", "modify", "add"}));
}

TEST(TrayTips, DrawsUntilAValueFromZeroToTenComes) {
  std::deque<int> draws = {11, 32767, 12345, 10, 4};
  auto draw = [&] {
    const int v = draws.front();
    draws.pop_front();
    return v;
  };
  EXPECT_EQ(qv::ui::chooseTip(draw), 10);
  EXPECT_EQ(draws.size(), 1u);
  EXPECT_EQ(qv::ui::chooseTip([] { return 0; }), 0);
  // A generator that never comes below 11 is not waited on for ever.
  EXPECT_EQ(qv::ui::chooseTip([] { return 25; }, 100), 25 % 11);
  EXPECT_EQ(qv::ui::chooseTip([] { return -3; }, 10), 8);
}

TEST(TrayTips, TextsAsTheUserSeesThem) {
  ASSERT_EQ(qv::ui::kTips.size(), 11u);
  EXPECT_EQ(qv::ui::kTips[0], "Quillvane supports to define hotkey to block \rflash Ads and animated Ads manually.");
  EXPECT_EQ(qv::ui::kTips[10], "By Pressing Hotkey F12 simply,Popup ads option dialog will be show up.");
  for (auto t : qv::ui::kTips) EXPECT_LT(t.size(), 256u) << t;  // fits the balloon's text
  EXPECT_LT(qv::ui::kTrayTooltip.size(), 128u);
}

TEST(TrayMenu, CommandTable) {
  using K = MenuCommand::Kind;
  struct Row {
    int id;
    K kind;
    Toggle toggle;
    int page;
  };
  const Row rows[] = {
      {32771, K::Toggle, Toggle::PopupEnable, 0},   {32768, K::Toggle, Toggle::FloatingEnable, 0},
      {32769, K::Toggle, Toggle::BlockFlash, 0},    {32770, K::Toggle, Toggle::BlockImages, 0},
      {32776, K::OpenSheet, Toggle::PopupEnable, 0}, {32772, K::OpenSheet, Toggle::PopupEnable, 1},
      {32773, K::OpenSheet, Toggle::PopupEnable, 2}, {32775, K::OpenSheet, Toggle::PopupEnable, 3},
      {242, K::OpenSheet, Toggle::PopupEnable, 4},   {243, K::OpenSheet, Toggle::PopupEnable, 5},
      {214, K::OpenSheet, Toggle::PopupEnable, 6},   {0, K::None, Toggle::PopupEnable, 0},
      {32774, K::None, Toggle::PopupEnable, 0},      {2137, K::None, Toggle::PopupEnable, 0},
  };
  for (const Row& r : rows) {
    const MenuCommand c = qv::ui::trayCommand(r.id);
    EXPECT_EQ(c.kind, r.kind) << r.id;
    if (r.kind == K::Toggle) {
      EXPECT_EQ(c.toggle, r.toggle) << r.id;
    }
    if (r.kind == K::OpenSheet) {
      EXPECT_EQ(c.startPage, r.page) << r.id;
    }
  }
}

TEST(TrayMenu, CheckMarksFollowTheFourSwitches) {
  SharedSettings s;
  s.popupEnable = 0;
  s.floatingEnable = 7;  // any non-zero is on
  s.blockFlash = 1;
  s.blockImages = 0;
  const auto marks = qv::ui::trayCheckMarks(s);
  EXPECT_EQ(marks[0].id, 32771);
  EXPECT_FALSE(marks[0].checked);
  EXPECT_EQ(marks[1].id, 32768);
  EXPECT_TRUE(marks[1].checked);
  EXPECT_EQ(marks[2].id, 32769);
  EXPECT_TRUE(marks[2].checked);
  EXPECT_EQ(marks[3].id, 32770);
  EXPECT_FALSE(marks[3].checked);
}

TEST(TrayMenu, ToggleFlipsAndSavesOneValueSheetCommandsOpenTheSheet) {
  qv::fake::FakeRegistry registry;
  qv::fake::FakeMessages messages;
  SharedSettings s;
  registry.put(qv::RegRoot::CurrentUser, qv::settingsKeyPath(), "PopupEnable", qv::RegValue::dword(1));
  qv::SettingsStore store(registry, messages, s);
  std::vector<int> opened;
  auto open = [&](int page) { opened.push_back(page); };

  qv::ui::runMenuCommand(qv::ui::trayCommand(32769), store, open);
  EXPECT_EQ(s.blockFlash, 1);
  EXPECT_EQ(registry.dword(qv::RegRoot::CurrentUser, qv::settingsKeyPath(), "BlockFlash"), 1u);
  EXPECT_EQ(registry.writeLog().size(), 1u);
  qv::ui::runMenuCommand(qv::ui::trayCommand(243), store, open);
  qv::ui::runMenuCommand(qv::ui::trayCommand(0), store, open);
  EXPECT_EQ(opened, (std::vector<int>{5}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST(ContextMenuRouting, ProgramCommandsBrowserCommandsAndDismissal) {
  using K = MenuCommand::Kind;
  struct Row {
    int id;
    K kind;
    bool clearGuard;
    bool send;
  };
  const Row rows[] = {
      {32768, K::Toggle, false, false},    // the program's own: not the browser's business
      {32769, K::Toggle, false, false},    {32770, K::Toggle, false, false},
      {32776, K::OpenSheet, false, false}, {214, K::OpenSheet, false, false},
      {242, K::OpenSheet, false, false},   {243, K::OpenSheet, false, false},
      {32771, K::Toggle, false, true},     // toggled, and the browser still hears of it
      {2137, K::None, true, true},         // open in new window: let that window through
      {0, K::None, false, true},           // dismissed: id 0 still goes to the browser
      {2292, K::None, false, true},        {28, K::None, false, true},
  };
  for (const Row& r : rows) {
    const auto route = qv::ui::contextCommand(r.id);
    EXPECT_EQ(route.command.kind, r.kind) << r.id;
    EXPECT_EQ(route.clearNewWindowGuard, r.clearGuard) << r.id;
    EXPECT_EQ(route.sendToWindow, r.send) << r.id;
  }
}

}  // namespace
