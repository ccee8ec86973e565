// The content sweep's Windows side: GDI+ counting the frames of real image
// files, the real URL cache of the prefix, and one scripted page swept
// through the MSHTML adapter (every branch, frames included), leaving the
// page's reference counts as they were.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <fstream>
#include <string>
#include <vector>

#include "content/sweep.h"
#include "content/win/page_mshtml.h"
#include "core/pub_host.h"
#include "core/shared_settings.h"
#include "image_files.h"
#include "page_doubles.h"
#include "pub_test_support.h"

extern "C" {
struct QvTestGdiplusInput {
  UINT32 GdiplusVersion;
  void* DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};
int WINAPI GdiplusStartup(ULONG_PTR* token, const QvTestGdiplusInput* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
}

namespace {

using pagedbl::ComPtr;
using namespace imagefiles;

class Sweep : public ::testing::Test {
 protected:
  void SetUp() override {
    QvTestGdiplusInput input{1, nullptr, FALSE, FALSE};
    ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), 0);
  }
  void TearDown() override { GdiplusShutdown(token_); }

 private:
  ULONG_PTR token_ = 0;
};

TEST_F(Sweep, GdiplusCountsTheFramesOfRealFiles) {
  struct Case {
    const char* name;
    Bytes bytes;
    std::vector<std::uint32_t> frames;
  };
  const Case cases[] = {
      {"qv_sweep_anim.gif", gif(3), {3}},
      {"qv_sweep_still.gif", gif(1), {1}},
      {"qv_sweep_pages.tif", tiff(2), {2}},
      {"qv_sweep_junk.gif", Bytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}, {}},
  };
  qv::content::win::GdiplusFrameCounter counter;
  for (const Case& c : cases) EXPECT_EQ(counter.frameCounts(tempFile(c.name, c.bytes)), c.frames) << c.name;
  EXPECT_TRUE(counter.frameCounts("C:\\no\\such\\file.gif").empty());
}

// Counts what the cache is asked, around the real one.
class RecordingCache final : public qv::page::UrlCache {
 public:
  qv::content::win::WinInetUrlCache real;
  std::vector<std::uint32_t> sizes;
  qv::page::CacheAnswer query(const std::string& a, std::uint32_t bytes) override {
    sizes.push_back(bytes);
    return real.query(a, bytes);
  }
  std::optional<std::string> download(const std::string& a) override { return real.download(a); }
  std::optional<qv::page::FileStamp> stamp(const std::string& p) override { return real.stamp(p); }
};

TEST_F(Sweep, AFileCommittedToTheUrlCacheIsFoundByTheLookup) {
  const std::string path = commitToCache(L"http://cache.example/qv/banner.gif", gif(2), L"gif");
  ASSERT_FALSE(path.empty()) << "CreateUrlCacheEntryW/CommitUrlCacheEntryW";
  RecordingCache cache;
  const auto found = qv::content::LookUpCachedFile(cache, "http://cache.example/qv/banner.gif");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(_stricmp(found->c_str(), path.c_str()), 0) << *found << " vs " << path;
  ASSERT_GE(cache.sizes.size(), 2u) << "an entry never fits in 80 bytes";
  EXPECT_EQ(cache.sizes[0], 80u);
  EXPECT_GT(cache.sizes[1], 80u);
  const auto stamp = cache.stamp(*found);
  ASSERT_TRUE(stamp.has_value());
  EXPECT_EQ(stamp->size, gif(2).size());
  EXPECT_EQ(qv::content::LookUpCachedFile(cache, "http://cache.example/qv/never-seen.gif"), std::nullopt);
}

class StatusHost final : public qv::popup::PubHost {
 public:
  std::vector<std::string> texts;
  std::optional<std::string> locationUrl() override { return std::nullopt; }
  std::optional<bool> whiteListFind(std::string_view) override { return std::nullopt; }
  bool setStatusText(const std::string& t) override {
    texts.push_back(t);
    return true;
  }
  void sweepDocument(int) override {}
  void ensureTray() override {}
  void showOptions() override {}
};

TEST_F(Sweep, AScriptedPageLosesEachKindOfAdThroughTheAdapter) {
  ASSERT_FALSE(commitToCache(L"http://ads.example/qv-e2e/anim.gif", gif(4), L"gif").empty());
  ASSERT_FALSE(commitToCache(L"http://ads.example/qv-e2e/still.gif", gif(1), L"gif").empty());
  using pagedbl::Element;
  auto top = pagedbl::make<pagedbl::Document>();
  auto absolute = [](ComPtr<Element> e, const wchar_t* id, long x, long y) {
    if (id) e->id = id;
    e->current->display = L"block";
    e->current->position = L"absolute";
    e->left = x;
    e->top = y;
    return e;
  };
  auto pinned = absolute(top->add(L"DIV"), L"e2e-pinned", 0, 0);
  pinned->style->top = L"10px";
  pinned->style->zIndex = 1;
  auto mover = absolute(top->add(L"SPAN"), L"e2e-mover", 5, 5);
  auto stillFloat = absolute(top->add(L"DIV"), L"e2e-still", 9, 9);
  stillFloat->style->top = L"3px";
  stillFloat->style->zIndex = 2;
  auto noId = absolute(top->add(L"DIV"), nullptr, 0, 0);
  noId->style->top = L"1px";
  noId->style->zIndex = 1;
  auto flash = top->add(L"OBJECT");
  flash->classid = L"clsid:d27cdb6e-ae6d-11cf-96b8-444553540000";
  auto video = top->add(L"OBJECT");
  video->classid = L"CLSID:6BF52A52-394A-11D3-B153-00C04F79FAA6";
  auto embed = top->add(L"EMBED");
  embed->src = L"http://ads.example/b.SWF";
  auto embedQuery = top->add(L"EMBED");
  embedQuery->src = L"http://ads.example/b.swf?x=1";
  auto anim = top->add(L"IMG");
  anim->src = L"http://ads.example/qv-e2e/anim.gif";
  anim->width = anim->height = 16;
  auto smallAnim = top->add(L"IMG");
  smallAnim->src = L"http://ads.example/qv-e2e/anim.gif";
  smallAnim->width = 15;
  smallAnim->height = 100;
  auto still = top->add(L"IMG");
  still->src = L"http://ads.example/qv-e2e/still.gif";
  still->width = 468;
  still->height = 60;
  top->otherObjects.push_back(static_cast<IHTMLCurrentStyle*>(pagedbl::make<pagedbl::CurrentStyle>().Get()));
  auto deep = top->addFrame()->addFrame();
  auto deepAd = absolute(deep->add(L"DIV"), L"e2e-deep", 1, 1);
  deepAd->style->top = L"0px";
  deepAd->style->zIndex = 1;
  auto deepAnim = deep->add(L"IMG");
  deepAnim->src = L"http://ads.example/qv-e2e/anim.gif";
  deepAnim->width = deepAnim->height = 120;

  std::vector<std::pair<IUnknown*, LONG>> refsBefore;
  for (auto& e : top->elements) refsBefore.emplace_back(static_cast<IHTMLElement*>(e.Get()), e->refs());
  for (auto& e : deep->elements) refsBefore.emplace_back(static_cast<IHTMLElement*>(e.Get()), e->refs());
  const LONG topRefs = top->refs(), deepRefs = deep->refs();
  const long liveBefore = pagedbl::liveDoubles();

  qv::SharedSettings settings;
  StatusHost host;
  std::vector<std::string> hidden;
  auto sweep = [&] {
    qv::content::win::sweepHtmlDocument(static_cast<IHTMLDocument2*>(top.Get()), 7, settings,
                                        [&]() -> qv::popup::PubHost* { return &host; },
                                        [&](const std::string& why) { hidden.push_back(why); });
  };
  sweep();
  EXPECT_EQ(hidden, (std::vector<std::string>{"Flash OBJECT", "Flash EMBED http://ads.example/b.SWF",
                                              "animated IMG http://ads.example/qv-e2e/anim.gif",
                                              "floating DIV #e2e-pinned",
                                              "animated IMG http://ads.example/qv-e2e/anim.gif",
                                              "floating DIV #e2e-deep"}));
  mover->top = 40;  // a script keeps it in view
  hidden.clear();
  sweep();
  EXPECT_EQ(hidden, (std::vector<std::string>{"Flash OBJECT", "Flash EMBED http://ads.example/b.SWF",
                                              "animated IMG http://ads.example/qv-e2e/anim.gif",
                                              "floating SPAN #e2e-mover",
                                              "animated IMG http://ads.example/qv-e2e/anim.gif"}))
      << "hidden Flash and images are hidden again; hidden floating ads are not counted again";

  for (auto* e : {pinned.Get(), mover.Get(), flash.Get(), embed.Get(), anim.Get(), deepAd.Get(), deepAnim.Get()})
    EXPECT_TRUE(e->hidden()) << "four setters in order";
  for (auto* e : {stillFloat.Get(), noId.Get(), video.Get(), embedQuery.Get(), smallAnim.Get(), still.Get()})
    EXPECT_TRUE(e->style->set.empty());
  EXPECT_EQ(settings.floatingBlockedSession, 3);
  EXPECT_EQ(host.texts, std::vector<std::string>(3, "Quillvane blocked floating Ads in this page!"));

  for (auto& [unk, refs] : refsBefore) {
    unk->AddRef();
    EXPECT_EQ(static_cast<LONG>(unk->Release()), refs) << "element reference left behind";
  }
  EXPECT_EQ(top->refs(), topRefs);
  EXPECT_EQ(deep->refs(), deepRefs);
  EXPECT_EQ(pagedbl::liveDoubles(), liveBefore) << "collections and enumerators released";
}

// The z-index as the browser may shape it: only a 32-bit payload of 1
// pins the element.
TEST_F(Sweep, OnlyAZIndexPayloadOfOnePinsAFloatingAd) {
  struct Case {
    const char* name;
    VARTYPE type;
    long long payload;
    bool hidden;
  };
  const Case cases[] = {{"I4 1", VT_I4, 1, true},     {"I2 1", VT_I2, 1, true},
                        {"UI1 1", VT_UI1, 1, true},   {"I4 2", VT_I4, 2, false},
                        {"I4 0", VT_I4, 0, false},    {"empty", VT_EMPTY, 0, false},
                        {"bool true", VT_BOOL, -1, false}, {"R8 1.0", VT_R8, 1, false}};
  int n = 0;
  for (const Case& c : cases) {
    auto page = pagedbl::make<pagedbl::Document>();
    auto e = page->add(L"DIV");
    e->id = L"z-case-" + std::to_wstring(n++);
    e->current->display = L"block";
    e->current->position = L"absolute";
    e->style->top = L"4px";
    VARIANT z;
    VariantInit(&z);
    V_VT(&z) = c.type;
    if (c.type == VT_R8) V_R8(&z) = static_cast<double>(c.payload);
    else if (c.type == VT_BOOL) V_BOOL(&z) = VARIANT_TRUE;
    else if (c.type == VT_I2) V_I2(&z) = static_cast<SHORT>(c.payload);
    else if (c.type == VT_UI1) V_UI1(&z) = static_cast<BYTE>(c.payload);
    else V_I4(&z) = static_cast<LONG>(c.payload);
    e->style->zIndexAs = z;
    qv::SharedSettings settings;
    qv::content::win::sweepHtmlDocument(static_cast<IHTMLDocument2*>(page.Get()), qv::content::SweepFloating,
                                        settings, [] { return nullptr; });
    EXPECT_EQ(e->hidden(), c.hidden) << c.name;
  }
}

// The helper object's one-second timer sweeps the browser's page through
// the module's own seam: a Flash object on the page and a floating ad two
// frames deep are hidden, the shared counter rises, the status text shows;
// a secure page is exempt and keeps its Flash.
TEST(SweepThroughTheHelperObject, TimerOneSweepsThePageUnlessItIsExempt) {
  qv::SharedSettings* s = qvtest::sharedRecord();
  ASSERT_NE(s, nullptr);
  auto browser = pagedbl::make<standin::Browser>();
  ComPtr<IObjectWithSite> pub = standin::createPub();
  ASSERT_TRUE(pub);
  ASSERT_EQ(pub->SetSite(static_cast<IWebBrowser2*>(browser.Get())), S_OK);
  // Set after the helper object exists: the first one of the session loads
  // the record from the settings key, over anything set before.
  const qv::SharedSettings saved = *s;
  s->floatingEnable = 1;
  s->blockFlash = 1;
  s->blockImages = 0;
  s->showFloatingStatusMsg = 1;

  auto makePage = [](const wchar_t* adId, ComPtr<pagedbl::Element>* flash, ComPtr<pagedbl::Element>* ad) {
    auto page = pagedbl::make<pagedbl::Document>();
    *flash = page->add(L"OBJECT");
    (*flash)->classid = L"CLSID:D27CDB6E-AE6D-11CF-96B8-444553540000";
    *ad = page->addFrame()->addFrame()->add(L"DIV");
    (*ad)->id = adId;
    (*ad)->current->display = L"block";
    (*ad)->current->position = L"absolute";
    (*ad)->style->top = L"0px";
    (*ad)->style->zIndex = 1;
    return page;
  };

  ComPtr<pagedbl::Element> flash, ad;
  browser->switchTab(true);  // the browser reports its window in front: only such a page is swept
  ASSERT_TRUE(browser->load(L"https://secure.example/qv-seam/"));
  auto securePage = makePage(L"seam-secure", &flash, &ad);
  browser->document->content = static_cast<IHTMLDocument2*>(securePage.Get());
  const std::vector<HWND> timers = standin::timerWindowsOfThisThread();
  ASSERT_EQ(timers.size(), 1u);
  ASSERT_TRUE(standin::pumpUntilTick(timers[0], 1, 3000)) << "a sweep tick came over the secure page";
  EXPECT_TRUE(flash->style->set.empty()) << "a secure page is exempt from the sweep";
  EXPECT_TRUE(ad->style->set.empty());
  browser->document->content.Reset();

  const std::int32_t before = s->floatingBlockedSession;
  ASSERT_TRUE(browser->load(L"http://ads.example/qv-seam/"));
  auto page = makePage(L"seam-ad", &flash, &ad);
  browser->document->content = static_cast<IHTMLDocument2*>(page.Get());
  EXPECT_TRUE(standin::pumpUntil([&] { return flash->hidden() && ad->hidden(); }, 3000));
  EXPECT_EQ(s->floatingBlockedSession, before + 1);
  EXPECT_EQ(browser->document->window->defaultStatus, L"Quillvane blocked floating Ads in this page!");

  browser->document->content.Reset();
  browser->quit();
  pub.Reset();
  browser->document.Reset();
  browser.Reset();
  s->floatingEnable = saved.floatingEnable;
  s->blockFlash = saved.blockFlash;
  s->blockImages = saved.blockImages;
  s->showFloatingStatusMsg = saved.showFloatingStatusMsg;
}

}  // namespace
