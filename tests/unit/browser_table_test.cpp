// The shared browser table: packing, limits, look-ups, corrupt counts, and
// updates from many threads at once.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "core/browser_table.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_popup.h"

namespace {

using qv::core::AddResult;
using qv::core::BrowserTable;
using qv::core::RemoveResult;

constexpr std::uint32_t kPid = 500;

std::vector<std::uint32_t> pubs(const BrowserTable& t) {
  std::vector<std::uint32_t> out;
  for (const auto& e : t.Entries()) out.push_back(e.pubObject);
  return out;
}

struct Table {
  qv::SharedSettings s;
  qv::fake::FakeMutex m;
  BrowserTable t{s, &m};
};

TEST(BrowserTable, AddAppendsAndRemoveMovesLaterEntriesDown) {
  Table x;
  for (std::uint32_t i = 1; i <= 4; ++i) EXPECT_EQ(x.t.Add(100 + i, i, 10 + i, kPid), AddResult::Added);
  EXPECT_EQ(x.t.Remove(2, 102, kPid), RemoveResult::Removed);
  EXPECT_EQ(pubs(x.t), (std::vector<std::uint32_t>{1, 3, 4}));
  EXPECT_EQ(x.s.browserTable[1].frameWindow, 103u);
  EXPECT_EQ(x.s.browserTable[1].threadId, 13u);
  EXPECT_EQ(x.s.browserTable[3].pubObject, 0u) << "the freed slot is cleared";
  EXPECT_EQ(x.t.Remove(4, 104, kPid), RemoveResult::Removed);
  EXPECT_EQ(x.t.Remove(1, 101, kPid), RemoveResult::Removed);
  EXPECT_EQ(pubs(x.t), (std::vector<std::uint32_t>{3}));
  EXPECT_EQ(x.m.waits, 7);
  EXPECT_EQ(x.m.held, 0);
}

TEST(BrowserTable, RemoveMatchesObjectWindowAndProcess) {
  Table x;
  x.t.Add(101, 1, 11, kPid);
  EXPECT_EQ(x.t.Remove(1, 999, kPid), RemoveResult::NotFound);
  EXPECT_EQ(x.t.Remove(1, 101, kPid + 1), RemoveResult::NotFound);
  EXPECT_EQ(x.t.Remove(2, 101, kPid), RemoveResult::NotFound);
  EXPECT_EQ(x.t.Count(), 1);
}

TEST(BrowserTable, DuplicateAddSucceedsWithoutASecondEntry) {
  Table x;
  EXPECT_EQ(x.t.Add(101, 1, 11, kPid), AddResult::Added);
  EXPECT_EQ(x.t.Add(101, 1, 12, kPid), AddResult::AlreadyPresent);
  EXPECT_EQ(x.t.Add(101, 2, 11, kPid), AddResult::Added) << "another object on the same window";
  EXPECT_EQ(x.t.Add(101, 1, 11, kPid + 1), AddResult::Added) << "the same numbers in another process";
  EXPECT_EQ(x.t.Count(), 3);
}

TEST(BrowserTable, The101stWindowIsRefusedWithTheMessage) {
  Table x;
  qv::fake::FakeMessages messages;
  for (std::uint32_t i = 1; i <= 100; ++i)
    ASSERT_TRUE(qv::core::AddWindow(x.t, messages, 1000 + i, i, i, kPid));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_FALSE(qv::core::AddWindow(x.t, messages, 2000, 101, 101, kPid));
  EXPECT_EQ(messages.shown, std::vector<std::string>{"IDS_ERR_TOOMANYWINDOWS"});
  EXPECT_EQ(x.t.Count(), 100);
  EXPECT_TRUE(qv::core::AddWindow(x.t, messages, 1001, 1, 1, kPid)) << "an existing entry still succeeds";
  EXPECT_EQ(messages.shown.size(), 1u);
  // A closed window makes room.
  EXPECT_EQ(x.t.Remove(50, 1050, kPid), RemoveResult::Removed);
  EXPECT_TRUE(qv::core::AddWindow(x.t, messages, 2000, 101, 101, kPid));
  EXPECT_EQ(x.t.Entries().back().pubObject, 101u);
}

TEST(BrowserTable, LockTimeOutReportsBusyAndChangesNothing) {
  Table x;
  x.t.Add(101, 1, 11, kPid);
  x.m.otherwise = qv::WaitResult::Timeout;
  const int releasesBefore = x.m.releases;
  qv::fake::FakeMessages messages;
  EXPECT_EQ(x.t.Add(102, 2, 12, kPid), AddResult::Busy);
  EXPECT_FALSE(qv::core::AddWindow(x.t, messages, 102, 2, 12, kPid));
  EXPECT_EQ(messages.shown, std::vector<std::string>{"#503"});
  EXPECT_EQ(x.t.Remove(1, 101, kPid), RemoveResult::Busy);
  EXPECT_EQ(pubs(x.t), std::vector<std::uint32_t>{1});
  EXPECT_EQ(x.m.releases, releasesBefore);
  BrowserTable unlocked(x.s, nullptr);
  EXPECT_EQ(unlocked.Add(103, 3, 13, kPid), AddResult::Busy);
}

// A Remove that met a busy table is tried again: by the next Add (under
// that Add's own wait) or by RetryPending, which does not wait at all when
// nothing is remembered.
TEST(BrowserTable, BusyRemoveIsRetriedByTheNextAddOrRetryPending) {
  struct Row {
    const char* what;
    std::function<void(BrowserTable&)> later;
    std::vector<std::uint32_t> left;
  } rows[] = {
      {"next Add", [](BrowserTable& t) { EXPECT_EQ(t.Add(103, 3, 13, kPid), AddResult::Added); }, {2, 3}},
      {"RetryPending", [](BrowserTable& t) { EXPECT_EQ(t.RetryPending(), 0u); }, {2}},
      {"next Remove", [](BrowserTable& t) { EXPECT_EQ(t.Remove(2, 102, kPid), RemoveResult::Removed); }, {}},
  };
  for (const Row& r : rows) {
    Table x;
    x.t.Add(101, 1, 11, kPid);
    x.t.Add(102, 2, 12, kPid);
    x.m.script = {qv::WaitResult::Timeout, qv::WaitResult::Timeout};
    EXPECT_EQ(x.t.Remove(1, 101, kPid), RemoveResult::Busy) << r.what;
    EXPECT_EQ(x.t.RetryPending(), 1u) << r.what << ": still busy, still remembered";
    EXPECT_EQ(pubs(x.t), (std::vector<std::uint32_t>{1, 2})) << r.what;
    r.later(x.t);
    EXPECT_EQ(pubs(x.t), r.left) << r.what;
    const int waits = x.m.waits;
    EXPECT_EQ(x.t.RetryPending(), 0u) << r.what;
    EXPECT_EQ(x.m.waits, waits) << r.what << ": nothing remembered, nothing waited for";
    EXPECT_EQ(x.m.held, 0) << r.what;
  }
  // An entry gone meanwhile (freed with its process, say) is simply forgotten.
  Table y;
  y.m.script = {qv::WaitResult::Timeout};
  EXPECT_EQ(y.t.Remove(9, 109, kPid), RemoveResult::Busy);
  EXPECT_EQ(y.t.RetryPending(), 0u);
}

TEST(BrowserTable, AbandonedLockIsOwnedAndReleased) {
  Table x;
  x.m.otherwise = qv::WaitResult::Abandoned;
  EXPECT_EQ(x.t.Add(101, 1, 11, kPid), AddResult::Added);
  EXPECT_EQ(x.t.Remove(1, 101, kPid), RemoveResult::Removed);
  EXPECT_EQ(x.m.releases, 2);
}

TEST(BrowserTable, CorruptCountIsClampedForReadsAndRepairedByUpdates) {
  struct Row {
    std::int32_t count;
    int readCount;
    AddResult add;
    std::int32_t after;
  };
  for (const Row& r : {Row{-5, 0, AddResult::Added, 1}, Row{1000, 100, AddResult::Full, 100},
                       Row{0x7fffffff, 100, AddResult::Full, 100}, Row{101, 100, AddResult::Full, 100}}) {
    Table x;
    for (auto& e : x.s.browserTable) e = {1, 1, 1, kPid};
    x.s.browserCount = r.count;
    EXPECT_EQ(x.t.Count(), r.readCount) << r.count;
    EXPECT_EQ(x.t.Entries().size(), static_cast<std::size_t>(r.readCount));
    EXPECT_EQ(x.t.FindByThread(999, kPid), std::nullopt);
    EXPECT_EQ(x.t.Add(7, 7, 7, kPid), r.add) << r.count;
    EXPECT_EQ(x.s.browserCount, r.after) << r.count;
  }
  Table x;
  x.s.browserCount = -3;
  EXPECT_EQ(x.t.Remove(1, 1, kPid), RemoveResult::NotFound);
  EXPECT_EQ(x.s.browserCount, 0);
}

TEST(BrowserTable, FindByThreadTakesTheFirstEntryOfThisProcess) {
  Table x;
  x.t.Add(101, 1, 11, kPid + 1);  // same thread id in another (stale) process
  x.t.Add(102, 2, 11, kPid);
  x.t.Add(103, 3, 11, kPid);
  EXPECT_EQ(x.t.FindByThread(11, kPid), 2u);
  EXPECT_EQ(x.t.FindByThread(12, kPid), std::nullopt);
}

TEST(BrowserTable, FindPubForFocusWalksUpFromTheFocusThenFallsBackToTheThread) {
  Table x;
  x.t.Add(300, 3, 33, kPid);
  x.t.Add(100, 0, 11, kPid);      // an entry without object is skipped
  x.t.Add(100, 1, 11, kPid + 1);  // another process's entry is skipped
  x.t.Add(100, 5, 11, kPid);
  x.t.Add(100, 6, 11, kPid);  // the first match wins
  qv::fake::FakeDesktop d;
  // focus 12 -> 11 -> 100 (the frame) -> 0
  d.focusWindow = 12;
  d.parents = {{12, 11}, {11, 100}, {100, 0}};
  EXPECT_EQ(x.t.FindPubForFocus(d, 11, kPid), 5u);
  EXPECT_EQ(d.asked, (std::vector<std::string>{"focus", "parent 12", "parent 11"}));
  // The frame's entries belong to thread 11: thread 33 walks past them to its own.
  EXPECT_EQ(x.t.FindPubForFocus(d, 33, kPid), 3u);

  // A chain that never meets a frame: the thread's entry.
  d.asked.clear();
  d.focusWindow = 40;
  d.parents = {{40, 0}};
  EXPECT_EQ(x.t.FindPubForFocus(d, 33, kPid), 3u);
  // No focus at all.
  d.focusWindow = 0;
  EXPECT_EQ(x.t.FindPubForFocus(d, 11, kPid), 5u);
  EXPECT_EQ(x.t.FindPubForFocus(d, 77, kPid), std::nullopt);
  // A looping parent chain ends.
  d.focusWindow = 41;
  d.parents = {{41, 42}, {42, 41}};
  EXPECT_EQ(x.t.FindPubForFocus(d, 33, kPid), 3u);
}

TEST(BrowserTable, TabsOfOneFrameEachFindTheirOwnObject) {
  // Two tabs on threads 21 and 22 under one frame (500); each tab's page
  // sits in the tab's own window (501, 502).  An entry may name the frame
  // itself when a tab had no window of its own.
  Table x;
  x.t.Add(500, 7, 21, kPid);
  x.t.Add(502, 8, 22, kPid);
  qv::fake::FakeDesktop d;
  d.parents = {{601, 501}, {501, 500}, {602, 502}, {502, 500}, {500, 0}};
  struct Case {
    qv::WindowHandle focus;
    std::uint32_t thread;
    std::optional<std::uint32_t> found;
  } cases[] = {{601, 21, 7u}, {602, 22, 8u}, {601, 22, 8u}, {0, 21, 7u}, {602, 23, std::nullopt}};
  for (const auto& c : cases) {
    d.focusWindow = c.focus;
    EXPECT_EQ(x.t.FindPubForFocus(d, c.thread, kPid), c.found) << "focus " << c.focus << " thread " << c.thread;
  }
}

// A process-local stand-in for the named mutex.  Updates hold it for
// microseconds, so the test waits without a bound.
class ThreadMutex final : public qv::NamedMutex {
 public:
  qv::WaitResult wait(std::uint32_t) override {
    m_.lock();
    return qv::WaitResult::Obtained;
  }
  void release() override { m_.unlock(); }

 private:
  std::mutex m_;
};

TEST(BrowserTable, WindowsOpeningAndClosingAtOnceNeverLoseOrDuplicateAnEntry) {
  qv::SharedSettings s;
  ThreadMutex lock;
  constexpr int kThreads = 6;
  constexpr int kRounds = 300;
  std::vector<std::thread> threads;
  std::atomic<int> faults{0};
  // Entries that stay for the whole run: none may ever vanish.
  BrowserTable setup(s, &lock);
  for (std::uint32_t i = 0; i < 10; ++i) setup.Add(9000 + i, 9000 + i, 9000 + i, kPid);
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      BrowserTable table(s, &lock);
      for (int r = 0; r < kRounds; ++r) {
        const std::uint32_t pub = static_cast<std::uint32_t>(t * 100000 + r + 1);
        const std::uint32_t frame = pub + 7;
        if (table.Add(frame, pub, pub, kPid) != AddResult::Added) ++faults;
        if (table.Add(frame, pub, pub, kPid) != AddResult::AlreadyPresent) ++faults;
        if (table.Remove(pub, frame, kPid) != RemoveResult::Removed) ++faults;
        if (table.Remove(pub, frame, kPid) != RemoveResult::NotFound) ++faults;
      }
    });
  // A hook looking up its window meanwhile (no lock) always finds it: the
  // entries in front of a changing one never move.
  std::atomic<bool> done{false};
  std::thread reader([&] {
    BrowserTable table(s, &lock);
    while (!done.load())
      if (table.FindByThread(9005, kPid) != std::optional<std::uint32_t>(9005)) ++faults;
  });
  for (auto& th : threads) th.join();
  done = true;
  reader.join();
  EXPECT_EQ(faults.load(), 0);
  EXPECT_EQ(setup.Count(), 10);
  std::vector<std::uint32_t> expected;
  for (std::uint32_t i = 0; i < 10; ++i) expected.push_back(9000 + i);
  EXPECT_EQ(pubs(setup), expected);
}

// Processes as the directory reports them; an id not listed has ended.
struct Processes : qv::ProcessDirectory {
  std::map<std::uint32_t, qv::ProcessStart> running;
  int asked = 0;
  qv::ProcessStart started(std::uint32_t pid) override {
    ++asked;
    auto it = running.find(pid);
    return it != running.end() ? it->second : qv::ProcessStart{qv::ProcessStart::State::Ended, 0};
  }
};

TEST(BrowserTable, EntriesOfEndedProcessesAreFreedWhenAnEntryIsNeeded) {
  using State = qv::ProcessStart::State;
  constexpr std::uint64_t kBorn = 0x1234'0000'5678ull;
  const struct {
    const char* what;
    qv::ProcessStart now;  // the entry's process (pid 7) when the entry is needed
    bool freed;
  } cases[] = {
      {"still running", {State::Running, kBorn}, false},
      {"ended", {State::Ended, 0}, true},
      {"id reused by a later process", {State::Running, kBorn + 1}, true},
      {"cannot be asked", {State::Unknown, 0}, false},
  };
  for (const auto& c : cases) {
    qv::SharedSettings s;
    qv::fake::FakeMutex m;
    Processes processes;
    BrowserTable t{s, &m, &processes};
    processes.running[7] = {State::Running, kBorn};
    processes.running[kPid] = {State::Running, 99};
    for (std::uint32_t i = 1; i <= 100; ++i) ASSERT_EQ(t.Add(i, i, i, 7), AddResult::Added);
    EXPECT_EQ(s.browserTable[0].processStartLow, 0x5678u) << "the creation time is kept with the entry";
    EXPECT_EQ(s.browserTable[0].processStartHigh, 0x1234u);
    processes.running[7] = c.now;
    processes.asked = 0;
    EXPECT_EQ(t.Add(500, 500, 1, kPid), c.freed ? AddResult::Added : AddResult::Full) << c.what;
    EXPECT_EQ(t.Count(), c.freed ? 1 : 100) << c.what;
    EXPECT_LE(processes.asked, 2) << "each process is asked once: " << c.what;
  }
  // Entries written without a creation time are judged by the id alone.
  Table x;
  x.t.Add(1, 1, 1, 7);
  Processes processes;
  processes.running[7] = {State::Running, 5};
  BrowserTable withProcesses{x.s, &x.m, &processes};
  EXPECT_EQ(withProcesses.Add(2, 2, 2, 7), AddResult::Added);
  EXPECT_EQ(pubs(withProcesses), (std::vector<std::uint32_t>{1, 2}));
}

TEST(PubTokens, TokensAreNeverReusedSoStaleEntriesFindNothing) {
  qv::core::PubTokens<int> tokens;
  int a = 1, b = 2;
  const auto ta = tokens.add(&a);
  const auto tb = tokens.add(&b);
  EXPECT_NE(ta, 0u);
  EXPECT_NE(ta, tb);
  EXPECT_EQ(tokens.find(ta), &a);
  tokens.remove(ta);
  EXPECT_EQ(tokens.find(ta), nullptr);
  EXPECT_NE(tokens.add(&a), ta);
  EXPECT_EQ(tokens.find(std::optional<std::uint32_t>()), nullptr);
  EXPECT_EQ(tokens.find(std::optional<std::uint32_t>(tb)), &b);
}

TEST(PubTokens, AnotherThreadFindsNothing) {
  qv::core::PubTokens<int> tokens;
  int a = 1;
  const auto ta = tokens.add(&a);
  int* seen = &a;
  std::thread([&] { seen = tokens.find(ta); }).join();
  EXPECT_EQ(seen, nullptr) << "an object is answered only on the thread that added it";
  EXPECT_EQ(tokens.find(ta), &a);
}

}  // namespace
