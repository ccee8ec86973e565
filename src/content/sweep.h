// The content sweep: one pass over a page's document and the documents of
// all its frames that hides Flash objects, animated images and floating
// advertisements by rewriting their inline style.
//
// Callers: the window's one-second timer (flags from the settings, exempt
// sites skipped) and the block-animation shortcut (SweepFlash|SweepAnimated,
// no exemption).  Everything here runs on the browser window's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/shared_settings.h"
#include "platform/page.h"

namespace qv::popup {
class PubHost;
}

namespace qv::content {

inline constexpr int SweepFlash = 1;
inline constexpr int SweepAnimated = 2;
inline constexpr int SweepFloating = 4;

inline constexpr const char* kFlashClassId = "D27CDB6E-AE6D-11CF-96B8-444553540000";
inline constexpr const char* kFlashExtension = ".swf";
inline constexpr const char* kFloatingNotice = "Quillvane blocked floating Ads in this page!";
inline constexpr std::int32_t kMinimumAdSize = 16;

// Frames nested deeper than this, and more embedded objects per document
// than this, are not looked at: a page (or a broken container) that nests
// or enumerates without end cannot exhaust the stack or hang the UI thread.
inline constexpr int kMaxFrameDepth = 32;
inline constexpr std::size_t kMaxEmbeddedObjects = 1024;

// Where each element with an id was first seen.  One per process; slots are
// filled in order of first sighting, and once 256 have been written the next
// recording goes to slot 0 again.  A lookup searches slots 0..writeIndex-1
// only, so after the wrap an element recorded in a higher slot is not found
// and is recorded afresh.
class PositionMemo {
 public:
  static constexpr int kSlots = 256;
  // The position recorded for this id (first equal slot), or nullopt.
  std::optional<page::Offsets> find(const std::string& id) const { return find(id, hashOf(id)); }
  void record(const std::string& id, page::Offsets at) { record(id, hashOf(id), at); }
  // The same with the id's hash already computed (hashOf).
  static std::size_t hashOf(const std::string& id) { return std::hash<std::string>{}(id); }
  std::optional<page::Offsets> find(const std::string& id, std::size_t hash) const;
  void record(const std::string& id, std::size_t hash, page::Offsets at);
  int writeIndex() const;

 private:
  // Tabs of one browser process sweep on threads of their own: every
  // operation is one short critical section.
  mutable std::mutex lock_;
  struct Slot {
    std::string id;
    std::size_t hash = 0;
    page::Offsets at;
    bool used = false;
  };
  // An index of the used slots by the hash of their id (open addressing,
  // linear probing, no allocation): a lookup compares only the slots whose
  // id hashes alike instead of every slot, as a large page has thousands
  // of ids and the sweep looks each one up every second.
  static constexpr std::size_t kIndexSize = 1024;
  static constexpr std::int16_t kFree = -1;
  void unindex(int slot);
  Slot slots_[kSlots];
  std::int16_t index_[kIndexSize];
  int writeIndex_ = 0;

 public:
  PositionMemo();
};

// Images already examined, so that an unchanged page is not decoded again on
// every sweep.  The rule: an answer is kept under the image's address
// together with the cached file's path, size and last-write time, and is
// used only when all four are equal again, i.e. only for the very file a
// fresh examination would decode; a file that changed or left the cache is
// examined again.  Files whose size and time cannot be read are never
// remembered.  At most kEntries answers are kept (oldest dropped first).
// A failed download is remembered by address and not tried again until
// kRetryDownloadAfter further sweeps have run (at most kFailures kept).
class ImageMemo {
 public:
  static constexpr std::size_t kEntries = 2048;
  static constexpr std::size_t kFailures = 256;
  static constexpr std::uint32_t kRetryDownloadAfter = 60;

  std::optional<bool> find(const std::string& address, const std::string& path, const page::FileStamp& stamp) const;
  void remember(const std::string& address, const std::string& path, const page::FileStamp& stamp, bool animated);
  bool downloadFailedRecently(const std::string& address) const;
  void rememberFailedDownload(const std::string& address);
  void nextSweep();
  std::size_t size() const;
  // The entry-information size that answered last (a starting point only).
  std::uint32_t bufferHint() const { return bufferHint_.load(std::memory_order_relaxed); }
  void setBufferHint(std::uint32_t bytes) { bufferHint_.store(bytes, std::memory_order_relaxed); }

 private:
  static std::string key(const std::string& address, const std::string& path, const page::FileStamp& stamp);
  mutable std::mutex lock_;
  std::unordered_map<std::string, bool> answers_;
  std::deque<std::string> order_;
  std::unordered_map<std::string, std::uint64_t> failures_;  // address -> sweep of the failure
  std::deque<std::string> failureOrder_;
  std::uint64_t sweep_ = 0;
  std::atomic<std::uint32_t> bufferHint_{80};
};

// The per-process memory of the sweep.
struct SweepMemory {
  PositionMemo positions;
  ImageMemo images;
};

struct SweepServices {
  SharedSettings& settings;
  page::UrlCache& cache;
  page::FrameCounter& frames;
  SweepMemory& memory;
  // FindPubForFocus: the browser side of the helper object that owns the
  // focused window, or null.
  std::function<popup::PubHost*()> findPubForFocus;
  // Told of every element hidden, with the reason ("floating, pinned: ad",
  // "Flash object", ...); may be empty.
  std::function<void(const std::string&)> onHidden;
};

// The sweep of one document and, recursively, its frames.  Flags 0 does
// nothing.  Only the low three bits of flags are read.
void SweepDocument(SweepServices& s, page::Document& document, int flags);

// The parts, for tests and for the demo's report.
std::unique_ptr<page::Collection> FindElementsByTag(page::Document& document, const char* tag);
bool HideElement(page::Element& element);
bool PinnedAbsolute(page::Element& element, const std::optional<std::string>& position);
bool MovedSinceFirstSeen(PositionMemo& memo, page::Element& element, const std::string& id,
                         const std::optional<std::string>& position);
bool IsFloatingAd(PositionMemo& memo, page::Element& element, const std::string& id);
void ShowFloatingNotice(const SharedSettings& settings, popup::PubHost* pub);
bool IsAnimatedImage(SweepServices& s, const std::string& address);

// The cached file of an address: the entry-information query with a buffer
// that starts at 80 bytes and grows to the size the cache asks for, at most
// kCacheRetries times and never beyond kCacheBufferLimit bytes.
inline constexpr std::uint32_t kFirstCacheBuffer = 80;
inline constexpr int kCacheRetries = 4;
inline constexpr std::uint32_t kCacheBufferLimit = 1u << 20;
// `bufferBytes`, when given, is the size to start with and receives the
// size that answered (the image pass starts the next lookup there).
std::optional<std::string> LookUpCachedFile(page::UrlCache& cache, const std::string& address,
                                            std::uint32_t* bufferBytes = nullptr);

// ASCII upper-case copy (page values are compared with upper-case constants).
std::string UpperAscii(std::string_view text);

}  // namespace qv::content
