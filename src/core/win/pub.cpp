// CPub: life and identity, the site, the browser's events and the quit.
#include "core/win/pub.h"

#include <oleauto.h>

#include <new>

#include "com/classes.h"
#include "com/bstr.h"
#include "com/guarded.h"
#include "content/win/frame_subclass.h"
#include "content/win/page_sinks.h"
#include "core/win/browser_events.h"
#include "core/win/popup_shell_win.h"
#include "core/win/pub_extender.h"
#include "core/win/pub_services.h"

namespace qv::core::win {
namespace {

using com::guarded;

qv::win::PopupShell& shell() { return qv::win::PopupShell::instance(); }

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
  *userClickedCell = nullptr;
  if (extender_) extender_->setOwner(nullptr);
  // The browser normally quits and clears the site first; when it did
  // neither, undo what would otherwise point at a dead object or call into
  // an unloaded module (the table entry, the subclass, the hooks, the
  // timers, the block cursor).
  try {
    detach();
  } catch (...) {
    // Nothing more can be done for a window that is going away.
  }
  timers.destroy();
  if (keyboardHook) UnhookWindowsHookEx(keyboardHook);
  if (mouseHook) UnhookWindowsHookEx(mouseHook);
  // A table entry whose removal met a busy table (at OnQuit, say) gets
  // another try now rather than keep its slot for the rest of the session.
  try {
    if (shell().configured()) shell().table().RetryPending();
  } catch (...) {
    // It stays remembered for this process's next Add.
  }
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

STDMETHODIMP Pub::GetClassInfo(ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  return com::getTypeInfo(CLSID_CPub, info);
}

// ---------------------------------------------------------------------------
// IObjectWithSite.

STDMETHODIMP Pub::SetSite(IUnknown* site) {
  // A site attaches; a null site undoes everything, whether or not OnQuit
  // came first.  The answer is S_OK either way.
  guarded([&] {
    if (site)
      attach(site);
    else
      detach();
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
    tabWindow = tabWindowOnThisThread(site, browser.Get());
    // The table entry names the tab's own window, so that a focus look-up
    // from inside the tab meets it before the shared frame.
    flags.frameWindow = reinterpret_cast<WindowHandle>(tabWindow ? tabWindow : frameWindow);
    if (!inTable) inTable = enterTable();
    if (!browserEventsCookie) content::win::connectBrowser(*this);
  } else {
    browser.Reset();
  }
  shell().loadCursors();
  // A second SetSite must not stack a second pair of hooks on the thread.
  if (!keyboardHook) keyboardHook = SetWindowsHookExA(WH_KEYBOARD, &qv::win::PopupShell::KeyboardProc, nullptr, thread);
  if (!mouseHook) mouseHook = SetWindowsHookExA(WH_MOUSE, &qv::win::PopupShell::MouseProc, nullptr, thread);
  pubsvc::ensureTray(*this);
  // The timers live on this object's own message-only window; without a
  // browser there is nothing for them to serve.
  if (browser) timers.start(flags, tableToken);
}

void Pub::detach() {
  // The tray is keyed by its owner: an object whose site gave no browser
  // was offered the tray too and must not go on owning it.
  pubsvc::removeTray(*this);
  timers.destroy();
  disconnectAllPages();
  detachDocument();
  if (browserEventsCookie && browser) content::win::disconnectBrowser(*this);
  leaveTable();
  if (keyboardHook) UnhookWindowsHookEx(keyboardHook);
  if (mouseHook) UnhookWindowsHookEx(mouseHook);
  keyboardHook = mouseHook = nullptr;
  browser.Reset();
  frameWindow = tabWindow = nullptr;
  flags.frameWindow = 0;
}

bool Pub::enterTable() {
  auto& sh = shell();
  if (!sh.configured()) return false;
  if (!tableToken) tableToken = sh.tokens().add(&flags);
  return core::AddWindow(sh.table(), sh.context().messages, core::TableWindow(flags.frameWindow), tableToken,
                         GetCurrentThreadId(), GetCurrentProcessId());
}

void Pub::leaveTable() {
  auto& sh = shell();
  if (tableToken && sh.configured()) {
    sh.table().Remove(tableToken, core::TableWindow(flags.frameWindow), GetCurrentProcessId());
    sh.tokens().remove(tableToken);
  }
  tableToken = 0;
  inTable = false;
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
  return com::getTypeInfo(IID_IPub, info);
}

STDMETHODIMP Pub::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  return guarded([&] {
    ComPtr<ITypeInfo> ti;
    HRESULT hr = com::getTypeInfo(IID_IPub, &ti);
    return FAILED(hr) ? hr : ti->GetIDsOfNames(names, count, ids);
  });
}

STDMETHODIMP Pub::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
  if (!params) return E_INVALIDARG;
  return guarded([&] {
    const com::BrowserEvent ev = com::decodeBrowserEvent(id, params);
    switch (ev.kind) {
      case com::BrowserEventKind::NewWindow:
        onNewWindow(ev.cancel);
        break;
      case com::BrowserEventKind::BeforeNavigate:
        onBeforeNavigate(ev.address);
        break;
      case com::BrowserEventKind::NavigateComplete:
        onNavigateComplete(ev.frame);
        break;
      case com::BrowserEventKind::DocumentComplete:
        onDocumentComplete(ev.frame);
        break;
      case com::BrowserEventKind::Quit:
        onQuit();
        break;
      case com::BrowserEventKind::WindowState:
        // A tab in the background is not swept; shown, it sweeps at once.
        if (ev.visible && shell().configured()) popup::OnWindowState(shell().context(), flags, *ev.visible);
        break;
      case com::BrowserEventKind::Ignored:
        break;
    }
    return S_OK;
  });
}

void Pub::onNewWindow(VARIANT_BOOL* cancel) {
  if (!shell().configured()) return;
  if (popup::DecideNewWindow(shell().context(), flags).block && cancel) *cancel = VARIANT_TRUE;
}

void Pub::onBeforeNavigate(const std::string& address) {
  shell().clicks().resetClicks();
  if (core::onBeforeNavigate(flags, address) == core::PageSinks::DisconnectAll) disconnectAllPages();
}

void Pub::onNavigateComplete(IDispatch* frame) {
  core::onNavigateCompleteBegin(flags);
  shell().clicks().resetClicks();
  connectPage(frame);
  topLevelAttach();
  core::onCompletionEnd(flags);
}

void Pub::onDocumentComplete(IDispatch* frame) {
  core::onDocumentCompleteBegin(flags);
  shell().clicks().resetClicks();
  connectPage(frame);
  core::onCompletionEnd(flags);
}

void Pub::connectPage(IDispatch* frame) {
  auto record = std::make_unique<SinkRecord>();
  if (frame) frame->QueryInterface(IID_PPV_ARGS(&record->frame));
  SinkRecord& r = *record;
  sinkRecords.push_back(std::move(record));
  content::win::connectPageSinks(*this, r);
}

void Pub::disconnectAllPages() {
  while (!sinkRecords.empty()) {
    std::unique_ptr<SinkRecord> oldest = std::move(sinkRecords.front());
    sinkRecords.pop_front();
    content::win::disconnectPageSinks(*this, *oldest);
  }
}

void Pub::onQuit() {
  // A second OnQuit, also one delivered by the message pumping of the wait
  // below, finds the quit already under way.
  if (flags.quitting || quitStarted_) return;
  quitStarted_ = true;
  pubsvc::removeTray(*this);
  timers.stopSweep();

  if (browser) {
    const com::Bstr blank(L"about:blank");
    VARIANT none;  // VT_EMPTY: owns nothing
    VariantInit(&none);
    const HRESULT hr = browser->Navigate(blank.get(), &none, &none, &none, &none);
    if (SUCCEEDED(hr)) {
      BrowserReadyWait wait(browser.Get());
      core::waitUntilComplete(wait);
    }
  }

  flags.quitting = 1;
  unadviseDocument();
  disconnectAllPages();
  if (browserEventsCookie && browser) content::win::disconnectBrowser(*this);
  document.Reset();
  leaveTable();
  // The hooks go in every case: a window that never got a table entry
  // installed them too, and they must not outlive the object.  The timer
  // window stays until the object goes; quitting, it watches no dialog.
  if (keyboardHook) UnhookWindowsHookEx(keyboardHook);
  if (mouseHook) UnhookWindowsHookEx(mouseHook);
  keyboardHook = mouseHook = nullptr;
}

// ---------------------------------------------------------------------------
// Creation.

}  // namespace qv::core::win

HRESULT qv::com::createPub(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* pub = new (std::nothrow) core::win::Pub();
  if (!pub) return E_OUTOFMEMORY;
  pub->AddRef();
  HRESULT hr = guarded([&] { return core::win::pubsvc::preparePub(*pub); });
  if (SUCCEEDED(hr)) hr = pub->QueryInterface(iid, out);
  pub->Release();
  return hr;
}

