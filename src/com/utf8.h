// UTF-8 forms of wide texts and back, for what the program passes through
// without ever keeping it in the ANSI code page: the page's element texts
// and addresses, and file names of the URL cache.  Lossless both ways; the
// whole text is converted, a NUL inside it included.  A text the system
// refuses to convert (or one longer than it can measure) gives "".
#pragma once

#include <windows.h>

#include <climits>
#include <string>
#include <string_view>

namespace qv::com {

inline std::string utf8(std::wstring_view text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), n, nullptr, nullptr) != n) return {};
  return out;
}

inline std::wstring widenUtf8(std::string_view text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  if (MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), n) != n) return {};
  return out;
}

}  // namespace qv::com
