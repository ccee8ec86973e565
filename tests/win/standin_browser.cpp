#include "standin_browser.h"
#include <cstdio>

#include <mshtmdid.h>

#include "quillvane_i.h"

extern "C" {
extern const GUID DIID_HTMLDocumentEvents2;
extern const GUID DIID_HTMLWindowEvents2;
}

namespace standin {
namespace {

constexpr UINT kCompleteNavigation = WM_APP + 17;
constexpr UINT kRunOnTab = WM_APP + 41;
// A Unicode window class, as the real browser's windows are.
constexpr wchar_t kFrameClass[] = L"QuillvaneStandInFrame";

template <class T>
HRESULT give(T* p, void** out) {
  *out = p;
  p->AddRef();
  return S_OK;
}

VARIANT byRefBool(VARIANT_BOOL* b) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&v) = b;
  return v;
}

VARIANT byRefVariant(VARIANT* inner) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&v) = inner;
  return v;
}

VARIANT dispatch(IDispatch* d) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = d;
  return v;
}

// A string variant that frees itself.
struct BstrVariant {
  VARIANT v;
  explicit BstrVariant(const std::wstring& s) {
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  }
  ~BstrVariant() { VariantClear(&v); }
};

LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kCompleteNavigation) {
    auto* b = reinterpret_cast<Browser*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (b && !b->navigations.empty()) {
      const std::wstring url = b->navigations.back();
      b->location = url;
      b->document = make<Document>();
      b->navigateComplete2(static_cast<IWebBrowser2*>(b), url);
      b->documentComplete(static_cast<IWebBrowser2*>(b), url);
      b->readyState = READYSTATE_COMPLETE;
    }
    return 0;
  }
  if (msg > WM_APP && msg < WM_APP + 0x100) {
    auto* b = reinterpret_cast<Browser*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (b && b->onAppMessage) b->onAppMessage(msg);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void registerFrameClass() {
  static bool done = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = frameProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kFrameClass;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    return RegisterClassW(&wc) != 0;
  }();
  (void)done;
}

// Waits for `event` while dispatching this thread's messages.  The wait is
// bounded so that a browser thread that never answers fails the test that
// waits on it instead of hanging the suite.
void waitPumping(HANDLE event) {
  const ULONGLONG deadline = GetTickCount64() + 30000;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) {
      const char* what = "the stand-in browser's thread did not answer within 30 s";
      if (onWaitTimeout)
        onWaitTimeout(what);
      else
        std::fprintf(stderr, "%s\n", what);
      return;
    }
    const DWORD r = MsgWaitForMultipleObjects(1, &event, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) return;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

}  // namespace

// --- ConnectionPoint -------------------------------------------------------

HRESULT ConnectionPoint::query(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint) return give(static_cast<IConnectionPoint*>(this), out);
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!sink || !cookie) return E_POINTER;
  ComPtr<IUnknown> d;
  // The real browser asks the sink for the event interface itself.
  HRESULT hr = sink->QueryInterface(events_, reinterpret_cast<void**>(d.GetAddressOf()));
  if (FAILED(hr)) return CONNECT_E_CANNOTCONNECT;
  *cookie = ++next_;
  sinks_[*cookie] = d;
  ++advised;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
  auto it = sinks_.find(cookie);
  if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
  sinks_.erase(it);
  ++unadvised;
  unadviseOrder.push_back(cookie);
  return S_OK;
}

std::vector<ComPtr<IDispatch>> ConnectionPoint::sinks() const {
  std::vector<ComPtr<IDispatch>> out;
  for (const auto& [cookie, sink] : sinks_) {
    ComPtr<IDispatch> d;
    if (SUCCEEDED(sink.As(&d))) out.push_back(d);
  }
  return out;
}

std::vector<IUnknown*> ConnectionPoint::rawSinks() const {
  std::vector<IUnknown*> out;
  for (const auto& [cookie, sink] : sinks_) out.push_back(sink.Get());
  return out;
}

HRESULT fire(ConnectionPoint& cp, DISPID id, std::vector<VARIANT> args, VARIANT* result) {
  DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()), 0};
  HRESULT hr = S_OK;
  for (const ComPtr<IDispatch>& sink : cp.sinks()) {
    VARIANT local;
    VariantInit(&local);
    hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result ? result : &local, nullptr,
                      nullptr);
    VariantClear(&local);
  }
  return hr;
}

// --- Element / EventObj ----------------------------------------------------

HRESULT Element::query(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLElement)
    return give(static_cast<IHTMLElement*>(this), out);
  *out = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP Element::get_tagName(BSTR* p) {
  *p = SysAllocString(tag_.c_str());
  return S_OK;
}
STDMETHODIMP Element::get_parentElement(IHTMLElement** p) {
  *p = nullptr;
  if (parent_) parent_.CopyTo(p);
  return S_OK;
}

ComPtr<Element> elementChain(const std::vector<std::wstring>& outerToInner) {
  ComPtr<Element> current = make<Element>(L"HTML", nullptr);
  current = make<Element>(L"BODY", current);
  for (const auto& tag : outerToInner) current = make<Element>(tag, current);
  return current;
}

HRESULT EventObj::query(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLEventObj)
    return give(static_cast<IHTMLEventObj*>(this), out);
  *out = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP EventObj::get_button(long* p) {
  *p = button_;
  return S_OK;
}
STDMETHODIMP EventObj::get_srcElement(IHTMLElement** p) {
  *p = nullptr;
  if (source_) source_.CopyTo(p);
  return S_OK;
}

// --- HtmlWindow ------------------------------------------------------------

HtmlWindow::HtmlWindow() : events(make<ConnectionPoint>(DIID_HTMLWindowEvents2)) {}

HRESULT HtmlWindow::query(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLWindow2 || iid == IID_IHTMLFramesCollection2)
    return give(static_cast<IHTMLWindow2*>(this), out);
  if (iid == IID_IConnectionPointContainer) return give(static_cast<IConnectionPointContainer*>(this), out);
  *out = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP HtmlWindow::put_defaultStatus(BSTR v) {
  defaultStatus = v ? std::wstring(v, SysStringLen(v)) : std::wstring();
  return S_OK;
}
STDMETHODIMP HtmlWindow::get_defaultStatus(BSTR* p) {
  *p = SysAllocString(defaultStatus.c_str());
  return S_OK;
}
STDMETHODIMP HtmlWindow::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  *out = nullptr;
  if (iid != DIID_HTMLWindowEvents2) return CONNECT_E_NOCONNECTION;
  return events.CopyTo(out);
}

// --- ClientSite ------------------------------------------------------------

HRESULT ClientSite::query(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IOleClientSite) return give(static_cast<IOleClientSite*>(this), out);
  if (iid == IID_IDocHostUIHandler) return give(static_cast<IDocHostUIHandler*>(this), out);
  if (iid == IID_IOleCommandTarget) return give(static_cast<IOleCommandTarget*>(this), out);
  *out = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP ClientSite::GetHostInfo(DOCHOSTUIINFO*) {
  calls.push_back("GetHostInfo");
  return E_ABORT;  // a value no fixed answer uses, to prove forwarding
}
STDMETHODIMP ClientSite::TranslateAccelerator(LPMSG, const GUID*, DWORD) {
  calls.push_back("TranslateAccelerator");
  return S_OK;
}
STDMETHODIMP ClientSite::GetExternal(IDispatch** out) {
  calls.push_back("GetExternal");
  if (out) *out = nullptr;
  return E_ABORT;
}
STDMETHODIMP ClientSite::Exec(const GUID*, DWORD id, DWORD, VARIANT*, VARIANT*) {
  calls.push_back("Exec " + std::to_string(id));
  return E_ABORT;
}
STDMETHODIMP ClientSite::QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) {
  calls.push_back("QueryStatus");
  return E_ABORT;
}

// --- Document --------------------------------------------------------------

Document::Document()
    : events(make<ConnectionPoint>(DIID_HTMLDocumentEvents2)),
      propertyNotify(make<ConnectionPoint>(IID_IPropertyNotifySink)) {}

HRESULT Document::query(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLDocument || iid == IID_IHTMLDocument2)
    return give(static_cast<IHTMLDocument2*>(this), out);
  if (iid == IID_IOleObject) return give(static_cast<IOleObject*>(this), out);
  if (iid == IID_ICustomDoc) return give(static_cast<ICustomDoc*>(this), out);
  if (iid == IID_IConnectionPointContainer) return give(static_cast<IConnectionPointContainer*>(this), out);
  if (iid == IID_IOleContainer && content) return content->QueryInterface(iid, out);  // the page's frames
  *out = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP Document::get_all(IHTMLElementCollection** p) {
  if (content) return content->get_all(p);
  *p = nullptr;
  return E_NOTIMPL;  // a page without content: the sweep finds nothing
}
STDMETHODIMP Document::get_parentWindow(IHTMLWindow2** p) { return window.CopyTo(p); }
STDMETHODIMP Document::GetClientSite(IOleClientSite** out) { return site.CopyTo(out); }
STDMETHODIMP Document::SetUIHandler(IDocHostUIHandler* handler) {
  ++setUIHandlerCalls;
  uiHandler = handler;
  return S_OK;
}
STDMETHODIMP Document::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  *out = nullptr;
  if (iid == DIID_HTMLDocumentEvents2) return events.CopyTo(out);
  if (iid == IID_IPropertyNotifySink) return propertyNotify.CopyTo(out);
  return CONNECT_E_NOCONNECTION;
}

HRESULT Document::mouseDown(long button, ComPtr<Element> source) {
  ComPtr<EventObj> ev = make<EventObj>(button, std::move(source));
  return fire(*events.Get(), DISPID_HTMLDOCUMENTEVENTS2_ONMOUSEDOWN, {dispatch(static_cast<IHTMLEventObj*>(ev.Get()))});
}

// --- Browser ---------------------------------------------------------------

Browser::Browser() : document(make<Document>()), events(make<ConnectionPoint>(DIID_DWebBrowserEvents2)) {
  registerFrameClass();
  hwnd = CreateWindowExW(0, kFrameClass, L"Stand-in browser", WS_OVERLAPPEDWINDOW, 100, 100, 640, 480, nullptr,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
  if (hwnd) SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Browser::Browser(HWND sharedFrame)
    : document(make<Document>()), events(make<ConnectionPoint>(DIID_DWebBrowserEvents2)) {
  registerFrameClass();
  hwnd = sharedFrame;
  RECT r{0, 0, 640, 400};
  GetClientRect(sharedFrame, &r);
  tabWindow = CreateWindowExW(0, kFrameClass, L"Stand-in tab", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                              r.right, r.bottom, sharedFrame, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (tabWindow) SetWindowLongPtrW(tabWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Browser::~Browser() {
  if (HWND own = tabWindow ? tabWindow : (frameOnly ? nullptr : hwnd)) {
    SetWindowLongPtrW(own, GWLP_USERDATA, 0);
    DestroyWindow(own);
  }
}

HRESULT Browser::query(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWebBrowser2 || iid == IID_IWebBrowserApp ||
      iid == IID_IWebBrowser)
    return give(static_cast<IWebBrowser2*>(this), out);
  if (iid == IID_IConnectionPointContainer) return give(static_cast<IConnectionPointContainer*>(this), out);
  if (iid == IID_IServiceProvider && tabWindow) return give(static_cast<IServiceProvider*>(this), out);
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP Browser::QueryService(REFGUID service, REFIID iid, void** out) {
  noteThread();
  if (!out) return E_POINTER;
  *out = nullptr;
  if (service != IID_IShellBrowser || !tabWindow) return E_NOINTERFACE;
  ComPtr<ShellBrowser> shell = make<ShellBrowser>(tabWindow);
  return shell->QueryInterface(iid, out);
}

HRESULT ShellBrowser::query(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IOleWindow || iid == IID_IShellBrowser)
    return give(static_cast<IShellBrowser*>(this), out);
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP ShellBrowser::GetWindow(HWND* out) {
  if (!out) return E_POINTER;
  *out = window_;
  return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP Browser::get_HWND(SHANDLE_PTR* p) {
  noteThread();
  *p = reinterpret_cast<SHANDLE_PTR>(hwnd);
  return hwnd ? S_OK : E_FAIL;
}
STDMETHODIMP Browser::get_LocationURL(BSTR* p) {
  noteThread();
  ++locationAsked;
  *p = SysAllocString(location.c_str());
  return S_OK;
}
STDMETHODIMP Browser::get_Document(IDispatch** p) {
  noteThread();
  *p = nullptr;
  if (!document) return S_FALSE;
  return document->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(p));
}
STDMETHODIMP Browser::get_ReadyState(READYSTATE* p) {
  noteThread();
  *p = readyState;
  return S_OK;
}
STDMETHODIMP Browser::Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
  noteThread();
  navigations.push_back(url ? std::wstring(url, SysStringLen(url)) : std::wstring());
  readyState = READYSTATE_LOADING;
  if (completeNavigations && ownWindow()) PostMessageW(ownWindow(), kCompleteNavigation, 0, 0);
  return S_OK;
}
STDMETHODIMP Browser::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  noteThread();
  *out = nullptr;
  if (iid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
  return events.CopyTo(out);
}

HRESULT Browser::beforeNavigate2(IDispatch* frame, const std::wstring& url, bool* cancelled) {
  BstrVariant address(url);
  VARIANT flags, target, post, headers;
  VariantInit(&flags);
  VariantInit(&target);
  VariantInit(&post);
  VariantInit(&headers);
  VARIANT_BOOL cancel = VARIANT_FALSE;
  // pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel, reversed.
  const HRESULT hr = fire(*events.Get(), 250,
                          {byRefBool(&cancel), byRefVariant(&headers), byRefVariant(&post), byRefVariant(&target),
                           byRefVariant(&flags), byRefVariant(&address.v), dispatch(frame)});
  if (cancelled) *cancelled = cancel != VARIANT_FALSE;
  return hr;
}

HRESULT Browser::navigateComplete2(IDispatch* frame, const std::wstring& url) {
  BstrVariant address(url);
  return fire(*events.Get(), 252, {byRefVariant(&address.v), dispatch(frame)});
}

HRESULT Browser::documentComplete(IDispatch* frame, const std::wstring& url) {
  BstrVariant address(url);
  return fire(*events.Get(), 259, {byRefVariant(&address.v), dispatch(frame)});
}

bool Browser::load(const std::wstring& url) {
  bool cancelled = false;
  beforeNavigate2(static_cast<IWebBrowser2*>(this), url, &cancelled);
  if (cancelled) return false;
  location = url;
  document = make<Document>();
  navigateComplete2(static_cast<IWebBrowser2*>(this), url);
  documentComplete(static_cast<IWebBrowser2*>(this), url);
  readyState = READYSTATE_COMPLETE;
  return true;
}

void Browser::scriptNavigate(const std::wstring& url) {
  beforeNavigate2(static_cast<IWebBrowser2*>(this), url, nullptr);
}

ComPtr<Browser> Browser::loadFrame(const std::wstring& url) {
  ComPtr<Browser> frame = make<Browser>();
  if (frame->hwnd) {
    SetWindowLongPtrW(frame->hwnd, GWLP_USERDATA, 0);
    DestroyWindow(frame->hwnd);
    frame->hwnd = nullptr;
  }
  frame->frameOnly = true;
  frame->location = url;
  navigateComplete2(static_cast<IWebBrowser2*>(frame.Get()), url);
  documentComplete(static_cast<IWebBrowser2*>(frame.Get()), url);
  return frame;
}

bool Browser::newWindow2() {
  VARIANT_BOOL cancel = VARIANT_FALSE;
  IDispatch* newBrowser = nullptr;
  VARIANT pp;
  VariantInit(&pp);
  V_VT(&pp) = VT_BYREF | VT_DISPATCH;
  V_DISPATCHREF(&pp) = &newBrowser;
  fire(*events.Get(), 251, {byRefBool(&cancel), pp});
  return cancel != VARIANT_FALSE;
}

bool Browser::newWindow(const std::wstring& url) {
  // NewWindow(URL, Flags, TargetFrameName, PostData, Headers, Processed).
  VARIANT_BOOL processed = VARIANT_FALSE;
  BstrVariant address(url);
  VARIANT flags, target, post, headers;
  VariantInit(&flags);
  VariantInit(&target);
  VariantInit(&post);
  VariantInit(&headers);
  V_VT(&flags) = VT_I4;
  V_I4(&flags) = 0;
  fire(*events.Get(), 107, {byRefBool(&processed), headers, post, target, flags, address.v});
  return processed != VARIANT_FALSE;
}

void Browser::quit() { fire(*events.Get(), 253, {}); }

void Browser::switchTab(bool shown) {
  // A tab's own window is shown or hidden.  The single window stays as it
  // is: Wine waits up to two seconds for a window manager whenever a shown
  // top-level window goes, and under Xvfb there is none.
  if (tabWindow) ShowWindow(tabWindow, shown ? SW_SHOWNA : SW_HIDE);
  // WindowStateChanged(dwWindowStateFlags, dwValidFlagsMask), reversed.
  constexpr LONG kUserVisible = 0x1, kEnabled = 0x2;  // OLECMDIDF_WINDOWSTATE_*
  VARIANT flags, mask;
  VariantInit(&flags);
  VariantInit(&mask);
  V_VT(&flags) = VT_I4;
  V_I4(&flags) = shown ? (kUserVisible | kEnabled) : kEnabled;
  V_VT(&mask) = VT_I4;
  V_I4(&mask) = kUserVisible | kEnabled;
  fire(*events.Get(), 283, {mask, flags});
}

// --- creation and pumping --------------------------------------------------

void pump(DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    const DWORD spent = GetTickCount() - start;
    if (spent >= ms) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
  }
}

bool pumpUntil(const std::function<bool()>& done, DWORD boundMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    const DWORD spent = GetTickCount() - start;
    if (spent >= boundMs) return done();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

// --- the tabbed layout ------------------------------------------------------

std::wstring frameExePath() {
  std::wstring p;
  for (const char* c = QV_STANDIN_FRAME_PATH; *c; ++c) p += static_cast<wchar_t>(*c == '/' ? '\\' : *c);
  return !p.empty() && p[0] == L'\\' ? L"Z:" + p : p;
}

FrameProcess::FrameProcess(const std::wstring& exePath) {
  static std::atomic<int> serial{0};
  const std::wstring title = L"Stand-in tabbed browser " + std::to_wstring(GetCurrentProcessId()) + L"." +
                             std::to_wstring(++serial);
  std::wstring command = L"\"" + exePath + L"\" \"" + title + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exePath.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return;
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  processId_ = pi.dwProcessId;
  pumpUntil([&] { return (window_ = FindWindowW(kTabbedFrameClass, title.c_str())) != nullptr; }, 15000);
}

FrameProcess::~FrameProcess() {
  if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
  if (process_) {
    if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
    CloseHandle(process_);
  }
}

int FrameProcess::foreignTimers() const {
  DWORD_PTR result = 0;
  if (!window_ || !SendMessageTimeoutW(window_, kFrameForeignTimers, 0, 0, SMTO_ABORTIFHUNG, 5000, &result))
    return -1;
  return static_cast<int>(result);
}

struct TabJob {
  const std::function<void(Browser&, ComPtr<IObjectWithSite>&)>* work;
  HANDLE done;
};

TabThread::TabThread(HWND frame, Factory create) : frame_(frame), create_(std::move(create)) {
  started_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, &TabThread::main, this, 0, &threadId_);
  if (thread_) waitPumping(started_);
}

DWORD WINAPI TabThread::main(void* self) {
  auto* t = static_cast<TabThread*>(self);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue, before anyone posts to it
  t->browser_ = make<Browser>(t->frame_);
  if (t->browser_->tabWindow) t->pub_ = t->create_();
  t->ready_ = t->pub_ && SUCCEEDED(t->pub_->SetSite(static_cast<IWebBrowser2*>(t->browser_.Get())));
  SetEvent(t->started_);
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == kRunOnTab && msg.hwnd == nullptr) {
      auto* job = reinterpret_cast<TabJob*>(msg.lParam);
      (*job->work)(*t->browser_.Get(), t->pub_);
      SetEvent(job->done);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  t->pub_.Reset();
  t->browser_.Reset();
  CoUninitialize();
  return 0;
}

void TabThread::run(const std::function<void(Browser&, ComPtr<IObjectWithSite>&)>& work) {
  if (!thread_) return;
  TabJob job{&work, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  if (PostThreadMessageW(threadId_, kRunOnTab, 0, reinterpret_cast<LPARAM>(&job))) waitPumping(job.done);
  CloseHandle(job.done);
}

TabThread::~TabThread() {
  if (thread_) {
    run([](Browser& b, ComPtr<IObjectWithSite>& pub) {
      if (pub) {
        if (b.events->count()) b.quit();
        pub->SetSite(nullptr);
        pub.Reset();
      }
      b.document.Reset();
    });
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    waitPumping(thread_);
    CloseHandle(thread_);
  }
  if (started_) CloseHandle(started_);
}

ComPtr<IObjectWithSite> createRegisteredPub() {
  ComPtr<IObjectWithSite> pub;
  CoCreateInstance(CLSID_CPub, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite,
                   reinterpret_cast<void**>(pub.GetAddressOf()));
  return pub;
}

std::map<DWORD, int> timerWindowsByThread() {
  std::map<DWORD, int> out;
  HWND w = nullptr;
  while ((w = FindWindowExW(HWND_MESSAGE, w, L"Quillvane.TimerWindow", nullptr)) != nullptr)
    ++out[GetWindowThreadProcessId(w, nullptr)];
  return out;
}

std::vector<HWND> timerWindowsOfThisThread() {
  std::vector<HWND> out;
  HWND w = nullptr;
  while ((w = FindWindowExW(HWND_MESSAGE, w, L"Quillvane.TimerWindow", nullptr)) != nullptr)
    if (GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId()) out.push_back(w);
  return out;
}

bool pumpUntilTick(HWND window, UINT_PTR id, DWORD boundMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageW(&msg);
      if (msg.message == WM_TIMER && msg.hwnd == window && msg.wParam == id) return true;
    }
    const DWORD spent = GetTickCount() - start;
    if (spent >= boundMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, boundMs - spent, QS_ALLINPUT);
  }
}

}  // namespace standin
