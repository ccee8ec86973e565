// Small text helpers shared by the address rules and the store.
#pragma once

#include <string>
#include <string_view>

namespace qv::wl {

// Lower-cases A-Z to a-z and leaves every other byte as it is.  For the
// double-byte ANSI code pages this is also what the system's lower-casing
// does to single-byte characters; bytes at or above 0x80 are never touched.
inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline void lowerInPlace(std::string& s) {
  for (char& c : s) c = lowerAscii(c);
}

inline std::string lowerCopy(std::string_view s) {
  std::string out(s);
  lowerInPlace(out);
  return out;
}

// The C library's white space in the "C" locale: space, \t, \n, \v, \f, \r.
inline bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace qv::wl
