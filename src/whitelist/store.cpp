#include "whitelist/store.h"

#include <algorithm>
#include <vector>

#include "whitelist/text.h"
#include "whitelist/url.h"

namespace qv::wl {
namespace {

// The text of one piece of the file as the line reader hands it over, given
// as the raw bytes of the piece without its line end: cut before the first
// "#", CR, LF or NUL (the reader's buffer is a C string), trimmed at the end
// and then at the start.  Empty when nothing is left.
std::string_view siteText(std::string_view piece) {
  const std::size_t cut = piece.find_first_of(std::string_view("#\r\n\0", 4));
  if (cut != std::string_view::npos) piece = piece.substr(0, cut);
  while (!piece.empty() && isSpace(piece.back())) piece.remove_suffix(1);
  while (!piece.empty() && isSpace(piece.front())) piece.remove_prefix(1);
  return piece;
}

// Calls f(text) for the site text of every piece of the file.
//
// The file is read as the C library reads a text-mode file line by line into
// a 512-character buffer: CR LF arrives as LF, a Ctrl-Z ends the file (old
// editors append one), and each read stops after a LF or after 511
// characters, whichever comes first.  Every such piece counts as a line.
// Only the CR of a CR LF pair is dropped, and that pair is a line end, so the
// characters of a piece before its line end are the raw bytes one for one:
// the conversion matters only for where a long line is split.
template <class F>
void forEachSiteText(std::string_view bytes, F&& f) {
  constexpr std::size_t npos = std::string_view::npos;
  const std::size_t eof = bytes.find('\x1a');
  if (eof != npos) bytes = bytes.substr(0, eof);
  const std::size_t limit = WhiteListStore::kPieceLength;
  std::size_t p = 0;
  while (p < bytes.size()) {
    const std::size_t lf = bytes.find('\n', p);
    const std::size_t lineEnd = lf == npos ? bytes.size() : lf;  // LF excluded
    const bool crlf = lf != npos && lf > p && bytes[lf - 1] == '\r';
    // Characters the reader sees for this line, its LF included.
    const std::size_t seen = (lineEnd - p) - (crlf ? 1 : 0) + (lf == npos ? 0 : 1);
    std::string_view text;
    if (seen <= limit) {
      text = siteText(bytes.substr(p, lineEnd - p));
      p = lf == npos ? bytes.size() : lf + 1;
    } else {
      // 511 characters with no line end among them.
      text = siteText(bytes.substr(p, limit));
      p += limit;
    }
    if (!text.empty()) f(text);
  }
}

}  // namespace

bool WhiteListStore::insert(std::string_view text) {
  const bool changed = sites_.insert(lowerCopy(text)).second;
  if (changed) rewind();
  return changed;
}

bool WhiteListStore::erase(std::string_view text) {
  const std::string key = lowerCopy(text);
  const auto it = sites_.find(key);
  if (it == sites_.end()) return false;
  sites_.erase(it);
  rewind();
  return true;
}

void WhiteListStore::clear() {
  sites_.clear();
  cursor_ = sites_.end();
}

bool WhiteListStore::contains(std::string_view key) const { return sites_.find(key) != sites_.end(); }

bool WhiteListStore::lookup(std::string_view url) const {
  return lookupSite(url, [this](std::string_view key) { return contains(key); });
}

void WhiteListStore::rewind() { cursor_ = sites_.begin(); }

const std::string* WhiteListStore::current() const { return cursor_ == sites_.end() ? nullptr : &*cursor_; }

void WhiteListStore::advance() {
  if (cursor_ != sites_.end()) ++cursor_;
}

void WhiteListStore::parse(std::string_view bytes, Set& out) {
  // Lower-casing is byte for byte, so the whole file is lowered once; the
  // site texts are then views into it, sorted and built into the set in
  // order, which is much cheaper than inserting a large file's sites one by
  // one at random places.
  const std::string lowered = lowerCopy(bytes);
  std::vector<std::string_view> texts;
  forEachSiteText(lowered, [&](std::string_view text) { texts.push_back(text); });
  std::sort(texts.begin(), texts.end(), [](std::string_view a, std::string_view b) { return compareSites(a, b) < 0; });
  texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
  if (out.empty()) {
    for (std::string_view t : texts) out.emplace_hint(out.end(), t);
  } else {
    for (std::string_view t : texts) out.emplace(t);
  }
}

std::string WhiteListStore::format(const Set& sites) {
  std::size_t size = kHeader.size() + 2;
  for (const std::string& s : sites) size += s.size() + 2;
  std::string bytes;
  bytes.reserve(size);
  bytes.append(kHeader).append("\r\n");
  for (const std::string& s : sites) bytes.append(s).append("\r\n");
  return bytes;
}

StoreResult WhiteListStore::loadFile() {
  sites_.clear();
  StoreResult result;
  if (fileName_.empty()) {
    result.status = StoreStatus::OpenFailed;
  } else if (std::optional<std::string> bytes = files_.readAll(fileName_)) {
    parse(*bytes, sites_);
  } else {
    result.status = StoreStatus::OpenFailed;
  }
  rewind();
  return result;
}

StoreResult WhiteListStore::replaceAll(const std::vector<std::string>& texts) {
  std::vector<std::string> lowered;
  lowered.reserve(texts.size());
  // Blank texts never become sites: the file could not give them back.
  for (const std::string& t : texts)
    if (isSiteText(t)) lowered.push_back(lowerCopy(t));
  std::sort(lowered.begin(), lowered.end(), SiteOrder{});
  Set next;
  for (std::string& t : lowered) next.emplace_hint(next.end(), std::move(t));
  return commit(std::move(next));
}

StoreResult WhiteListStore::commit(Set next) {
  StoreResult result;
  if (fileName_.empty()) {
    result.status = StoreStatus::NoFile;
  } else {
    const FileResult r = files_.replaceContents(fileName_, format(next));
    if (!r.ok) {
      result.status = StoreStatus::WriteFailed;
      result.systemError = r.systemError;
      return result;
    }
  }
  sites_.swap(next);
  rewind();
  return result;
}

bool WhiteListStore::isSiteText(std::string_view text) {
  for (char c : text)
    if (!isSpace(c)) return true;
  return false;
}

WhiteListStore::Change WhiteListStore::add(std::string_view text) {
  Change c;
  if (!isSiteText(text)) {
    c.refused = true;
    return c;
  }
  std::string key = lowerCopy(text);
  if (sites_.count(key)) return c;
  Set next = sites_;
  next.insert(std::move(key));
  c.store = commit(std::move(next));
  c.changed = c.store.ok();
  return c;
}

WhiteListStore::Change WhiteListStore::remove(std::string_view text) {
  Change c;
  const std::string key = lowerCopy(text);
  if (!sites_.count(key)) return c;
  Set next = sites_;
  next.erase(key);
  c.store = commit(std::move(next));
  c.changed = c.store.ok();
  return c;
}

WhiteListStore::Change WhiteListStore::removeAll() {
  Change c;
  c.store = commit(Set{});
  c.changed = c.store.ok();
  return c;
}

StoreResult WhiteListStore::saveFile() {
  StoreResult result;
  if (fileName_.empty()) {
    result.status = StoreStatus::NoFile;
    return result;
  }
  const FileResult r = files_.replaceContents(fileName_, format(sites_));
  if (!r.ok) {
    result.status = StoreStatus::WriteFailed;
    result.systemError = r.systemError;
  }
  return result;
}

}  // namespace qv::wl
