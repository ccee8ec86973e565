#include "page_doubles.h"

#include <oleauto.h>

namespace pagedbl {
namespace {

long live = 0;

template <class T>
HRESULT give(T* p, void** out) {
  *out = p;
  p->AddRef();
  return S_OK;
}

HRESULT none(void** out) {
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT text(const std::optional<std::wstring>& v, BSTR* p) {
  if (!p) return E_POINTER;
  *p = v ? SysAllocStringLen(v->data(), static_cast<UINT>(v->size())) : nullptr;
  return S_OK;
}

std::string narrow(BSTR b) {
  std::string out;
  for (UINT i = 0; b && i < SysStringLen(b); ++i) out.push_back(static_cast<char>(b[i]));
  return out;
}

}  // namespace

long liveDoubles() { return live; }

// --- CurrentStyle
CurrentStyle::CurrentStyle() { ++live; }
CurrentStyle::~CurrentStyle() { --live; }
HRESULT CurrentStyle::query(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLCurrentStyle)
    return give(static_cast<IHTMLCurrentStyle*>(this), out);
  return none(out);
}
HRESULT CurrentStyle::get_display(BSTR* p) { return text(display, p); }
HRESULT CurrentStyle::get_position(BSTR* p) { return text(position, p); }

// --- InlineStyle
InlineStyle::InlineStyle() { ++live; }
InlineStyle::~InlineStyle() { --live; }
HRESULT InlineStyle::query(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLStyle)
    return give(static_cast<IHTMLStyle*>(this), out);
  return none(out);
}
HRESULT InlineStyle::get_top(VARIANT* p) {
  V_VT(p) = VT_BSTR;
  V_BSTR(p) = top ? SysAllocString(top->c_str()) : nullptr;  // nothing set: a null string
  return S_OK;
}
HRESULT InlineStyle::get_zIndex(VARIANT* p) {
  if (zIndexAs) {
    *p = *zIndexAs;
  } else if (zIndex) {
    V_VT(p) = VT_I4;
    V_I4(p) = *zIndex;
  } else {
    V_VT(p) = VT_BSTR;
    V_BSTR(p) = nullptr;
  }
  return S_OK;
}
HRESULT InlineStyle::put_visibility(BSTR v) {
  set.push_back("visibility=" + narrow(v));
  return S_OK;
}
HRESULT InlineStyle::put_display(BSTR v) {
  set.push_back("display=" + narrow(v));
  if (computed) computed->display = std::wstring(v ? v : L"");
  return S_OK;
}
HRESULT InlineStyle::put_pixelHeight(LONG v) {
  set.push_back("pixelHeight=" + std::to_string(v));
  return S_OK;
}
HRESULT InlineStyle::put_pixelWidth(LONG v) {
  set.push_back("pixelWidth=" + std::to_string(v));
  return S_OK;
}

// --- Element
Element::Element(std::wstring t) : tag(std::move(t)) {
  ++live;
  style->computed = current.Get();
}
Element::~Element() { --live; }
HRESULT Element::query(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLElement)
    return give(static_cast<IHTMLElement*>(this), out);
  if (iid == IID_IHTMLElement2) return give(static_cast<IHTMLElement2*>(this), out);
  if (iid == IID_IHTMLObjectElement && tag == L"OBJECT") return give(static_cast<IHTMLObjectElement*>(this), out);
  if (iid == IID_IHTMLEmbedElement && tag == L"EMBED") return give(static_cast<IHTMLEmbedElement*>(this), out);
  if (iid == IID_IHTMLImgElement && tag == L"IMG") return give(static_cast<IHTMLImgElement*>(this), out);
  return none(out);
}
HRESULT Element::get_id(BSTR* p) { return text(id, p); }
HRESULT Element::get_style(IHTMLStyle** p) { return give(static_cast<IHTMLStyle*>(style.Get()), reinterpret_cast<void**>(p)); }
HRESULT Element::get_offsetLeft(LONG* p) { return *p = left, S_OK; }
HRESULT Element::get_offsetTop(LONG* p) { return *p = top, S_OK; }
HRESULT Element::get_currentStyle(IHTMLCurrentStyle** p) {
  return give(static_cast<IHTMLCurrentStyle*>(current.Get()), reinterpret_cast<void**>(p));
}
HRESULT Element::get_classid(BSTR* p) { return text(classid, p); }
HRESULT Element::get_src(BSTR* p) { return text(src, p); }
HRESULT Element::get_width(LONG* p) { return *p = width, S_OK; }
HRESULT Element::get_height(LONG* p) { return *p = height, S_OK; }
bool Element::hidden() const {
  const std::vector<std::string> once{"visibility=hidden", "display=none", "pixelHeight=0", "pixelWidth=0"};
  if (style->set.empty() || style->set.size() % once.size()) return false;
  for (size_t i = 0; i < style->set.size(); ++i)
    if (style->set[i] != once[i % once.size()]) return false;
  return true;
}

// --- Collection
Collection::Collection(std::vector<ComPtr<Element>> e) : elements(std::move(e)) { ++live; }
Collection::~Collection() { --live; }
HRESULT Collection::query(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLElementCollection)
    return give(static_cast<IHTMLElementCollection*>(this), out);
  return none(out);
}
HRESULT Collection::get_length(LONG* p) { return *p = static_cast<LONG>(elements.size()), S_OK; }
HRESULT Collection::item(VARIANT name, VARIANT index, IDispatch** out) {
  *out = nullptr;
  if (V_VT(&name) != VT_I4 || V_VT(&index) != VT_I4 || V_I4(&name) != V_I4(&index)) {
    ++badItemArguments;
    return E_INVALIDARG;
  }
  const long i = V_I4(&index);
  if (i < 0 || static_cast<size_t>(i) >= elements.size()) return S_OK;  // null item
  return give(static_cast<IDispatch*>(static_cast<IHTMLElement*>(elements[static_cast<size_t>(i)].Get())),
              reinterpret_cast<void**>(out));
}
HRESULT Collection::tags(VARIANT tag, IDispatch** out) {
  *out = nullptr;
  if (V_VT(&tag) != VT_BSTR || !V_BSTR(&tag)) return E_INVALIDARG;
  std::vector<ComPtr<Element>> of;
  for (auto& e : elements)
    if (_wcsicmp(e->tag.c_str(), V_BSTR(&tag)) == 0) of.push_back(e);
  auto c = make<Collection>(std::move(of));
  return give(static_cast<IDispatch*>(c.Get()), reinterpret_cast<void**>(out));
}

// --- FrameBrowser
FrameBrowser::FrameBrowser(ComPtr<Document> d) : document(std::move(d)) { ++live; }
FrameBrowser::~FrameBrowser() { --live; }
HRESULT FrameBrowser::query(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWebBrowser2 || iid == IID_IWebBrowserApp ||
      iid == IID_IWebBrowser)
    return give(static_cast<IWebBrowser2*>(this), out);
  return none(out);
}
HRESULT FrameBrowser::get_Document(IDispatch** p) {
  return give(static_cast<IDispatch*>(static_cast<IHTMLDocument2*>(document.Get())), reinterpret_cast<void**>(p));
}

// --- EnumObjects
EnumObjects::EnumObjects(std::vector<ComPtr<IUnknown>> o) : objects_(std::move(o)) { ++live; }
EnumObjects::~EnumObjects() { --live; }
HRESULT EnumObjects::query(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IEnumUnknown) return give(static_cast<IEnumUnknown*>(this), out);
  return none(out);
}
HRESULT EnumObjects::Next(ULONG count, IUnknown** out, ULONG* fetched) {
  if (count != 1) qvstub::unexpectedCall("IEnumUnknown::Next with a count other than 1");
  if (fetched) *fetched = 0;
  if (next_ >= objects_.size()) return S_FALSE;
  *out = objects_[next_++].Get();
  (*out)->AddRef();
  if (fetched) *fetched = 1;
  return S_OK;
}

// --- Document
Document::Document() { ++live; }
Document::~Document() { --live; }
HRESULT Document::query(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLDocument || iid == IID_IHTMLDocument2)
    return give(static_cast<IHTMLDocument2*>(this), out);
  if (iid == IID_IOleContainer || iid == IID_IParseDisplayName) return give(static_cast<IOleContainer*>(this), out);
  return none(out);
}
HRESULT Document::get_all(IHTMLElementCollection** p) {
  auto c = make<Collection>(elements);
  return give(static_cast<IHTMLElementCollection*>(c.Get()), reinterpret_cast<void**>(p));
}
HRESULT Document::EnumObjects(DWORD flags, IEnumUnknown** out) {
  if (flags != static_cast<DWORD>(OLECONTF_EMBEDDINGS)) qvstub::unexpectedCall("IOleContainer::EnumObjects without OLECONTF_EMBEDDINGS");
  std::vector<ComPtr<IUnknown>> objects = otherObjects;
  for (auto& f : frames) objects.push_back(static_cast<IWebBrowser2*>(f.Get()));
  auto e = make<pagedbl::EnumObjects>(std::move(objects));
  return give(static_cast<IEnumUnknown*>(e.Get()), reinterpret_cast<void**>(out));
}
ComPtr<Element> Document::add(const std::wstring& tag) {
  auto e = make<Element>(tag);
  elements.push_back(e);
  return e;
}
ComPtr<Document> Document::addFrame() {
  auto d = make<Document>();
  frames.push_back(make<FrameBrowser>(d));
  return d;
}

}  // namespace pagedbl
