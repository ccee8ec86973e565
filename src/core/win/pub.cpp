// CPub, the browser helper object, and CPubDomExtender, the page's external
// object.
#include "core/win/pub.h"

#include <oleauto.h>

#include <new>

#include "com/classes.h"
#include "core/popup.h"
#include "content/win/page_sinks.h"
#include "core/win/browser_events.h"
#include "com/guarded.h"
#include "core/win/pub_services.h"

namespace qv::com {
namespace {

using popup::kDialogWatchPeriodMs;
using popup::kSweepPeriodMs;
constexpr UINT_PTR kBlockCursorTimer = popup::kTimerBlockCursor;
constexpr UINT_PTR kSweepTimer = popup::kTimerSweep;
constexpr UINT_PTR kDialogWatchTimer = popup::kTimerDialogWatch;
constexpr DWORD kShowScriptError = 40;  // OLECMDID_SHOWSCRIPTERROR

bool sameObject(IUnknown* a, IUnknown* b) {
  if (!a || !b) return false;
  ComPtr<IUnknown> ia, ib;
  if (FAILED(a->QueryInterface(IID_PPV_ARGS(&ia))) || FAILED(b->QueryInterface(IID_PPV_ARGS(&ib)))) return false;
  return ia.Get() == ib.Get();
}

// Connects or disconnects the object's IPropertyNotifySink on a document.
DWORD adviseNotify(IHTMLDocument2* doc, IPropertyNotifySink* sink) {
  ComPtr<IConnectionPointContainer> cpc;
  ComPtr<IConnectionPoint> cp;
  DWORD cookie = 0;
  if (doc && SUCCEEDED(doc->QueryInterface(IID_PPV_ARGS(&cpc))) &&
      SUCCEEDED(cpc->FindConnectionPoint(IID_IPropertyNotifySink, &cp)) && cp &&
      FAILED(cp->Advise(sink, &cookie)))
    cookie = 0;
  return cookie;
}

void unadviseNotify(IHTMLDocument2* doc, DWORD cookie) {
  ComPtr<IConnectionPointContainer> cpc;
  ComPtr<IConnectionPoint> cp;
  if (doc && cookie && SUCCEEDED(doc->QueryInterface(IID_PPV_ARGS(&cpc))) &&
      SUCCEEDED(cpc->FindConnectionPoint(IID_IPropertyNotifySink, &cp)) && cp)
    cp->Unadvise(cookie);
}

// The quit wait against the real browser and the thread's message queue.
class BrowserReadyWait final : public core::ReadyStateWait {
 public:
  explicit BrowserReadyWait(IWebBrowser2* browser) : browser_(browser) {}
  std::uint32_t tickCount() override { return GetTickCount(); }
  std::optional<int> readyState() override {
    READYSTATE state = READYSTATE_UNINITIALIZED;
    if (!browser_ || FAILED(browser_->get_ReadyState(&state))) return std::nullopt;
    return static_cast<int>(state);
  }
  void sleepAndPump(std::uint32_t ms) override {
    Sleep(ms);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The thread's own loop must still see the request to end.
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      DispatchMessageA(&msg);
    }
  }

 private:
  IWebBrowser2* browser_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Life and identity.

Pub::Pub() { flags.host = &host; }

Pub::~Pub() {
  // Anything released below may call back into Release; keep the count
  // away from zero so that it cannot delete the object a second time.
  refs_ = 1 << 20;
  // The browser normally quits first; when it did not, undo what would
  // otherwise point at a dead object (the table entry, the window
  // procedure, the hooks, the timers).
  *userClickedCell = nullptr;
  if (extender_) extender_->setOwner(nullptr);
  try {
    if (!flags.quitting) {
      if (frameWindow) {
        KillTimer(frameWindow, kSweepTimer);
        KillTimer(frameWindow, kDialogWatchTimer);
      }
      disconnectAllPages();
      if (browserEventsCookie && browser) disconnectBrowser(*this);
    }
    if (tableToken) pubsvc::tableRemove(this, frameWindow, GetCurrentProcessId());
  } catch (...) {
    // Nothing more can be done for a window that is going away.
  }
  // The dialog watch and the block cursor would otherwise go on calling
  // into this module from the browser's window after the object is gone,
  // and after the module may have been unloaded.
  if (frameWindow) {
    KillTimer(frameWindow, kDialogWatchTimer);
    KillTimer(frameWindow, kBlockCursorTimer);
  }
  if (keyboardHook) UnhookWindowsHookEx(keyboardHook);
  if (mouseHook) UnhookWindowsHookEx(mouseHook);
}

STDMETHODIMP Pub::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  void* p = nullptr;
  if (iid == IID_IUnknown || iid == IID_IObjectWithSite)
    p = static_cast<IObjectWithSite*>(this);
  else if (iid == IID_IPub || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2)
    p = static_cast<IPub*>(this);
  else if (iid == IID_IDocHostUIHandler)
    p = static_cast<IDocHostUIHandler*>(this);
  else if (iid == IID_IOleCommandTarget)
    p = static_cast<IOleCommandTarget*>(this);
  else if (iid == IID_IPropertyNotifySink)
    p = static_cast<IPropertyNotifySink*>(this);
  else if (iid == IID_IProvideClassInfo)
    p = static_cast<IProvideClassInfo*>(this);
  *out = p;
  if (!p) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) Pub::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) Pub::Release() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

// ---------------------------------------------------------------------------
// IObjectWithSite.

STDMETHODIMP Pub::SetSite(IUnknown* site) {
  // Detaching happens at OnQuit, not here; the answer is S_OK either way.
  if (site) guarded([&] {
    attach(site);
    return S_OK;
  });
  return S_OK;
}

STDMETHODIMP Pub::GetSite(REFIID, void** out) {
  if (out) *out = nullptr;
  return E_FAIL;
}

void Pub::attach(IUnknown* site) {
  browser.Reset();
  const DWORD thread = GetCurrentThreadId();
  if (SUCCEEDED(site->QueryInterface(IID_PPV_ARGS(&browser))) && browser) {
    SHANDLE_PTR hwnd = 0;
    if (SUCCEEDED(browser->get_HWND(&hwnd))) frameWindow = reinterpret_cast<HWND>(hwnd);
    flags.frameWindow = reinterpret_cast<WindowHandle>(frameWindow);
    // A full table shows "IDS_ERR_TOOMANYWINDOWS"; the window runs on
    // without an entry.
    if (!inTable) inTable = pubsvc::tableAdd(frameWindow, this, thread, GetCurrentProcessId());
    if (!browserEventsCookie) connectBrowser(*this);
  } else {
    browser.Reset();
  }
  pubsvc::loadCursors();
  // A second SetSite must not stack a second pair of hooks on the thread.
  if (!keyboardHook) {
    if (HOOKPROC proc = pubsvc::keyboardHookProc()) keyboardHook = SetWindowsHookExA(WH_KEYBOARD, proc, nullptr, thread);
  }
  if (!mouseHook) {
    if (HOOKPROC proc = pubsvc::mouseHookProc()) mouseHook = SetWindowsHookExA(WH_MOUSE, proc, nullptr, thread);
  }
  pubsvc::ensureTray(*this);
  // Timers belong to the browser's window; without one there is nothing to
  // serve (a thread timer would get an id of the system's choosing).
  if (frameWindow) {
    if (TIMERPROC proc = pubsvc::timerProc()) {
      SetTimer(frameWindow, kSweepTimer, kSweepPeriodMs, proc);
      SetTimer(frameWindow, kDialogWatchTimer, kDialogWatchPeriodMs, proc);
    }
  }
}

// ---------------------------------------------------------------------------
// IDispatch: the browser's events.

STDMETHODIMP Pub::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP Pub::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return getTypeInfo(IID_IPub, info);
}

STDMETHODIMP Pub::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  return guarded([&] {
    ComPtr<ITypeInfo> ti;
    HRESULT hr = getTypeInfo(IID_IPub, &ti);
    return FAILED(hr) ? hr : ti->GetIDsOfNames(names, count, ids);
  });
}

STDMETHODIMP Pub::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
  if (!params) return E_INVALIDARG;
  return guarded([&] {
    const BrowserEvent ev = decodeBrowserEvent(id, params);
    switch (ev.kind) {
      case BrowserEventKind::NewWindow:
        onNewWindow(ev.cancel);
        break;
      case BrowserEventKind::BeforeNavigate:
        onBeforeNavigate(ev.address);
        break;
      case BrowserEventKind::NavigateComplete:
        onNavigateComplete(ev.frame);
        break;
      case BrowserEventKind::DocumentComplete:
        onDocumentComplete(ev.frame);
        break;
      case BrowserEventKind::Quit:
        onQuit();
        break;
      case BrowserEventKind::Ignored:
        break;
    }
    return S_OK;
  });
}

void Pub::onNewWindow(VARIANT_BOOL* cancel) {
  if (pubsvc::decideNewWindow(*this) && cancel) *cancel = VARIANT_TRUE;
}

void Pub::onBeforeNavigate(const std::string& address) {
  pubsvc::resetClickState();
  if (core::onBeforeNavigate(flags, address) == core::PageSinks::DisconnectAll) disconnectAllPages();
}

void Pub::onNavigateComplete(IDispatch* frame) {
  core::onNavigateCompleteBegin(flags);
  pubsvc::resetClickState();
  connectPage(frame);
  topLevelAttach();
  core::onCompletionEnd(flags);
}

void Pub::onDocumentComplete(IDispatch* frame) {
  core::onDocumentCompleteBegin(flags);
  pubsvc::resetClickState();
  connectPage(frame);
  core::onCompletionEnd(flags);
}

void Pub::connectPage(IDispatch* frame) {
  auto record = std::make_unique<SinkRecord>();
  if (frame) frame->QueryInterface(IID_PPV_ARGS(&record->frame));
  SinkRecord& r = *record;
  sinkRecords.push_back(std::move(record));
  connectPageSinks(*this, r);
}

void Pub::disconnectAllPages() {
  while (!sinkRecords.empty()) {
    std::unique_ptr<SinkRecord> oldest = std::move(sinkRecords.front());
    sinkRecords.pop_front();
    disconnectPageSinks(*this, *oldest);
  }
}

void Pub::topLevelAttach() {
  if (!browser) return;
  ComPtr<IDispatch> docDispatch;
  if (FAILED(browser->get_Document(&docDispatch)) || !docDispatch) return;
  ComPtr<IHTMLDocument2> doc;
  if (FAILED(docDispatch.As(&doc)) || !doc) return;

  const bool same = document && sameObject(document.Get(), doc.Get());
  if (document && !same) {
    if (notifyCookie) unadviseNotify(document.Get(), notifyCookie);
    notifyCookie = 0;
  }
  if (!same) {
    document = doc;
    notifyCookie = adviseNotify(document.Get(), static_cast<IPropertyNotifySink*>(this));
  }

  statusWindow.Reset();
  if (FAILED(document->get_parentWindow(&statusWindow))) statusWindow.Reset();

  ComPtr<IOleObject> ole;
  ComPtr<IOleClientSite> clientSite;
  if (SUCCEEDED(document.As(&ole)) && SUCCEEDED(ole->GetClientSite(&clientSite)) && clientSite) {
    ComPtr<IDocHostUIHandler> handler;
    ComPtr<IOleCommandTarget> target;
    clientSite.As(&handler);
    clientSite.As(&target);
    // Never forward to ourselves: a site that hands back this very object
    // would make every forwarded call recurse.
    defaultUIHandler = sameObject(handler.Get(), identity()) ? nullptr : handler;
    defaultCommandTarget = sameObject(target.Get(), identity()) ? nullptr : target;
  }

  ComPtr<ICustomDoc> custom;
  if (SUCCEEDED(document.As(&custom))) custom->SetUIHandler(static_cast<IDocHostUIHandler*>(this));

  auto* ext = new PubDomExtender();
  ext->setOwner(this);
  if (extender_) extender_->setOwner(nullptr);
  extender_ = ext;
  externalObject = ext;  // takes the first reference
}

void Pub::onQuit() {
  // A second OnQuit, also one delivered by the message pumping of the wait
  // below, finds the quit already under way.
  if (flags.quitting || quitStarted_) return;
  quitStarted_ = true;
  pubsvc::removeTray(*this);
  if (frameWindow) KillTimer(frameWindow, kSweepTimer);

  if (browser) {
    BSTR blank = SysAllocString(L"about:blank");
    VARIANT none;
    VariantInit(&none);
    const HRESULT hr = blank ? browser->Navigate(blank, &none, &none, &none, &none) : E_OUTOFMEMORY;
    SysFreeString(blank);
    if (SUCCEEDED(hr)) {
      BrowserReadyWait wait(browser.Get());
      core::waitUntilComplete(wait);
    }
  }

  flags.quitting = 1;
  if (notifyCookie && document) unadviseNotify(document.Get(), notifyCookie);
  notifyCookie = 0;
  disconnectAllPages();
  if (browserEventsCookie && browser) disconnectBrowser(*this);
  document.Reset();
  if (tableToken) pubsvc::tableRemove(this, frameWindow, GetCurrentProcessId());
  inTable = false;
  // The hooks go in every case: a window that never got a table entry
  // installed them too, and they must not outlive the object.
  if (keyboardHook) UnhookWindowsHookEx(keyboardHook);
  if (mouseHook) UnhookWindowsHookEx(mouseHook);
  keyboardHook = mouseHook = nullptr;
}

// ---------------------------------------------------------------------------
// IDocHostUIHandler: everything but the context menu and the external
// object goes to the document's own handler, with a fixed answer when there
// is none.

STDMETHODIMP Pub::ShowContextMenu(DWORD id, POINT* pt, IUnknown* target, IDispatch* object) {
  return guarded([&] { return pubsvc::showContextMenu(*this, id, pt, target, object); }, S_FALSE);
}

#define QV_FORWARD(call, fallback)                               \
  return guarded([&] {                                           \
    return defaultUIHandler ? defaultUIHandler->call : (fallback); \
  })

STDMETHODIMP Pub::GetHostInfo(DOCHOSTUIINFO* info) { QV_FORWARD(GetHostInfo(info), S_OK); }
STDMETHODIMP Pub::ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target,
                         IOleInPlaceFrame* frame, IOleInPlaceUIWindow* doc) {
  QV_FORWARD(ShowUI(id, active, target, frame, doc), S_FALSE);
}
STDMETHODIMP Pub::HideUI() { QV_FORWARD(HideUI(), S_OK); }
STDMETHODIMP Pub::UpdateUI() { QV_FORWARD(UpdateUI(), S_OK); }
STDMETHODIMP Pub::EnableModeless(BOOL enable) { QV_FORWARD(EnableModeless(enable), S_OK); }
STDMETHODIMP Pub::OnDocWindowActivate(BOOL activate) { QV_FORWARD(OnDocWindowActivate(activate), S_OK); }
STDMETHODIMP Pub::OnFrameWindowActivate(BOOL activate) { QV_FORWARD(OnFrameWindowActivate(activate), S_OK); }
STDMETHODIMP Pub::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) {
  QV_FORWARD(ResizeBorder(border, window, frame), S_OK);
}
STDMETHODIMP Pub::TranslateAccelerator(LPMSG msg, const GUID* group, DWORD cmd) {
  QV_FORWARD(TranslateAccelerator(msg, group, cmd), E_NOTIMPL);
}
STDMETHODIMP Pub::GetOptionKeyPath(LPOLESTR* key, DWORD reserved) {
  QV_FORWARD(GetOptionKeyPath(key, reserved), E_FAIL);
}
STDMETHODIMP Pub::GetDropTarget(IDropTarget* target, IDropTarget** out) {
  QV_FORWARD(GetDropTarget(target, out), S_OK);
}
STDMETHODIMP Pub::TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* out) {
  QV_FORWARD(TranslateUrl(translate, url, out), S_FALSE);
}
STDMETHODIMP Pub::FilterDataObject(IDataObject* in, IDataObject** out) {
  QV_FORWARD(FilterDataObject(in, out), S_FALSE);
}
#undef QV_FORWARD

STDMETHODIMP Pub::GetExternal(IDispatch** out) {
  return guarded([&]() -> HRESULT {
    if (externalObject) {
      if (!out) return E_POINTER;
      return externalObject.CopyTo(out);
    }
    if (defaultUIHandler) return defaultUIHandler->GetExternal(out);
    if (out) *out = nullptr;
    return S_FALSE;
  });
}

// ---------------------------------------------------------------------------
// IOleCommandTarget: script errors are answered "handled" so that no error
// dialog shows and the page's scripts keep running.

STDMETHODIMP Pub::QueryStatus(const GUID* group, ULONG count, OLECMD* cmds, OLECMDTEXT* text) {
  return guarded([&] { return defaultCommandTarget ? defaultCommandTarget->QueryStatus(group, count, cmds, text) : S_OK; });
}

STDMETHODIMP Pub::Exec(const GUID* group, DWORD id, DWORD opt, VARIANT* in, VARIANT* out) {
  return guarded([&] {
    if (id == kShowScriptError) {
      if (out) {
        VariantClear(out);
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = VARIANT_TRUE;
      }
      return S_OK;
    }
    return defaultCommandTarget ? defaultCommandTarget->Exec(group, id, opt, in, out) : S_OK;
  });
}

// ---------------------------------------------------------------------------
// IPropertyNotifySink and IProvideClassInfo.

STDMETHODIMP Pub::OnChanged(DISPID) { return S_OK; }
STDMETHODIMP Pub::OnRequestEdit(DISPID) { return S_OK; }

STDMETHODIMP Pub::GetClassInfo(ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  return getTypeInfo(CLSID_CPub, info);
}

// ---------------------------------------------------------------------------
// CPubDomExtender.

STDMETHODIMP PubDomExtender::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IPubDomExtender) {
    *out = static_cast<IPubDomExtender*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) PubDomExtender::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
STDMETHODIMP_(ULONG) PubDomExtender::Release() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}
STDMETHODIMP PubDomExtender::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}
STDMETHODIMP PubDomExtender::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return getTypeInfo(IID_IPubDomExtender, info);
}
STDMETHODIMP PubDomExtender::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  return guarded([&] {
    ComPtr<ITypeInfo> ti;
    HRESULT hr = getTypeInfo(IID_IPubDomExtender, &ti);
    return FAILED(hr) ? hr : ti->GetIDsOfNames(names, count, ids);
  });
}
STDMETHODIMP PubDomExtender::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO* excep, UINT* argErr) {
  return guarded([&] {
    ComPtr<ITypeInfo> ti;
    HRESULT hr = getTypeInfo(IID_IPubDomExtender, &ti);
    return FAILED(hr) ? hr
                      : ti->Invoke(static_cast<IPubDomExtender*>(this), id, flags, params, result, excep, argErr);
  });
}
STDMETHODIMP PubDomExtender::EditOptions() {
  return guarded([&] {
    if (owner_) pubsvc::showOptions(*owner_, 0);
    return S_OK;
  });
}

// ---------------------------------------------------------------------------
// Creation.

HRESULT createPub(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* pub = new (std::nothrow) Pub();
  if (!pub) return E_OUTOFMEMORY;
  pub->AddRef();
  HRESULT hr = guarded([&] { return pubsvc::preparePub(*pub); });
  if (SUCCEEDED(hr)) hr = pub->QueryInterface(iid, out);
  pub->Release();
  return hr;
}

HRESULT createPubDomExtender(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* ext = new (std::nothrow) PubDomExtender();
  if (!ext) return E_OUTOFMEMORY;
  ext->AddRef();
  const HRESULT hr = ext->QueryInterface(iid, out);
  ext->Release();
  return hr;
}

}  // namespace qv::com
