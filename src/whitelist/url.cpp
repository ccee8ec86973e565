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

// The components of a crack as views into the raw address.
struct Views {
  std::string_view schemeName, hostName, userName, password, urlPath, extraInfo;
  int schemeKind = kSchemeUnknown;
  bool havePort = false;
  std::string_view portText;
};

bool fits(std::string_view part, std::size_t capacity) { return part.size() <= capacity; }

// Bytes that an escape in a host name must not produce: each would make the
// host read differently by whoever splits the decoded text again (a "/"
// would turn the rest into a path, so "good.com%2F.evil.com" would count as
// good.com).
bool isHostSeparator(char c) {
  return c == '/' || c == '\\' || c == '?' || c == '#' || c == '@' || c == ':' || c == '[' || c == ']';
}

// Percent-decodes one component that the crack has already split off.  The
// address as a whole was checked by unescapeUrl, so every "%" here is
// followed by two characters.  nullopt when an escape stands for a byte
// that `refused` names.
std::optional<std::string> decodeEscapes(std::string_view raw, bool (*refused)(char)) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size();) {
    if (raw[i] == '%' && raw.size() - i >= 3) {
      const int hi = hexValue(raw[i + 1]);
      const int lo = hexValue(raw[i + 2]);
      const char byte = hi >= 0 && lo >= 0 ? static_cast<char>(hi * 16 + lo) : kBadEscapeByte;
      if (refused && refused(byte)) return std::nullopt;
      out.push_back(byte);
      i += 3;
    } else {
      out.push_back(raw[i++]);
    }
  }
  return out;
}

std::string decodePart(std::string_view raw) { return *decodeEscapes(raw, nullptr); }

// The host's own characters decoded; nullopt when an escape stands for a
// separator.
std::optional<std::string> decodeHost(std::string_view raw) { return decodeEscapes(raw, isHostSeparator); }

// The cracker proper: splits the raw address at its raw separators.  With
// `decode` the scheme name and the port text are decoded before they are
// read, and the capacities are left to the caller (they count decoded
// characters).
bool crackViews(std::string_view s, bool decode, Views& v) {
  if (s.find('\0') != npos) return false;
  auto fitsRaw = [decode](std::string_view part, std::size_t capacity) { return decode || fits(part, capacity); };

  bool haveScheme = false, haveUser = false, haveHost = false;
  const std::size_t n = s.size();
  std::size_t i = 0;
  std::size_t segStart = 0;  // the segment is always s[segStart, i)
  std::size_t pathStart = npos;

  // Authority phase.
  while (i < n) {
    const char c = s[i];
    const std::string_view segment = s.substr(segStart, i - segStart);
    if (c == ':' && !haveScheme) {
      const int kind = schemeKindOf(decode ? std::string_view(decodePart(segment)) : segment);
      if (kind == kSchemeUnknown && !fitsRaw(segment, kSchemeNameCapacity)) return false;
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
    // A bracketed IPv6 address is one host, its colons included.
    if (c == '[' && haveScheme && i == segStart && !haveHost) {
      const std::size_t close = s.find(']', i);
      if (close == npos) return false;
      i = close + 1;
      if (i == n) break;  // the text ends with the host
      if (s[i] != ':' && s[i] != '/' && s[i] != '?' && s[i] != '#') return false;
      continue;
    }
    if (c == ':') {
      std::size_t j = i + 1;
      while (j < n && s[j] != '/' && s[j] != '@') ++j;
      const std::string_view candidate = s.substr(i + 1, j - i - 1);
      if (!fitsRaw(candidate, kPortTextCapacity)) return false;
      const bool atSign = j < n && s[j] == '@';
      if (!atSign && !v.havePort) {
        if (!fitsRaw(segment, kHostNameCapacity)) return false;
        v.hostName = segment;
        v.portText = candidate;
        haveHost = v.havePort = true;
        i = segStart = j;
        continue;
      }
      if (atSign && !haveUser) {
        if (!fitsRaw(segment, kUserNameCapacity) || !fitsRaw(candidate, kPasswordCapacity)) return false;
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
      if (haveUser || !fitsRaw(segment, kUserNameCapacity)) return false;
      v.userName = segment;
      haveUser = true;
      i = segStart = i + 1;
      continue;
    }
    // "#" ends the authority like "?": a fragment is never part of a host.
    if (c == '/' || c == '?' || c == '#') {
      if (!haveHost) {
        if (!fitsRaw(segment, kHostNameCapacity)) return false;
        v.hostName = segment;
        haveHost = true;
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
    if (!fitsRaw(segment, kHostNameCapacity)) return false;
    v.hostName = segment;
  }
  if (!haveScheme) return false;

  // Path and extra phases.
  if (pathStart != npos) {
    const std::string_view rest = s.substr(pathStart);
    const std::size_t end = v.schemeKind == kSchemeFile ? npos : rest.find_first_of("?#");
    v.urlPath = rest.substr(0, end);
    if (end != npos) v.extraInfo = rest.substr(end);
    if (!fitsRaw(v.urlPath, kUrlPathCapacity) || !fitsRaw(v.extraInfo, kExtraInfoCapacity)) return false;
  }
  return true;
}

std::uint16_t portOf(int schemeKind, bool havePort, std::string_view portText) {
  switch (schemeKind) {
    case kSchemeFile:
    case kSchemeNews:
    case kSchemeMailto: return 0;
    default:
      if (havePort) return readPort(portText);
      return schemeKind == kSchemeUnknown ? 0 : kSchemeTable[schemeKind].defaultPort;
  }
}

// Splits the raw address first and then, when asked, decodes each part on
// its own: an escaped "/", "?", "#", ":" or "@" stays inside the part it was
// written in and never acts as a separator, and a host whose escapes stand
// for a separator fails the crack.  The decoded address as a whole still
// holds at most 2083 characters, and a truncated escape or a NUL anywhere
// fails.
bool crackInto(std::string_view address, bool decodeFirst, UrlParts& out) {
  out.clear();
  if (decodeFirst) {
    const Unescaped whole = unescapeUrl(address, kDecodedAddressCapacity);
    if (!whole.ok || whole.text.find('\0') != npos) return false;
  }
  Views v;
  if (!crackViews(address, decodeFirst, v)) return false;
  UrlParts p;
  p.schemeKind = v.schemeKind;
  if (!decodeFirst) {
    p.schemeName = v.schemeName;
    p.hostName = v.hostName;
    p.userName = v.userName;
    p.password = v.password;
    p.urlPath = v.urlPath;
    p.extraInfo = v.extraInfo;
    p.port = portOf(v.schemeKind, v.havePort, v.portText);
    out = std::move(p);
    return true;
  }
  std::optional<std::string> host = decodeHost(v.hostName);
  if (!host) return false;
  p.schemeName = decodePart(v.schemeName);
  p.hostName = std::move(*host);
  p.userName = decodePart(v.userName);
  p.password = decodePart(v.password);
  p.urlPath = decodePart(v.urlPath);
  p.extraInfo = decodePart(v.extraInfo);
  const std::string portText = decodePart(v.portText);
  if ((p.schemeKind == kSchemeUnknown && !fits(p.schemeName, kSchemeNameCapacity)) ||
      !fits(p.hostName, kHostNameCapacity) || !fits(p.userName, kUserNameCapacity) ||
      !fits(p.password, kPasswordCapacity) || !fits(portText, kPortTextCapacity) ||
      !fits(p.urlPath, kUrlPathCapacity) || !fits(p.extraInfo, kExtraInfoCapacity))
    return false;
  p.port = portOf(v.schemeKind, v.havePort, portText);
  out = std::move(p);
  return true;
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
  return crackInto(address, decodeFirst, out);
}

std::optional<std::string> siteFromTypedAddress(std::string_view text) {
  // Only an explicit http or https scheme is kept as typed; a host that
  // merely begins with the letters "http" (httpbin.example) still gets the
  // scheme put in front.
  std::string address;
  if (!startsWithNoCase(text, "http:") && !startsWithNoCase(text, "https:")) address = "http://";
  address.append(text);
  UrlParts v;
  if (!crackInto(address, true, v)) return std::nullopt;
  if (v.schemeKind != kSchemeHttp && v.schemeKind != kSchemeHttps) return std::nullopt;
  std::string site;
  site.reserve(v.hostName.size() + v.urlPath.size());
  site.append(v.hostName).append(v.urlPath);
  if (site.empty()) return std::nullopt;
  return site;
}

std::optional<std::string> siteFromPageUrl(std::string_view url) {
  UrlParts v;
  if (!crackInto(url, true, v)) return std::nullopt;
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

  UrlParts v;
  if (!crackInto(address, true, v)) return false;

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
