// Demo: one stand-in browser window with the registered helper object at
// work.  The helper object is created the way the browser creates it (by
// class id, from the registry), attached to a real top-level window, and fed
// the browser's events with their real argument shapes.  Prints in plain
// lines which new windows were blocked or allowed and why, the status text,
// the shared counters and the block history.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "quillvane_i.h"
#include "shared_record_locator.h"
#include "standin_browser.h"

namespace qvstub {
void unexpectedCall(const char* method) { std::printf("  (the stand-in was asked for %s)\n", method); }
}  // namespace qvstub

namespace {

using standin::Browser;
using standin::ComPtr;

std::string narrow(const std::wstring& w) {
  std::string out;
  for (wchar_t c : w) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

std::string history() {
  HANDLE m = OpenFileMappingA(FILE_MAP_READ, FALSE, "PubBlockedSiteList");
  if (!m) return "(no history region)";
  const char* v = static_cast<const char*>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 8196));
  std::string text;
  if (v) {
    size_t n = 0;
    while (n < 8196 && v[n]) ++n;
    text.assign(v, n);
    UnmapViewOfFile(v);
  }
  CloseHandle(m);
  return text;
}

void popup(Browser& b, const char* what, const char* why) {
  const bool blocked = b.newWindow2();
  std::printf("  new window on %-32s %-8s %s\n", narrow(b.location).c_str(), blocked ? "BLOCKED" : "allowed",
              why);
  (void)what;
}

// The tabbed layout: the frame in a process of its own, two tabs on two
// threads of this process, each with its own helper object.
void tabbedBrowser(qv::SharedSettings& s) {
  std::printf("\nTabbed browser: the top-level frame in another process, two tabs on two threads\n");
  standin::FrameProcess frame(standin::frameExePath());
  if (!frame.window()) {
    std::printf("  the frame process did not start\n");
    return;
  }
  std::printf("  frame window %p belongs to process %lu (this is %lu)\n", static_cast<void*>(frame.window()),
              static_cast<unsigned long>(frame.processId()), static_cast<unsigned long>(GetCurrentProcessId()));
  std::unique_ptr<standin::TabThread> tabs[2];
  const wchar_t* pages[2] = {L"http://news.example/story", L"http://games.example/play"};
  for (int i = 0; i < 2; ++i) {
    tabs[i] = std::make_unique<standin::TabThread>(frame.window(), standin::createRegisteredPub);
    if (!tabs[i]->ready()) {
      std::printf("  tab %d: the helper object could not attach\n", i + 1);
      return;
    }
  }
  const auto timers = standin::timerWindowsByThread();
  for (int i = 0; i < 2; ++i) {
    tabs[i]->run([&](Browser& b, ComPtr<IObjectWithSite>&) {
      b.load(pages[i]);
      const bool blocked = b.newWindow2();
      auto it = timers.find(GetCurrentThreadId());
      std::printf("  tab %d on thread %lu, its own window %p, %d timer window(s) on its thread\n", i + 1,
                  static_cast<unsigned long>(GetCurrentThreadId()), static_cast<void*>(b.tabWindow),
                  it == timers.end() ? 0 : it->second);
      std::printf("    new window on %-26s %-8s status bar: \"%s\"\n", narrow(b.location).c_str(),
                  blocked ? "BLOCKED" : "allowed", narrow(b.document->window->defaultStatus).c_str());
    });
  }
  // A script-opened web page dialog: one tab's dialog watch closes it.
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"Internet Explorer_TridentDlgFrame";
  RegisterClassW(&wc);
  const int before = s.blockedSession;
  // Opened by the first tab's page, so the first tab's watch judges it.
  HWND dialog = nullptr;
  tabs[0]->run([&](Browser&, ComPtr<IObjectWithSite>&) {
    dialog = CreateWindowExW(0, wc.lpszClassName, L"You won! -- Web Page Dialog", WS_POPUP, 0, 0, 10, 10, nullptr,
                             nullptr, wc.hInstance, nullptr);
  });
  const bool closed = standin::pumpUntil([&] { return !IsWindow(dialog); }, 4000);
  tabs[0]->run([&](Browser&, ComPtr<IObjectWithSite>&) {
    if (IsWindow(dialog)) DestroyWindow(dialog);
  });
  std::printf("  a web page dialog opened by script: %s by a tab's dialog watch (blocked this session +%d)\n",
              closed ? "CLOSED" : "left open", s.blockedSession - before);
  std::printf("  timers aimed at the shared frame: %d\n", frame.foreignTimers());
  for (auto& tab : tabs) tab.reset();
  std::printf("  both tabs quit; browser table: %d window(s)\n", s.browserCount);
}

}  // namespace

// The content sweep's step (sweep_demo.cpp).
void sweepDemo(qv::SharedSettings& s);

int main() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ComPtr<IObjectWithSite> pub;
  const HRESULT hr = CoCreateInstance(CLSID_CPub, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite,
                                      reinterpret_cast<void**>(pub.GetAddressOf()));
  if (FAILED(hr)) {
    std::printf("CoCreateInstance(CLSID_CPub) failed: 0x%08lx (is Quillvane.dll registered?)\n",
                static_cast<unsigned long>(hr));
    return 1;
  }
  qv::SharedSettings* s = qvtest::openSharedRecord();
  if (!s) {
    std::printf("the module's shared record was not found\n");
    return 1;
  }
  // Show the status message for this demo (a setting of the "Popup Ads"
  // page); keep the built-in sound quiet.
  const int savedStatus = s->showStatusMsg, savedSound = s->playDefaultSound;
  s->showStatusMsg = 1;
  s->playDefaultSound = 0;
  const int session0 = s->blockedSession, total0 = s->blockedTotal;

  auto browser = standin::make<Browser>();
  pub->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
  std::printf("CPub created by class id and attached to a stand-in browser window; browser table: %d window(s)\n",
              s->browserCount);

  browser->load(L"http://news.example/story");
  popup(*browser.Get(), "script", "page script opened it: no click, page not secure, not white-listed");
  std::printf("  status bar text: \"%s\"\n", narrow(browser->document->window->defaultStatus).c_str());
  browser->document->mouseDown(1, standin::elementChain({L"A", L"SPAN"}));
  popup(*browser.Get(), "link", "the user pressed the mouse on a link (A > SPAN)");
  browser->document->mouseDown(1, standin::elementChain({L"DIV"}));
  popup(*browser.Get(), "div", "a press on a plain DIV is not a link click");
  browser->scriptNavigate(L"javascript:openWindow()");
  popup(*browser.Get(), "js", "a javascript: navigation just before");
  browser->load(L"https://bank.example/account");
  popup(*browser.Get(), "https", "secure (https:) pages are exempt");
  browser->load(L"http://ads.example/landing");
  popup(*browser.Get(), "ads", "page script opened it again");
  s->popupEnable = 0;
  popup(*browser.Get(), "off", "popup blocking switched off");
  s->popupEnable = 1;

  std::printf("counters: blocked this session %d (+%d), blocked in total %d (+%d)\n", s->blockedSession,
              s->blockedSession - session0, s->blockedTotal, s->blockedTotal - total0);
  std::printf("block history (pages where popups were blocked):\n");
  const std::string h = history();
  size_t at = 0;
  while (at < h.size()) {
    const size_t end = h.find('\n', at);
    std::printf("  %s\n", h.substr(at, end == std::string::npos ? std::string::npos : end - at).c_str());
    if (end == std::string::npos) break;
    at = end + 1;
  }

  browser->quit();
  std::printf("browser quit: navigated to %s, browser table: %d window(s)\n", narrow(browser->location).c_str(),
              s->browserCount);

  tabbedBrowser(*s);
  sweepDemo(*s);
  s->showStatusMsg = savedStatus;
  s->playDefaultSound = savedSound;
  pub.Reset();
  browser->document.Reset();
  browser.Reset();
  CoUninitialize();
  return 0;
}
