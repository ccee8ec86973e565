// CDocEventHandler and CWindowEventHandler, the page event sinks.
//
// The document sink watches mouse presses: a press on a link, an image-map
// area, a form input or an image (or inside one, below the body) marks the
// next new window as the user's doing; a press reporting button 0 clears
// that mark.  The window sink answers the window's error event with true, so
// the page's script errors go unreported.
#include <windows.h>
#include <mshtml.h>
#include <mshtmdid.h>
#include <wrl/client.h>

#include <memory>
#include <new>

#include "com/classes.h"
#include "com/guarded.h"
#include "com/simple_object.h"
#include "com/text.h"
#include "com/variant.h"
#include "content/page_click.h"
#include "content/win/page_sinks.h"
#include "core/win/browser_events.h"
#include "quillvane_i.h"

namespace qv::content::win {
namespace {

using Microsoft::WRL::ComPtr;
using com::Bstr;
using com::guarded;
using com::narrowBstr;
using com::SimpleDualObject;
using com::Variant;

constexpr DISPID kMouseDown = -605;    // DISPID_HTMLDOCUMENTEVENTS2_ONMOUSEDOWN
constexpr DISPID kWindowError = 1002;  // DISPID_HTMLWINDOWEVENTS2_ONERROR

// The page's element seen through the content rule's element view.
class MshtmlElement final : public content::PageElement {
 public:
  explicit MshtmlElement(ComPtr<IHTMLElement> e) : e_(std::move(e)) {}
  std::optional<std::string> tagName() override {
    Bstr tag;
    if (FAILED(e_->get_tagName(tag.Receive()))) return std::nullopt;
    return narrowBstr(tag.get());
  }
  std::unique_ptr<content::PageElement> parent() override {
    ComPtr<IHTMLElement> p;
    if (FAILED(e_->get_parentElement(&p)) || !p) return nullptr;
    return std::make_unique<MshtmlElement>(std::move(p));
  }

 private:
  ComPtr<IHTMLElement> e_;
};

// The first declared argument of an event, as an interface.
template <class I>
ComPtr<I> firstArgument(const DISPPARAMS& p) {
  ComPtr<I> out;
  if (p.cArgs < 1 || !p.rgvarg) return out;
  const VARIANT& v = p.rgvarg[p.cArgs - 1];
  IUnknown* unk = nullptr;
  if (V_VT(&v) == VT_DISPATCH)
    unk = V_DISPATCH(&v);
  else if (V_VT(&v) == VT_UNKNOWN)
    unk = V_UNKNOWN(&v);
  if (unk) unk->QueryInterface(IID_PPV_ARGS(&out));
  return out;
}

// A page event sink: a dual object that also answers the events'
// dispinterface id it is advised for.
template <class Iface>
class EventSink : public SimpleDualObject<Iface> {
 public:
  explicit EventSink(const IID& events) : events_(events) {}

 protected:
  bool answersAlso(REFIID iid) const override { return iid == events_; }

 private:
  const IID& events_;
};

class DocEventHandler final : public EventSink<IDocEventHandler> {
 public:
  explicit DocEventHandler(std::shared_ptr<int*> userClicked)
      : EventSink(DIID_HTMLDocumentEvents2), userClicked_(std::move(userClicked)) {}

  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    if (!params) return E_INVALIDARG;
    if (!result) return E_POINTER;
    return guarded([&]() -> HRESULT {
      if (id != kMouseDown) return DISP_E_MEMBERNOTFOUND;
      ComPtr<IHTMLEventObj> event = firstArgument<IHTMLEventObj>(*params);
      if (!event) return DISP_E_MEMBERNOTFOUND;
      long button = 0;
      std::optional<long> pressed;
      if (SUCCEEDED(event->get_button(&button))) pressed = button;
      content::ClickEffect effect;
      if (pressed && *pressed == 0) {
        effect = content::classifyMouseDown(pressed, nullptr);
      } else {
        ComPtr<IHTMLElement> source;
        if (FAILED(event->get_srcElement(&source))) source.Reset();
        std::unique_ptr<MshtmlElement> element = source ? std::make_unique<MshtmlElement>(source) : nullptr;
        effect = content::classifyMouseDown(pressed, element.get());
      }
      int* flag = userClicked_ ? *userClicked_ : nullptr;
      if (effect == content::ClickEffect::Clear) {
        if (flag) *flag = 0;
        return S_OK;
      }
      if (effect == content::ClickEffect::Set && flag) *flag = 1;
      return DISP_E_MEMBERNOTFOUND;
    });
  }

 private:
  std::shared_ptr<int*> userClicked_;
};

class WindowEventHandler final : public EventSink<IWindowEventHandler> {
 public:
  WindowEventHandler() : EventSink(DIID_HTMLWindowEvents2) {}

  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    if (!params) return E_INVALIDARG;
    if (!result) return E_POINTER;
    if (id == kWindowError) {
      Variant(true).releaseInto(result);
    }
    return DISP_E_MEMBERNOTFOUND;
  }
};

template <class T, class... A>
HRESULT make(REFIID iid, void** out, A&&... args) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* obj = new (std::nothrow) T(std::forward<A>(args)...);
  if (!obj) return E_OUTOFMEMORY;
  obj->AddRef();
  const HRESULT hr = obj->QueryInterface(iid, out);
  obj->Release();
  return hr;
}

}  // namespace

HRESULT createDocEventHandlerFor(std::shared_ptr<int*> userClicked, IDispatch** out) {
  return make<DocEventHandler>(IID_IDispatch, reinterpret_cast<void**>(out), std::move(userClicked));
}
HRESULT createWindowEventHandlerFor(IDispatch** out) {
  return make<WindowEventHandler>(IID_IDispatch, reinterpret_cast<void**>(out));
}

}  // namespace qv::content::win

// Created on their own (through the class factory) the sinks serve no CPub.
HRESULT qv::com::createDocEventHandler(REFIID iid, void** out) {
  return content::win::make<content::win::DocEventHandler>(iid, out, std::shared_ptr<int*>());
}
HRESULT qv::com::createWindowEventHandler(REFIID iid, void** out) {
  return content::win::make<content::win::WindowEventHandler>(iid, out);
}
