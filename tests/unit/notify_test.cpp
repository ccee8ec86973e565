// Block announcement, counters and the shared block history.
#include <gtest/gtest.h>

#include <cstring>

#include "core/notify.h"
#include "fakes/fake_popup.h"

namespace {

using qv::WaitResult;
using qv::popup::AppendResult;
namespace popup = qv::popup;

// ---------------------------------------------------------------- NotifyBlock

struct NotifyCase {
  const char* name;
  int beep = 0, playDefault = 1, playFile = 0;
  const char* file = "";
  int showStatus = 0;
  bool moduleKnown = true;
  bool statusWindow = true;
  std::vector<std::string> sounds{};
  bool status = false;
};

const NotifyCase kNotifyCases[] = {
    {.name = "defaults_play_the_builtin_sound", .sounds = {"resource PubSound"}},
    {.name = "beep_first_then_sound",
     .beep = 1,
     .sounds = {"beep 800 40", "beep 500 80", "resource PubSound"}},
    {.name = "sound_file", .playFile = 1, .file = "C:\\ding.wav", .sounds = {"file C:\\ding.wav"}},
    {.name = "missing_file_is_still_tried_not_the_builtin",
     .playDefault = 0, .playFile = 1, .file = "C:\\gone.wav", .sounds = {"file C:\\gone.wav"}},
    {.name = "sound_file_on_with_empty_path_plays_builtin", .playDefault = 0, .playFile = 1,
     .sounds = {"resource PubSound"}},
    {.name = "all_sounds_off", .playDefault = 0, .sounds = {}},
    {.name = "module_unknown_no_wave", .beep = 1, .moduleKnown = false, .sounds = {"beep 800 40", "beep 500 80"}},
    {.name = "status_text", .playDefault = 0, .showStatus = 1, .status = true},
    {.name = "status_text_without_status_window", .playDefault = 0, .showStatus = 1, .statusWindow = false},
};

class Notify : public ::testing::TestWithParam<NotifyCase> {};

TEST_P(Notify, AnnouncesAsSwitchedOn) {
  const NotifyCase& c = GetParam();
  qv::SharedSettings s;
  s.beep = c.beep;
  s.playDefaultSound = c.playDefault;
  s.playSoundFile = c.playFile;
  std::strncpy(s.soundFile, c.file, sizeof s.soundFile - 1);
  s.showStatusMsg = c.showStatus;
  qv::fake::FakeSound sound;
  sound.known = c.moduleKnown;
  qv::fake::FakePubHost host;
  host.hasStatusWindow = c.statusWindow;
  popup::NotifyBlock(s, sound, &host);
  EXPECT_EQ(sound.log, c.sounds);
  EXPECT_EQ(host.statusTexts,
            c.status ? std::vector<std::string>{"Quillvane blocked popup Ads in this page!"} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Popup, Notify, ::testing::ValuesIn(kNotifyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Notify, UnterminatedSoundFileIsReadWithinItsField) {
  qv::SharedSettings s;
  s.playSoundFile = 1;
  std::memset(s.soundFile, 'a', sizeof s.soundFile);  // no zero byte: another process's garbage
  qv::fake::FakeSound sound;
  popup::NotifyBlock(s, sound, nullptr);
  ASSERT_EQ(sound.log.size(), 1u);
  EXPECT_EQ(sound.log[0], "file " + std::string(260, 'a'));
}

// ---------------------------------------------------------------- history append

std::vector<char> region(std::string_view text, std::size_t size = qv::kHistoryRegionSize) {
  std::vector<char> r(size, 0);
  std::memcpy(r.data(), text.data(), std::min(text.size(), size));
  return r;
}

TEST(History, AppendsOncePerPageAndNeverASubstringOfAnEarlierRecord) {
  struct Row {
    std::string before;
    std::string address;
    AppendResult result;
    std::string after;
  };
  const Row rows[] = {
      {"", "http://a.com/", AppendResult::Appended, "http://a.com/\n"},
      {"http://a.com/\n", "http://a.com/", AppendResult::Duplicate, "http://a.com/\n"},
      {"http://a.com/\n", "http://b.com/", AppendResult::Appended, "http://a.com/\nhttp://b.com/\n"},
      // The earlier record ends with this address: its text holds the record.
      {"http://www.b.com/a\n", "b.com/a", AppendResult::Duplicate, "http://www.b.com/a\n"},
      // A prefix of an earlier address is a new page (the line feed differs).
      {"http://www.b.com/a\n", "http://www.b.com/", AppendResult::Appended,
       "http://www.b.com/a\nhttp://www.b.com/\n"},
      {"x\n", "", AppendResult::NoAddress, "x\n"},
      {"x\n", std::string("http://c/\0junk", 14), AppendResult::Appended, "x\nhttp://c/\n"},
  };
  for (const Row& r : rows) {
    auto h = region(r.before);
    EXPECT_EQ(popup::AppendHistory(h, r.address), r.result) << r.address;
    EXPECT_EQ(std::string(h.data()), r.after) << r.address;
  }
}

TEST(History, CapacityKeepsAZeroByteAfterTheText) {
  const std::string text(8190, 'x');
  auto h = region(text);
  EXPECT_EQ(popup::AppendHistory(h, "abcde"), AppendResult::Full) << "8190 + 6 is not below 8196";
  EXPECT_EQ(std::string(h.data()), text);
  EXPECT_EQ(popup::AppendHistory(h, "abcd"), AppendResult::Appended) << "8190 + 5 is";
  EXPECT_EQ(std::string(h.data()), text + "abcd\n");
  EXPECT_EQ(h[8195], 0);
  EXPECT_EQ(popup::AppendHistory(h, "z"), AppendResult::Full);
}

TEST(History, RegionWithoutAnyZeroByteIsTreatedAsFull) {
  std::vector<char> h(qv::kHistoryRegionSize, 'q');
  EXPECT_EQ(popup::AppendHistory(h, "http://a/"), AppendResult::Corrupt);
  EXPECT_EQ(std::count(h.begin(), h.end(), 'q'), static_cast<long>(h.size()));
  EXPECT_EQ(popup::HistoryText(h), std::string(h.size(), 'q'));
}

TEST(History, GarbageAfterTheTextDoesNotJoinIt) {
  auto h = region("a\n");
  std::memset(h.data() + 3, 'g', 100);  // bytes after the first zero that should be zero
  ASSERT_EQ(popup::AppendHistory(h, "b"), AppendResult::Appended);
  EXPECT_EQ(popup::HistoryText(h), "a\nb\n");
}

TEST(History, UnmappedRegion) {
  EXPECT_EQ(popup::AppendHistory({}, "http://a/"), AppendResult::NoRegion);
  EXPECT_EQ(popup::HistoryText({}), "");
}

// ---------------------------------------------------------------- RecordBlock

struct RecordCase {
  const char* name;
  WaitResult mutex;
  int enableHistory;
  std::optional<std::string_view> address;
  int saves;
  std::string history;
};

const RecordCase kRecordCases[] = {
    {"page_popup", WaitResult::Obtained, 1, "http://a.com/", 1, "http://a.com/\n"},
    {"abandoned_mutex_is_obtained", WaitResult::Abandoned, 1, "http://a.com/", 1, "http://a.com/\n"},
    {"mutex_timeout_counts_only", WaitResult::Timeout, 1, "http://a.com/", 0, ""},
    {"mutex_failure_counts_only", WaitResult::Failed, 1, "http://a.com/", 0, ""},
    {"history_off", WaitResult::Obtained, 0, "http://a.com/", 1, ""},
    {"no_address_dialog_popup", WaitResult::Obtained, 1, std::nullopt, 1, ""},
};

class Record : public ::testing::TestWithParam<RecordCase> {};

TEST_P(Record, CountsAlwaysSavesAndAppendsUnderTheDataMutex) {
  const RecordCase& c = GetParam();
  qv::SharedSettings s;
  s.blockedTotal = 41;
  s.enableHistory = c.enableHistory;
  qv::fake::FakeMutex m;
  m.otherwise = c.mutex;
  int saves = 0;
  auto h = region("");
  const auto r = popup::RecordBlock(
      s, &m,
      [&] {
        ++saves;
        EXPECT_EQ(m.held, 1) << "the total is saved under the mutex";
        EXPECT_EQ(s.blockedTotal, 42) << "after the increment";
      },
      h, c.address);
  EXPECT_EQ(s.blockedSession, 1);
  EXPECT_EQ(s.blockedTotal, 42);
  EXPECT_EQ(saves, c.saves);
  EXPECT_EQ(r.locked, c.saves == 1);
  EXPECT_EQ(popup::HistoryText(h), c.history);
  EXPECT_EQ(m.lastWaitMs, 1000u);
  EXPECT_EQ(m.held, 0);
}

INSTANTIATE_TEST_SUITE_P(Popup, Record, ::testing::ValuesIn(kRecordCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Record, TwoBlocksOnOnePageKeepOneRecordAndCountTwo) {
  qv::SharedSettings s;
  qv::fake::FakeMutex m;
  auto h = region("");
  popup::RecordBlock(s, &m, nullptr, h, "http://a.com/x");
  popup::RecordBlock(s, &m, nullptr, h, "http://a.com/x");
  EXPECT_EQ(s.blockedSession, 2);
  EXPECT_EQ(s.blockedTotal, 2);
  EXPECT_EQ(popup::HistoryText(h), "http://a.com/x\n");
}

TEST(Record, WithoutMutexOrRegionTheCountersStillMove) {
  qv::SharedSettings s;
  s.blockedSession = 0x7fffffff;  // wraps like the interlocked increment, no undefined behaviour
  const auto r = popup::RecordBlock(s, nullptr, nullptr, {}, "http://a/");
  EXPECT_FALSE(r.locked);
  EXPECT_EQ(s.blockedSession, static_cast<std::int32_t>(0x80000000u));
  qv::fake::FakeMutex m;
  EXPECT_EQ(popup::RecordBlock(s, &m, nullptr, {}, "http://a/").history, AppendResult::NoRegion);
}

}  // namespace
