// Navigation flags of the browser helper object and the bounded quit wait.
#include <gtest/gtest.h>

#include <deque>
#include <optional>

#include "core/popup.h"
#include "core/pub_navigation.h"

namespace {

using namespace qv::core;

TEST(PubNavigation, ScriptAddressIsRecognisedWithoutRegardToCase) {
  struct Case {
    const char* address;
    bool script;
  } cases[] = {{"javascript:void(0)", true}, {"JavaScript:open()", true}, {"JAVASCRIPT:", true},
               {"javascript", false},        {"javascrip:", false},       {" javascript:x", false},
               {"http://javascript:x", false}, {"", false},               {"vbscript:x", false}};
  for (const auto& c : cases) EXPECT_EQ(qv::popup::IsJavascriptUrl(c.address), c.script) << c.address;
}

TEST(PubNavigation, BeforeNavigateKeepsPagesOnlyForScript) {
  PubFlags f;
  f.userClicked = 1;
  EXPECT_EQ(onBeforeNavigate(f, "http://example.com/"), PageSinks::DisconnectAll);
  EXPECT_EQ(f.documentReady, 0);
  EXPECT_EQ(f.userClicked, 0);
  f.documentReady = 1;
  EXPECT_EQ(onBeforeNavigate(f, "javascript:window.open('x')"), PageSinks::Keep);
  EXPECT_EQ(f.documentReady, 0);
  EXPECT_EQ(f.userClicked, 1) << "a script navigation lets the next window through";
  EXPECT_EQ(f.newWindowGuard, 1) << "navigation never touches the guard";
}

TEST(PubNavigation, CompletionsResetTheirFlags) {
  PubFlags f;
  f.newWindowGuard = 0;
  f.userClicked = 1;
  f.documentReady = 0;
  onNavigateCompleteBegin(f);
  EXPECT_EQ(f.newWindowGuard, 1);
  EXPECT_EQ(f.userClicked, 0);
  onCompletionEnd(f);
  EXPECT_EQ(f.documentReady, 1);

  f.newWindowGuard = 0;
  f.userClicked = 1;
  onDocumentCompleteBegin(f);
  EXPECT_EQ(f.documentReady, 0);
  EXPECT_EQ(f.userClicked, 0);
  EXPECT_EQ(f.newWindowGuard, 0) << "only NavigateComplete2 re-arms the guard";
}

// A browser whose ready state follows a script and a clock that advances by
// each sleep (plus an optional extra cost per pump).
class ScriptedWait : public ReadyStateWait {
 public:
  std::deque<std::optional<int>> states;  // the last one repeats
  std::uint32_t now = 0;
  std::uint32_t pumpCost = 0;
  std::uint32_t clockStep = 1;  // multiplier; 0 stops the clock
  int sleeps = 0;
  int polls = 0;

  std::uint32_t tickCount() override { return now; }
  std::optional<int> readyState() override {
    ++polls;
    auto s = states.front();
    if (states.size() > 1) states.pop_front();
    return s;
  }
  void sleepAndPump(std::uint32_t ms) override {
    EXPECT_EQ(ms, kQuitPollMs);
    ++sleeps;
    now += (ms + pumpCost) * clockStep;
  }
};

TEST(PubNavigation, QuitWaitEndsOnCompleteUnreadableOrTimeout) {
  {
    ScriptedWait w;
    w.states = {1, 3, 3, 4};
    EXPECT_EQ(waitUntilComplete(w), WaitOutcome::Complete);
    EXPECT_EQ(w.sleeps, 3);
  }
  {
    ScriptedWait w;
    w.states = {4};
    EXPECT_EQ(waitUntilComplete(w), WaitOutcome::Complete);
    EXPECT_EQ(w.sleeps, 0) << "already complete: no sleep";
  }
  {
    ScriptedWait w;
    w.states = {1, std::nullopt};
    EXPECT_EQ(waitUntilComplete(w), WaitOutcome::Unreadable);
    EXPECT_EQ(w.sleeps, 1);
  }
  {
    ScriptedWait w;  // never completes: stops once more than 10000 ms have passed
    w.states = {3};
    EXPECT_EQ(waitUntilComplete(w), WaitOutcome::TimedOut);
    EXPECT_EQ(w.sleeps, 101);
    EXPECT_EQ(w.now, 10100u);
  }
  {
    ScriptedWait w;  // slow message handlers make the limit come sooner
    w.states = {3};
    w.pumpCost = 900;
    EXPECT_EQ(waitUntilComplete(w), WaitOutcome::TimedOut);
    EXPECT_EQ(w.sleeps, 11);
  }
  {
    ScriptedWait w;  // the tick counter wraps during the wait
    w.states = {3};
    w.now = 0xFFFFFF00u;
    EXPECT_EQ(waitUntilComplete(w), WaitOutcome::TimedOut);
    EXPECT_EQ(w.sleeps, 101);
  }
  {
    ScriptedWait w;  // a clock that never moves still ends the wait
    w.states = {3};
    w.clockStep = 0;
    EXPECT_EQ(waitUntilComplete(w), WaitOutcome::TimedOut);
    EXPECT_LE(w.sleeps, 101);
  }
}

}  // namespace
