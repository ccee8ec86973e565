// The white list store: an ordered set of site texts with an enumeration
// cursor, and the file that keeps it between runs ("Quillvane.WL").
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace qv::wl {

// Orders site texts as the ANSI code page's multi-byte comparison does (plain
// byte order for ASCII; a double-byte character compares as one unit).
struct SiteOrder {
  bool operator()(const std::string& a, const std::string& b) const;
};

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

  const std::string& fileName() const { return fileName_; }
  void setFileName(std::string name) { fileName_ = std::move(name); }

  // Set operations.  insert and erase lower-case the text first and report
  // whether the set changed; both put the cursor back on the first site when
  // it did.  contains is the exact-membership test (no lower-casing).
  bool insert(std::string_view text);
  bool erase(std::string_view text);
  void clear();  // cursor at end
  bool contains(std::string_view key) const;
  const Set& sites() const { return sites_; }

  // Enumeration: rewind() puts the cursor on the first site; current() is
  // null at the end; advance() moves one site on (and stays at the end).
  void rewind();
  const std::string* current() const;
  void advance();

  // Replaces the sites with the file's content (512-byte pieces, "#"
  // comments, trimmed, lower-cased); the cursor ends on the first site.
  // OpenFailed leaves the set empty.
  StoreResult loadFile();
  // Rewrites the whole file: header line "#Quillvane White List", then one
  // site per line, CR LF after each line.  NoFile when there is no file name.
  StoreResult saveFile();

  // The file's bytes for a set of sites (exposed for tests and benchmarks).
  static std::string format(const Set& sites);
  // Parses a file's bytes into a set (exposed for tests, fuzzing, benchmarks).
  static void parse(std::string_view bytes, Set& out);

 private:
  FileSystem& files_;
  std::string fileName_;
  Set sites_;
  Set::const_iterator cursor_ = sites_.end();
};

}  // namespace qv::wl
