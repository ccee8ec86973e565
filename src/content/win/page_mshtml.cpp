#include "content/win/page_mshtml.h"

#include <exdisp.h>
#include <mshtml.h>
#include <oleidl.h>
#include <wininet.h>
#include <urlmon.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "content/sweep.h"
#include "com/bstr.h"
#include "com/utf8.h"
#include "com/variant.h"

namespace qv::content::win {
namespace {

using Microsoft::WRL::ComPtr;
using com::Bstr;
using com::Variant;

std::optional<std::string> textOf(HRESULT hr, const Bstr& text) {
  if (FAILED(hr) || !text.get()) return std::nullopt;
  return com::utf8(text.view());
}

// An inline style value as the floating rule's facts: Empty when the
// variant's payload is zero (nothing set inline), One when its 32-bit
// payload is 1.  Read by type, so it does not depend on how the owner
// initialised the bytes the callee did not write.
page::InlineValue classify(HRESULT hr, const Variant& v) {
  if (FAILED(hr)) return page::InlineValue::ReadFailed;
  const VARIANT& raw = v.get();
  std::int64_t payload = 0;
  switch (V_VT(&raw)) {
    case VT_EMPTY: case VT_NULL: payload = 0; break;
    case VT_I1: payload = V_I1(&raw); break;
    case VT_UI1: payload = V_UI1(&raw); break;
    case VT_I2: payload = V_I2(&raw); break;
    case VT_UI2: payload = V_UI2(&raw); break;
    case VT_BOOL: payload = V_BOOL(&raw) ? 1 : 0; break;  // never the 32-bit value 1: VARIANT_TRUE is -1
    case VT_I4: payload = V_I4(&raw); break;
    case VT_UI4: payload = V_UI4(&raw); break;
    case VT_INT: payload = V_INT(&raw); break;
    case VT_UINT: payload = V_UINT(&raw); break;
    case VT_BSTR: return V_BSTR(&raw) ? page::InlineValue::Other : page::InlineValue::Empty;
    case VT_R4: return V_R4(&raw) == 0 ? page::InlineValue::Empty : page::InlineValue::Other;
    case VT_R8: return V_R8(&raw) == 0 ? page::InlineValue::Empty : page::InlineValue::Other;
    default: return page::InlineValue::Other;
  }
  if (V_VT(&raw) == VT_BOOL) return payload ? page::InlineValue::Other : page::InlineValue::Empty;
  if (payload == 0) return page::InlineValue::Empty;
  return static_cast<std::uint32_t>(payload) == 1u ? page::InlineValue::One : page::InlineValue::Other;
}

class MshtmlElement final : public page::Element {
 public:
  void reset(ComPtr<IDispatch> item) {
    item_ = std::move(item);
    element_.Reset();
    current_.Reset();
    style_.Reset();
    img_.Reset();
    triedElement_ = triedCurrent_ = triedStyle_ = triedImg_ = false;
  }

  std::optional<std::string> id() override {
    IHTMLElement* e = element();
    if (!e) return std::nullopt;
    Bstr v;
    const HRESULT hr = e->get_id(v.Receive());
    return textOf(hr, v);
  }
  std::optional<std::string> computedDisplay() override {
    IHTMLCurrentStyle* c = current();
    if (!c) return std::nullopt;
    Bstr v;
    const HRESULT hr = c->get_display(v.Receive());
    return textOf(hr, v);
  }
  std::optional<std::string> computedPosition() override {
    IHTMLCurrentStyle* c = current();
    if (!c) return std::nullopt;
    Bstr v;
    const HRESULT hr = c->get_position(v.Receive());
    return textOf(hr, v);
  }
  page::InlineValue inlineTop() override {
    IHTMLStyle* s = style();
    if (!s) return page::InlineValue::NoStyle;
    Variant v;
    const HRESULT hr = s->get_top(v.Receive());
    return classify(hr, v);
  }
  page::InlineValue inlineZIndex() override {
    IHTMLStyle* s = style();
    if (!s) return page::InlineValue::NoStyle;
    Variant v;
    const HRESULT hr = s->get_zIndex(v.Receive());
    return classify(hr, v);
  }
  std::optional<page::Offsets> offsets() override {
    IHTMLElement* e = element();
    if (!e) return std::nullopt;
    long left = 0, top = 0;
    if (FAILED(e->get_offsetLeft(&left)) || FAILED(e->get_offsetTop(&top))) return std::nullopt;
    return page::Offsets{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top)};
  }
  std::optional<std::string> objectClassId() override {
    ComPtr<IHTMLObjectElement> o;
    if (!item_ || FAILED(item_.As(&o)) || !o) return std::nullopt;
    Bstr v;
    const HRESULT hr = o->get_classid(v.Receive());
    return textOf(hr, v);
  }
  std::optional<std::string> embedSource() override {
    ComPtr<IHTMLEmbedElement> o;
    if (!item_ || FAILED(item_.As(&o)) || !o) return std::nullopt;
    Bstr v;
    const HRESULT hr = o->get_src(v.Receive());
    return textOf(hr, v);
  }
  std::optional<std::string> imageSource() override {
    IHTMLImgElement* img = image();
    if (!img) return std::nullopt;
    Bstr v;
    const HRESULT hr = img->get_src(v.Receive());
    return textOf(hr, v);
  }
  std::optional<page::ImageSize> imageSize() override {
    IHTMLImgElement* img = image();
    if (!img) return std::nullopt;
    long w = 0, h = 0;
    if (FAILED(img->get_width(&w)) || FAILED(img->get_height(&h))) return std::nullopt;
    return page::ImageSize{static_cast<std::int32_t>(w), static_cast<std::int32_t>(h)};
  }
  bool hide() override {
    IHTMLStyle* s = style();
    if (!s) return false;
    // The setters' results are not looked at: each does what it can.
    Bstr hidden(L"hidden"), none(L"none");
    s->put_visibility(hidden.get());
    s->put_display(none.get());
    s->put_pixelHeight(0);
    s->put_pixelWidth(0);
    return true;
  }

 private:
  IHTMLElement* element() {
    if (!triedElement_) {
      triedElement_ = true;
      if (item_ && FAILED(item_.As(&element_))) element_.Reset();
    }
    return element_.Get();
  }
  IHTMLCurrentStyle* current() {
    if (!triedCurrent_) {
      triedCurrent_ = true;
      ComPtr<IHTMLElement2> e2;
      if (item_ && SUCCEEDED(item_.As(&e2)) && e2 && FAILED(e2->get_currentStyle(&current_))) current_.Reset();
    }
    return current_.Get();
  }
  IHTMLStyle* style() {
    if (!triedStyle_) {
      triedStyle_ = true;
      if (IHTMLElement* e = element(); e && FAILED(e->get_style(&style_))) style_.Reset();
    }
    return style_.Get();
  }
  IHTMLImgElement* image() {
    if (!triedImg_) {
      triedImg_ = true;
      if (item_ && FAILED(item_.As(&img_))) img_.Reset();
    }
    return img_.Get();
  }

  ComPtr<IDispatch> item_;
  ComPtr<IHTMLElement> element_;
  ComPtr<IHTMLCurrentStyle> current_;
  ComPtr<IHTMLStyle> style_;
  ComPtr<IHTMLImgElement> img_;
  bool triedElement_ = false, triedCurrent_ = false, triedStyle_ = false, triedImg_ = false;
};

class MshtmlCollection final : public page::Collection {
 public:
  explicit MshtmlCollection(ComPtr<IHTMLElementCollection> c) : c_(std::move(c)) {}
  ~MshtmlCollection() override { current_.reset(nullptr); }

  std::optional<std::int32_t> length() override {
    long n = 0;
    if (FAILED(c_->get_length(&n))) return std::nullopt;
    return static_cast<std::int32_t>(n);
  }
  page::Element* item(std::int32_t index) override {
    current_.reset(nullptr);
    // Name and index are the same integer variant.
    Variant name(static_cast<std::int32_t>(index)), at(static_cast<std::int32_t>(index));
    ComPtr<IDispatch> item;
    if (FAILED(c_->item(name.get(), at.get(), &item)) || !item) return nullptr;
    current_.reset(std::move(item));
    return &current_;
  }

 private:
  ComPtr<IHTMLElementCollection> c_;
  MshtmlElement current_;
};

class MshtmlDocument final : public page::Document {
 public:
  explicit MshtmlDocument(ComPtr<IHTMLDocument2> d) : d_(std::move(d)) {}

  std::unique_ptr<page::Collection> elementsByTag(const char* tag) override {
    ComPtr<IHTMLElementCollection> all;
    if (FAILED(d_->get_all(&all)) || !all) return nullptr;
    Variant name(Bstr(com::widenUtf8(tag)));
    ComPtr<IDispatch> found;
    if (FAILED(all->tags(name.get(), &found)) || !found) return nullptr;
    ComPtr<IHTMLElementCollection> list;
    if (FAILED(found.As(&list)) || !list) return nullptr;
    return std::make_unique<MshtmlCollection>(std::move(list));
  }

  std::vector<std::unique_ptr<page::Document>> frameDocuments(std::size_t limit) override {
    std::vector<std::unique_ptr<page::Document>> out;
    ComPtr<IOleContainer> container;
    if (FAILED(d_.As(&container)) || !container) return out;
    ComPtr<IEnumUnknown> objects;
    if (FAILED(container->EnumObjects(OLECONTF_EMBEDDINGS, &objects)) || !objects) return out;
    for (std::size_t seen = 0; seen < limit; ++seen) {
      ComPtr<IUnknown> object;
      ULONG fetched = 0;
      if (objects->Next(1, &object, &fetched) != S_OK) break;
      ComPtr<IWebBrowser2> browser;
      if (!object || FAILED(object.As(&browser)) || !browser) continue;
      ComPtr<IDispatch> document;
      if (FAILED(browser->get_Document(&document)) || !document) continue;
      if (auto frame = documentFromDispatch(document.Get())) out.push_back(std::move(frame));
    }
    return out;
  }

 private:
  ComPtr<IHTMLDocument2> d_;
};

}  // namespace

std::unique_ptr<page::Document> documentFromDispatch(IDispatch* document) {
  if (!document) return nullptr;
  ComPtr<IHTMLDocument2> d;
  if (FAILED(document->QueryInterface(IID_PPV_ARGS(&d))) || !d) return nullptr;
  return std::make_unique<MshtmlDocument>(std::move(d));
}

// ---------------------------------------------------------------------------
// URL cache.

namespace {
constexpr DWORD kLocalPathChars = 4096;
}

page::CacheAnswer WinInetUrlCache::query(const std::string& address, std::uint32_t bufferBytes) {
  page::CacheAnswer answer;
  const std::wstring url = com::widenUtf8(address);
  if (url.empty() || bufferBytes < sizeof(DWORD)) return answer;
  std::vector<BYTE> buffer;
  try {
    buffer.assign(bufferBytes, 0);
  } catch (const std::bad_alloc&) {
    return answer;  // no room: the lookup stops
  }
  auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
  info->dwStructSize = bufferBytes;
  DWORD size = bufferBytes;
  if (GetUrlCacheEntryInfoW(url.c_str(), info, &size)) {
    answer.kind = page::CacheAnswer::Kind::Found;
    if (bufferBytes >= sizeof(INTERNET_CACHE_ENTRY_INFOW) && info->lpszLocalFileName) {
      // The path lies inside the buffer the call filled; bounded by it and
      // by the local path limit.
      const auto* begin = reinterpret_cast<const BYTE*>(info->lpszLocalFileName);
      const BYTE* end = buffer.data() + buffer.size();
      if (begin >= buffer.data() && begin < end) {
        const std::size_t room = static_cast<std::size_t>(end - begin) / sizeof(wchar_t);
        const std::size_t n = wcsnlen(info->lpszLocalFileName, std::min<std::size_t>(room, kLocalPathChars));
        if (n < kLocalPathChars && n < room) answer.localPath = com::utf8(std::wstring_view(info->lpszLocalFileName, n));
      }
    }
    return answer;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_INSUFFICIENT_BUFFER) {
    answer.kind = page::CacheAnswer::Kind::NeedsBuffer;
    answer.neededBytes = size;
  } else if (error == ERROR_FILE_NOT_FOUND) {
    answer.kind = page::CacheAnswer::Kind::NotFound;
  }
  return answer;
}

std::optional<std::string> WinInetUrlCache::download(const std::string& address) {
  const std::wstring url = com::widenUtf8(address);
  if (url.empty()) return std::nullopt;
  std::vector<wchar_t> path(kLocalPathChars, L'\0');
  if (FAILED(URLDownloadToCacheFileW(nullptr, url.c_str(), path.data(), kLocalPathChars, 0, nullptr)))
    return std::nullopt;
  path.back() = L'\0';
  const std::size_t n = wcsnlen(path.data(), kLocalPathChars);
  if (n == 0) return std::nullopt;
  return com::utf8(std::wstring_view(path.data(), n));
}

std::optional<page::FileStamp> WinInetUrlCache::stamp(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(com::widenUtf8(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  page::FileStamp s;
  s.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  s.lastWrite = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                data.ftLastWriteTime.dwLowDateTime;
  return s;
}

// ---------------------------------------------------------------------------
// GDI+ frame counting (flat API of gdiplus.dll, declared here rather than
// through the GDI+ C++ headers).

extern "C" {
int WINAPI GdipLoadImageFromFile(const WCHAR* file, void** image);
int WINAPI GdipImageGetFrameDimensionsCount(void* image, UINT* count);
int WINAPI GdipImageGetFrameDimensionsList(void* image, GUID* dimensions, UINT count);
int WINAPI GdipImageGetFrameCount(void* image, const GUID* dimension, UINT* count);
int WINAPI GdipDisposeImage(void* image);
}

std::vector<std::uint32_t> GdiplusFrameCounter::frameCounts(const std::string& path) {
  constexpr UINT kMaxDimensions = 16;
  std::vector<std::uint32_t> counts;
  void* image = nullptr;
  if (GdipLoadImageFromFile(com::widenUtf8(path).c_str(), &image) != 0 || !image) return counts;
  UINT n = 0;
  if (GdipImageGetFrameDimensionsCount(image, &n) == 0 && n > 0) {
    n = std::min(n, kMaxDimensions);
    std::vector<GUID> dimensions(n);
    if (GdipImageGetFrameDimensionsList(image, dimensions.data(), n) == 0) {
      for (const GUID& d : dimensions) {
        UINT frames = 0;
        if (GdipImageGetFrameCount(image, &d, &frames) != 0) frames = 0;
        counts.push_back(frames);
      }
    }
  }
  GdipDisposeImage(image);
  return counts;
}

// ---------------------------------------------------------------------------

bool sweepHtmlDocument(IDispatch* document, int flags, SharedSettings& settings,
                       std::function<popup::PubHost*()> findPubForFocus,
                       std::function<void(const std::string&)> onHidden) {
  if ((flags & (SweepFlash | SweepAnimated | SweepFloating)) == 0) return true;
  static WinInetUrlCache cache;
  static GdiplusFrameCounter frames;
  static SweepMemory memory;  // one per process, for every window and tab
  // Called from a timer procedure and a keyboard hook: nothing may escape.
  // Memory running out ends this sweep; the next one starts afresh.
  try {
    auto doc = documentFromDispatch(document);
    if (!doc) return true;
    SweepServices services{settings, cache, frames, memory, std::move(findPubForFocus), std::move(onHidden)};
    SweepDocument(services, *doc, flags);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace qv::content::win
