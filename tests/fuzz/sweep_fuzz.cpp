// The sweep over an arbitrary page tree: frames to any depth, shared and
// missing ids, any style facts, reads failing anywhere, elements moving
// between sweeps.  Nothing may crash, and a floating element, once hidden,
// is never counted again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "content/sweep.h"
#include "core/shared_settings.h"
#include "fakes/fake_page.h"

namespace {

struct Bytes {
  const std::uint8_t* p;
  std::size_t n;
  std::uint8_t next() {
    if (n == 0) return 0;
    --n;
    return *p++;
  }
};

std::optional<std::string> text(Bytes& in, const char* const* choices, int count) {
  const std::uint8_t b = in.next();
  if (b % (count + 1) == static_cast<unsigned>(count)) return std::nullopt;
  return choices[b % (count + 1)];
}

void fill(Bytes& in, qv::fake::FakeDocument& d, int depth, int& budget) {
  static const char* const kTags[] = {"DIV", "SPAN", "IMG", "OBJECT", "EMBED"};
  static const char* const kIds[] = {"ad", "AD", "x", "", "banner", "a\xC3\xA9"};
  static const char* const kDisplay[] = {"block", "none", "NONE", "inline", ""};
  static const char* const kPosition[] = {"absolute", "ABSOLUTE", "static", "relative", ""};
  static const char* const kClass[] = {"clsid:d27cdb6e-ae6d-11cf-96b8-444553540000", "CLSID:", "", "clsid:x"};
  static const char* const kSrc[] = {"a.swf", "b.SWF", "c.swf?q", "swf", ".", "", "img0", "img1", "img2"};
  const int elements = in.next() % 12;
  for (int i = 0; i < elements && budget > 0; ++i, --budget) {
    qv::fake::FakeElement& e = d.add(kTags[in.next() % 5]);
    e.idValue = text(in, kIds, 6);
    e.display = text(in, kDisplay, 5);
    e.position = text(in, kPosition, 5);
    e.top = static_cast<qv::page::InlineValue>(in.next() % 5);
    e.zIndex = static_cast<qv::page::InlineValue>(in.next() % 5);
    if (in.next() % 4) e.at = qv::page::Offsets{in.next() % 3, in.next() % 3};
    e.classIdValue = text(in, kClass, 4);
    e.embedSrc = text(in, kSrc, 9);
    e.imgSrc = text(in, kSrc, 9);
    if (in.next() % 4) e.size = qv::page::ImageSize{static_cast<std::int8_t>(in.next()), in.next() % 40};
    e.hasStyle = in.next() % 4 != 0;
  }
  for (const char* tag : kTags) {
    const std::uint8_t f = in.next();
    if (f & 1) d.failingTags.insert(tag);
    if (f & 2) d.failingLengths.insert(tag);
    if (f & 4) d.failingItems[tag].insert(f >> 4);
  }
  const int frames = depth < 40 ? in.next() % 4 : 0;
  for (int i = 0; i < frames && budget > 0; ++i, --budget) {
    if (in.next() % 5 == 0) {
      d.frames.push_back(nullptr);
      continue;
    }
    fill(in, *d.addFrame(), depth + 1, budget);
  }
}

void forEach(qv::fake::FakeDocument& d, const auto& f) {
  for (auto& [tag, list] : d.tags)
    for (auto& e : list) f(tag, e);
  for (auto& frame : d.frames)
    if (frame) forEach(*frame, f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes in{data, size};
  qv::SharedSettings settings;
  settings.blockUncachedImages = in.next() & 1;
  settings.showFloatingStatusMsg = in.next() & 1;
  qv::fake::FakeUrlCache cache;
  cache.recordQueries = false;
  cache.alwaysNeedsMore = in.next() % 7 == 0;
  for (int i = 0; i < 3; ++i) {
    const std::string url = "img" + std::to_string(i), path = "p" + std::to_string(i);
    if (in.next() & 1) cache.entries[url] = {path, static_cast<std::uint32_t>(in.next()) * 8};
    if (in.next() & 1) cache.downloads[url] = path;
    if (in.next() & 1) cache.stamps[path] = {in.next(), in.next()};
  }
  qv::fake::FakeFrameCounter counter;
  for (int i = 0; i < 3; ++i) counter.files["p" + std::to_string(i)] = {in.next() % 3u, in.next() % 3u};
  qv::content::SweepMemory memory;
  qv::content::SweepServices s{settings, cache, counter, memory, [] { return nullptr; }, {}};

  qv::fake::FakeDocument top;
  int budget = 400;
  fill(in, top, 0, budget);
  const int flags = in.next();
  for (int sweep = 0; sweep < 3; ++sweep) {
    auto port = top.port();
    qv::content::SweepDocument(s, *port, flags);
    // A script moves some elements between sweeps.
    forEach(top, [&](const std::string&, qv::fake::FakeElement& e) {
      if (e.at && (in.next() & 1)) e.at->top += 1;
    });
  }
  int floatingHidden = 0;
  forEach(top, [&](const std::string& tag, qv::fake::FakeElement& e) {
    if (tag == "DIV" || tag == "SPAN") {
      if (e.hidden > 1) std::abort();  // hidden and counted twice
      floatingHidden += e.hidden;
    }
  });
  if (settings.floatingBlockedSession != floatingHidden) std::abort();
  return 0;
}
