#include "skin/skin_format.h"

#include <array>

namespace qv::skin {
namespace {

constexpr std::array<std::string_view, static_cast<int>(Part::Count)> kNames = {
    "dialog", "text", "button", "buttontext", "tab", "frame"};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "#RRGGBB" into red + green * 256 + blue * 65536.
std::optional<std::uint32_t> parseHex(std::string_view v) {
  if (v.size() != 7 || v[0] != '#') return std::nullopt;
  std::uint32_t bytes[3] = {};
  for (int i = 0; i < 3; ++i) {
    const int hi = hexDigit(v[1 + 2 * i]), lo = hexDigit(v[2 + 2 * i]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[i] = static_cast<std::uint32_t>(hi * 16 + lo);
  }
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16);
}

// Drops a trailing "; comment" (a ';' preceded by a blank).
std::string_view stripComment(std::string_view v) {
  for (std::size_t i = 1; i < v.size(); ++i)
    if (v[i] == ';' && isBlank(v[i - 1])) return v.substr(0, i);
  return v;
}

ParseResult fail(int line, std::string why) {
  ParseResult r;
  r.errorLine = line;
  r.error = std::move(why);
  return r;
}

}  // namespace

bool Skin::classic() const {
  for (const auto& c : colors)
    if (c) return false;
  return true;
}

ParseResult parseSkin(std::string_view text) {
  if (text.size() > kMaxSkinSize) return fail(0, "skin too large");
  // A resource may carry padding zeros after the text.
  if (const auto z = text.find('\0'); z != std::string_view::npos) {
    for (std::size_t i = z; i < text.size(); ++i)
      if (text[i] != '\0') return fail(0, "zero byte inside the text");
    text = text.substr(0, z);
  }
  Skin skin;
  int lineNo = 0;
  bool sawMagic = false;
  while (!text.empty() || !sawMagic) {
    const auto nl = text.find('\n');
    std::string_view line = trim(text.substr(0, nl));
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    ++lineNo;
    if (!sawMagic) {
      // A UTF-8 byte order mark before the first line is allowed.
      if (line.size() >= 3 && line.substr(0, 3) == "\xEF\xBB\xBF") line = trim(line.substr(3));
      if (line != "QVSKIN 1") return fail(lineNo, "first line must be \"QVSKIN 1\"");
      sawMagic = true;
      continue;
    }
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '#' && (line.size() == 1 || isBlank(line[1]))) continue;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return fail(lineNo, "expected key = value");
    const std::string_view key = trim(line.substr(0, eq));
    const std::string_view value = trim(stripComment(trim(line.substr(eq + 1))));
    if (key.empty()) return fail(lineNo, "empty key");
    if (equalsNoCase(key, "name")) {
      if (value.size() > 64) return fail(lineNo, "name longer than 64 characters");
      skin.name = std::string(value);
      continue;
    }
    std::size_t part = 0;
    while (part < kNames.size() && !equalsNoCase(key, kNames[part])) ++part;
    std::optional<std::uint32_t> colour;
    if (!equalsNoCase(value, "system")) {
      colour = parseHex(value);
      if (!colour) return fail(lineNo, "colour must be #RRGGBB or system");
    }
    if (part < kNames.size()) skin.colors[part] = colour;
  }
  ParseResult r;
  r.skin = std::move(skin);
  return r;
}

}  // namespace qv::skin
