// Web-site addresses: percent-decoding, the address cracker and the three
// rules that turn addresses into site texts and look them up in the white
// list.  Pure functions over narrow strings in the ANSI code page.
//
// Every text field of UrlParts has a fixed capacity; a component longer than
// its capacity makes the whole crack fail.  The capacities are limits of the
// result only: any input, of any length and with any bytes, is handled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qv::wl {

// Rows of the scheme table.
enum SchemeKind : int {
  kSchemeUnknown = -1,
  kSchemeFtp = 0,
  kSchemeGopher = 1,
  kSchemeHttp = 2,
  kSchemeHttps = 3,
  kSchemeFile = 4,
  kSchemeNews = 5,
  kSchemeMailto = 6,
  kSchemeSocks = 7,
};

struct SchemeRow {
  std::string_view name;
  std::uint16_t defaultPort;
};
// Indexed by SchemeKind 0..7; names compare without regard to letter case.
inline constexpr SchemeRow kSchemeTable[8] = {
    {"ftp", 21}, {"gopher", 70}, {"http", 80},  {"https", 443},
    {"file", 0}, {"news", 0},    {"mailto", 0}, {"socks", 1080},
};
// The row of a scheme name, or kSchemeUnknown.
int schemeKindOf(std::string_view name);

// Capacities in characters (terminator not counted).
inline constexpr std::size_t kSchemeNameCapacity = 32;
inline constexpr std::size_t kHostNameCapacity = 256;
inline constexpr std::size_t kUserNameCapacity = 128;
inline constexpr std::size_t kPasswordCapacity = 128;
inline constexpr std::size_t kPortTextCapacity = 128;
inline constexpr std::size_t kUrlPathCapacity = 2048;
inline constexpr std::size_t kExtraInfoCapacity = 2048;
// crackUrl decodes into this many characters including the terminator, so a
// decoded address holds at most 2083 characters.
inline constexpr std::size_t kDecodedAddressCapacity = 2084;

struct UrlParts {
  std::string schemeName;  // as written, before the first ":"
  int schemeKind = kSchemeUnknown;
  std::string hostName;    // may be empty
  std::string userName;
  std::string password;
  std::string urlPath;     // starts with the "/" that ended the host, if any
  std::string extraInfo;   // from the "?" or "#" that ended the path
  std::uint16_t port = 0;  // explicit port, or the scheme's default

  void clear() { *this = UrlParts{}; }
  bool operator==(const UrlParts&) const = default;
};

struct Unescaped {
  bool ok = false;
  std::string text;        // the decoded text when ok; empty otherwise
  std::size_t length = 0;  // decoded units + 1 (what the text needs with its
                           // terminator); 0 when decoding stopped at a
                           // truncated escape
};

// Percent-decoding.  "%" and two characters give one byte; every other
// character is copied ("+" stays "+").  A "%" in the last or second-to-last
// position fails.  Fails when units + 1 exceeds `capacity` (which counts the
// terminator).  A "%" followed by two characters that are not both hex digits
// consumes the three and gives the byte "%" itself: never a separator, never
// NUL, so such an escape can neither split an address nor cut it short.
Unescaped unescapeUrl(std::string_view input, std::size_t capacity);
inline constexpr char kBadEscapeByte = '%';

// Cracks an address into `out` (which is cleared first and stays cleared on
// failure).  The address is split at its written separators first; with
// decodeFirst each part is then percent-decoded on its own, so an escaped
// "/", "?", "#", ":" or "@" stays inside its part, and a host name whose
// escapes stand for one of "/\\?#@:[]" fails the crack (such a host would be
// read as another host by whoever splits the decoded text again).  The
// capacities count decoded characters.  A host written in brackets (an IPv6
// address) is kept whole with its brackets and colons.  An address
// containing a NUL byte (written, or decoded from "%00") fails: a NUL would
// silently cut the address short wherever it is later used as a C string.
bool crackUrl(std::string_view address, bool decodeFirst, UrlParts& out);

// The site text for an address the user typed into the white list page:
// "http://" is put in front unless the text begins with "http:" or "https:";
// only http and https addresses give a site (host followed by the whole path,
// letter case as typed).  nullopt means "invalid".
std::optional<std::string> siteFromTypedAddress(std::string_view text);

// The site text for the address of a visited or blocked page: host and path
// without the last path segment, lower-cased.  nullopt when the address is
// not an http or https address (or gives an empty site).
std::optional<std::string> siteFromPageUrl(std::string_view url);

// Exact-membership test of the white list (WhiteListStore::contains).
using SiteContains = std::function<bool(std::string_view)>;

// Whether a page address is on the white list: tries the host with the full
// path, then the path shortened segment by segment at "/" boundaries, ending
// with the bare host name.  No wildcard, suffix or subdomain matching.
bool lookupSite(std::string_view url, const SiteContains& contains);

}  // namespace qv::wl
