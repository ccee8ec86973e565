// The block cursor, the timer procedure and the two thread hooks.
#include <gtest/gtest.h>

#include <stdexcept>

#include "popup_world.h"

namespace {

using qv::popup::KeyVerdict;
using namespace qvtest;
namespace popup = qv::popup;

constexpr std::uint32_t kBit30 = 1u << 30;
constexpr std::uint32_t kBit31 = 1u << 31;

// ---------------------------------------------------------------- block cursor

TEST(BlockCursor, ShowsFor100TicksAndRestoresOnThe101st) {
  PopupWorld w;
  w.desktop.currentCursor = kArrow;
  popup::StartBlockCursor(w.ctx, kFrame);
  EXPECT_EQ(w.clicks.clickGrace.load(), 1);
  ASSERT_TRUE(w.timers.isRunning(kFrame, popup::kTimerBlockCursor));
  EXPECT_EQ((w.timers.running[{kFrame, 0}]), 5u);

  for (int tick = 0; tick < 100; ++tick) {
    w.clicks.clickGrace = 0;  // a decision in between clears it; the next tick brings it back
    popup::OnTimer(w.ctx, kFrame, popup::kTimerBlockCursor, nullptr);
    ASSERT_EQ(w.desktop.currentCursor, kBlock) << tick;
    ASSERT_EQ(w.clicks.clickGrace.load(), 1) << tick;
    ASSERT_TRUE(w.timers.isRunning(kFrame, 0)) << tick;
  }
  popup::OnTimer(w.ctx, kFrame, popup::kTimerBlockCursor, nullptr);
  EXPECT_EQ(w.desktop.currentCursor, kArrow);
  EXPECT_EQ(w.clicks.clickGrace.load(), 0);
  EXPECT_EQ(w.clicks.blockCursorTicks.load(), 0);
  EXPECT_FALSE(w.timers.isRunning(kFrame, 0));
  EXPECT_EQ(w.desktop.cursorsSet.size(), 101u);
}

TEST(BlockCursor, ASecondBlockRestartsTheCountAndStillRestoresTheUsersCursor) {
  PopupWorld w;
  w.desktop.currentCursor = kArrow;
  popup::StartBlockCursor(w.ctx, kFrame);
  for (int i = 0; i < 50; ++i) popup::OnTimer(w.ctx, kFrame, 0, nullptr);
  popup::StartBlockCursor(w.ctx, kFrame);  // the cursor shows the block cursor now
  EXPECT_EQ(w.clicks.blockCursorTicks.load(), 0);
  for (int i = 0; i < 100; ++i) popup::OnTimer(w.ctx, kFrame, 0, nullptr);
  EXPECT_EQ(w.desktop.currentCursor, kBlock);
  popup::OnTimer(w.ctx, kFrame, 0, nullptr);
  EXPECT_EQ(w.desktop.currentCursor, kArrow) << "the block cursor must not be taken for the user's";
  EXPECT_FALSE(w.timers.isRunning(kFrame, 0));
}

TEST(BlockCursor, EndingItEarlyPutsBackOnlyWhatItChanged) {
  // A timer window that goes away while the block cursor runs ends it.
  struct Case {
    const char* name;
    int ticksBefore;   // ticks of the first block before the end
    bool restart;      // a second block just before the end
    bool cursorBack;   // the user's cursor is set again
  } cases[] = {
      {"during the count", 30, false, true},
      {"before the first tick", 0, false, false},
      {"right after a restart while it shows", 30, true, true},
  };
  for (const auto& c : cases) {
    PopupWorld w;
    w.desktop.currentCursor = kArrow;
    popup::StartBlockCursor(w.ctx, kFrame);
    for (int i = 0; i < c.ticksBefore; ++i) popup::OnTimer(w.ctx, kFrame, 0, nullptr);
    if (c.restart) popup::StartBlockCursor(w.ctx, kFrame);
    const size_t sets = w.desktop.cursorsSet.size();
    popup::EndBlockCursor(w.ctx);
    EXPECT_EQ(w.clicks.clickGrace.load(), 0) << c.name;
    EXPECT_EQ(w.clicks.blockCursorTicks.load(), 0) << c.name;
    EXPECT_EQ(w.desktop.currentCursor, kArrow) << c.name;
    EXPECT_EQ(w.desktop.cursorsSet.size(), sets + (c.cursorBack ? 1 : 0)) << c.name;
  }
}

TEST(BlockCursor, AClickNearTheSpotDuringTheBlockCursorLetsTheNextWindowThrough) {
  PopupWorld w;
  w.host.url = "http://ads.example.com/";
  w.host.whiteList = [](std::string_view) { return std::optional<bool>(false); };
  w.desktop.asyncKeys = {{0x10, false}, {0x11, false}};
  w.desktop.currentCursor = kArrow;
  w.desktop.classes[40] = "Internet Explorer_Server";
  ASSERT_TRUE(popup::DecideNewWindow(w.ctx, w.pub).block);
  popup::OnTimer(w.ctx, kFrame, 0, nullptr);  // first tick: block cursor, grace
  popup::OnMouseMessage(w.clicks, w.desktop, qv::kWmLButtonDown, 40, {300, 200});
  w.desktop.pointer = qv::ScreenPoint{303, 198};
  const auto d = popup::DecideNewWindow(w.ctx, w.pub);
  EXPECT_FALSE(d.block);
  EXPECT_EQ(d.reason, popup::Reason::ClickNearCursor);
}

// ---------------------------------------------------------------- timer 1

struct SweepCase {
  const char* name;
  int flash, images, floating;
  std::string url;
  std::vector<int> sweeps;
};

class SweepTimer : public ::testing::TestWithParam<SweepCase> {};

TEST_P(SweepTimer, SweepsNonExemptPagesWithTheSwitchedOnBranchesAndOffersTheTray) {
  const SweepCase& c = GetParam();
  PopupWorld w;
  w.settings.blockFlash = c.flash;
  w.settings.blockImages = c.images;
  w.settings.floatingEnable = c.floating;
  w.settings.enableWhiteList = 0;
  w.host.url = c.url;
  popup::OnTimer(w.ctx, kFrame, popup::kTimerSweep, &w.pub);
  EXPECT_EQ(w.host.sweeps, c.sweeps);
  EXPECT_EQ(w.host.trayOffers, 1);
}

INSTANTIATE_TEST_SUITE_P(Popup, SweepTimer,
                         ::testing::Values(SweepCase{"floating", 0, 0, 1, "http://a/", {4}},
                                           SweepCase{"all", 1, 1, 1, "http://a/", {7}},
                                           SweepCase{"flash_images", 1, 1, 0, "http://a/", {3}},
                                           SweepCase{"none", 0, 0, 0, "http://a/", {}},
                                           SweepCase{"secure_page", 1, 1, 1, "https://a/", {}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SweepTimer, WithoutAHelperObjectNothingHappens) {
  PopupWorld w;
  popup::OnTimer(w.ctx, kFrame, popup::kTimerSweep, nullptr);
  popup::OnTimer(w.ctx, kFrame, popup::kTimerDialogWatch, nullptr);
  popup::OnTimer(w.ctx, kFrame, 99, &w.pub);
  EXPECT_EQ(w.host.trayOffers, 0);
  EXPECT_TRUE(w.desktop.asked.empty());
}

// ---------------------------------------------------------------- mouse hook

struct MouseCase {
  std::uint32_t message;
  std::string cls;
  int graceBefore;
  int seenAfter, graceAfter;
};

TEST(MouseHook, ButtonEventsInPagesFlashAndDropDownListsCountAsClicks) {
  const MouseCase rows[] = {
      {qv::kWmLButtonDown, "Internet Explorer_Server", 0, 1, 0},
      {qv::kWmLButtonUp, "Internet Explorer_Server", 0, 1, 0},
      {qv::kWmRButtonDown, "MacromediaFlashPlayerActiveX", 0, 1, 0},
      {qv::kWmRButtonUp, "ComboLBox", 0, 1, 0},
      {qv::kWmLButtonDown, "ComboLBox", 0, 1, 0},
      {qv::kWmLButtonUp, "ComboLBox", 0, 1, 1},  // choosing a drop-down entry starts a grace
      {qv::kWmLButtonUp, "Internet Explorer_ComboLBox_x", 0, 1, 1},
      {qv::kWmLButtonDown, "Button", 0, 0, 0},
      {qv::kWmLButtonDown, "Button", 1, 1, 1},  // during a grace any click counts
      {qv::kWmLButtonDown, "", 0, 0, 0},
  };
  for (const MouseCase& r : rows) {
    PopupWorld w;
    w.clicks.clickGrace = r.graceBefore;
    w.desktop.classes[30] = r.cls;
    popup::OnMouseMessage(w.clicks, w.desktop, r.message, 30, {12, -4});
    EXPECT_EQ(w.clicks.clickSeen.load(), r.seenAfter) << r.message << " " << r.cls;
    EXPECT_EQ(w.clicks.clickGrace.load(), r.graceAfter) << r.message << " " << r.cls;
    EXPECT_EQ(w.clicks.lastClickPoint(), (qv::ScreenPoint{12, -4}));
  }
}

TEST(MouseHook, OtherMessagesAreIgnored) {
  for (std::uint32_t m : {0x200u, 0x203u, 0x207u, 0x208u, 0x20Au}) {
    PopupWorld w;
    popup::OnMouseMessage(w.clicks, w.desktop, m, 30, {1, 1});
    EXPECT_TRUE(w.desktop.asked.empty()) << m;
    EXPECT_EQ(w.clicks.lastClickPoint(), (qv::ScreenPoint{0, 0}));
  }
}

TEST(MouseHook, ADropDownChoiceLetsTheWindowItOpensThrough) {
  PopupWorld w;
  w.host.url = "http://shop.example.com/";
  w.host.whiteList = [](std::string_view) { return std::optional<bool>(false); };
  w.desktop.asyncKeys = {{0x10, false}, {0x11, false}};
  w.desktop.currentCursor = kArrow;
  w.desktop.classes[30] = "ComboLBox";
  popup::OnMouseMessage(w.clicks, w.desktop, qv::kWmLButtonUp, 30, {50, 60});
  w.desktop.pointer = qv::ScreenPoint{55, 55};
  EXPECT_EQ(popup::DecideNewWindow(w.ctx, w.pub).reason, popup::Reason::ClickNearCursor);
  // The grace ended with the decision: the next window is judged afresh.
  w.desktop.pointer = qv::ScreenPoint{55, 55};
  EXPECT_TRUE(popup::DecideNewWindow(w.ctx, w.pub).block);
}

// ---------------------------------------------------------------- keyboard hook

struct KeyCase {
  const char* name;
  int code;
  std::uint32_t vk;
  std::uint32_t data;
  int documentReady;
  std::map<int, bool> modifiers;  // GetKeyState answers; empty: must not be asked
  KeyVerdict verdict;
  std::vector<int> sweeps;
};

constexpr int kCtrlAltH = 0x0648;
const std::map<int, bool> kCtrlAlt = {{0x10, false}, {0x11, true}, {0x12, true}};

const KeyCase kKeyCases[] = {
    {"shortcut_first_down", 0, 0x48, 0x00230001, 1, kCtrlAlt, KeyVerdict::Swallow, {3}},
    {"shortcut_code_3", 3, 0x48, 0, 1, kCtrlAlt, KeyVerdict::Swallow, {3}},
    {"repeat_bit30", 0, 0x48, kBit30, 1, {}, KeyVerdict::Pass, {}},
    {"release_bit31", 0, 0x48, kBit31, 1, {}, KeyVerdict::Pass, {}},
    {"release_both_bits", 0, 0x48, kBit30 | kBit31, 1, {}, KeyVerdict::Pass, {}},
    {"page_loading", 0, 0x48, 0, 0, {}, KeyVerdict::Pass, {}},
    {"negative_code", -1, 0x48, 0, 1, {}, KeyVerdict::Pass, {}},
    {"extra_shift", 0, 0x48, 0, 1, {{0x10, true}, {0x11, true}, {0x12, true}}, KeyVerdict::Pass, {}},
    {"only_ctrl", 0, 0x48, 0, 1, {{0x10, false}, {0x11, true}, {0x12, false}}, KeyVerdict::Pass, {}},
    {"other_key", 0, 0x49, 0, 1, {}, KeyVerdict::Pass, {}},
};

class KeyboardHook : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyboardHook, BlockAnimationShortcut) {
  const KeyCase& c = GetParam();
  PopupWorld w;
  w.settings.blockAnimHotkey = kCtrlAltH;
  w.pub.documentReady = c.documentReady;
  w.desktop.keys = c.modifiers;
  EXPECT_EQ(popup::OnKeyboard(w.ctx, &w.pub, c.code, c.vk, c.data), c.verdict);
  EXPECT_EQ(w.host.sweeps, c.sweeps);
  EXPECT_EQ(w.host.optionsShown, 0);
}

INSTANTIATE_TEST_SUITE_P(Popup, KeyboardHook, ::testing::ValuesIn(kKeyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KeyboardHook, ModifierBitsAreShift1Ctrl2Alt4) {
  for (int bits = 0; bits < 8; ++bits) {
    PopupWorld w;
    w.desktop.keys = {{0x10, (bits & 1) != 0}, {0x11, (bits & 2) != 0}, {0x12, (bits & 4) != 0}};
    EXPECT_EQ(popup::CurrentModifiers(w.desktop), bits);
    w.settings.blockAnimHotkey = (bits << 8) | 0x75;  // F6 with these modifiers
    EXPECT_EQ(popup::OnKeyboard(w.ctx, &w.pub, 0, 0x75, 0), KeyVerdict::Swallow) << bits;
  }
}

TEST(KeyboardHook, NoShortcutOrNoHelperObjectPassesEveryKey) {
  PopupWorld w;
  EXPECT_EQ(popup::OnKeyboard(w.ctx, &w.pub, 0, 0, 0), KeyVerdict::Pass);  // shortcut 0 is "none"
  w.settings.blockAnimHotkey = kCtrlAltH;
  EXPECT_EQ(popup::OnKeyboard(w.ctx, nullptr, 0, 0x48, 0), KeyVerdict::Pass);
  EXPECT_TRUE(w.desktop.asked.empty());
}

TEST(KeyboardHook, F12OpensTheOptionsOnceAndNotAgainFromInsideTheSheet) {
  PopupWorld w;
  int nested = 0;
  w.host.onShowOptions = [&] {
    EXPECT_EQ(w.settings.optionsKeyBusy, 1);
    // F12 pressed and released inside the open sheet.
    ++nested;
    EXPECT_EQ(popup::OnKeyboard(w.ctx, &w.pub, 0, qv::kVkF12, kBit30 | kBit31), KeyVerdict::Pass);
  };
  // The first key-down does not open it; the release (bit 30 set) does.
  w.settings.blockAnimHotkey = 0;
  EXPECT_EQ(popup::OnKeyboard(w.ctx, &w.pub, 0, qv::kVkF12, 0), KeyVerdict::Pass);
  EXPECT_EQ(w.host.optionsShown, 0);
  EXPECT_EQ(popup::OnKeyboard(w.ctx, &w.pub, 0, qv::kVkF12, kBit30 | kBit31), KeyVerdict::Pass);
  EXPECT_EQ(w.host.optionsShown, 1);
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(w.settings.optionsKeyBusy, 0);
  // A hook code other than HC_ACTION does nothing.
  EXPECT_EQ(popup::OnKeyboard(w.ctx, &w.pub, 3, qv::kVkF12, kBit30), KeyVerdict::Pass);
  EXPECT_EQ(w.host.optionsShown, 1);
}

TEST(KeyboardHook, F12InAnotherBrowserWhileOneOpensTheSheetDoesNothing) {
  PopupWorld w;
  w.settings.optionsKeyBusy = 1;
  EXPECT_EQ(popup::OnKeyboard(w.ctx, &w.pub, 0, qv::kVkF12, kBit30), KeyVerdict::Pass);
  EXPECT_EQ(w.host.optionsShown, 0);
  EXPECT_EQ(w.settings.optionsKeyBusy, 1) << "another browser's flag is left alone";
}

TEST(KeyboardHook, TheBusyFlagIsClearedEvenWhenTheSheetFails) {
  PopupWorld w;
  w.host.onShowOptions = [] { throw std::runtime_error("sheet failed"); };
  EXPECT_THROW(popup::OnKeyboard(w.ctx, &w.pub, 0, qv::kVkF12, kBit30), std::runtime_error);
  EXPECT_EQ(w.settings.optionsKeyBusy, 0);
}

}  // namespace
