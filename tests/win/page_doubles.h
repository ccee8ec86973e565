// Doubles of a page's HTML object model for the content sweep: elements with
// their computed and inline styles, element collections, documents whose
// embedded objects are frame browsers.  Each derives from the generated stub
// bases, so a call the sweep was not expected to make fails the test.  Live
// doubles are counted, so a test can prove the sweep left no reference.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <optional>
#include <string>
#include <vector>

#include "generated/page_stubs.h"
#include "standin_browser.h"

namespace pagedbl {

using Microsoft::WRL::ComPtr;
using standin::make;

// Doubles alive now (every kind).
long liveDoubles();

class CurrentStyle final : public StubIHTMLCurrentStyle, public standin::RefCounted {
 public:
  CurrentStyle();
  ~CurrentStyle() override;
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP get_display(BSTR* p) override;
  STDMETHODIMP get_position(BSTR* p) override;
  std::optional<std::wstring> display, position;
};

// The inline style: top and z-index as set inline (VT_EMPTY when not), and
// the setters the sweep calls, recorded in order.
class InlineStyle final : public StubIHTMLStyle, public standin::RefCounted {
 public:
  InlineStyle();
  ~InlineStyle() override;
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP get_top(VARIANT* p) override;
  STDMETHODIMP get_zIndex(VARIANT* p) override;
  STDMETHODIMP put_visibility(BSTR v) override;
  STDMETHODIMP put_display(BSTR v) override;
  STDMETHODIMP put_pixelHeight(LONG v) override;
  STDMETHODIMP put_pixelWidth(LONG v) override;
  std::optional<std::wstring> top;  // a string, as the browser gives it
  std::optional<long> zIndex;       // VT_I4
  std::optional<VARIANT> zIndexAs;  // any other shape (no owned payload), before zIndex
  std::vector<std::string> set;     // "visibility=hidden", ...
  CurrentStyle* computed = nullptr;  // the element's computed style, which follows display
};

// One element of any tag; answers the tag's own interface only.
class Element final : public StubIHTMLElement,
                      public StubIHTMLElement2,
                      public StubIHTMLObjectElement,
                      public StubIHTMLEmbedElement,
                      public StubIHTMLImgElement,
                      public standin::RefCounted {
 public:
  explicit Element(std::wstring tag);
  ~Element() override;
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP get_id(BSTR* p) override;
  STDMETHODIMP get_style(IHTMLStyle** p) override;
  STDMETHODIMP get_offsetLeft(LONG* p) override;
  STDMETHODIMP get_offsetTop(LONG* p) override;
  STDMETHODIMP get_currentStyle(IHTMLCurrentStyle** p) override;
  STDMETHODIMP get_classid(BSTR* p) override;
  STDMETHODIMP get_src(BSTR* p) override;  // EMBED and IMG
  STDMETHODIMP get_width(LONG* p) override;
  STDMETHODIMP get_height(LONG* p) override;

  // The sweep hid it: the four setters, in order (then again on each later
  // hide).
  bool hidden() const;

  std::wstring tag;
  std::optional<std::wstring> id, classid, src;
  long left = 0, top = 0, width = 0, height = 0;
  ComPtr<CurrentStyle> current = make<CurrentStyle>();
  ComPtr<InlineStyle> style = make<InlineStyle>();
};

// A collection over a list of elements; the document's "all" collection
// answers tags() with a new collection of that tag.
class Collection final : public StubIHTMLElementCollection, public standin::RefCounted {
 public:
  explicit Collection(std::vector<ComPtr<Element>> elements);
  ~Collection() override;
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP get_length(LONG* p) override;
  STDMETHODIMP item(VARIANT name, VARIANT index, IDispatch** out) override;
  STDMETHODIMP tags(VARIANT tag, IDispatch** out) override;
  std::vector<ComPtr<Element>> elements;
  int badItemArguments = 0;  // item() calls whose name and index were not the same VT_I4
};

class Document;

// An embedded object of a document: the frame's browser.
class FrameBrowser final : public StubIWebBrowser2, public standin::RefCounted {
 public:
  explicit FrameBrowser(ComPtr<Document> document);
  ~FrameBrowser() override;
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP get_Document(IDispatch** p) override;
  ComPtr<Document> document;
};

class EnumObjects final : public StubIEnumUnknown, public standin::RefCounted {
 public:
  explicit EnumObjects(std::vector<ComPtr<IUnknown>> objects);
  ~EnumObjects() override;
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP Next(ULONG count, IUnknown** out, ULONG* fetched) override;

 private:
  std::vector<ComPtr<IUnknown>> objects_;
  size_t next_ = 0;
};

class Document final : public StubIHTMLDocument2, public StubIOleContainer, public standin::RefCounted {
 public:
  Document();
  ~Document() override;
  STANDIN_IUNKNOWN
  HRESULT query(REFIID iid, void** out);
  STDMETHODIMP get_all(IHTMLElementCollection** p) override;
  STDMETHODIMP EnumObjects(DWORD flags, IEnumUnknown** out) override;

  ComPtr<Element> add(const std::wstring& tag);
  ComPtr<Document> addFrame();

  std::vector<ComPtr<Element>> elements;
  std::vector<ComPtr<FrameBrowser>> frames;
  // Other embedded objects (not browsers), enumerated before the frames.
  std::vector<ComPtr<IUnknown>> otherObjects;
};

}  // namespace pagedbl
