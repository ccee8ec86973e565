// The white list store: an ordered set of site texts with an enumeration
// cursor, and the file that keeps it between runs ("Quillvane.WL").
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace qv::wl {

// Three-way comparison of two site texts: unsigned byte order.  For ASCII this
// is the ANSI code page's multi-byte order exactly.  For a double-byte code
// page it agrees with comparing each double-byte character as one unit
// whenever the texts differ at a lead byte of both or at a trail byte (the
// texts are equal up to there, so both sides are inside the same kind of
// character); only a lead byte against a single-byte character at or above
// 0x80 can order differently.  Sites are lower-cased host names and paths, so
// the set's order, the enumeration and the file all use this one rule.
int compareSites(std::string_view a, std::string_view b);

// Orders site texts by compareSites.  Transparent, so that look-ups by
// string_view need no temporary string.
struct SiteOrder {
  using is_transparent = void;
  bool operator()(const std::string& a, const std::string& b) const;
  bool operator()(std::string_view a, std::string_view b) const { return compareSites(a, b) < 0; }
};

inline int compareSites(std::string_view a, std::string_view b) {
  // char_traits<char> compares as unsigned char.
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
inline bool SiteOrder::operator()(const std::string& a, const std::string& b) const {
  return compareSites(a, b) < 0;
}

enum class StoreStatus {
  Ok,
  NoFile,      // the store has no file name (never loaded): changes stay in memory
  OpenFailed,  // the file could not be opened (read) or created (write)
  WriteFailed  // a write or the final replace failed; the old file is untouched
};

struct StoreResult {
  StoreStatus status = StoreStatus::Ok;
  std::uint32_t systemError = 0;
  bool ok() const { return status == StoreStatus::Ok || status == StoreStatus::NoFile; }
};

class WhiteListStore {
 public:
  using Set = std::set<std::string, SiteOrder>;

  explicit WhiteListStore(FileSystem& files) : files_(files) {}
  // The cursor points into this object's own set: no copies.
  WhiteListStore(const WhiteListStore&) = delete;
  WhiteListStore& operator=(const WhiteListStore&) = delete;

  const std::string& fileName() const { return fileName_; }
  void setFileName(std::string name) { fileName_ = std::move(name); }

  // Set operations.  insert and erase lower-case the text first and report
  // whether the set changed; both put the cursor back on the first site when
  // it did.  contains is the exact-membership test (no lower-casing).
  bool insert(std::string_view text);
  bool erase(std::string_view text);
  void clear();  // cursor at end
  bool contains(std::string_view key) const;
  // Whether a page address is white-listed: the address rule lookupSite
  // (url.h) over contains().
  bool lookup(std::string_view url) const;
  const Set& sites() const { return sites_; }

  // Enumeration: rewind() puts the cursor on the first site; current() is
  // null at the end; advance() moves one site on (and stays at the end).
  void rewind();
  const std::string* current() const;
  void advance();

  // Replaces the sites with the file's content (512-byte pieces, "#"
  // comments, trimmed, lower-cased); the cursor ends on the first site.
  // OpenFailed (also for a store without a file name) leaves the set empty.
  StoreResult loadFile();
  // Rewrites the whole file: header line "#Quillvane White List", then one
  // site per line, CR LF after each line.  NoFile when there is no file name.
  // The new content replaces the old file in one step (FileSystem::
  // replaceContents): on WriteFailed the old file is untouched and the set
  // keeps its changes.
  StoreResult saveFile();

  // Replaces every site at once (each text lower-cased, duplicates
  // collapsing) with one rewrite of the file: the new content is written
  // first and only on success does the set change, so a failure leaves the
  // old list whole, in memory and in the file.  The cursor ends on the first
  // site.
  StoreResult replaceAll(const std::vector<std::string>& texts);

  // The automation object's changes, each all or nothing: the list as it
  // will be is written first, and the set (and cursor) change only when that
  // write succeeded or the store has no file.  A failed write leaves the
  // list exactly as before, in memory and in the file.
  struct Change {
    bool refused = false;  // an empty (or blank) site: nothing was done
    bool changed = false;  // the list differs from before (and was written)
    StoreResult store;     // the write's result; Ok when nothing was written
    bool ok() const { return !refused && store.ok(); }
  };
  // Inserts the lower-cased text; a site already there writes nothing.
  Change add(std::string_view text);
  // Erases the lower-cased text; a site not there writes nothing.
  Change remove(std::string_view text);
  // Empties the list and rewrites the file (always written).
  Change removeAll();
  // Whether a text can be a site at all: not empty once white space is
  // trimmed (the file could never give it back).
  static bool isSiteText(std::string_view text);

  // The file's bytes for a set of sites (exposed for tests and benchmarks).
  static std::string format(const Set& sites);
  // Parses a file's bytes into a set (exposed for tests, fuzzing, benchmarks).
  // Adds to `out`; does not empty it first.
  static void parse(std::string_view bytes, Set& out);

  static constexpr std::string_view kHeader = "#Quillvane White List";
  // Each read of the file takes at most this many characters (a buffer of
  // 512 with its terminator): a longer line arrives, and counts, in pieces.
  static constexpr std::size_t kPieceLength = 511;

 private:
  FileSystem& files_;
  std::string fileName_;
  Set sites_;
  Set::const_iterator cursor_ = sites_.end();

  // Writes `next` and, on success, makes it the set with the cursor on its
  // first site.
  StoreResult commit(Set next);
};

}  // namespace qv::wl
