// Cost of the content sweep on a large page against a bare walk that reads
// the same elements through the same port.  The sweep runs once a second on
// the browser's user-interface thread, over every frame of the page, so its
// own work per element must stay close to that one read.
//
// The page: 90,000 elements (30,000 DIV, 30,000 SPAN, 200 IMG, a few OBJECT
// and EMBED, the rest other tags), spread over the top document and three
// frames (one nested); 2,000 of the DIV/SPAN carry ids, 40 are absolutely
// positioned, 4 are floating ads.  All images are cached; 20 are animated.
#include <benchmark/benchmark.h>

#include <string>

#include "content/sweep.h"
#include "core/shared_settings.h"
#include "fakes/fake_page.h"

namespace {

using namespace qv;
using fake::FakeDocument;
using fake::FakeElement;

struct BigPage {
  fake::PageCalls calls;
  FakeDocument top{&calls};
  fake::FakeUrlCache cache;
  fake::FakeFrameCounter frames;
  SharedSettings settings;
  content::SweepMemory memory;
  content::SweepServices services{settings, cache, frames, memory, [] { return nullptr; }, {}};
  std::vector<FakeDocument*> docs;

  BigPage() {
    settings.showFloatingStatusMsg = 0;
    cache.recordQueries = false;
    auto f1 = top.addFrame();
    auto f2 = top.addFrame();
    auto f3 = f1->addFrame();
    docs = {&top, f1.get(), f2.get(), f3.get()};
    int n = 0;
    auto doc = [&](int i) { return docs[static_cast<size_t>(i) % docs.size()]; };
    for (int i = 0; i < 30000; ++i, ++n) addBlock(*doc(i), "DIV", i);
    for (int i = 0; i < 30000; ++i, ++n) addBlock(*doc(i), "SPAN", i);
    for (int i = 0; i < 200; ++i, ++n) {
      FakeElement& img = doc(i)->add("IMG");
      const std::string url = "http://img.example/" + std::to_string(i) + ".gif";
      const std::string path = "C:\\cache\\" + std::to_string(i) + ".gif";
      img.imgSrc = url;
      img.size = page::ImageSize{i % 3 ? 120 : 10, 60};
      img.hasStyle = true;
      cache.entries[url] = {path, 300};
      cache.stamps[path] = {1000u + static_cast<unsigned>(i), 42};
      frames.files[path] = {i % 10 == 0 ? 8u : 1u};
    }
    for (int i = 0; i < 8; ++i, n += 2) {
      FakeElement& o = doc(i)->add("OBJECT");
      o.classIdValue = i % 2 ? "clsid:d27cdb6e-ae6d-11cf-96b8-444553540000" : "clsid:6BF52A52-394A-11D3-B153-00C04F79FAA6";
      o.hasStyle = true;
      FakeElement& e = doc(i)->add("EMBED");
      e.embedSrc = i % 2 ? "http://ads.example/b.swf" : "http://media.example/clip.mov";
      e.hasStyle = true;
    }
    for (; n < 90000; ++n) doc(n)->add(n % 2 ? "P" : "A");
  }

  static void addBlock(FakeDocument& d, const char* tag, int i) {
    FakeElement& e = d.add(tag);
    e.display = "block";
    e.position = "static";
    e.hasStyle = true;
    e.at = page::Offsets{i % 800, i};
    if (i % 30 == 0) e.idValue = std::string(tag) + "-" + std::to_string(i);
    if (i % 1500 == 0) {
      e.position = "absolute";
      e.top = page::InlineValue::Other;
      e.zIndex = i % 15000 == 0 ? page::InlineValue::One : page::InlineValue::Other;
    }
  }

  void sweep() {
    auto port = top.port();
    content::SweepDocument(services, *port, content::SweepFlash | content::SweepAnimated | content::SweepFloating);
  }

  // The same collections, one read per element.
  std::size_t bareWalk() {
    std::size_t seen = 0;
    for (FakeDocument* d : docs) {
      auto port = d->port();
      const char* tags[] = {"OBJECT", "EMBED", "IMG", "DIV", "SPAN"};
      for (int kind = 0; kind < 5; ++kind) {
        auto c = port->elementsByTag(tags[kind]);
        const std::int32_t n = c->length().value_or(0);
        for (std::int32_t i = 0; i < n; ++i) {
          page::Element* e = c->item(i);
          if (!e) continue;
          const auto v = kind == 0 ? e->objectClassId() : kind == 1 ? e->embedSource()
                                                      : kind == 2 ? e->imageSource()
                                                                  : e->id();
          seen += v ? 1 : 0;
        }
      }
    }
    return seen;
  }
};

BigPage& page() {
  static BigPage p;
  return p;
}

void BM_SweepBigPage(benchmark::State& state) {
  BigPage& p = page();
  p.sweep();  // first sight: records positions, examines images
  const auto decodedBefore = p.frames.decoded;
  for (auto _ : state) p.sweep();
  state.counters["files_decoded_steady"] = static_cast<double>(p.frames.decoded - decodedBefore);
  state.counters["floating_hidden"] = p.settings.floatingBlockedSession;
}
BENCHMARK(BM_SweepBigPage)->Unit(benchmark::kMillisecond);

void BM_BareWalkBigPage(benchmark::State& state) {
  BigPage& p = page();
  for (auto _ : state) benchmark::DoNotOptimize(p.bareWalk());
}
BENCHMARK(BM_BareWalkBigPage)->Unit(benchmark::kMillisecond);

// Port calls per element, by kind, after the first sweep (the element reads;
// fetching the item is one more call for every element, sweep or walk).
void BM_SweepCallsPerElement(benchmark::State& state) {
  struct Kind {
    const char* name;
    const char* tag;
    void (*setUp)(FakeElement&);
  };
  const Kind kinds[] = {
      {"div_no_id", "DIV", [](FakeElement& e) { e.display = "block"; }},
      {"div_id_static", "DIV", [](FakeElement& e) { e.idValue = "a"; e.display = "block"; e.position = "static"; e.at = page::Offsets{}; }},
      {"div_id_absolute", "DIV", [](FakeElement& e) { e.idValue = "a"; e.display = "block"; e.position = "absolute"; e.top = page::InlineValue::Empty; e.at = page::Offsets{}; }},
      {"div_id_hidden_before", "DIV", [](FakeElement& e) { e.idValue = "a"; e.display = "none"; }},
      {"object", "OBJECT", [](FakeElement& e) { e.classIdValue = "clsid:x"; }},
      {"embed", "EMBED", [](FakeElement& e) { e.embedSrc = "x.mov"; }},
      {"img_still", "IMG", [](FakeElement& e) { e.imgSrc = "i"; }},
      {"img_animated", "IMG", [](FakeElement& e) { e.imgSrc = "a"; e.size = page::ImageSize{20, 20}; e.hasStyle = true; }},
  };
  for (auto _ : state) {
    for (const Kind& k : kinds) {
      fake::PageCalls calls;
      FakeDocument d(&calls);
      k.setUp(d.add(k.tag));
      fake::FakeUrlCache cache;
      cache.entries["i"] = {"fi", 80};
      cache.entries["a"] = {"fa", 80};
      fake::FakeFrameCounter frames;
      frames.files["fa"] = {2};
      SharedSettings settings;
      content::SweepMemory memory;
      content::SweepServices s{settings, cache, frames, memory, [] { return nullptr; }, {}};
      auto port = d.port();
      content::SweepDocument(s, *port, 7);
      const auto first = calls.elementReads();
      content::SweepDocument(s, *port, 7);
      state.counters[k.name] = static_cast<double>(calls.elementReads() - first);
    }
  }
}
BENCHMARK(BM_SweepCallsPerElement)->Iterations(1);

}  // namespace
