// The content sweep over an in-memory page: the floating, Flash and image
// rules, the frame recursion, the cache lookup and the image memo.
#include <gtest/gtest.h>

#include <functional>

#include "content/sweep.h"
#include "core/shared_settings.h"
#include "fakes/fake_page.h"
#include "fakes/fake_popup.h"

namespace {

using qv::content::SweepDocument;
using qv::fake::FakeDocument;
using qv::fake::FakeElement;
using IV = qv::page::InlineValue;
namespace content = qv::content;

struct World {
  qv::SharedSettings settings;
  qv::fake::FakeUrlCache cache;
  qv::fake::FakeFrameCounter frames;
  content::SweepMemory memory;
  qv::fake::FakePubHost pub;
  bool pubFound = true;
  qv::fake::PageCalls calls;
  FakeDocument page{&calls};
  content::SweepServices services{settings, cache, frames, memory, [this] {
                                    return pubFound ? static_cast<qv::popup::PubHost*>(&pub) : nullptr;
                                  }, {}};
  void sweep(int flags = content::SweepFloating) {
    auto port = page.port();
    SweepDocument(services, *port, flags);
  }
};

// An element as the floating rule sees a typical ad: id, shown, absolute,
// top set inline, z-index 1, a style to hide with.
FakeElement& floating(FakeDocument& d, const std::string& tag, const std::string& id) {
  FakeElement& e = d.add(tag);
  e.idValue = id;
  e.display = "block";
  e.position = "absolute";
  e.top = IV::Other;
  e.zIndex = IV::One;
  e.at = qv::page::Offsets{10, 10};
  e.hasStyle = true;
  return e;
}

// ---------------------------------------------------------------------------
// Floating rule: one element, two sweeps, something may happen in between.

struct FloatingCase {
  const char* name;
  const char* tag;
  std::function<void(FakeElement&)> setUp;
  std::function<void(FakeElement&)> between;  // a script's doing between the sweeps
  int hiddenAfterFirst;
  int hiddenAfterSecond;
};

class FloatingRule : public ::testing::TestWithParam<FloatingCase> {};

TEST_P(FloatingRule, HidesAndCountsExactlyTheFloatingAds) {
  const FloatingCase& c = GetParam();
  World w;
  FakeElement& e = floating(w.page, c.tag, "ad");
  c.setUp(e);
  w.sweep();
  EXPECT_EQ(e.hidden, c.hiddenAfterFirst) << "first sweep";
  if (c.between) c.between(e);
  w.sweep();
  EXPECT_EQ(e.hidden, c.hiddenAfterSecond) << "second sweep";
  EXPECT_EQ(w.settings.floatingBlockedSession, c.hiddenAfterSecond) << "counted once per element hidden";
  EXPECT_EQ(w.pub.statusTexts.size(), static_cast<size_t>(c.hiddenAfterSecond));
}

const auto kNothing = [](FakeElement&) {};
const auto kMoveDown = [](FakeElement& e) { e.at = qv::page::Offsets{10, 30}; };

INSTANTIATE_TEST_SUITE_P(
    Sweep, FloatingRule,
    ::testing::Values(
        FloatingCase{"pinned_z1", "DIV", kNothing, nullptr, 1, 1},
        FloatingCase{"pinned_span_lower_case_absolute", "SPAN", [](FakeElement& e) { e.position = "Absolute"; },
                     nullptr, 1, 1},
        FloatingCase{"z2_stays", "DIV", [](FakeElement& e) { e.zIndex = IV::Other; }, nullptr, 0, 0},
        FloatingCase{"z2_moved", "DIV", [](FakeElement& e) { e.zIndex = IV::Other; }, kMoveDown, 0, 1},
        FloatingCase{"no_inline_top_stays", "DIV", [](FakeElement& e) { e.top = IV::Empty; }, nullptr, 0, 0},
        FloatingCase{"no_inline_top_moved", "DIV", [](FakeElement& e) { e.top = IV::Empty; }, kMoveDown, 0, 1},
        FloatingCase{"top_read_fails_goes_on", "DIV", [](FakeElement& e) { e.top = IV::ReadFailed; }, nullptr, 1, 1},
        FloatingCase{"z_read_fails", "DIV", [](FakeElement& e) { e.zIndex = IV::ReadFailed; }, nullptr, 0, 0},
        FloatingCase{"moved_left_only", "DIV", [](FakeElement& e) { e.zIndex = IV::Empty; },
                     [](FakeElement& e) { e.at = qv::page::Offsets{11, 10}; }, 0, 1},
        FloatingCase{"no_id", "DIV", [](FakeElement& e) { e.idValue.reset(); }, kMoveDown, 0, 0},
        FloatingCase{"display_none", "DIV", [](FakeElement& e) { e.display = "NONE"; }, kMoveDown, 0, 0},
        FloatingCase{"display_unreadable", "DIV", [](FakeElement& e) { e.display.reset(); }, kMoveDown, 0, 0},
        FloatingCase{"static_recorded_never_hidden", "DIV", [](FakeElement& e) { e.position = "static"; },
                     kMoveDown, 0, 0},
        FloatingCase{"offsets_unreadable_never_recorded", "DIV", [](FakeElement& e) {
                       e.zIndex = IV::Other;
                       e.at.reset();
                     }, kMoveDown, 0, 0},
        // Without an inline style nothing can be hidden: not counted, on no sweep.
        FloatingCase{"no_style_to_hide", "DIV", [](FakeElement& e) { e.hasStyle = false; }, nullptr, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SweepFloating, NoticeFollowsTheSwitchAndTheFocusedHelperObject) {
  struct Case { int showMsg; bool pubFound; bool statusWindow; size_t texts; };
  for (const Case c : {Case{1, true, true, 1}, Case{0, true, true, 0}, Case{1, false, true, 0}, Case{1, true, false, 0}}) {
    World w;
    w.settings.showFloatingStatusMsg = c.showMsg;
    w.pubFound = c.pubFound;
    w.pub.hasStatusWindow = c.statusWindow;
    FakeElement& e = floating(w.page, "DIV", "ad");
    w.sweep();
    EXPECT_EQ(e.hidden, 1) << "hidden whatever the notice does";
    EXPECT_EQ(w.settings.floatingBlockedSession, 1);
    ASSERT_EQ(w.pub.statusTexts.size(), c.texts);
    if (c.texts) {
      EXPECT_EQ(w.pub.statusTexts[0], "Quillvane blocked floating Ads in this page!");
    }
  }
}

TEST(SweepFloating, TwoPagesSharingAnIdShareOneMemoSlot) {
  World w;
  FakeElement& first = floating(w.page, "DIV", "banner");
  first.zIndex = IV::Other;
  w.sweep();  // recorded at (10,10)
  FakeDocument other(&w.calls);
  FakeElement& second = floating(other, "DIV", "banner");
  second.zIndex = IV::Other;
  second.at = qv::page::Offsets{200, 10};
  auto port = other.port();
  SweepDocument(w.services, *port, content::SweepFloating);
  EXPECT_EQ(second.hidden, 1) << "compared with the first page's position";
  EXPECT_EQ(w.memory.positions.writeIndex(), 1);
}

TEST(SweepFloating, MemoWrapsAfter256AndThenSearchesOnlyTheNewSlots) {
  content::PositionMemo memo;
  for (int i = 0; i < 256; ++i) memo.record("e" + std::to_string(i), {i, i});
  EXPECT_EQ(memo.writeIndex(), 0);
  EXPECT_EQ(memo.find("e200"), std::nullopt) << "slot 200 lies beyond writeIndex after the wrap";
  memo.record("e200", {1, 2});
  EXPECT_EQ(memo.writeIndex(), 1);
  EXPECT_EQ(memo.find("e200"), (qv::page::Offsets{1, 2}));
  EXPECT_EQ(memo.find("E200"), std::nullopt) << "ids compare case-sensitively";
  memo.record("e200", {5, 5});
  EXPECT_EQ(memo.find("e200"), (qv::page::Offsets{1, 2})) << "the first equal slot wins";
}

// The memo's index answers exactly as the plain search of slots
// 0..writeIndex-1 in slot order does, through many wraps and overwrites.
TEST(SweepFloating, MemoIndexAnswersAsTheLinearSearch) {
  content::PositionMemo memo;
  struct Slot { std::string id; qv::page::Offsets at; };
  std::vector<Slot> model(256);
  int writeIndex = 0;
  std::uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  for (int op = 0; op < 20000; ++op) {
    const std::string id = "id" + std::to_string(next() % 400);
    std::optional<qv::page::Offsets> expected;
    for (int k = 0; k < writeIndex && !expected; ++k)
      if (model[k].id == id) expected = model[k].at;
    ASSERT_EQ(memo.find(id), expected) << "op " << op;
    if (next() % 2) {
      const qv::page::Offsets at{static_cast<int>(next()), op};
      memo.record(id, at);
      model[writeIndex] = {id, at};
      writeIndex = (writeIndex + 1) % 256;
    }
  }
}

TEST(SweepFloating, FloatingAdTwoFramesDeepIsFound) {
  World w;
  auto inner = w.page.addFrame()->addFrame();
  w.page.frames.push_back(nullptr);  // an embedded object that is not a browser
  FakeElement& ad = floating(*inner, "SPAN", "deep");
  w.sweep();
  EXPECT_EQ(ad.hidden, 1);
  EXPECT_EQ(w.settings.floatingBlockedSession, 1);
}

TEST(SweepFloating, FramesNestedWithoutEndStopAtTheDepthBound) {
  World w;
  FakeDocument* d = &w.page;
  std::vector<FakeElement*> ads;
  for (int depth = 0; depth <= content::kMaxFrameDepth + 5; ++depth) {
    ads.push_back(&floating(*d, "DIV", "f" + std::to_string(depth)));
    d = d->addFrame().get();
  }
  w.sweep();
  EXPECT_EQ(ads[content::kMaxFrameDepth]->hidden, 1);
  EXPECT_EQ(ads[content::kMaxFrameDepth + 1]->hidden, 0);
}

TEST(SweepFloating, FlagsZeroTouchesNothing) {
  World w;
  floating(w.page, "DIV", "ad");
  w.page.add("OBJECT").classIdValue = "clsid:d27cdb6e-ae6d-11cf-96b8-444553540000";
  w.page.addFrame();
  for (int flags : {0, 8, 16}) w.sweep(flags);
  EXPECT_EQ(w.calls.byTag + w.calls.frames + w.calls.elementReads(), 0u);
}

TEST(SweepFloating, FailuresEndOnlyTheirOwnElementOrPass) {
  World w;
  floating(w.page, "DIV", "a");
  FakeElement& b = floating(w.page, "DIV", "b");
  w.page.failingItems["DIV"] = {0};
  w.page.failingLengths.insert("SPAN");
  floating(w.page, "SPAN", "c");
  FakeElement& framed = floating(*w.page.addFrame(), "DIV", "d");
  w.sweep();
  EXPECT_EQ(b.hidden, 1);
  EXPECT_EQ(framed.hidden, 1);
  EXPECT_EQ(w.settings.floatingBlockedSession, 2);
}

// ---------------------------------------------------------------------------
// Flash objects and embeds.

struct FlashCase {
  const char* tag;
  const char* value;
  int hidden;
};

class FlashRule : public ::testing::TestWithParam<FlashCase> {};

TEST_P(FlashRule, HidesFlashObjectsAndEmbedsOnly) {
  const FlashCase& c = GetParam();
  World w;
  FakeElement& e = w.page.add(c.tag);
  (std::string(c.tag) == "OBJECT" ? e.classIdValue : e.embedSrc) = c.value;
  e.hasStyle = true;
  w.sweep(content::SweepFlash);
  EXPECT_EQ(e.hidden, c.hidden) << c.value;
  w.sweep(content::SweepFlash);
  EXPECT_EQ(e.hidden, 2 * c.hidden) << "a later sweep hides it again without harm";
  EXPECT_EQ(w.settings.floatingBlockedSession, 0) << "Flash is not counted";
  EXPECT_TRUE(w.pub.statusTexts.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sweep, FlashRule,
    ::testing::Values(FlashCase{"OBJECT", "CLSID:D27CDB6E-AE6D-11CF-96B8-444553540000", 1},
                      FlashCase{"OBJECT", "clsid:d27cdb6e-ae6d-11cf-96b8-444553540000", 1},
                      FlashCase{"OBJECT", "clsid: d27cdb6e-ae6d-11cf-96b8-444553540000", 0},
                      FlashCase{"OBJECT", "d27cdb6e-ae6d-11cf-96b8-444553540000", 0},
                      FlashCase{"OBJECT", "clsid:166B1BCA-3F9C-11CF-8075-444553540000", 0},
                      FlashCase{"EMBED", "http://ads/banner.swf", 1},
                      FlashCase{"EMBED", "http://ads/banner.SWF", 1},
                      FlashCase{"EMBED", "http://ads/banner.swf?clickTag=x", 0},
                      FlashCase{"EMBED", "http://ads/banner", 0},
                      FlashCase{"EMBED", "swf", 0},
                      FlashCase{"EMBED", "http://ads/movie.swf.mov", 0}));

TEST(SweepFlash, AFailedCollectionEndsOnlyItsPass) {
  World w;
  w.page.failingTags.insert("OBJECT");
  FakeElement& embed = w.page.add("EMBED");
  embed.embedSrc = "a.swf";
  embed.hasStyle = true;
  FakeElement& framed = w.page.addFrame()->add("OBJECT");
  framed.classIdValue = "CLSID:D27CDB6E-AE6D-11CF-96B8-444553540000";
  framed.hasStyle = true;
  w.sweep(content::SweepFlash);
  EXPECT_EQ(embed.hidden, 1);
  EXPECT_EQ(framed.hidden, 1);
}

// ---------------------------------------------------------------------------
// Animated images.

struct ImageCase {
  const char* name;
  int w, h;
  std::vector<std::uint32_t> frames;  // per dimension
  bool cached;
  int blockUncached;
  bool downloadWorks;
  std::uint32_t entryBytes;  // what the cache entry needs
  int hidden;
};

class ImageRule : public ::testing::TestWithParam<ImageCase> {};

TEST_P(ImageRule, HidesLargeAnimatedImages) {
  const ImageCase& c = GetParam();
  World w;
  w.settings.blockUncachedImages = c.blockUncached;
  const std::string url = "http://ads/x.gif", file = "C:\\cache\\x.gif";
  if (c.cached) w.cache.entries[url] = {file, c.entryBytes};
  if (c.downloadWorks) w.cache.downloads[url] = file;
  w.cache.stamps[file] = {100, 7};
  w.frames.files[file] = c.frames;
  FakeElement& img = w.page.add("IMG");
  img.imgSrc = url;
  img.size = qv::page::ImageSize{c.w, c.h};
  img.hasStyle = true;
  w.sweep(content::SweepAnimated);
  EXPECT_EQ(img.hidden, c.hidden);
  EXPECT_EQ(w.settings.floatingBlockedSession, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sweep, ImageRule,
    ::testing::Values(ImageCase{"animated_16x16", 16, 16, {3}, true, 0, false, 80, 1},
                      ImageCase{"animated_15x100", 15, 100, {3}, true, 0, false, 80, 0},
                      ImageCase{"animated_100x15", 100, 15, {3}, true, 0, false, 80, 0},
                      ImageCase{"single_frame", 400, 400, {1}, true, 0, false, 80, 0},
                      ImageCase{"unreadable_file", 400, 400, {}, true, 0, false, 80, 0},
                      ImageCase{"second_dimension_animated", 400, 400, {1, 4}, true, 0, false, 80, 1},
                      ImageCase{"uncached_switch_off", 400, 400, {3}, false, 0, true, 80, 0},
                      ImageCase{"uncached_switch_on", 400, 400, {3}, false, 1, true, 80, 1},
                      ImageCase{"uncached_download_fails", 400, 400, {3}, false, 1, false, 80, 0},
                      ImageCase{"entry_needs_one_retry", 400, 400, {3}, true, 0, false, 600, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SweepImages, TheCacheLookupGrowsItsBufferOnceAndGivesUpOnACacheThatNeverStops) {
  qv::fake::FakeUrlCache cache;
  cache.entries["u"] = {"p", 600};
  EXPECT_EQ(content::LookUpCachedFile(cache, "u"), "p");
  EXPECT_EQ(cache.queriedBytes, (std::vector<std::uint32_t>{80, 600}));

  cache.queriedBytes.clear();
  cache.alwaysNeedsMore = true;
  EXPECT_EQ(content::LookUpCachedFile(cache, "u"), std::nullopt);
  EXPECT_EQ(cache.queriedBytes.size(), static_cast<size_t>(1 + content::kCacheRetries));

  qv::fake::FakeUrlCache huge;
  huge.entries["u"] = {"p", content::kCacheBufferLimit + 1};
  EXPECT_EQ(content::LookUpCachedFile(huge, "u"), std::nullopt);
  huge.entries["v"] = {"", 80};  // an entry without a local file
  EXPECT_EQ(content::LookUpCachedFile(huge, "v"), std::nullopt);
}

TEST(SweepImages, TheShortcutExaminesImagesWhateverTheSwitches) {
  // The shortcut's flags (3) are fixed by the caller; the sweep itself
  // never reads blockImages.
  World w;
  w.settings.blockImages = 0;
  w.settings.blockFlash = 0;
  w.cache.entries["a"] = {"fa", 80};
  w.frames.files["fa"] = {2};
  FakeElement& img = w.page.add("IMG");
  img.imgSrc = "a";
  img.size = qv::page::ImageSize{20, 20};
  img.hasStyle = true;
  w.sweep(content::SweepFlash | content::SweepAnimated);
  EXPECT_EQ(img.hidden, 1);
}

// The memo answers only for the very file a fresh look would decode.
TEST(SweepImages, TheMemoNeverChangesAnAnswer) {
  World w;
  w.cache.stamps["f1"] = {10, 1};
  w.cache.entries["u"] = {"f1", 80};
  w.frames.files["f1"] = {1};
  auto animated = [&] { return content::IsAnimatedImage(w.services, "u"); };
  struct Step {
    const char* what;
    std::function<void()> change;
    bool answer;
    std::uint64_t decodedAfter;
  };
  const Step steps[] = {
      {"first look", [] {}, false, 1},
      {"unchanged: no decode", [] {}, false, 1},
      {"file rewritten in place (new time)", [&] { w.frames.files["f1"] = {5}; w.cache.stamps["f1"] = {10, 2}; }, true, 2},
      {"unchanged again", [] {}, true, 2},
      {"same size and time under another path", [&] {
         w.cache.entries["u"] = {"f2", 80};
         w.cache.stamps["f2"] = {10, 2};
         w.frames.files["f2"] = {1};
       }, false, 3},
      {"evicted from the cache", [&] { w.cache.entries.erase("u"); }, false, 3},
      {"back, stamp unreadable: examined every time", [&] {
         w.cache.entries["u"] = {"f3", 80};
         w.frames.files["f3"] = {2};
       }, true, 4},
      {"still unreadable", [] {}, true, 5},
  };
  for (const Step& s : steps) {
    s.change();
    EXPECT_EQ(animated(), s.answer) << s.what;
    EXPECT_EQ(w.frames.decoded, s.decodedAfter) << s.what;
  }
}

TEST(SweepImages, AFailedDownloadIsRetriedOnlyAfterAWhile) {
  World w;
  w.settings.blockUncachedImages = 1;
  for (std::uint32_t i = 0; i < content::ImageMemo::kRetryDownloadAfter; ++i) {
    w.memory.images.nextSweep();
    EXPECT_FALSE(content::IsAnimatedImage(w.services, "http://gone/x.gif"));
  }
  EXPECT_EQ(w.cache.downloaded.size(), 1u);
  w.memory.images.nextSweep();
  w.cache.downloads["http://gone/x.gif"] = "fx";
  w.frames.files["fx"] = {2};
  EXPECT_TRUE(content::IsAnimatedImage(w.services, "http://gone/x.gif"));
  EXPECT_EQ(w.cache.downloaded.size(), 2u);
}

TEST(SweepImages, TheMemoStaysBounded) {
  content::ImageMemo memo;
  for (std::size_t i = 0; i < content::ImageMemo::kEntries + 10; ++i)
    memo.remember("u" + std::to_string(i), "p", {1, 1}, true);
  EXPECT_EQ(memo.size(), content::ImageMemo::kEntries);
  EXPECT_EQ(memo.find("u0", "p", {1, 1}), std::nullopt) << "oldest dropped first";
  EXPECT_EQ(memo.find("u2057", "p", {1, 1}), true);
}

TEST(SweepOrder, BranchesRunInOrderThenFrames) {
  World w;
  std::vector<std::string> hidden;
  w.services.onHidden = [&](const std::string& why) { hidden.push_back(why); };
  floating(w.page, "SPAN", "s");
  floating(w.page, "DIV", "d");
  FakeElement& img = w.page.add("IMG");
  img.imgSrc = "i";
  img.size = qv::page::ImageSize{20, 20};
  img.hasStyle = true;
  w.cache.entries["i"] = {"fi", 80};
  w.frames.files["fi"] = {2};
  FakeElement& em = w.page.add("EMBED");
  em.embedSrc = "e.swf";
  em.hasStyle = true;
  FakeElement& ob = w.page.add("OBJECT");
  ob.classIdValue = "CLSID:D27CDB6E-AE6D-11CF-96B8-444553540000";
  ob.hasStyle = true;
  floating(*w.page.addFrame(), "DIV", "f");
  w.sweep(7);
  EXPECT_EQ(hidden, (std::vector<std::string>{"Flash OBJECT", "Flash EMBED e.swf", "animated IMG i",
                                              "floating DIV #d", "floating SPAN #s", "floating DIV #f"}));
}

}  // namespace
