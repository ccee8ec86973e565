// The shared record made from a view of the session's mapping: defaults
// once, under the data mutex, never over a record another process made.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/shared_record.h"
#include "fakes/fake_popup.h"

namespace {

using qv::WaitResult;

TEST(SharedRecord, DefaultsAreWrittenOnceUnderTheDataMutex) {
  const std::size_t kSize = sizeof(qv::SharedSettings);
  const struct {
    const char* what;
    std::size_t viewSize;
    bool made;           // another process made the record already
    WaitResult mutex;
    bool adopted;        // a record comes back
    bool waited;         // the data mutex was asked for
  } cases[] = {
      {"new mapping", kSize, false, WaitResult::Obtained, true, true},
      {"abandoned mutex is ours", kSize + 100, false, WaitResult::Abandoned, true, true},
      {"made by another process", kSize, true, WaitResult::Obtained, true, false},
      {"made, mutex busy", kSize, true, WaitResult::Timeout, true, false},
      {"unmade, mutex busy", kSize, false, WaitResult::Timeout, false, true},
      {"unmade, no mutex", kSize, false, WaitResult::Failed, false, true},
      {"view too small", kSize - 4, false, WaitResult::Obtained, false, false},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> view(c.viewSize, 0);
    if (c.made && view.size() >= kSize) {
      qv::SharedSettings other;
      other.skin = 42;  // a value the other process set
      std::memcpy(view.data(), &other, sizeof other);
    }
    qv::fake::FakeMutex m;
    m.otherwise = c.mutex;
    qv::SharedSettings* r = qv::adoptSharedRecord(view, &m);
    EXPECT_EQ(r != nullptr, c.adopted) << c.what;
    EXPECT_EQ(m.waits > 0, c.waited) << c.what;
    EXPECT_EQ(m.held, 0) << c.what;
    if (!r) continue;
    EXPECT_EQ(static_cast<void*>(r), view.data()) << c.what;
    EXPECT_TRUE(qv::sharedRecordMade(view)) << c.what;
    EXPECT_EQ(r->skin, c.made ? 42 : 1) << c.what;
    EXPECT_EQ(r->popupEnable, 1) << c.what;
    EXPECT_EQ(r->settingsLoaded, 0) << c.what;
  }
  // A record of another layout (another tag or size) is not this one.
  std::vector<std::uint8_t> view(kSize, 0);
  qv::fake::FakeMutex m;
  ASSERT_NE(qv::adoptSharedRecord(view, &m), nullptr);
  view[4] ^= 1;  // layoutSize
  EXPECT_FALSE(qv::sharedRecordMade(view));
}

}  // namespace
