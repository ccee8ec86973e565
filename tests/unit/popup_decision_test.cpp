// The new-window decision over its inputs, one table row per situation.
#include <gtest/gtest.h>

#include "popup_world.h"
#include "res/resource_ids.h"

namespace {

using qv::ScreenPoint;
using qv::WaitResult;
using qv::popup::Reason;
using namespace qvtest;

struct Case {
  const char* name;
  std::optional<std::string> url = "http://ads.example.com/page";  // nullopt: the browser call fails
  int guard = 1;
  int enableWhiteList = 1;
  std::optional<bool> listed = false;  // nullopt: no usable white list object
  WaitResult mutex = WaitResult::Obtained;
  int popupEnable = 1;
  int hotkey = 0x11;
  std::map<int, bool> keys = {{0x11, false}, {0x10, false}};  // only these may be asked
  int userClicked = 0;
  qv::CursorHandle cursor = kArrow;
  int clickSeen = 0;
  int clickGrace = 0;
  std::optional<ScreenPoint> pointer = ScreenPoint{100, 100};  // lastClickPoint is 100,100
  Reason expected = Reason::Blocked;
  bool askWhiteList = true;  // whether the white list must be consulted
  std::vector<std::string> messages = {};
};

const Case kCases[] = {
    {.name = "plain page script window is blocked"},
    {.name = "guard 0 passes even when everything says block", .guard = 0, .expected = Reason::Guard},
    {.name = "guard 0 still consults the white list first", .guard = 0, .listed = true, .expected = Reason::Guard},
    {.name = "https page", .url = "https://bank.example.com/", .expected = Reason::Exempt, .askWhiteList = false},
    {.name = "HTTPS in capitals", .url = "HTTPS://bank.example.com/", .expected = Reason::Exempt, .askWhiteList = false},
    {.name = "httpsx is not https", .url = "httpsx://a/", .expected = Reason::Blocked},
    {.name = "empty address is exempt", .url = "", .expected = Reason::Exempt, .askWhiteList = false},
    {.name = "unreadable address is exempt", .url = std::nullopt, .expected = Reason::Exempt, .askWhiteList = false},
    {.name = "white-listed site", .listed = true, .expected = Reason::Exempt},
    {.name = "white list off blocks a listed site", .enableWhiteList = 0, .listed = true, .askWhiteList = false},
    {.name = "data mutex time-out: not exempt", .listed = true, .mutex = WaitResult::Timeout, .askWhiteList = false},
    {.name = "data mutex failure: not exempt", .listed = true, .mutex = WaitResult::Failed, .askWhiteList = false},
    {.name = "abandoned data mutex counts as obtained", .listed = true, .mutex = WaitResult::Abandoned,
     .expected = Reason::Exempt},
    {.name = "no white list object: message 506, judged on", .listed = std::nullopt, .messages = {"#506"}},
    {.name = "popup blocking off", .popupEnable = 0, .keys = {}, .expected = Reason::Suspended},
    {.name = "popupEnable 5 counts as on", .popupEnable = 5},
    {.name = "Ctrl held with hotkey Ctrl", .keys = {{0x11, true}}, .expected = Reason::Suspended},
    {.name = "Ctrl held, hotkey disabled", .hotkey = -1, .keys = {{0x10, false}}},
    {.name = "Shift held, hotkey disabled", .hotkey = -1, .keys = {{0x10, true}}, .expected = Reason::Suspended},
    {.name = "Shift held, hotkey Shift", .hotkey = 0x10, .keys = {{0x10, true}}, .expected = Reason::Suspended},
    {.name = "corrupt hotkey names no key", .hotkey = 0x1234, .keys = {{0x10, false}}},
    {.name = "user clicked a link", .userClicked = 1, .expected = Reason::UserClicked},
    {.name = "hand cursor, click seen, pointer still",
     .cursor = kHand, .clickSeen = 1, .expected = Reason::ClickNearCursor},
    {.name = "block cursor, click seen", .cursor = kBlock, .clickSeen = 1, .expected = Reason::ClickNearCursor},
    {.name = "grace without the hand", .clickSeen = 1, .clickGrace = 1, .expected = Reason::ClickNearCursor},
    {.name = "hand but no click seen", .cursor = kHand},
    {.name = "arrow cursor, click seen, no grace", .clickSeen = 1},
    {.name = "5 px on both axes", .cursor = kHand, .clickSeen = 1, .pointer = ScreenPoint{105, 105},
     .expected = Reason::ClickNearCursor},
    {.name = "-5 px on both axes", .cursor = kHand, .clickSeen = 1, .pointer = ScreenPoint{95, 95},
     .expected = Reason::ClickNearCursor},
    {.name = "6 px on x", .cursor = kHand, .clickSeen = 1, .pointer = ScreenPoint{106, 100}},
    {.name = "6 px on y", .cursor = kHand, .clickSeen = 1, .pointer = ScreenPoint{100, 106}},
    {.name = "-6 px on x", .cursor = kHand, .clickSeen = 1, .pointer = ScreenPoint{94, 100}},
    {.name = "-6 px on y with grace", .clickSeen = 1, .clickGrace = 1, .pointer = ScreenPoint{100, 94}},
    {.name = "pointer unreadable", .cursor = kHand, .clickSeen = 1, .pointer = std::nullopt},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Decision : public ::testing::TestWithParam<Case> {};

TEST_P(Decision, FollowsTheRulesInOrder) {
  const Case& c = GetParam();
  PopupWorld w;
  w.host.url = c.url;
  w.settings.enableWhiteList = c.enableWhiteList;
  w.settings.popupEnable = c.popupEnable;
  w.settings.hotkey = c.hotkey;
  if (c.askWhiteList) w.host.whiteList = [&](std::string_view) { return c.listed; };
  w.dataMutex.otherwise = c.mutex;
  w.desktop.asyncKeys = c.keys;
  w.desktop.currentCursor = c.cursor;
  w.desktop.pointer = c.pointer;
  w.pub.newWindowGuard = c.guard;
  w.pub.userClicked = c.userClicked;
  w.clicks.clickSeen = c.clickSeen;
  w.clicks.clickGrace = c.clickGrace;
  w.clicks.setLastClickPoint({100, 100});

  const auto d = qv::popup::DecideNewWindow(w.ctx, w.pub);

  EXPECT_EQ(qv::popup::reasonName(d.reason), std::string(qv::popup::reasonName(c.expected)));
  EXPECT_EQ(d.block, c.expected == Reason::Blocked);
  EXPECT_EQ(w.host.lookedUp.size(), c.askWhiteList && owns(c.mutex) ? 1u : 0u);
  EXPECT_EQ(w.messages.shown, c.messages);
  EXPECT_EQ(w.dataMutex.held, 0) << "every obtained wait is released";
  // The state is reset after every decision.
  EXPECT_EQ(w.pub.newWindowGuard, 1);
  EXPECT_EQ(w.pub.userClicked, 0);
  EXPECT_EQ(w.clicks.clickSeen.load(), 0);
  EXPECT_EQ(w.clicks.clickGrace.load(), 0);
  // A block is announced, counted and starts the block cursor; an allowed
  // window leaves no trace.
  const int blocks = d.block ? 1 : 0;
  EXPECT_EQ(w.settings.blockedSession, blocks);
  EXPECT_EQ(w.settings.blockedTotal, blocks);
  EXPECT_EQ(w.timers.isRunning(kFrame, qv::popup::kTimerBlockCursor), d.block);
  EXPECT_EQ(w.sound.log.size(), static_cast<std::size_t>(blocks));
}

INSTANTIATE_TEST_SUITE_P(Popup, Decision, ::testing::ValuesIn(kCases), [](const auto& info) {
  std::string n;
  for (char ch : std::string(info.param.name)) n += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return n;
});

TEST(DecisionBlock, AnnouncesRecordsThePageAndStartsTheCursorInThatOrder) {
  PopupWorld w;
  w.host.url = "http://ads.example.com/page";
  w.host.whiteList = [](std::string_view) { return std::optional<bool>(false); };
  w.settings.showStatusMsg = 1;
  w.desktop.asyncKeys = {{0x11, false}, {0x10, false}};
  w.desktop.currentCursor = kArrow;

  ASSERT_TRUE(qv::popup::DecideNewWindow(w.ctx, w.pub).block);
  EXPECT_EQ(w.host.statusTexts, std::vector<std::string>{"Quillvane blocked popup Ads in this page!"});
  EXPECT_EQ(w.sound.log, std::vector<std::string>{"resource PubSound"});
  EXPECT_EQ(w.totalSaves, 1);
  EXPECT_EQ(w.historyText(), "http://ads.example.com/page\n");
  EXPECT_EQ(w.timers.log, (std::vector<std::string>{"stop 7/0", "start 7/0/5"}));
  // Two waits on the data mutex: the white list, then the record.
  EXPECT_EQ(w.dataMutex.waits, 2);
  EXPECT_EQ(w.dataMutex.lastWaitMs, 1000u);
}

TEST(DecisionQuitting, EveryWindowPassesAndNothingIsAsked) {
  PopupWorld w;
  w.host.url = "http://ads.example.com/";
  w.pub.quitting = 1;
  const auto d = qv::popup::DecideNewWindow(w.ctx, w.pub);
  EXPECT_FALSE(d.block);
  EXPECT_EQ(d.reason, Reason::Exempt);
  EXPECT_TRUE(w.desktop.asked.empty());
}

TEST(DecisionNoBrowser, WindowWithoutBrowserSideIsExempt) {
  PopupWorld w;
  w.pub.host = nullptr;
  EXPECT_EQ(qv::popup::DecideNewWindow(w.ctx, w.pub).reason, Reason::Exempt);
}

TEST(SiteExempt, WithoutAddressAsksTheBrowser) {
  PopupWorld w;
  w.host.url = "http://listed.example.com/";
  w.host.whiteList = [](std::string_view a) { return std::optional<bool>(a == "http://listed.example.com/"); };
  EXPECT_TRUE(qv::popup::IsSiteExempt(w.ctx, w.pub, std::nullopt));
  EXPECT_FALSE(qv::popup::IsSiteExempt(w.ctx, w.pub, std::string_view("http://other.example.com/")));
  EXPECT_EQ(w.host.urlReads, 1);
}

TEST(SiteExempt, MissingWhiteListShowsTheMessageOnEveryDecisionThatNeedsIt) {
  PopupWorld w;
  w.host.whiteList = [](std::string_view) { return std::optional<bool>(); };
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(qv::popup::IsSiteExempt(w.ctx, w.pub, std::string_view("http://a/")));
  EXPECT_EQ(w.messages.shown, (std::vector<std::string>{"#506", "#506", "#506"}));
  // ... and a window whose data mutex could not be opened never reaches it.
  w.pub.dataMutex = nullptr;
  EXPECT_FALSE(qv::popup::IsSiteExempt(w.ctx, w.pub, std::string_view("http://a/")));
  EXPECT_EQ(w.messages.shown.size(), 3u);
}

}  // namespace

namespace {

TEST(SiteExempt, TheMissingWhiteListMessageWaitsUntilTheDataMutexIsFree) {
  qvtest::PopupWorld w;
  w.host.whiteList = [](std::string_view) { return std::optional<bool>(); };
  struct CheckingMessages final : qv::Messages {
    qv::fake::FakeMutex* mutex = nullptr;
    int shown = 0;
    void showString(int id) override {
      EXPECT_EQ(id, IDS_ERR_OPENWHITELIST);
      EXPECT_EQ(mutex->held, 0) << "a message box must not hold up other processes";
      ++shown;
    }
    void showText(const std::string&) override { ADD_FAILURE(); }
  } messages;
  messages.mutex = &w.dataMutex;
  qv::popup::PopupContext ctx{w.settings, w.clicks, w.desktop, w.timers, w.sound, messages, nullptr, {}};
  EXPECT_FALSE(qv::popup::IsSiteExempt(ctx, w.pub, std::string_view("http://a/")));
  EXPECT_EQ(messages.shown, 1);
}

TEST(SiteExempt, TheSweepTimerDoesNotRepeatTheMissingWhiteListMessage) {
  qvtest::PopupWorld w;
  w.host.url = "http://a.example.com/";
  w.host.whiteList = [](std::string_view) { return std::optional<bool>(); };
  for (int tick = 0; tick < 3; ++tick) qv::popup::OnTimer(w.ctx, qvtest::kFrame, qv::popup::kTimerSweep, &w.pub);
  EXPECT_TRUE(w.messages.shown.empty());
  EXPECT_EQ(w.host.sweeps, (std::vector<int>{4, 4, 4})) << "judged not exempt: swept";
}

TEST(BlockCursorStart, WithoutAFrameWindowOnlyTheGraceStarts) {
  qvtest::PopupWorld w;
  qv::popup::StartBlockCursor(w.ctx, 0);
  EXPECT_EQ(w.clicks.clickGrace.load(), 1);
  EXPECT_TRUE(w.timers.log.empty());
}

}  // namespace
