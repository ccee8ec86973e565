// In-memory page for the content sweep: documents with elements by tag and
// frame documents, a URL cache and a frame counter, all map-backed.  A value
// the test did not set reads as a failed read (the page model's own answer
// for it), so the same fake serves the tests, the fuzz target and the
// benchmark.  Every port call is counted by kind.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/page.h"

namespace qv::fake {

// Port calls, counted by kind.
struct PageCalls {
  std::uint64_t item = 0, id = 0, display = 0, position = 0, top = 0, zIndex = 0, offsets = 0, classId = 0,
                embedSource = 0, imageSource = 0, imageSize = 0, hide = 0, byTag = 0, length = 0, frames = 0;
  std::uint64_t elementReads() const {
    return id + display + position + top + zIndex + offsets + classId + embedSource + imageSource + imageSize +
           hide;
  }
};

class FakeElement final : public page::Element {
 public:
  std::optional<std::string> idValue, display, position, classIdValue, embedSrc, imgSrc;
  page::InlineValue top = page::InlineValue::NoStyle, zIndex = page::InlineValue::NoStyle;
  std::optional<page::Offsets> at;
  std::optional<page::ImageSize> size;
  bool hasStyle = false;  // hide() finds an inline style
  int hidden = 0;         // hide() calls that found the style
  PageCalls* calls = nullptr;

  std::optional<std::string> id() override { return count(&PageCalls::id), idValue; }
  std::optional<std::string> computedDisplay() override { return count(&PageCalls::display), display; }
  std::optional<std::string> computedPosition() override { return count(&PageCalls::position), position; }
  page::InlineValue inlineTop() override { return count(&PageCalls::top), top; }
  page::InlineValue inlineZIndex() override { return count(&PageCalls::zIndex), zIndex; }
  std::optional<page::Offsets> offsets() override { return count(&PageCalls::offsets), at; }
  std::optional<std::string> objectClassId() override { return count(&PageCalls::classId), classIdValue; }
  std::optional<std::string> embedSource() override { return count(&PageCalls::embedSource), embedSrc; }
  std::optional<std::string> imageSource() override { return count(&PageCalls::imageSource), imgSrc; }
  std::optional<page::ImageSize> imageSize() override { return count(&PageCalls::imageSize), size; }
  bool hide() override {
    count(&PageCalls::hide);
    if (!hasStyle) return false;
    ++hidden;
    display = "none";  // inline display none is what the computed style shows next
    return true;
  }

 private:
  void count(std::uint64_t PageCalls::*field) {
    if (calls) ++(calls->*field);
  }
};

class FakeDocument;

class FakeCollection final : public page::Collection {
 public:
  FakeCollection(std::deque<FakeElement>* elements, bool lengthFails, const std::set<std::int32_t>* failing,
                 PageCalls* calls)
      : elements_(elements), lengthFails_(lengthFails), failing_(failing), calls_(calls) {}
  std::optional<std::int32_t> length() override {
    if (calls_) ++calls_->length;
    if (lengthFails_) return std::nullopt;
    return static_cast<std::int32_t>(elements_->size());
  }
  page::Element* item(std::int32_t i) override {
    if (calls_) ++calls_->item;
    if (i < 0 || static_cast<std::size_t>(i) >= elements_->size() || failing_->count(i)) return nullptr;
    return &(*elements_)[static_cast<std::size_t>(i)];
  }

 private:
  std::deque<FakeElement>* elements_;
  bool lengthFails_;
  const std::set<std::int32_t>* failing_;
  PageCalls* calls_;
};

class FakeDocument {
 public:
  explicit FakeDocument(PageCalls* calls = nullptr) : calls(calls) {}

  // --- set-up ---
  std::map<std::string, std::deque<FakeElement>> tags;  // by upper-case tag
  std::set<std::string> failingTags;                     // elementsByTag fails
  std::set<std::string> failingLengths;                  // length() fails
  std::map<std::string, std::set<std::int32_t>> failingItems;
  std::vector<std::shared_ptr<FakeDocument>> frames;     // null: an embedded object without a document
  PageCalls* calls;

  FakeElement& add(const std::string& tag) {
    FakeElement& e = tags[tag].emplace_back();
    e.calls = calls;
    return e;
  }
  std::shared_ptr<FakeDocument> addFrame() {
    frames.push_back(std::make_shared<FakeDocument>(calls));
    return frames.back();
  }

  // The port over this document (and, through frameDocuments, its frames).
  std::unique_ptr<page::Document> port() { return std::make_unique<Port>(this); }

 private:
  class Port final : public page::Document {
   public:
    explicit Port(FakeDocument* d) : d_(d) {}
    std::unique_ptr<page::Collection> elementsByTag(const char* tag) override {
      if (d_->calls) ++d_->calls->byTag;
      if (d_->failingTags.count(tag)) return nullptr;
      return std::make_unique<FakeCollection>(&d_->tags[tag], d_->failingLengths.count(tag) > 0,
                                              &d_->failingItems[tag], d_->calls);
    }
    std::vector<std::unique_ptr<page::Document>> frameDocuments(std::size_t limit) override {
      if (d_->calls) ++d_->calls->frames;
      std::vector<std::unique_ptr<page::Document>> out;
      for (auto& f : d_->frames) {
        if (out.size() >= limit) break;
        if (f) out.push_back(f->port());
      }
      return out;
    }

   private:
    FakeDocument* d_;
  };
};

// The URL cache: entries by address; a query with fewer bytes than the
// entry needs asks for more.
class FakeUrlCache final : public page::UrlCache {
 public:
  struct Entry {
    std::string path;
    std::uint32_t needed = 80;
  };
  std::map<std::string, Entry> entries;
  std::map<std::string, std::string> downloads;  // address -> path the download gives (absent: fails)
  std::map<std::string, page::FileStamp> stamps;  // path -> stamp (absent: unreadable)
  bool alwaysNeedsMore = false;                   // a cache that never stops asking
  std::vector<std::uint32_t> queriedBytes;
  std::vector<std::string> downloaded;
  bool recordQueries = true;

  page::CacheAnswer query(const std::string& address, std::uint32_t bytes) override {
    if (recordQueries) queriedBytes.push_back(bytes);
    page::CacheAnswer a;
    if (alwaysNeedsMore) {
      a.kind = page::CacheAnswer::Kind::NeedsBuffer;
      a.neededBytes = bytes + 8;
      return a;
    }
    auto it = entries.find(address);
    if (it == entries.end()) {
      a.kind = page::CacheAnswer::Kind::NotFound;
    } else if (bytes < it->second.needed) {
      a.kind = page::CacheAnswer::Kind::NeedsBuffer;
      a.neededBytes = it->second.needed;
    } else {
      a.kind = page::CacheAnswer::Kind::Found;
      a.localPath = it->second.path;
    }
    return a;
  }
  std::optional<std::string> download(const std::string& address) override {
    downloaded.push_back(address);
    auto it = downloads.find(address);
    if (it == downloads.end()) return std::nullopt;
    entries[address] = Entry{it->second, 80};
    return it->second;
  }
  std::optional<page::FileStamp> stamp(const std::string& path) override {
    auto it = stamps.find(path);
    if (it == stamps.end()) return std::nullopt;
    return it->second;
  }
};

class FakeFrameCounter final : public page::FrameCounter {
 public:
  std::map<std::string, std::vector<std::uint32_t>> files;  // path -> frames per dimension
  std::uint64_t decoded = 0;
  std::vector<std::uint32_t> frameCounts(const std::string& path) override {
    ++decoded;
    auto it = files.find(path);
    return it == files.end() ? std::vector<std::uint32_t>{} : it->second;
  }
};

}  // namespace qv::fake
