// The document host side of CPub: attaching to the top-level document
// (property sink, client site's own handlers, UI handler, external object)
// and the IDocHostUIHandler / IOleCommandTarget calls, which go on to the
// document's own handler except the few this object answers itself.
#include "core/win/pub.h"

#include <oleauto.h>

#include "com/guarded.h"
#include "com/variant.h"
#include "core/win/pub_extender.h"
#include "core/win/pub_services.h"

namespace qv::core::win {
namespace {

using com::guarded;

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

}  // namespace

void Pub::unadviseDocument() {
  if (notifyCookie && document) unadviseNotify(document.Get(), notifyCookie);
  notifyCookie = 0;
}

void Pub::detachDocument() {
  unadviseDocument();
  // Without OnQuit the document still holds this object as its UI handler;
  // it gets its own back, so that nothing keeps the module loaded.
  ComPtr<ICustomDoc> custom;
  if (document && SUCCEEDED(document.As(&custom))) custom->SetUIHandler(nullptr);
  document.Reset();
  statusWindow.Reset();
  defaultUIHandler.Reset();
  defaultCommandTarget.Reset();
  if (extender_) extender_->setOwner(nullptr);
  extender_ = nullptr;
  externalObject.Reset();
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

// The same, for a method with an [out] pointer: without a handler to fill
// it, it is set to null, so the caller never reads what it happened to hold.
#define QV_FORWARD_OUT(call, out, fallback)           \
  return guarded([&] {                                \
    if (defaultUIHandler) return defaultUIHandler->call; \
    if (out) *(out) = nullptr;                        \
    return HRESULT(fallback);                         \
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
  QV_FORWARD_OUT(GetOptionKeyPath(key, reserved), key, E_FAIL);
}
STDMETHODIMP Pub::GetDropTarget(IDropTarget* target, IDropTarget** out) {
  QV_FORWARD_OUT(GetDropTarget(target, out), out, S_OK);
}
STDMETHODIMP Pub::TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* out) {
  QV_FORWARD_OUT(TranslateUrl(translate, url, out), out, S_FALSE);
}
STDMETHODIMP Pub::FilterDataObject(IDataObject* in, IDataObject** out) {
  QV_FORWARD_OUT(FilterDataObject(in, out), out, S_FALSE);
}
#undef QV_FORWARD_OUT
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
      if (out) com::Variant(true).releaseInto(out);
      return S_OK;
    }
    return defaultCommandTarget ? defaultCommandTarget->Exec(group, id, opt, in, out) : S_OK;
  });
}

// ---------------------------------------------------------------------------
// IPropertyNotifySink: connected to keep the document's notifications
// flowing; nothing in them is needed.

STDMETHODIMP Pub::OnChanged(DISPID) { return S_OK; }
STDMETHODIMP Pub::OnRequestEdit(DISPID) { return S_OK; }

}  // namespace qv::core::win
