// ConnectBrowser / DisconnectBrowser and ConnectPageSinks /
// DisconnectPageSinks.
#include "content/win/page_sinks.h"

#include <mshtmdid.h>

#include "content/win/frame_subclass.h"

// GDI+ flat start-up API (gdiplus.dll), declared here rather than through
// the C++ GDI+ headers, which need the min/max macros this build turns off.
extern "C" {
struct QvGdiplusStartupInput {
  UINT32 GdiplusVersion;
  void* DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};
int WINAPI GdiplusStartup(ULONG_PTR* token, const QvGdiplusStartupInput* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
}

namespace qv::content::win {
namespace {

using core::win::Pub;
using core::win::SinkRecord;
using Microsoft::WRL::ComPtr;

ComPtr<IConnectionPoint> connectionPoint(IUnknown* container, REFIID events) {
  ComPtr<IConnectionPointContainer> cpc;
  ComPtr<IConnectionPoint> cp;
  if (container && SUCCEEDED(container->QueryInterface(IID_PPV_ARGS(&cpc))) &&
      SUCCEEDED(cpc->FindConnectionPoint(events, &cp)))
    return cp;
  return nullptr;
}

DWORD advise(IUnknown* container, REFIID events, IUnknown* sink) {
  DWORD cookie = 0;
  ComPtr<IConnectionPoint> cp = connectionPoint(container, events);
  if (!cp || FAILED(cp->Advise(sink, &cookie))) return 0;
  return cookie;
}

void unadvise(IUnknown* container, REFIID events, DWORD& cookie) {
  if (!cookie) return;
  if (ComPtr<IConnectionPoint> cp = connectionPoint(container, events)) cp->Unadvise(cookie);
  cookie = 0;
}

HWND browserWindow(IWebBrowser2* browser) {
  SHANDLE_PTR h = 0;
  if (!browser || FAILED(browser->get_HWND(&h))) return nullptr;
  return reinterpret_cast<HWND>(h);
}

// The record's document and its window.
bool pageOf(SinkRecord& record, ComPtr<IHTMLDocument2>& doc, ComPtr<IHTMLWindow2>& window) {
  if (!record.frame) return false;
  ComPtr<IDispatch> d;
  if (FAILED(record.frame->get_Document(&d)) || !d || FAILED(d.As(&doc)) || !doc) return false;
  if (FAILED(doc->get_parentWindow(&window))) window.Reset();
  return true;
}

}  // namespace

void connectBrowser(Pub& pub) {
  if (!pub.browser) return;
  DWORD cookie = advise(pub.browser.Get(), DIID_DWebBrowserEvents2, static_cast<IPub*>(&pub));
  if (!cookie) return;
  pub.browserEventsCookie = cookie;

  // The top-level window is subclassed only from its own thread.
  if (!pub.frameLink) pub.frameLink = subclassFrame(pub, browserWindow(pub.browser.Get()));

  const QvGdiplusStartupInput input{1, nullptr, FALSE, FALSE};
  if (GdiplusStartup(&pub.gdiplusToken, &input, nullptr) != 0) pub.gdiplusToken = 0;
}

void disconnectBrowser(Pub& pub) {
  if (!pub.browserEventsCookie || !pub.browser) return;
  unadvise(pub.browser.Get(), DIID_DWebBrowserEvents2, pub.browserEventsCookie);
  releaseFrame(pub.frameLink);
  pub.frameLink = nullptr;
  if (pub.gdiplusToken) GdiplusShutdown(pub.gdiplusToken);
  pub.gdiplusToken = 0;
}

namespace {

DWORD adviseOn(IConnectionPoint* cp, IUnknown* sink) {
  DWORD cookie = 0;
  if (!cp || !sink || FAILED(cp->Advise(sink, &cookie))) return 0;
  return cookie;
}

void unadviseOn(ComPtr<IConnectionPoint>& cp, DWORD& cookie) {
  if (cp && cookie) cp->Unadvise(cookie);
  cookie = 0;
  cp.Reset();
}

}  // namespace

void connectPageSinks(Pub& pub, SinkRecord& record) {
  ComPtr<IHTMLDocument2> doc;
  ComPtr<IHTMLWindow2> window;
  if (!pageOf(record, doc, window)) return;
  ComPtr<IDispatch> docSink;
  if (SUCCEEDED(createDocEventHandlerFor(pub.userClickedCell, &docSink))) {
    ComPtr<IConnectionPoint> cp = connectionPoint(doc.Get(), DIID_HTMLDocumentEvents2);
    record.documentSinkCookie = adviseOn(cp.Get(), docSink.Get());
    if (record.documentSinkCookie) record.documentPoint = cp;
  }
  ComPtr<IDispatch> windowSink;
  if (window && SUCCEEDED(createWindowEventHandlerFor(&windowSink))) {
    ComPtr<IConnectionPoint> cp = connectionPoint(window.Get(), DIID_HTMLWindowEvents2);
    record.windowSinkCookie = adviseOn(cp.Get(), windowSink.Get());
    if (record.windowSinkCookie) record.windowPoint = cp;
  }
}

void disconnectPageSinks(Pub&, SinkRecord& record) {
  unadviseOn(record.windowPoint, record.windowSinkCookie);
  unadviseOn(record.documentPoint, record.documentSinkCookie);
}

}  // namespace qv::content::win
