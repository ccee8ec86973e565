// ConnectBrowser / DisconnectBrowser, ConnectPageSinks / DisconnectPageSinks
// and the browser window's subclass procedure.
#include "content/win/page_sinks.h"

#include <mshtmdid.h>

#include "content/frame_rule.h"
#include "core/shared_settings.h"
#include "core/win/pub_services.h"

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

namespace qv::com {
namespace {

// The browser window's own procedure, kept on the window itself: the window
// must always be able to reach it, even when no CPub claims the window.
constexpr char kPreviousProcProp[] = "Quillvane.PreviousFrameProc";

// Per process, shared by every browser window of the process.
content::FrameFlags gFrameFlags;

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

  HWND window = browserWindow(pub.browser.Get());
  // Subclass once: never chain the procedure to itself.
  if (window && !pub.previousFrameProc &&
      reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) != browserFrameProc) {
    auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(browserFrameProc)));
    if (previous) {
      pub.previousFrameProc = previous;
      SetPropA(window, kPreviousProcProp, reinterpret_cast<HANDLE>(previous));
    }
  }

  const QvGdiplusStartupInput input{1, nullptr, FALSE, FALSE};
  if (GdiplusStartup(&pub.gdiplusToken, &input, nullptr) != 0) pub.gdiplusToken = 0;
}

void disconnectBrowser(Pub& pub) {
  if (!pub.browserEventsCookie || !pub.browser) return;
  unadvise(pub.browser.Get(), DIID_DWebBrowserEvents2, pub.browserEventsCookie);
  HWND window = browserWindow(pub.browser.Get());
  if (pub.previousFrameProc) {
    if (window) {
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pub.previousFrameProc));
      RemovePropA(window, kPreviousProcProp);
    }
    pub.previousFrameProc = nullptr;
  }
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

bool ruleMessage(UINT message) {
  switch (message) {
    case WM_CAPTURECHANGED:
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
    case WM_SYSCOMMAND:
    case WM_WINDOWPOSCHANGED:
    case WM_WINDOWPOSCHANGING:
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK browserFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Only the messages of the resize rule need the window's CPub; every
  // other message goes straight on.
  Pub* pub = nullptr;
  if (ruleMessage(message)) {
    try {
      pub = pubsvc::findPubForWindow(window);
    } catch (...) {
      pub = nullptr;
    }
  }
  // Always hand the message to this window's own procedure; the CPub found
  // may serve another window of the thread.
  auto previous = reinterpret_cast<WNDPROC>(GetPropA(window, kPreviousProcProp));
  if (!previous && pub) previous = pub->previousFrameProc;
  if (!previous || previous == browserFrameProc) return DefWindowProcA(window, message, wParam, lParam);

  if (pub) {
    content::FrameInput in;
    auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
    switch (message) {
      case WM_CAPTURECHANGED: in.message = content::FrameMessage::CaptureChanged; break;
      case WM_ENTERSIZEMOVE: in.message = content::FrameMessage::EnterSizeMove; break;
      case WM_EXITSIZEMOVE: in.message = content::FrameMessage::ExitSizeMove; break;
      case WM_SYSCOMMAND:
        in.message = content::FrameMessage::SysCommand;
        in.command = static_cast<std::uint32_t>(wParam);
        break;
      case WM_WINDOWPOSCHANGED: in.message = content::FrameMessage::WindowPosChanged; break;
      case WM_WINDOWPOSCHANGING:
        if (pos) {
          in.message = content::FrameMessage::WindowPosChanging;
          in.posFlags = pos->flags;
        }
        break;
      default: break;
    }
    if (in.message != content::FrameMessage::Other) {
      in.blockResize = pubsvc::shared().blockResize != 0;
      try {
        const std::uint32_t flags =
            content::applyFrameMessage(gFrameFlags, in, [pub] { return pubsvc::isSiteExempt(*pub); });
        if (in.message == content::FrameMessage::WindowPosChanging) pos->flags = flags;
      } catch (...) {
        // The message goes on unchanged.
      }
    }
  }
  if (message == WM_NCDESTROY) RemovePropA(window, kPreviousProcProp);
  return CallWindowProcA(previous, window, message, wParam, lParam);
}

}  // namespace qv::com
