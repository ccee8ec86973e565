#include "whitelist/url.h"

#include "whitelist/text.h"

namespace qv::wl {
namespace {

constexpr std::size_t npos = std::string_view::npos;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

// The port text read as the C library reads a signed decimal number: leading
// white space, one optional sign, digits up to the first other character, no
// digits giving 0.  The number is kept in its low 16 bits; computing modulo
// 65536 as the digits come keeps any length of digits well defined.
std::uint16_t readPort(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = (value * 10u + static_cast<std::uint32_t>(text[i] - '0')) & 0xFFFFu;
  if (negative) value = (0x10000u - value) & 0xFFFFu;
  return static_cast<std::uint16_t>(value);
}

// The components of a crack as views into the (decoded) address.
struct Views {
  std::string_view schemeName, hostName, userName, password, urlPath, extraInfo;
  int schemeKind = kSchemeUnknown;
  std::uint16_t port = 0;
};

bool fits(std::string_view part, std::size_t capacity) { return part.size() <= capacity; }

// The cracker proper, over an address that is already decoded.
bool crackViews(std::string_view s, Views& v) {
  if (s.find('\0') != npos) return false;

  bool haveScheme = false, haveUser = false, haveHost = false, havePort = false;
  std::uint16_t explicitPort = 0;
  const std::size_t n = s.size();
  std::size_t i = 0;
  std::size_t segStart = 0;  // the segment is always s[segStart, i)
  std::size_t pathStart = npos;

  // Authority phase.
  while (i < n) {
    const char c = s[i];
    const std::string_view segment = s.substr(segStart, i - segStart);
    if (c == ':' && !haveScheme) {
      const int kind = schemeKindOf(segment);
      if (kind == kSchemeUnknown && !fits(segment, kSchemeNameCapacity)) return false;
      v.schemeName = segment;
      v.schemeKind = kind;
      haveScheme = true;
      std::size_t next = i + 1;
      if (next < n && s[next] == '/' && (next + 1 >= n || s[next + 1] != '/')) {
        pathStart = next;  // no authority part
        break;
      }
      if (next + 1 < n && s[next] == '/' && s[next + 1] == '/') {
        if (kind == kSchemeMailto) return false;
        next += 2;
      }
      i = segStart = next;
      if (kind == kSchemeFile) {
        pathStart = next;  // everything else is path
        break;
      }
      continue;
    }
    if (c == ':') {
      std::size_t j = i + 1;
      while (j < n && s[j] != '/' && s[j] != '@') ++j;
      const std::string_view candidate = s.substr(i + 1, j - i - 1);
      if (!fits(candidate, kPortTextCapacity)) return false;
      const bool atSign = j < n && s[j] == '@';
      if (!atSign && !havePort) {
        if (!fits(segment, kHostNameCapacity)) return false;
        v.hostName = segment;
        explicitPort = readPort(candidate);
        haveHost = havePort = true;
        i = segStart = j;
        continue;
      }
      if (atSign && !haveUser) {
        if (!fits(segment, kUserNameCapacity) || !fits(candidate, kPasswordCapacity)) return false;
        if (!candidate.empty() && segment.empty()) return false;
        v.userName = segment;
        v.password = candidate;
        haveUser = true;
        i = segStart = j + 1;
        continue;
      }
      return false;
    }
    if (c == '@') {
      if (haveUser || !fits(segment, kUserNameCapacity)) return false;
      v.userName = segment;
      haveUser = true;
      i = segStart = i + 1;
      continue;
    }
    // "#" ends the authority like "?": a fragment is never part of a host.
    if (c == '/' || c == '?' || c == '#') {
      if (!haveHost) {
        if (!fits(segment, kHostNameCapacity)) return false;
        v.hostName = segment;
      }
      pathStart = i;  // not consumed: the path phase starts at it
      break;
    }
    ++i;  // any other character joins the segment
  }
  if (pathStart == npos && !haveHost) {
    // The text ended: after an ordinary character the segment is the host;
    // right after ":", "//" or "@" the segment is empty, and so is the host.
    const std::string_view segment = s.substr(segStart);
    if (!fits(segment, kHostNameCapacity)) return false;
    v.hostName = segment;
  }
  if (!haveScheme) return false;

  // Path and extra phases.
  if (pathStart != npos) {
    const std::string_view rest = s.substr(pathStart);
    const std::size_t end = v.schemeKind == kSchemeFile ? npos : rest.find_first_of("?#");
    v.urlPath = rest.substr(0, end);
    if (end != npos) v.extraInfo = rest.substr(end);
    if (!fits(v.urlPath, kUrlPathCapacity) || !fits(v.extraInfo, kExtraInfoCapacity)) return false;
  }

  // Port.
  switch (v.schemeKind) {
    case kSchemeFile:
    case kSchemeNews:
    case kSchemeMailto: v.port = 0; break;
    default:
      if (havePort)
        v.port = explicitPort;
      else
        v.port = v.schemeKind == kSchemeUnknown ? 0 : kSchemeTable[v.schemeKind].defaultPort;
  }
  return true;
}

// Decodes (when asked) into `storage` and cracks into views of it.
bool crackInto(std::string_view address, bool decodeFirst, std::string& storage, Views& v) {
  std::string_view s = address;
  if (decodeFirst) {
    Unescaped u = unescapeUrl(address, kDecodedAddressCapacity);
    if (!u.ok) return false;
    storage = std::move(u.text);
    s = storage;
  }
  return crackViews(s, v);
}

}  // namespace

int schemeKindOf(std::string_view name) {
  for (int k = 0; k < 8; ++k)
    if (equalsNoCase(name, kSchemeTable[k].name)) return k;
  return kSchemeUnknown;
}

Unescaped unescapeUrl(std::string_view input, std::size_t capacity) {
  Unescaped r;
  std::string out;
  out.reserve(input.size() < capacity ? input.size() : capacity);
  std::size_t units = 0;
  for (std::size_t i = 0; i < input.size();) {
    char byte = input[i];
    if (byte == '%') {
      if (input.size() - i < 3) return r;  // truncated escape: stop at once
      const int hi = hexValue(input[i + 1]);
      const int lo = hexValue(input[i + 2]);
      byte = (hi >= 0 && lo >= 0) ? static_cast<char>(hi * 16 + lo) : kBadEscapeByte;
      i += 3;
    } else {
      ++i;
    }
    if (units < capacity) out.push_back(byte);  // once full, only count
    ++units;
  }
  r.length = units + 1;
  r.ok = units < capacity;  // units + 1 <= capacity
  if (r.ok) r.text = std::move(out);
  return r;
}

bool crackUrl(std::string_view address, bool decodeFirst, UrlParts& out) {
  out.clear();
  std::string storage;
  Views v;
  if (!crackInto(address, decodeFirst, storage, v)) return false;
  out.schemeName = v.schemeName;
  out.schemeKind = v.schemeKind;
  out.hostName = v.hostName;
  out.userName = v.userName;
  out.password = v.password;
  out.urlPath = v.urlPath;
  out.extraInfo = v.extraInfo;
  out.port = v.port;
  return true;
}

std::optional<std::string> siteFromTypedAddress(std::string_view text) {
  // Only an explicit http or https scheme is kept as typed; a host that
  // merely begins with the letters "http" (httpbin.example) still gets the
  // scheme put in front.
  std::string address;
  if (!startsWithNoCase(text, "http:") && !startsWithNoCase(text, "https:")) address = "http://";
  address.append(text);
  std::string storage;
  Views v;
  if (!crackInto(address, true, storage, v)) return std::nullopt;
  if (v.schemeKind != kSchemeHttp && v.schemeKind != kSchemeHttps) return std::nullopt;
  std::string site;
  site.reserve(v.hostName.size() + v.urlPath.size());
  site.append(v.hostName).append(v.urlPath);
  if (site.empty()) return std::nullopt;
  return site;
}

std::optional<std::string> siteFromPageUrl(std::string_view url) {
  std::string storage;
  Views v;
  if (!crackInto(url, true, storage, v)) return std::nullopt;
  if (v.schemeKind != kSchemeHttp && v.schemeKind != kSchemeHttps) return std::nullopt;
  std::string site;
  site.reserve(v.hostName.size() + v.urlPath.size());
  site.append(v.hostName).append(v.urlPath);
  const std::size_t last = site.rfind('/');
  if (last != npos && last > 0) site.resize(last);  // the last segment and its "/" go
  if (site.empty()) return std::nullopt;
  lowerInPlace(site);
  return site;
}

bool lookupSite(std::string_view url, const SiteContains& contains) {
  std::string lowered;
  lowered.reserve(url.size() + 7);
  lowered.append(url);
  lowerInPlace(lowered);
  std::string_view address = lowered;
  std::size_t at;
  if ((at = lowered.find("http://")) != npos || (at = lowered.find("https://")) != npos) {
    address.remove_prefix(at);
  } else {
    lowered.insert(0, "http://");
    address = lowered;
  }

  std::string storage;
  Views v;
  if (!crackInto(address, true, storage, v)) return false;

  std::string key;
  key.reserve(v.hostName.size() + v.urlPath.size());
  key.append(v.hostName);
  if (v.urlPath != "/") key.append(v.urlPath);
  // An escaped capital ("%41") decodes after the address was lower-cased;
  // the store holds lower-case texts only, so the key is lowered once more.
  lowerInPlace(key);

  std::string_view probe = key;
  for (;;) {
    if (contains(probe)) return true;
    const std::size_t slash = probe.rfind('/');
    if (slash == npos) return false;
    probe = probe.substr(0, slash);
  }
}

}  // namespace qv::wl
