#include "core/win/browser_events.h"

#include <oleauto.h>

namespace qv::com {

namespace {

// The argument at declared position `pos` of `count` declared arguments.
const VARIANT* arg(const DISPPARAMS& p, UINT count, UINT pos) {
  if (!p.rgvarg || p.cArgs != count || pos >= count) return nullptr;
  return &p.rgvarg[count - 1 - pos];
}

VARIANT_BOOL* boolRef(const VARIANT* v) {
  if (!v || V_VT(v) != (VT_BYREF | VT_BOOL)) return nullptr;
  return V_BOOLREF(v);
}

IDispatch* dispatchOf(const VARIANT* v) {
  if (!v) return nullptr;
  if (V_VT(v) == VT_DISPATCH) return V_DISPATCH(v);
  if (V_VT(v) == (VT_BYREF | VT_DISPATCH)) return V_DISPATCHREF(v) ? *V_DISPATCHREF(v) : nullptr;
  return nullptr;
}

// The address as the browser sends it (a reference to a variant holding a
// string), and the plainer shapes other callers of the sink may use.
std::string addressOf(const VARIANT* v) {
  if (!v) return {};
  if (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
    const VARIANT* inner = V_VARIANTREF(v);
    if (!inner || V_VT(inner) == (VT_BYREF | VT_VARIANT)) return {};  // no deeper nesting
    return addressOf(inner);
  }
  if (V_VT(v) == VT_BSTR) return narrowBstr(V_BSTR(v));
  if (V_VT(v) == (VT_BYREF | VT_BSTR)) return V_BSTRREF(v) ? narrowBstr(*V_BSTRREF(v)) : std::string{};
  return {};
}

// A 32-bit unsigned argument as the browser sends it (VT_I4) or close kin.
std::optional<unsigned> flagsOf(const VARIANT* v) {
  if (!v) return std::nullopt;
  switch (V_VT(v)) {
    case VT_I4: return static_cast<unsigned>(V_I4(v));
    case VT_UI4: return static_cast<unsigned>(V_UI4(v));
    case VT_INT: return static_cast<unsigned>(V_INT(v));
    case VT_UINT: return static_cast<unsigned>(V_UINT(v));
    default: return std::nullopt;
  }
}

}  // namespace

BrowserEvent decodeBrowserEvent(DISPID id, const DISPPARAMS* params) {
  BrowserEvent ev;
  static const DISPPARAMS kNone = {nullptr, nullptr, 0, 0};
  const DISPPARAMS& p = params ? *params : kNone;
  switch (id) {
    case kDispNewWindow:
      ev.kind = BrowserEventKind::NewWindow;
      ev.cancel = boolRef(arg(p, 6, 5));
      break;
    case kDispNewWindow2:
      ev.kind = BrowserEventKind::NewWindow;
      ev.cancel = boolRef(arg(p, 2, 1));
      break;
    case kDispBeforeNavigate2:
      ev.kind = BrowserEventKind::BeforeNavigate;
      ev.frame = dispatchOf(arg(p, 7, 0));
      ev.address = addressOf(arg(p, 7, 1));
      break;
    case kDispNavigateComplete2:
    case kDispDocumentComplete:
      // Both carry (pDisp, URL).
      ev.kind = id == kDispNavigateComplete2 ? BrowserEventKind::NavigateComplete : BrowserEventKind::DocumentComplete;
      ev.frame = dispatchOf(arg(p, 2, 0));
      ev.address = addressOf(arg(p, 2, 1));
      break;
    case kDispOnQuit:
      ev.kind = BrowserEventKind::Quit;
      break;
    case kDispWindowStateChanged: {
      ev.kind = BrowserEventKind::WindowState;
      const std::optional<unsigned> state = flagsOf(arg(p, 2, 0));
      const std::optional<unsigned> mask = flagsOf(arg(p, 2, 1));
      if (state && mask && (*mask & kWindowStateUserVisible)) ev.visible = (*state & kWindowStateUserVisible) != 0;
      break;
    }
    default:
      break;
  }
  return ev;
}

}  // namespace qv::com
