// Page port: what the content sweep asks of a page's documents and elements,
// and of the browser's URL cache and the image decoder.  Shaped by the sweep
// and nothing more.
//
// Texts read from the page (ids, styles, class ids, sources) are UTF-8: the
// page's wide strings convert to it and back without loss, so an id compares
// exactly and an address reaches the URL cache unchanged.  The sweep compares
// styles, class ids and extensions with ASCII constants after upper-casing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::page {

// An inline style value (IHTMLStyle::get_top / get_zIndex) as the facts the
// floating rule looks at.  Empty: the value's payload is zero (nothing set
// inline).  One: its 32-bit payload equals 1.  Other: set to anything else.
enum class InlineValue : std::uint8_t { NoStyle, ReadFailed, Empty, One, Other };

struct Offsets {
  std::int32_t left = 0;
  std::int32_t top = 0;
  friend bool operator==(const Offsets&, const Offsets&) = default;
};

struct ImageSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// One element of a collection.  Each read is one or a few calls into the
// page; nullopt means the read failed or gave a null value.
class Element {
 public:
  virtual ~Element() = default;
  virtual std::optional<std::string> id() = 0;
  // Computed style (IHTMLElement2::get_currentStyle): display and position.
  virtual std::optional<std::string> computedDisplay() = 0;
  virtual std::optional<std::string> computedPosition() = 0;
  // Inline style (IHTMLElement::get_style): top and z-index.
  virtual InlineValue inlineTop() = 0;
  virtual InlineValue inlineZIndex() = 0;
  virtual std::optional<Offsets> offsets() = 0;
  virtual std::optional<std::string> objectClassId() = 0;  // OBJECT
  virtual std::optional<std::string> embedSource() = 0;    // EMBED
  virtual std::optional<std::string> imageSource() = 0;    // IMG
  virtual std::optional<ImageSize> imageSize() = 0;        // IMG
  // Sets on the inline style, in this order: visibility "hidden", display
  // "none", pixel height 0, pixel width 0 (the setters' results are not
  // looked at).  False when the element has no inline style.
  virtual bool hide() = 0;
};

// The elements of one tag, by index.  The element item() returns is borrowed:
// it stays valid until the next item() call or the collection's end.
class Collection {
 public:
  virtual ~Collection() = default;
  virtual std::optional<std::int32_t> length() = 0;
  virtual Element* item(std::int32_t index) = 0;  // null: the item failed or is null
};

class Document {
 public:
  virtual ~Document() = default;
  // The document's elements of a tag ("DIV", "IMG", ...); null on failure.
  virtual std::unique_ptr<Collection> elementsByTag(const char* tag) = 0;
  // The documents of the frames embedded in this one, in the page's order
  // (at most `limit` embedded objects are looked at).
  virtual std::vector<std::unique_ptr<Document>> frameDocuments(std::size_t limit) = 0;
};

// --- the browser's URL cache -------------------------------------------------

struct CacheAnswer {
  enum class Kind : std::uint8_t { Found, NeedsBuffer, NotFound, Failed };
  Kind kind = Kind::Failed;
  std::string localPath;          // Found: the cached file (may be "": no local file)
  std::uint32_t neededBytes = 0;  // NeedsBuffer: the size the cache asked for
};

// What identifies one version of a cached file.
struct FileStamp {
  std::uint64_t size = 0;
  std::uint64_t lastWrite = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

class UrlCache {
 public:
  virtual ~UrlCache() = default;
  // One entry-information query with a buffer of `bufferBytes` bytes.
  virtual CacheAnswer query(const std::string& address, std::uint32_t bufferBytes) = 0;
  // Downloads the address into the cache; the cached file's path, or
  // nullopt when the download failed.
  virtual std::optional<std::string> download(const std::string& address) = 0;
  // Size and last write of a local file; nullopt when it cannot be read.
  virtual std::optional<FileStamp> stamp(const std::string& path) = 0;
};

// Counts an image file's frames in each of its frame dimensions, in the
// decoder's order.  Empty when the file cannot be read as an image or the
// dimension list cannot be had.
class FrameCounter {
 public:
  virtual ~FrameCounter() = default;
  virtual std::vector<std::uint32_t> frameCounts(const std::string& path) = 0;
};

}  // namespace qv::page
