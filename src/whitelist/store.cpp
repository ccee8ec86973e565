#include "whitelist/store.h"

#include "whitelist/text.h"
#include "whitelist/url.h"

namespace qv::wl {
namespace {

// One piece of the file as the line reader hands it over: lower-cased, cut
// before the first "#", CR, LF or NUL (the reader's buffer is a C string),
// trimmed at the end and then at the start.
void addPiece(std::string_view piece, WhiteListStore::Set& out) {
  const std::size_t cut = piece.find_first_of(std::string_view("#\r\n\0", 4));
  if (cut != std::string_view::npos) piece = piece.substr(0, cut);
  while (!piece.empty() && isSpace(piece.back())) piece.remove_suffix(1);
  while (!piece.empty() && isSpace(piece.front())) piece.remove_prefix(1);
  if (piece.empty()) return;
  std::string site(piece);
  lowerInPlace(site);
  out.insert(std::move(site));
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

// The file is read as the C library reads a text-mode file line by line into
// a 512-character buffer: CR LF arrives as LF, a Ctrl-Z ends the file (old
// editors append one), and each read stops after a LF or after 511
// characters, whichever comes first.  Every such piece counts as a line.
void WhiteListStore::parse(std::string_view bytes, Set& out) {
  const std::size_t eof = bytes.find('\x1a');
  if (eof != std::string_view::npos) bytes = bytes.substr(0, eof);

  std::string piece;
  piece.reserve(kPieceLength);
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    piece.clear();
    while (piece.size() < kPieceLength && i < n) {
      char c = bytes[i++];
      if (c == '\r' && i < n && bytes[i] == '\n') {
        c = '\n';
        ++i;
      }
      piece.push_back(c);
      if (c == '\n') break;
    }
    addPiece(piece, out);
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
