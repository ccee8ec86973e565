// The one narrow form of a wide address or white-list entry.  Host names
// are what decide whether a site is on the white list, so a host with any
// character outside ASCII is given its one exact ASCII form (the IDNA
// "xn--" form) rather than the code page's look-alike or "?": "ādobe.com"
// must never become "adobe.com", and two hosts the code page cannot hold
// must never both become "??.test".  Every other character keeps its exact
// form in the code page; where it has none, a page address spells it as
// percent-escaped UTF-8 and an entry is refused.
//
// Templates over the character type so that the Windows side runs them on
// wchar_t and the tests on char (with UTF-8 bytes standing for the
// characters beyond ASCII).  The conversions themselves are the caller's.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace qv::wl {

struct TextSpan {
  std::size_t begin = 0, end = 0;
  bool operator==(const TextSpan&) const = default;
};

// Where the host names of an address or entry lie.  An authority begins
// right after every "://" (the popup decision also looks at a "http://"
// later in an address), or at the start of a text that holds no "://"
// (an entry such as "example.com/ads", an address typed without a scheme);
// it ends at the first "/", "\", "?" or "#".  Its host is what follows the
// last "@" up to a ":" (the port); a host in brackets (IPv6) runs to the "]".
template <class Char>
std::vector<TextSpan> hostSpans(std::basic_string_view<Char> text) {
  using View = std::basic_string_view<Char>;
  constexpr Char kSep[] = {Char('/'), Char('\\'), Char('?'), Char('#'), Char(0)};
  constexpr Char kMark[] = {Char(':'), Char('/'), Char('/'), Char(0)};
  const View mark(kMark, 3);
  std::vector<std::size_t> starts;
  for (std::size_t at = text.find(mark); at != View::npos; at = text.find(mark, at + 3)) starts.push_back(at + 3);
  if (starts.empty()) starts.push_back(0);
  std::vector<TextSpan> spans;
  for (std::size_t start : starts) {
    std::size_t end = text.find_first_of(View(kSep, 4), start);
    if (end == View::npos) end = text.size();
    const View authority = text.substr(start, end - start);
    const std::size_t at = authority.rfind(Char('@'));
    std::size_t host = at == View::npos ? start : start + at + 1;
    std::size_t hostEnd = end;
    if (host < end && text[host] == Char('[')) {
      const std::size_t close = text.find(Char(']'), host);
      hostEnd = close == View::npos || close > end ? end : close + 1;
    } else {
      const std::size_t colon = text.find(Char(':'), host);
      if (colon != View::npos && colon < end) hostEnd = colon;
    }
    if (!spans.empty() && host < spans.back().end) continue;  // inside the previous host
    spans.push_back({host, hostEnd});
  }
  return spans;
}

template <class Char>
bool isAscii(std::basic_string_view<Char> text) {
  for (Char c : text)
    if (static_cast<std::make_unsigned_t<Char>>(c) > 0x7F)
      return false;
  return true;
}

// Assembles the narrow form: `host(view)` converts a host name that is not
// plain ASCII, `rest(view)` converts everything else (plain ASCII hosts
// included); either gives nullopt to refuse the whole text.
template <class Char, class HostFn, class RestFn>
std::optional<std::string> narrowForm(std::basic_string_view<Char> text, HostFn&& host, RestFn&& rest) {
  std::string out;
  std::size_t done = 0;
  auto append = [&](std::optional<std::string> piece) {
    if (!piece) return false;
    out += *piece;
    return true;
  };
  for (const TextSpan& s : hostSpans(text)) {
    const std::basic_string_view<Char> name = text.substr(s.begin, s.end - s.begin);
    if (isAscii(name)) continue;
    if (!append(rest(text.substr(done, s.begin - done)))) return std::nullopt;
    if (!append(host(name))) return std::nullopt;
    done = s.end;
  }
  if (!append(rest(text.substr(done)))) return std::nullopt;
  return out;
}

// A character as percent-escaped UTF-8 ("%E4%B8%AD").
inline std::string percentUtf8(char32_t c) {
  unsigned char bytes[4];
  int n = 0;
  if (c < 0x80) {
    bytes[n++] = static_cast<unsigned char>(c);
  } else if (c < 0x800) {
    bytes[n++] = static_cast<unsigned char>(0xC0 | (c >> 6));
    bytes[n++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    bytes[n++] = static_cast<unsigned char>(0xE0 | (c >> 12));
    bytes[n++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    bytes[n++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  } else {
    bytes[n++] = static_cast<unsigned char>(0xF0 | (c >> 18));
    bytes[n++] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
    bytes[n++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    bytes[n++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (int i = 0; i < n; ++i) {
    out += '%';
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 0xF];
  }
  return out;
}

}  // namespace qv::wl
