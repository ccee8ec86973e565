#include "content/sweep.h"

#include <algorithm>

#include "core/pub_host.h"
#include "core/shared_access.h"

namespace qv::content {

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

namespace {

bool EqualsUpper(const std::optional<std::string>& value, std::string_view upperConstant) {
  if (!value || value->size() != upperConstant.size()) return false;
  return UpperAscii(*value) == upperConstant;
}

void Report(SweepServices& s, const std::string& why) {
  if (s.onHidden) s.onHidden(why);
}

}  // namespace

// ---------------------------------------------------------------------------
// Position memo.

PositionMemo::PositionMemo() {
  for (auto& e : index_) e = kFree;
}

std::optional<page::Offsets> PositionMemo::find(const std::string& id, std::size_t h) const {
  std::lock_guard<std::mutex> hold(lock_);
  int best = -1;
  for (std::size_t i = h & (kIndexSize - 1); index_[i] != kFree; i = (i + 1) & (kIndexSize - 1)) {
    const int k = index_[i];
    if (k < writeIndex_ && (best < 0 || k < best) && slots_[k].hash == h && slots_[k].id == id) best = k;
  }
  if (best < 0) return std::nullopt;
  return slots_[best].at;
}

int PositionMemo::writeIndex() const {
  std::lock_guard<std::mutex> hold(lock_);
  return writeIndex_;
}

void PositionMemo::unindex(int slot) {
  constexpr std::size_t mask = kIndexSize - 1;
  std::size_t i = slots_[slot].hash & mask;
  while (index_[i] != slot) i = (i + 1) & mask;
  // Backward-shift deletion keeps every probe chain unbroken.
  for (std::size_t j = (i + 1) & mask; index_[j] != kFree; j = (j + 1) & mask) {
    const std::size_t home = slots_[index_[j]].hash & mask;
    if (((j - home) & mask) >= ((j - i) & mask)) {
      index_[i] = index_[j];
      i = j;
    }
  }
  index_[i] = kFree;
}

void PositionMemo::record(const std::string& id, std::size_t h, page::Offsets at) {
  std::lock_guard<std::mutex> hold(lock_);
  const int k = writeIndex_;
  Slot& slot = slots_[k];
  if (slot.used) unindex(k);
  slot.id = id;
  slot.hash = h;
  slot.at = at;
  slot.used = true;
  std::size_t i = h & (kIndexSize - 1);
  while (index_[i] != kFree) i = (i + 1) & (kIndexSize - 1);
  index_[i] = static_cast<std::int16_t>(k);
  writeIndex_ = k + 1 == kSlots ? 0 : k + 1;
}

// ---------------------------------------------------------------------------
// Image memo.

std::string ImageMemo::key(const std::string& address, const std::string& path, const page::FileStamp& stamp) {
  std::string k;
  k.reserve(address.size() + path.size() + 42);
  k.append(address).push_back('\0');
  k.append(path).push_back('\0');
  k.append(std::to_string(stamp.size)).push_back('\0');
  k.append(std::to_string(stamp.lastWrite));
  return k;
}

std::optional<bool> ImageMemo::find(const std::string& address, const std::string& path,
                                    const page::FileStamp& stamp) const {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = answers_.find(key(address, path, stamp));
  if (it == answers_.end()) return std::nullopt;
  return it->second;
}

void ImageMemo::remember(const std::string& address, const std::string& path, const page::FileStamp& stamp,
                         bool animated) {
  std::string k = key(address, path, stamp);
  std::lock_guard<std::mutex> hold(lock_);
  auto [it, inserted] = answers_.insert_or_assign(k, animated);
  (void)it;
  if (!inserted) return;
  order_.push_back(std::move(k));
  while (order_.size() > kEntries) {
    answers_.erase(order_.front());
    order_.pop_front();
  }
}

void ImageMemo::nextSweep() {
  std::lock_guard<std::mutex> hold(lock_);
  ++sweep_;
}

std::size_t ImageMemo::size() const {
  std::lock_guard<std::mutex> hold(lock_);
  return answers_.size();
}

bool ImageMemo::downloadFailedRecently(const std::string& address) const {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = failures_.find(address);
  return it != failures_.end() && sweep_ - it->second < kRetryDownloadAfter;
}

void ImageMemo::rememberFailedDownload(const std::string& address) {
  std::lock_guard<std::mutex> hold(lock_);
  auto [it, inserted] = failures_.insert_or_assign(address, sweep_);
  (void)it;
  if (!inserted) return;
  failureOrder_.push_back(address);
  while (failureOrder_.size() > kFailures) {
    failures_.erase(failureOrder_.front());
    failureOrder_.pop_front();
  }
}

// ---------------------------------------------------------------------------
// Shared operations.

std::unique_ptr<page::Collection> FindElementsByTag(page::Document& document, const char* tag) {
  return document.elementsByTag(tag);
}

bool HideElement(page::Element& element) { return element.hide(); }

// ---------------------------------------------------------------------------
// Floating advertisements.

bool PinnedAbsolute(page::Element& element, const std::optional<std::string>& position) {
  if (!EqualsUpper(position, "ABSOLUTE")) return false;
  const page::InlineValue top = element.inlineTop();
  if (top == page::InlineValue::NoStyle || top == page::InlineValue::Empty) return false;
  return element.inlineZIndex() == page::InlineValue::One;
}

bool MovedSinceFirstSeen(PositionMemo& memo, page::Element& element, const std::string& id,
                         const std::optional<std::string>& position) {
  const std::size_t hash = PositionMemo::hashOf(id);
  const auto first = memo.find(id, hash);
  if (!first) {
    if (auto at = element.offsets()) memo.record(id, hash, *at);
    return false;
  }
  if (!EqualsUpper(position, "ABSOLUTE")) return false;
  const auto now = element.offsets();
  return now && !(*now == *first);
}

bool IsFloatingAd(PositionMemo& memo, page::Element& element, const std::string& id) {
  const auto display = element.computedDisplay();
  if (!display || EqualsUpper(display, "NONE")) return false;
  // The computed position is read once and serves both tests: nothing on
  // the page runs between them.
  const auto position = element.computedPosition();
  if (PinnedAbsolute(element, position)) return true;
  return MovedSinceFirstSeen(memo, element, id, position);
}

void ShowFloatingNotice(const SharedSettings& settings, popup::PubHost* pub) {
  if (!shared::on(settings.showFloatingStatusMsg) || !pub) return;
  pub->setStatusText(kFloatingNotice);
}

namespace {

// Calls `visit` with each element of `tag` in the document, in index order;
// a collection or element the page cannot give is passed over.
template <class Visit>
void ForEachElement(page::Document& document, const char* tag, Visit&& visit) {
  auto elements = FindElementsByTag(document, tag);
  if (!elements) return;
  const auto length = elements->length();
  if (!length) return;
  for (std::int32_t i = 0; i < *length; ++i)
    if (page::Element* element = elements->item(i)) visit(*element);
}

void FloatingPass(SweepServices& s, page::Document& document, const char* tag) {
  popup::PubHost* pub = s.findPubForFocus ? s.findPubForFocus() : nullptr;
  ForEachElement(document, tag, [&](page::Element& element) {
    const auto id = element.id();
    if (!id) return;
    if (!IsFloatingAd(s.memory.positions, element, *id)) return;
    // Counted and announced only once the element is really hidden: one
    // without an inline style would otherwise be counted on every sweep.
    if (!HideElement(element)) return;
    shared::increment(s.settings.floatingBlockedSession);
    ShowFloatingNotice(s.settings, pub);
    Report(s, std::string("floating ") + tag + " #" + *id);
  });
}

// ---------------------------------------------------------------------------
// Flash objects and embeds.

void ObjectPass(SweepServices& s, page::Document& document, std::string_view classId) {
  const std::string wanted = UpperAscii(std::string("CLSID:").append(classId));
  ForEachElement(document, "OBJECT", [&](page::Element& element) {
    if (!EqualsUpper(element.objectClassId(), wanted)) return;
    if (HideElement(element)) Report(s, "Flash OBJECT");
  });
}

void EmbedPass(SweepServices& s, page::Document& document, std::string_view extension) {
  const std::string wanted = UpperAscii(extension);
  ForEachElement(document, "EMBED", [&](page::Element& element) {
    const auto source = element.embedSource();
    if (!source) return;
    const auto dot = source->rfind('.');
    if (dot == std::string::npos) return;
    if (UpperAscii(std::string_view(*source).substr(dot)) != wanted) return;
    if (HideElement(element)) Report(s, "Flash EMBED " + *source);
  });
}

// ---------------------------------------------------------------------------
// Animated images.

void ImagePass(SweepServices& s, page::Document& document) {
  ForEachElement(document, "IMG", [&](page::Element& element) {
    const auto source = element.imageSource();
    if (!source || !IsAnimatedImage(s, *source)) return;
    const auto size = element.imageSize();
    if (!size || size->width < kMinimumAdSize || size->height < kMinimumAdSize) return;
    if (HideElement(element)) Report(s, "animated IMG " + *source);
  });
}

void SweepAt(SweepServices& s, page::Document& document, int flags, int depth) {
  if (flags & SweepFlash) {
    ObjectPass(s, document, kFlashClassId);
    EmbedPass(s, document, kFlashExtension);
  }
  if (flags & SweepAnimated) ImagePass(s, document);
  if (flags & SweepFloating) {
    FloatingPass(s, document, "DIV");
    FloatingPass(s, document, "SPAN");
  }
  if (depth >= kMaxFrameDepth) return;
  for (auto& frame : document.frameDocuments(kMaxEmbeddedObjects))
    if (frame) SweepAt(s, *frame, flags, depth + 1);
}

}  // namespace

std::optional<std::string> LookUpCachedFile(page::UrlCache& cache, const std::string& address,
                                            std::uint32_t* bufferBytes) {
  std::uint32_t bytes = kFirstCacheBuffer;
  if (bufferBytes && *bufferBytes > bytes && *bufferBytes <= kCacheBufferLimit) bytes = *bufferBytes;
  for (int attempt = 0; attempt <= kCacheRetries; ++attempt) {
    const page::CacheAnswer answer = cache.query(address, bytes);
    switch (answer.kind) {
      case page::CacheAnswer::Kind::Found:
        if (bufferBytes) *bufferBytes = bytes;
        if (answer.localPath.empty()) return std::nullopt;
        return answer.localPath;
      case page::CacheAnswer::Kind::NeedsBuffer:
        if (answer.neededBytes == 0 || answer.neededBytes > kCacheBufferLimit) return std::nullopt;
        bytes = answer.neededBytes;
        continue;
      default:
        return std::nullopt;
    }
  }
  return std::nullopt;
}

bool IsAnimatedImage(SweepServices& s, const std::string& address) {
  ImageMemo& memo = s.memory.images;
  std::uint32_t bytes = memo.bufferHint();
  auto path = LookUpCachedFile(s.cache, address, &bytes);
  memo.setBufferHint(std::min<std::uint32_t>(bytes, 4096));
  if (!path) {
    if (!shared::on(s.settings.blockUncachedImages) || memo.downloadFailedRecently(address)) return false;
    path = s.cache.download(address);
    if (!path) {
      memo.rememberFailedDownload(address);
      return false;
    }
  }
  const auto stamp = s.cache.stamp(*path);
  if (stamp)
    if (auto known = memo.find(address, *path, *stamp)) return *known;
  const auto counts = s.frames.frameCounts(*path);
  const bool animated = std::any_of(counts.begin(), counts.end(), [](std::uint32_t n) { return n > 1; });
  if (stamp) memo.remember(address, *path, *stamp, animated);
  return animated;
}

void SweepDocument(SweepServices& s, page::Document& document, int flags) {
  flags &= SweepFlash | SweepAnimated | SweepFloating;
  if (flags == 0) return;
  s.memory.images.nextSweep();
  SweepAt(s, document, flags, 0);
}

}  // namespace qv::content
