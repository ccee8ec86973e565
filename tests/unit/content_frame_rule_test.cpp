// The browser-window rule that holds script moves and resizes in place.
#include <gtest/gtest.h>

#include <vector>

#include "content/frame_rule.h"

namespace {

using namespace qv::content;

constexpr std::uint32_t kZOrderOnly = 0x0004;  // SWP_NOZORDER, a flag the rule never touches
constexpr std::uint32_t kHeld = kSwpNoSize | kSwpNoMove;

FrameInput msg(FrameMessage m, std::uint32_t value = 0) {
  FrameInput in;
  in.message = m;
  if (m == FrameMessage::SysCommand) in.command = value;
  if (m == FrameMessage::WindowPosChanging) in.posFlags = value;
  in.blockResize = true;
  return in;
}

// Runs a message sequence and returns the flags the final WM_WINDOWPOSCHANGING
// would carry on.
std::uint32_t runThenChange(FrameFlags& f, const std::vector<FrameInput>& before, std::uint32_t posFlags = kZOrderOnly,
                            bool blockResize = true, bool exempt = false) {
  for (const auto& in : before) applyFrameMessage(f, in, [] { return false; });
  FrameInput change = msg(FrameMessage::WindowPosChanging, posFlags);
  change.blockResize = blockResize;
  return applyFrameMessage(f, change, [exempt] { return exempt; });
}

TEST(FrameRule, ScriptMoveIsHeldOnlyWhenNothingExcusesIt) {
  const FrameInput placed = msg(FrameMessage::WindowPosChanged);
  struct Case {
    const char* name;
    std::vector<FrameInput> before;
    std::uint32_t posFlags;
    bool blockResize;
    bool exempt;
    bool held;
  } cases[] = {
      {"script resize after first placement", {placed}, kZOrderOnly, true, false, true},
      {"very first positioning passes", {}, kZOrderOnly, true, false, false},
      {"blocking off", {placed}, kZOrderOnly, false, false, false},
      {"exempt page", {placed}, kZOrderOnly, true, true, false},
      {"frame change never altered", {placed}, kZOrderOnly | kSwpFrameChanged, true, false, false},
      {"inside the size/move loop", {placed, msg(FrameMessage::EnterSizeMove)}, kZOrderOnly, true, false, false},
      {"after the size/move loop", {placed, msg(FrameMessage::EnterSizeMove), msg(FrameMessage::ExitSizeMove)},
       kZOrderOnly, true, false, true},
      {"capture changed (dragging)", {placed, msg(FrameMessage::CaptureChanged)}, kZOrderOnly, true, false, false},
      {"capture cleared by next change", {placed, msg(FrameMessage::CaptureChanged), placed}, kZOrderOnly, true,
       false, true},
      {"maximise command", {placed, msg(FrameMessage::SysCommand, kScMaximize)}, kZOrderOnly, true, false, false},
      {"minimise command", {placed, msg(FrameMessage::SysCommand, kScMinimize)}, kZOrderOnly, true, false, false},
      {"restore command", {placed, msg(FrameMessage::SysCommand, kScRestore)}, kZOrderOnly, true, false, false},
      {"maximise by title double-click (low bits set)", {placed, msg(FrameMessage::SysCommand, kScMaximize | 2)},
       kZOrderOnly, true, false, false},
      {"other command (close)", {placed, msg(FrameMessage::SysCommand, 0xF060)}, kZOrderOnly, true, false, true},
      {"command done once window placed", {placed, msg(FrameMessage::SysCommand, kScRestore), placed}, kZOrderOnly,
       true, false, true},
      {"unrelated messages change nothing", {placed, msg(FrameMessage::Other), msg(FrameMessage::Other)},
       kZOrderOnly, true, false, true},
  };
  for (const auto& c : cases) {
    FrameFlags f;
    const std::uint32_t out = runThenChange(f, c.before, c.posFlags, c.blockResize, c.exempt);
    if (c.held)
      EXPECT_EQ(out, c.posFlags | kHeld) << c.name;
    else
      EXPECT_EQ(out, c.posFlags) << c.name;
  }
}

TEST(FrameRule, ExemptionIsAskedOnlyWhenEverythingElseSaysHold) {
  int asked = 0;
  auto exempt = [&asked] {
    ++asked;
    return false;
  };
  FrameFlags f;
  applyFrameMessage(f, msg(FrameMessage::WindowPosChanging, 0), exempt);  // not yet placed
  FrameInput off = msg(FrameMessage::WindowPosChanging, 0);
  off.blockResize = false;
  applyFrameMessage(f, msg(FrameMessage::WindowPosChanged), exempt);
  applyFrameMessage(f, off, exempt);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(applyFrameMessage(f, msg(FrameMessage::WindowPosChanging, 0), exempt), kHeld);
  EXPECT_EQ(asked, 1);
}

TEST(FrameRule, FlagsFollowTheirMessages) {
  FrameFlags f;
  applyFrameMessage(f, msg(FrameMessage::CaptureChanged), nullptr);
  applyFrameMessage(f, msg(FrameMessage::EnterSizeMove), nullptr);
  applyFrameMessage(f, msg(FrameMessage::SysCommand, kScMinimize), nullptr);
  EXPECT_EQ(f.captureChanged, 1);
  EXPECT_EQ(f.inSizeMove, 1);
  EXPECT_EQ(f.sysCommandPending, 1);
  EXPECT_EQ(f.positionedOnce, 0);
  applyFrameMessage(f, msg(FrameMessage::WindowPosChanged), nullptr);
  EXPECT_EQ(f.positionedOnce, 1);
  EXPECT_EQ(f.sysCommandPending, 0);
  EXPECT_EQ(f.captureChanged, 0);
  EXPECT_EQ(f.inSizeMove, 1) << "only the end of the loop ends the loop";
  applyFrameMessage(f, msg(FrameMessage::ExitSizeMove), nullptr);
  EXPECT_EQ(f.inSizeMove, 0);
  EXPECT_EQ(f.positionedOnce, 1) << "never cleared";
  // A change with no exemption callback at all is judged as not exempt.
  EXPECT_EQ(applyFrameMessage(f, msg(FrameMessage::WindowPosChanging, 0), nullptr), kHeld);
}

}  // namespace
