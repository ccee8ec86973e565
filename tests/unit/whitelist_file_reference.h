// A plain model of reading the white list file, kept deliberately naive: the
// bytes go through a text-mode conversion one by one (CR LF -> LF, Ctrl-Z
// ends), into 511-character reads that stop after LF, each read then cut at
// "#", CR, LF or NUL, trimmed and lower-cased.  The store's parser must give
// exactly the same sites.
#pragma once

#include <set>
#include <string>
#include <string_view>

namespace qv::wl::reference {

inline std::set<std::string> parseWhiteListFile(std::string_view bytes) {
  std::string converted;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\x1a') break;
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    converted.push_back(c);
  }
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
  std::set<std::string> sites;
  std::size_t i = 0;
  while (i < converted.size()) {
    std::string piece;
    while (piece.size() < 511 && i < converted.size()) {
      piece.push_back(converted[i++]);
      if (piece.back() == '\n') break;
    }
    std::string line;
    for (char c : piece) {
      if (c == '#' || c == '\r' || c == '\n' || c == '\0') break;
      line.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
    }
    while (!line.empty() && space(line.back())) line.pop_back();
    std::size_t start = 0;
    while (start < line.size() && space(line[start])) ++start;
    if (start < line.size()) sites.insert(line.substr(start));
  }
  return sites;
}

}  // namespace qv::wl::reference
