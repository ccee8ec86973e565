// The browser helper object in a stand-in browser: attach, popup decisions
// through the real event shapes, page sinks, the document host, the window
// subclass and quit.
#include <gtest/gtest.h>
#include <windows.h>
#include <mshtmdid.h>
#include <commctrl.h>

#include <string>

#include "core/shared_settings.h"
#include "options_sheet_test_support.h"
#include "pub_test_support.h"
#include "quillvane_i.h"
#include "res/resource_ids.h"
#include "standin_browser.h"
#include "tray_test_support.h"
#include "win_test_support.h"

namespace {

using standin::Browser;
using standin::ComPtr;
using standin::make;

using CanUnloadFn = HRESULT(WINAPI*)();

class StandIn : public ::testing::Test {
 protected:
  void SetUp() override {
    s = qvtest::sharedRecord();
    ASSERT_NE(s, nullptr) << "the module has no shared record";
    saved.popupEnable = s->popupEnable;
    saved.showStatusMsg = s->showStatusMsg;
    saved.beep = s->beep;
    saved.playDefaultSound = s->playDefaultSound;
    saved.playSoundFile = s->playSoundFile;
    saved.blockResize = s->blockResize;
    saved.hotkey = s->hotkey;
    s->popupEnable = 1;
    s->showStatusMsg = 1;
    s->beep = 0;
    s->playDefaultSound = 0;
    s->playSoundFile = 0;
    s->blockResize = 1;
    s->hotkey = 0x11;
    baseCount = s->browserCount;
    browser = make<Browser>();
    ASSERT_NE(browser->hwnd, nullptr);
    pub = standin::createPub();
    ASSERT_TRUE(pub);
    ASSERT_EQ(pub->SetSite(static_cast<IWebBrowser2*>(browser.Get())), S_OK);
  }
  void TearDown() override {
    if (pub && !quitted) browser->quit();
    pub.Reset();
    if (browser) browser->document.Reset();
    browser.Reset();
    if (s) {
      s->popupEnable = saved.popupEnable;
      s->showStatusMsg = saved.showStatusMsg;
      s->beep = saved.beep;
      s->playDefaultSound = saved.playDefaultSound;
      s->playSoundFile = saved.playSoundFile;
      s->blockResize = saved.blockResize;
      s->hotkey = saved.hotkey;
    }
  }
  void quit() {
    browser->quit();
    quitted = true;
  }

  qv::SharedSettings* s = nullptr;
  qv::SharedSettings saved{};
  int baseCount = 0;
  ComPtr<Browser> browser;
  ComPtr<IObjectWithSite> pub;
  bool quitted = false;
};

TEST_F(StandIn, AttachEntersTheTableAndAdvisesTheBrowser) {
  EXPECT_EQ(s->browserCount, baseCount + 1);
  const qv::BrowserEntry& e = s->browserTable[s->browserCount - 1];
  EXPECT_EQ(e.frameWindow, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(browser->hwnd)));
  EXPECT_EQ(e.processId, GetCurrentProcessId());
  EXPECT_EQ(e.threadId, GetCurrentThreadId());
  EXPECT_NE(e.pubObject, 0u);
  EXPECT_EQ(browser->events->count(), 1u);
  // The browser window is subclassed and GDI+ is running for the sweep.
  EXPECT_NE(GetWindowLongPtrW(browser->hwnd, GWLP_WNDPROC), GetClassLongPtrW(browser->hwnd, GCLP_WNDPROC));
  EXPECT_NE(GetModuleHandleA("gdiplus.dll"), nullptr);
  // A second SetSite with the same browser neither adds nor advises again.
  EXPECT_EQ(pub->SetSite(static_cast<IWebBrowser2*>(browser.Get())), S_OK);
  EXPECT_EQ(s->browserCount, baseCount + 1);
  EXPECT_EQ(browser->events->count(), 1u);
  // The site is not kept.
  void* site = reinterpret_cast<void*>(1);
  EXPECT_EQ(pub->GetSite(IID_IUnknown, &site), E_FAIL);
  EXPECT_EQ(site, nullptr);
}

TEST_F(StandIn, InterfaceMapAndIdentity) {
  const IID* iids[] = {&IID_IObjectWithSite,    &IID_IPub,           &IID_IDispatch,
                       &IID_IDocHostUIHandler,  &IID_IOleCommandTarget, &IID_IPropertyNotifySink,
                       &IID_IProvideClassInfo,  &DIID_DWebBrowserEvents2};
  ComPtr<IUnknown> identity;
  ASSERT_EQ(pub.As(&identity), S_OK);
  for (const IID* iid : iids) {
    ComPtr<IUnknown> p;
    ASSERT_EQ(pub->QueryInterface(*iid, reinterpret_cast<void**>(p.GetAddressOf())), S_OK);
    ComPtr<IUnknown> back;
    ASSERT_EQ(p.As(&back), S_OK);
    EXPECT_EQ(back.Get(), identity.Get());
  }
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(pub->QueryInterface(IID_IOleObject, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  ComPtr<IProvideClassInfo> pci;
  ASSERT_EQ(pub.As(&pci), S_OK);
  ComPtr<ITypeInfo> ti;
  ASSERT_EQ(pci->GetClassInfo(&ti), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(ti->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, CLSID_CPub);
  ti->ReleaseTypeAttr(attr);
  // The sink refuses a call without a parameter block and ignores ids it does not handle.
  ComPtr<IDispatch> sink;
  ASSERT_EQ(pub.As(&sink), S_OK);
  EXPECT_EQ(sink->Invoke(251, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
  DISPPARAMS none0{nullptr, nullptr, 0, 0};
  EXPECT_EQ(sink->Invoke(104, IID_NULL, 0, DISPATCH_METHOD, &none0, nullptr, nullptr, nullptr), S_OK);
}

DWORD savedTotal() {
  HKEY key = nullptr;
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, qvtest::kSettingsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    if (RegQueryValueExA(key, "BlockedTotal", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
      value = 0xFFFFFFFF;
    RegCloseKey(key);
  }
  return value;
}

TEST_F(StandIn, ScriptPopupIsCancelledAnnouncedAndCounted) {
  ASSERT_TRUE(browser->load(L"http://news.example/story"));
  qvtest::clearHistory();
  const int session = s->blockedSession, total = s->blockedTotal;
  EXPECT_TRUE(browser->newWindow2());
  EXPECT_EQ(browser->document->window->defaultStatus, L"Quillvane blocked popup Ads in this page!");
  EXPECT_EQ(s->blockedSession, session + 1);
  EXPECT_EQ(s->blockedTotal, total + 1);
  EXPECT_EQ(savedTotal(), static_cast<DWORD>(total + 1)) << "the total is saved as BlockedTotal";
  EXPECT_EQ(qvtest::historyText(), "http://news.example/story\n");
  // A second block on the same page counts again but is listed once.
  EXPECT_TRUE(browser->newWindow2());
  EXPECT_EQ(s->blockedSession, session + 2);
  EXPECT_EQ(qvtest::historyText(), "http://news.example/story\n");
  s->blockedSession -= 1;  // keep the counts below as they were written
  // The older NewWindow event is judged the same way and sets Processed.
  EXPECT_TRUE(browser->newWindow(L"http://ads.example/"));
  EXPECT_EQ(s->blockedSession, session + 2);
  // Blocking switched off: the same page's popup passes and nothing is counted.
  s->popupEnable = 0;
  EXPECT_FALSE(browser->newWindow2());
  EXPECT_EQ(s->blockedSession, session + 2);
}

TEST_F(StandIn, MouseDownOnALinkLetsTheNextPopupThrough) {
  ASSERT_TRUE(browser->load(L"http://news.example/"));
  // The classification itself is the native page-click table's; here the
  // wiring from the page's sink to the decision, once each way.
  struct Case {
    const char* name;
    long button;
    std::vector<std::wstring> tags;  // below BODY, outermost first
    bool allowed;
  } cases[] = {
      {"press on text inside a link", 1, {L"A", L"SPAN"}, true},
      {"press on a div", 1, {L"DIV"}, false},
  };
  for (const auto& c : cases) {
    browser->document->mouseDown(c.button, standin::elementChain(c.tags));
    EXPECT_EQ(browser->newWindow2(), !c.allowed) << c.name;
    // The decision clears the flag: the next popup is judged afresh.
    EXPECT_TRUE(browser->newWindow2()) << c.name;
  }
  // A press reporting button 0 clears an earlier qualifying press.
  browser->document->mouseDown(1, standin::elementChain({L"A"}));
  EXPECT_EQ(browser->document->mouseDown(0, nullptr), S_OK);
  EXPECT_TRUE(browser->newWindow2());
}

TEST_F(StandIn, SecureAndScriptNavigationsLetPopupsThrough) {
  ASSERT_TRUE(browser->load(L"HTTPS://bank.example/"));
  EXPECT_FALSE(browser->newWindow2()) << "secure page";
  ASSERT_TRUE(browser->load(L"http://news.example/"));
  const size_t connected = browser->document->events->count();
  browser->scriptNavigate(L"JavaScript:window.open('x')");
  EXPECT_EQ(browser->document->events->count(), connected) << "a script navigation keeps the page sinks";
  EXPECT_FALSE(browser->newWindow2()) << "the window a script navigation opens";
  EXPECT_TRUE(browser->newWindow2());
}

TEST_F(StandIn, PageSinksFollowNavigation) {
  ASSERT_TRUE(browser->load(L"http://news.example/"));
  ComPtr<standin::Document> first = browser->document;
  // NavigateComplete2 and DocumentComplete each connect the page once more.
  EXPECT_EQ(first->events->count(), 2u);
  EXPECT_EQ(first->window->events->count(), 2u);
  EXPECT_EQ(first->propertyNotify->count(), 1u);
  EXPECT_EQ(first->setUIHandlerCalls, 1);
  ComPtr<Browser> frame = browser->loadFrame(L"http://frame.example/");
  EXPECT_EQ(frame->document->events->count(), 2u);
  // The same document again (a frame's completion renews the top-level
  // attach) does not connect the property sink twice.
  EXPECT_EQ(first->propertyNotify->count(), 1u);
  EXPECT_EQ(first->setUIHandlerCalls, 2);

  // Leaving the page drops every record, oldest first, the frame's included.
  ASSERT_TRUE(browser->load(L"http://other.example/"));
  EXPECT_EQ(first->events->count(), 0u);
  EXPECT_EQ(first->window->events->count(), 0u);
  EXPECT_EQ(frame->document->events->count(), 0u);
  EXPECT_EQ(frame->document->window->events->count(), 0u);
  ASSERT_EQ(first->events->unadviseOrder.size(), 2u);
  EXPECT_LT(first->events->unadviseOrder[0], first->events->unadviseOrder[1]) << "oldest first";
  // The new document took over the property sink.
  EXPECT_EQ(first->propertyNotify->count(), 0u);
  EXPECT_EQ(browser->document->propertyNotify->count(), 1u);
}

TEST_F(StandIn, DocumentHostForwardsOrAnswersFixed) {
  ComPtr<IDocHostUIHandler> ui;
  ComPtr<IOleCommandTarget> cmd;
  ASSERT_EQ(pub.As(&ui), S_OK);
  ASSERT_EQ(pub.As(&cmd), S_OK);
  // Before any page: the fixed answers.
  struct Fixed {
    const char* name;
    HRESULT got;
    HRESULT expected;
  } fixed[] = {
      {"GetHostInfo", ui->GetHostInfo(nullptr), S_OK},
      {"ShowUI", ui->ShowUI(0, nullptr, nullptr, nullptr, nullptr), S_FALSE},
      {"HideUI", ui->HideUI(), S_OK},
      {"UpdateUI", ui->UpdateUI(), S_OK},
      {"EnableModeless", ui->EnableModeless(TRUE), S_OK},
      {"OnDocWindowActivate", ui->OnDocWindowActivate(TRUE), S_OK},
      {"OnFrameWindowActivate", ui->OnFrameWindowActivate(TRUE), S_OK},
      {"ResizeBorder", ui->ResizeBorder(nullptr, nullptr, TRUE), S_OK},
      {"TranslateAccelerator", ui->TranslateAccelerator(nullptr, nullptr, 0), E_NOTIMPL},
      {"GetOptionKeyPath", ui->GetOptionKeyPath(nullptr, 0), E_FAIL},
      {"GetDropTarget", ui->GetDropTarget(nullptr, nullptr), S_OK},
      {"TranslateUrl", ui->TranslateUrl(0, nullptr, nullptr), S_FALSE},
      {"FilterDataObject", ui->FilterDataObject(nullptr, nullptr), S_FALSE},
      {"ShowContextMenu", ui->ShowContextMenu(0, nullptr, nullptr, nullptr), S_FALSE},
      {"QueryStatus", cmd->QueryStatus(nullptr, 0, nullptr, nullptr), S_OK},
      {"Exec other", cmd->Exec(nullptr, 22, 0, nullptr, nullptr), S_OK},
  };
  for (const auto& f : fixed) EXPECT_EQ(f.got, f.expected) << f.name;
  // Without a handler of the document's, the [out] pointers come back null.
  {
    void* const stale = reinterpret_cast<void*>(1);
    LPOLESTR key = static_cast<LPOLESTR>(stale);
    IDropTarget* drop = static_cast<IDropTarget*>(stale);
    LPWSTR url = static_cast<LPWSTR>(stale);
    IDataObject* data = static_cast<IDataObject*>(stale);
    wchar_t address[] = L"http://x.example/";
    EXPECT_EQ(ui->GetOptionKeyPath(&key, 0), E_FAIL);
    EXPECT_EQ(ui->GetDropTarget(nullptr, &drop), S_OK);
    EXPECT_EQ(ui->TranslateUrl(0, address, &url), S_FALSE);
    EXPECT_EQ(ui->FilterDataObject(nullptr, &data), S_FALSE);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(drop, nullptr);
    EXPECT_EQ(url, nullptr);
    EXPECT_EQ(data, nullptr);
  }
  IDispatch* ext = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(ui->GetExternal(&ext), S_FALSE);
  EXPECT_EQ(ext, nullptr);

  ASSERT_TRUE(browser->load(L"http://news.example/"));
  auto& calls = browser->document->site->calls;
  EXPECT_EQ(ui->GetHostInfo(nullptr), E_ABORT);
  EXPECT_EQ(ui->TranslateAccelerator(nullptr, nullptr, 0), S_OK);
  EXPECT_EQ(cmd->QueryStatus(nullptr, 0, nullptr, nullptr), E_ABORT);
  EXPECT_EQ(cmd->Exec(nullptr, 22, 0, nullptr, nullptr), E_ABORT);
  // Script errors: answered "handled" with true, never forwarded, whatever the group.
  VARIANT out;
  VariantInit(&out);
  const GUID group = {0x30d02401, 0x6a81, 0x11d0, {0x82, 0x74, 0x00, 0xc0, 0x4f, 0xd5, 0xae, 0x38}};
  for (const GUID* g : {static_cast<const GUID*>(nullptr), &group}) {
    EXPECT_EQ(cmd->Exec(g, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out), S_OK);
    EXPECT_EQ(V_VT(&out), VT_BOOL);
    EXPECT_EQ(V_BOOL(&out), VARIANT_TRUE);
  }
  EXPECT_EQ(cmd->Exec(nullptr, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(calls, (std::vector<std::string>{"GetHostInfo", "TranslateAccelerator", "QueryStatus", "Exec 22"}));

  // The external object is the extender, a new one per top-level attach.
  ComPtr<IDispatch> external;
  ASSERT_EQ(ui->GetExternal(&external), S_OK);
  ComPtr<IPubDomExtender> extender;
  ASSERT_EQ(external.As(&extender), S_OK);
  {
    qvtest::SheetCloser closer(GetCurrentThreadId());  // EditOptions opens the options sheet
    EXPECT_EQ(extender->EditOptions(), S_OK);
    EXPECT_EQ(closer.closed(), std::vector<std::string>{qv::ui::win::sheetCaption(qvtest::module())});
  }
  ASSERT_TRUE(browser->load(L"http://other.example/"));
  ComPtr<IDispatch> external2;
  ASSERT_EQ(ui->GetExternal(&external2), S_OK);
  EXPECT_NE(external.Get(), external2.Get());
  // The installed UI handler is this object.
  ComPtr<IUnknown> a, b;
  browser->document->uiHandler.As(&a);
  pub.As(&b);
  EXPECT_EQ(a.Get(), b.Get());
}

// The browser quits, clears the site and lets the object go while the
// object's sheet is open (all delivered by the sheet's modal loop): the
// sheet goes on, OK still saves, and the object goes when the sheet does.
TEST_F(StandIn, SheetOutlivesTheQuitAndLastReleaseOfItsObject) {
  ASSERT_TRUE(browser->load(L"http://news.example/"));
  ComPtr<IDocHostUIHandler> ui;
  ASSERT_EQ(pub.As(&ui), S_OK);
  ComPtr<IDispatch> external;
  ASSERT_EQ(ui->GetExternal(&external), S_OK);
  ui.Reset();
  ComPtr<IPubDomExtender> extender;
  ASSERT_EQ(external.As(&extender), S_OK);
  external.Reset();

  // A value the save rewrites, taken away first so that its return shows
  // that the save ran.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, qvtest::kSettingsKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  DWORD savedTips = 0, size = sizeof savedTips;
  const bool hadTips = RegQueryValueExA(key, "EnableTips", nullptr, nullptr, reinterpret_cast<BYTE*>(&savedTips), &size) ==
                       ERROR_SUCCESS;
  RegDeleteValueA(key, "EnableTips");

  HANDLE released = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  browser->onAppMessage = [&](UINT msg) {
    if (msg != WM_APP + 21) return;
    quit();
    pub->SetSite(nullptr);
    pub.Reset();
    browser->document.Reset();
    SetEvent(released);
  };
  struct Driver {
    DWORD thread;
    HWND frame;
    HANDLE released;
    bool sawRelease = false;
    static DWORD WINAPI run(void* p) {
      auto* d = static_cast<Driver*>(p);
      const std::string caption = qv::ui::win::sheetCaption(qvtest::module());
      HWND sheet = qvtest::waitDialog(d->thread, caption.c_str(), nullptr);
      if (!sheet) return 1;
      PostMessageA(d->frame, WM_APP + 21, 0, 0);
      d->sawRelease = WaitForSingleObject(d->released, 10000) == WAIT_OBJECT_0;
      qvtest::pressSheetButton(sheet, IDOK);
      return 0;
    }
  } driver{GetCurrentThreadId(), browser->hwnd, released};
  HANDLE t = CreateThread(nullptr, 0, &Driver::run, &driver, 0, nullptr);
  EXPECT_EQ(extender->EditOptions(), S_OK);
  EXPECT_EQ(WaitForSingleObject(t, 15000), WAIT_OBJECT_0);
  CloseHandle(t);
  CloseHandle(released);
  EXPECT_TRUE(driver.sawRelease) << "the quit and release ran while the sheet was open";
  EXPECT_FALSE(pub) << "the test let its object go";

  DWORD tips = 0;
  size = sizeof tips;
  EXPECT_EQ(RegQueryValueExA(key, "EnableTips", nullptr, nullptr, reinterpret_cast<BYTE*>(&tips), &size), ERROR_SUCCESS)
      << "OK saved the settings";
  if (hadTips) RegSetValueExA(key, "EnableTips", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&savedTips), sizeof savedTips);
  else RegDeleteValueA(key, "EnableTips");
  RegCloseKey(key);

  // The object went with the sheet; its extender no longer reaches it.
  auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(qvtest::module(), "DllCanUnloadNow")));
  EXPECT_EQ(canUnload(), S_FALSE) << "the test still holds the extender";
  EXPECT_EQ(extender->EditOptions(), S_OK);  // no owner: nothing opens
  extender.Reset();
  EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(StandIn, WindowErrorEventIsAnsweredTrue) {
  ASSERT_TRUE(browser->load(L"http://news.example/"));
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(standin::fire(*browser->document->window->events.Get(), DISPID_HTMLWINDOWEVENTS2_ONERROR, {}, &result),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(V_VT(&result), VT_BOOL);
  EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
  VariantInit(&result);
  EXPECT_EQ(standin::fire(*browser->document->window->events.Get(), DISPID_HTMLWINDOWEVENTS2_ONLOAD, {}, &result),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(V_VT(&result), VT_EMPTY);
  // The document sink answers events it does not handle the same way.
  EXPECT_EQ(standin::fire(*browser->document->events.Get(), DISPID_HTMLDOCUMENTEVENTS2_ONCLICK, {}, &result),
            DISP_E_MEMBERNOTFOUND);
}

SIZE sizeOf(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  return {r.right - r.left, r.bottom - r.top};
}

TEST_F(StandIn, ScriptResizeIsHeldOnlyWhileResizeBlockingIsOn) {
  ASSERT_TRUE(browser->load(L"http://news.example/"));
  HWND w = browser->hwnd;
  // The rule is the native frame-rule table's; here the subclass applies it.
  struct Case {
    const char* name;
    int blockResize;
    const wchar_t* page;
    UINT extraFlags;
    int cx;
    bool held;
  } cases[] = {
      {"blocking off", 0, L"http://news.example/", 0, 500, false},
      {"script resize", 1, L"http://news.example/", 0, 320, true},
  };
  for (const auto& c : cases) {
    s->blockResize = c.blockResize;
    browser->location = c.page;
    const SIZE before = sizeOf(w);
    SetWindowPos(w, nullptr, 30, 30, c.cx, 300, SWP_NOZORDER | SWP_NOACTIVATE | c.extraFlags);
    const SIZE after = sizeOf(w);
    if (c.held) {
      EXPECT_EQ(after.cx, before.cx) << c.name;
      EXPECT_EQ(after.cy, before.cy) << c.name;
    } else {
      EXPECT_EQ(after.cx, c.cx) << c.name;
    }
  }
}

using standin::timerWindowsOfThisThread;

TEST_F(StandIn, TimersLiveOnTheObjectsOwnWindowFromAttachUntilItGoes) {
  const std::vector<HWND> windows = timerWindowsOfThisThread();
  ASSERT_EQ(windows.size(), 1u) << "one message-only timer window for the object";
  const HWND timers = windows[0];
  // The sweep ticks once a second (a timer never fires early).
  ASSERT_TRUE(standin::pumpUntilTick(timers, 1, 3000)) << "the sweep timer";
  const DWORD first = GetTickCount();
  ASSERT_TRUE(standin::pumpUntilTick(timers, 1, 3000));
  EXPECT_GE(GetTickCount() - first, 900u);
  // Nothing else runs without a watched window or a block, and nothing on
  // the browser's own window (KillTimer fails for a timer that is not set).
  EXPECT_FALSE(KillTimer(timers, 2)) << "no dialog watch timer without a watched window";
  EXPECT_FALSE(KillTimer(timers, 0)) << "no block cursor timer without a block";
  for (UINT_PTR id : {0, 1, 2}) EXPECT_FALSE(KillTimer(browser->hwnd, id)) << "browser window, timer " << id;
  quit();
  EXPECT_FALSE(KillTimer(timers, 1)) << "quit stops the sweep";
  pub.Reset();
  browser->document.Reset();  // the blank page held the UI handler
  EXPECT_FALSE(IsWindow(timers)) << "nothing calls into the module once the object is gone";
}

// Counts what a window of a watched class is asked (its title, WM_GETTEXT)
// and whether it was told to close.
int g_titleReads = 0;
int g_closesAsked = 0;
LRESULT CALLBACK watchedProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_GETTEXT) ++g_titleReads;
  if (m == WM_CLOSE) {
    ++g_closesAsked;
    return 0;  // stays
  }
  return DefWindowProcA(w, m, wp, lp);
}

TEST_F(StandIn, AWatchedWindowThatNeverQualifiesIsGivenUpAtTheBound) {
  const HWND timers = timerWindowsOfThisThread().at(0);
  const int savedDialogs = s->modelessDialogEnable;
  s->modelessDialogEnable = 1;
  WNDCLASSA wc{};
  wc.lpfnWndProc = watchedProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "Internet Explorer_TridentDlgFrame";
  UnregisterClassA(wc.lpszClassName, wc.hInstance);
  ASSERT_NE(RegisterClassA(&wc), 0);
  g_titleReads = g_closesAsked = 0;
  const DWORD created = GetTickCount();
  HWND plain = CreateWindowExA(0, wc.lpszClassName, "A plain page", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
  ASSERT_NE(plain, nullptr);
  EXPECT_TRUE(standin::pumpUntilTick(timers, 2, 1000)) << "looked at again while it does not qualify";
  EXPECT_GT(g_titleReads, 0);
  // Past the bound (5 s, and a margin for a loaded machine) nothing looks any more.
  standin::pumpUntil([&] { return GetTickCount() - created > 5600; }, 7000);
  EXPECT_FALSE(KillTimer(timers, 2)) << "the re-look timer stopped at the bound";
  EXPECT_EQ(g_closesAsked, 0) << "a window that never qualified is left alone";
  DestroyWindow(plain);
  UnregisterClassA(wc.lpszClassName, wc.hInstance);
  s->modelessDialogEnable = savedDialogs;
}

TEST_F(StandIn, TheBlockCursorEndsWithTheObject) {
  ASSERT_TRUE(browser->load(L"http://news.example/"));
  const HCURSOR block = LoadCursorA(qvtest::module(), MAKEINTRESOURCEA(IDC_BLOCKCURSOR));
  ASSERT_NE(block, nullptr);
  const HCURSOR arrow = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  SetCursor(arrow);
  EXPECT_TRUE(browser->newWindow2());
  EXPECT_TRUE(standin::pumpUntil([&] { return GetCursor() == block; }, 2000)) << "the block cursor shows";
  // The window goes before the block cursor's 100 ticks are over.
  quit();
  pub.Reset();
  browser->document.Reset();
  EXPECT_EQ(GetCursor(), arrow) << "the cursor from before the block is back";
}

TEST_F(StandIn, SetSiteNullWithoutQuitUndoesEverythingAndTheModuleUnloads) {
  ASSERT_TRUE(browser->load(L"http://news.example/"));
  ComPtr<Browser> frame = browser->loadFrame(L"http://frame.example/");
  ComPtr<standin::Document> page = browser->document;
  ASSERT_EQ(s->browserCount, baseCount + 1);
  const HCURSOR arrow = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  SetCursor(arrow);
  EXPECT_TRUE(browser->newWindow2());  // the block cursor is showing
  EXPECT_EQ(pub->SetSite(nullptr), S_OK);
  EXPECT_EQ(s->browserCount, baseCount);
  EXPECT_EQ(browser->events->count(), 0u);
  for (auto* doc : {page.Get(), frame->document.Get()}) {
    EXPECT_EQ(doc->events->count(), 0u);
    EXPECT_EQ(doc->window->events->count(), 0u);
    EXPECT_EQ(doc->propertyNotify->count(), 0u);
  }
  EXPECT_EQ(page->uiHandler, nullptr) << "the document's own UI handler is back";
  EXPECT_EQ(GetWindowLongPtrW(browser->hwnd, GWLP_WNDPROC), GetClassLongPtrW(browser->hwnd, GCLP_WNDPROC));
  EXPECT_TRUE(timerWindowsOfThisThread().empty());
  EXPECT_EQ(GetCursor(), arrow);
  EXPECT_TRUE(browser->navigations.empty()) << "no blank page without OnQuit";
  IObjectWithSite* raw = pub.Detach();
  quitted = true;
  EXPECT_EQ(raw->Release(), 0u) << "nothing holds the object";
  auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(qvtest::module(), "DllCanUnloadNow")));
  EXPECT_EQ(canUnload(), S_OK);
}

// A window procedure put on after ours, the way add-ons without the
// subclass calls do it.
WNDPROC g_laterPrevious = nullptr;
int g_laterCalls = 0;
LRESULT CALLBACK laterProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_APP + 30) ++g_laterCalls;
  return CallWindowProcW(g_laterPrevious, w, m, wp, lp);
}
LRESULT CALLBACK laterSubclassProc(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (m == WM_APP + 30) ++g_laterCalls;
  return DefSubclassProc(w, m, wp, lp);
}

TEST_F(StandIn, TheWindowKeepsItsUnicodeTitleAndLaterSubclassesThroughOurs) {
  HWND w = browser->hwnd;
  const wchar_t title[] = L"\u0395\u03bb\u03bb\u03ac\u03b4\u03b1 \u65e5\u672c \u2713";  // outside any ANSI code page
  EXPECT_TRUE(IsWindowUnicode(w));
  SetWindowTextW(w, title);
  wchar_t back[64] = {};
  GetWindowTextW(w, back, 64);
  EXPECT_STREQ(back, title);
  EXPECT_TRUE(IsWindowUnicode(w));

  // Two kinds of later subclass: by the subclass calls and by hand.  Each
  // still sees the window's messages after our object has let it go.
  for (bool byHand : {false, true}) {
    SCOPED_TRACE(byHand ? "SetWindowLongPtrW" : "SetWindowSubclass");
    if (byHand)
      g_laterPrevious = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(laterProc)));
    else
      ASSERT_TRUE(SetWindowSubclass(w, laterSubclassProc, 7, 0));
    ASSERT_EQ(pub->SetSite(nullptr), S_OK);  // our subclass goes (or stays as a pass-through)
    g_laterCalls = 0;
    SendMessageW(w, WM_APP + 30, 0, 0);
    EXPECT_EQ(g_laterCalls, 1) << "the later subclass was not cut out";
    GetWindowTextW(w, back, 64);
    EXPECT_STREQ(back, title);
    if (byHand)
      SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_laterPrevious));
    else
      RemoveWindowSubclass(w, laterSubclassProc, 7);
    ASSERT_EQ(pub->SetSite(static_cast<IWebBrowser2*>(browser.Get())), S_OK);
  }
}

TEST_F(StandIn, QuitNavigatesBlankAndLeavesNothingBehind) {
  ASSERT_TRUE(browser->load(L"http://news.example/"));
  ComPtr<Browser> frame = browser->loadFrame(L"http://frame.example/");
  ComPtr<standin::Document> page = browser->document;
  EXPECT_EQ(s->browserCount, baseCount + 1);
  quit();
  // The blank page was asked for and completed while the quit waited.
  EXPECT_EQ(browser->navigations, std::vector<std::wstring>{L"about:blank"});
  EXPECT_EQ(browser->location, L"about:blank");
  EXPECT_EQ(browser->readyState, READYSTATE_COMPLETE);
  // Every connection is gone: browser events, page and frame sinks, the
  // property sink (also of the blank page attached during the wait).
  EXPECT_EQ(browser->events->count(), 0u);
  for (auto* doc : {page.Get(), frame->document.Get(), browser->document.Get()}) {
    EXPECT_EQ(doc->events->count(), 0u);
    EXPECT_EQ(doc->window->events->count(), 0u);
    EXPECT_EQ(doc->propertyNotify->count(), 0u);
  }
  EXPECT_EQ(s->browserCount, baseCount);
  EXPECT_EQ(GetWindowLongPtrW(browser->hwnd, GWLP_WNDPROC), GetClassLongPtrW(browser->hwnd, GCLP_WNDPROC))
      << "the window's own procedure is back";
  // After quit every window passes: the object no longer blocks.
  EXPECT_FALSE(browser->newWindow2());

  // The browser drops its documents (they held the UI handler) and the
  // object: nothing of the module is left alive.
  EXPECT_EQ(page->refs(), 1) << "only the test holds the left page";
  EXPECT_EQ(browser->document->refs(), 1) << "only the browser holds the blank page";
  page.Reset();
  frame.Reset();
  browser->document.Reset();
  IObjectWithSite* raw = pub.Detach();
  EXPECT_EQ(raw->Release(), 0u);
  auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(qvtest::module(), "DllCanUnloadNow")));
  EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(StandIn, SecondQuitDuringTheWaitIsIgnored) {
  ASSERT_TRUE(browser->load(L"http://news.example/"));
  // The browser delivers another OnQuit while the object pumps messages.
  PostMessageA(browser->hwnd, WM_APP + 18, 0, 0);
  browser->onAppMessage = [this](UINT msg) {
    if (msg == WM_APP + 18) browser->quit();
  };
  quit();
  EXPECT_EQ(browser->navigations, std::vector<std::wstring>{L"about:blank"}) << "one blank navigation";
  EXPECT_EQ(s->browserCount, baseCount);
  EXPECT_EQ(browser->events->count(), 0u);
}

TEST(PubWhiteList, WhiteListedSitePopupsPassOnlyWithTheListOn) {
  qv::SharedSettings* s = qvtest::sharedRecord();
  ASSERT_NE(s, nullptr);
  qvtest::WhiteListFile file({"friends.example"});
  const int savedList = s->enableWhiteList, savedStatus = s->showStatusMsg, savedSound = s->playDefaultSound;
  s->playDefaultSound = 0;
  s->enableWhiteList = 1;
  auto browser = make<Browser>();
  ComPtr<IObjectWithSite> pub = standin::createPub();
  ASSERT_TRUE(pub);
  ASSERT_EQ(pub->SetSite(static_cast<IWebBrowser2*>(browser.Get())), S_OK);
  ASSERT_TRUE(browser->load(L"http://friends.example/games"));
  EXPECT_FALSE(browser->newWindow2()) << "white-listed site";
  s->enableWhiteList = 0;
  EXPECT_TRUE(browser->newWindow2()) << "white list off";
  s->enableWhiteList = 1;
  ASSERT_TRUE(browser->load(L"http://strangers.example/"));
  EXPECT_TRUE(browser->newWindow2()) << "site not on the list";
  browser->quit();
  IObjectWithSite* raw = pub.Detach();
  browser->document.Reset();
  EXPECT_EQ(raw->Release(), 0u) << "the browser holds nothing of the object after quit";
  browser.Reset();
  auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(qvtest::module(), "DllCanUnloadNow")));
  EXPECT_EQ(canUnload(), S_OK) << "the object's white list went with it";
  s->enableWhiteList = savedList;
  s->showStatusMsg = savedStatus;
  s->playDefaultSound = savedSound;
}

// The page sinks made on their own by the class factory: they refuse calls
// without arguments or without a result, and change nothing they serve.
TEST(PubSinks, EventSinksCheckTheirArguments) {
  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(qvtest::module(), "DllGetClassObject")));
  ASSERT_NE(get, nullptr);
  for (const CLSID* clsid : {&CLSID_CDocEventHandler, &CLSID_CWindowEventHandler}) {
    ComPtr<IClassFactory> f;
    ASSERT_EQ(get(*clsid, IID_IClassFactory, reinterpret_cast<void**>(f.GetAddressOf())), S_OK);
    ComPtr<IDispatch> sink;
    ASSERT_EQ(f->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(sink.GetAddressOf())), S_OK);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(sink->Invoke(-605, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(sink->Invoke(-605, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), E_POINTER);
    // A mouse-down without an event object, and one on a link with no CPub behind the sink.
    EXPECT_EQ(sink->Invoke(-605, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
  }
}

// A window whose site is not a browser: no table entry, no browser events.
TEST(PubAlone, SiteWithoutBrowser) {
  qv::SharedSettings* s = qvtest::sharedRecord();
  ASSERT_NE(s, nullptr);
  const int count = s->browserCount;
  ComPtr<IObjectWithSite> pub = standin::createPub();
  ASSERT_TRUE(pub);
  // Each test starts as a fresh session: no window owns the tray yet.
  HANDLE guard = OpenMutexA(SYNCHRONIZE, FALSE, "MutexForTray");
  if (guard) CloseHandle(guard);
  ASSERT_EQ(guard, nullptr) << "the tray is owned before this object came";
  auto notABrowser = make<standin::ClientSite>();
  EXPECT_EQ(pub->SetSite(static_cast<IOleClientSite*>(notABrowser.Get())), S_OK);
  EXPECT_EQ(s->browserCount, count);
  const qvtest::TrayWindows owned = qvtest::trayWindows();
  EXPECT_EQ(owned.count, 1) << "the object was offered the tray";
  EXPECT_EQ(owned.process, GetCurrentProcessId());
  IObjectWithSite* raw = pub.Detach();
  EXPECT_EQ(raw->Release(), 0u);
  // The tray went with its owner: no window left for the shell to call, and
  // the guard is free for the next window.
  EXPECT_EQ(qvtest::trayWindows().count, 0);
  guard = OpenMutexA(SYNCHRONIZE, FALSE, "MutexForTray");
  EXPECT_EQ(guard, nullptr) << "the tray guard is still held";
  if (guard) CloseHandle(guard);
}

}  // namespace
