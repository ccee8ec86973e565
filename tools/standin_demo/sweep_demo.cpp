// Demo step: the content sweep at work in a stand-in browser window.  The
// page holds a pinned floating ad, one a script moves, a Flash object and a
// Flash embed, an animated and a still GIF (both put into the URL cache of
// the prefix) and a frame nested two deep with an ad of its own.  The helper
// object's one-second timer sweeps it; after each sweep the demo prints what
// was hidden and why, the session counter and the status text.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/shared_settings.h"
#include "image_files.h"
#include "page_doubles.h"
#include "quillvane_i.h"
#include "standin_browser.h"

namespace {

using pagedbl::ComPtr;
using pagedbl::Element;

struct Shown {
  ComPtr<Element> element;
  std::string what;  // what it is and why it goes (or stays)
  bool reported = false;
};

std::string narrow(const std::wstring& w) {
  std::string out;
  for (wchar_t c : w) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

ComPtr<Element> floating(pagedbl::Document& d, const wchar_t* tag, const wchar_t* id, const wchar_t* top, long z,
                         long x, long y) {
  auto e = d.add(tag);
  e->id = id;
  e->current->display = L"block";
  e->current->position = L"absolute";
  if (top) e->style->top = top;
  if (z) e->style->zIndex = z;
  e->left = x;
  e->top = y;
  return e;
}

void report(std::vector<Shown>& items, int sweep) {
  int n = 0;
  for (auto& i : items) {
    if (i.reported || !i.element->hidden()) continue;
    i.reported = true;
    std::printf("    sweep %d hid %s\n", sweep, i.what.c_str());
    ++n;
  }
  if (n == 0) std::printf("    sweep %d hid nothing new\n", sweep);
}

}  // namespace

void sweepDemo(qv::SharedSettings& s) {
  std::printf("\nContent sweep: floating, Flash and animated ads on a page with frames\n");
  using namespace imagefiles;
  const std::wstring anim = L"http://ads.example/demo/banner-anim.gif", still = L"http://ads.example/demo/logo.gif";
  const bool cached = !commitToCache(anim, gif(6), L"gif").empty() && !commitToCache(still, gif(1), L"gif").empty();
  std::printf("  two GIFs put into the URL cache (6 frames and 1 frame): %s\n", cached ? "yes" : "FAILED");

  const int savedFloating = s.floatingEnable, savedFlash = s.blockFlash, savedImages = s.blockImages,
            savedMsg = s.showFloatingStatusMsg;
  s.floatingEnable = 1;
  s.blockFlash = 1;
  s.blockImages = 1;
  s.showFloatingStatusMsg = 1;
  const int counter0 = s.floatingBlockedSession;

  ComPtr<IObjectWithSite> pub;
  CoCreateInstance(CLSID_CPub, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite,
                   reinterpret_cast<void**>(pub.GetAddressOf()));
  auto browser = standin::make<standin::Browser>();
  if (!pub || FAILED(pub->SetSite(static_cast<IWebBrowser2*>(browser.Get())))) {
    std::printf("  the helper object could not attach\n");
    return;
  }
  browser->load(L"http://news.example/front-page");

  auto page = pagedbl::make<pagedbl::Document>();
  std::vector<Shown> items;
  items.push_back({floating(*page.Get(), L"DIV", L"ad-pinned", L"10px", 1, 0, 0),
                   "DIV #ad-pinned: floating ad, absolute with an inline top and z-index 1"});
  auto mover = floating(*page.Get(), L"SPAN", L"ad-follows-scroll", nullptr, 0, 600, 100);
  items.push_back({mover, "SPAN #ad-follows-scroll: floating ad, moved by a script since it was first seen"});
  items.push_back({floating(*page.Get(), L"DIV", L"menu", L"0px", 2, 0, 0),
                   "DIV #menu: absolute with z-index 2 that never moves (stays)"});
  auto flash = page->add(L"OBJECT");
  flash->classid = L"clsid:d27cdb6e-ae6d-11cf-96b8-444553540000";
  items.push_back({flash, "OBJECT: the Flash player's class id"});
  auto video = page->add(L"OBJECT");
  video->classid = L"CLSID:6BF52A52-394A-11D3-B153-00C04F79FAA6";
  items.push_back({video, "OBJECT: another player's class id (stays)"});
  auto embed = page->add(L"EMBED");
  embed->src = L"http://ads.example/demo/skyscraper.SWF";
  items.push_back({embed, "EMBED skyscraper.SWF: a Flash movie"});
  auto animImg = page->add(L"IMG");
  animImg->src = anim;
  animImg->width = 468;
  animImg->height = 60;
  items.push_back({animImg, "IMG banner-anim.gif 468x60: 6 frames"});
  auto stillImg = page->add(L"IMG");
  stillImg->src = still;
  stillImg->width = 120;
  stillImg->height = 60;
  items.push_back({stillImg, "IMG logo.gif 120x60: 1 frame (stays)"});
  auto deep = page->addFrame()->addFrame();
  items.push_back({floating(*deep.Get(), L"DIV", L"ad-in-frame", L"5px", 1, 0, 0),
                   "DIV #ad-in-frame in a frame nested two deep: floating ad"});
  browser->document->content = static_cast<IHTMLDocument2*>(page.Get());
  std::printf("  page %s: 2 floating ads, a fixed menu, 2 OBJECTs, an EMBED, 2 IMGs, a frame in a frame\n",
              narrow(browser->location).c_str());

  for (int sweep = 1; sweep <= 2; ++sweep) {
    const int before = s.floatingBlockedSession;
    // Timer 1 ticks once a second; wait for its next sweep.
    const auto setters = [&] {
      size_t n = 0;
      for (auto& i : items) n += i.element->style->set.size();
      return n;
    };
    const size_t was = setters();
    standin::pumpUntil([&] { return setters() > was; }, 2500);
    standin::pump(100);
    report(items, sweep);
    std::printf("    floating ads blocked this session: %d (+%d); status bar: \"%s\"\n", s.floatingBlockedSession,
                s.floatingBlockedSession - before, narrow(browser->document->window->defaultStatus).c_str());
    if (sweep == 1) {
      mover->top += 40;
      std::printf("  a script moves SPAN #ad-follows-scroll 40 pixels down (it follows the scrolling)\n");
    }
  }
  std::printf("  in all: %d floating ad(s) counted\n", s.floatingBlockedSession - counter0);

  browser->document->content.Reset();
  browser->quit();
  pub.Reset();
  browser->document.Reset();
  browser.Reset();
  s.floatingEnable = savedFloating;
  s.blockFlash = savedFlash;
  s.blockImages = savedImages;
  s.showFloatingStatusMsg = savedMsg;
}
