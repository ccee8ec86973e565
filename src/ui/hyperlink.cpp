#include "ui/hyperlink.h"

#include <string>

namespace qv::ui {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// atoi without its undefined overflow: the value is kept modulo 2^32, which
// leaves the low 8 bits, the only ones used, as atoi's would be.
std::int32_t toInt(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && isBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::uint32_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10u + static_cast<std::uint32_t>(s[i] - '0');
  if (negative) v = 0u - v;
  return static_cast<std::int32_t>(v);
}

}  // namespace

std::optional<Rgb> parseAnchorColor(std::string_view text) {
  // The text ends at its first zero, as the registry's string would.
  if (const auto z = text.find('\0'); z != std::string_view::npos) text = text.substr(0, z);
  const auto c1 = text.find(',');
  if (c1 == std::string_view::npos) return std::nullopt;
  const auto c2 = text.find(',', c1 + 1);
  if (c2 == std::string_view::npos) return std::nullopt;
  const std::int32_t red = toInt(text.substr(0, c1));
  const std::int32_t green = toInt(text.substr(c1 + 1, c2 - c1 - 1));
  if (red == -1 || green == -1 || c2 + 1 >= text.size()) return std::nullopt;
  const std::int32_t blue = toInt(text.substr(c2 + 1));
  return rgb(red, green, blue);
}

LinkColors readLinkColors(Registry& registry) {
  LinkColors out;
  RegOpen key = registry.openReadOnly(RegRoot::CurrentUser, kBrowserSettingsKey);
  if (key.status != RegStatus::Ok || !key.key) return out;
  auto read = [&](std::string_view name, Rgb& into) {
    RegValue v;
    if (key.key->query(name, v) != RegStatus::Ok) return;
    if (v.type != RegType::Sz && v.type != RegType::ExpandSz) return;
    if (v.data.size() > kAnchorColorBuffer) return;  // does not fit the buffer
    const std::string text(v.data.begin(), v.data.end());
    if (const auto c = parseAnchorColor(text)) into = *c;
  };
  read(kAnchorColor, out.link);
  read(kAnchorColorVisited, out.visited);
  return out;
}

namespace {

// The hand, 17 x 22 in the upper left: '#' black outline, '.' white inside,
// ' ' transparent.  The index finger points up; its tip is the hot spot.
constexpr const char* kHand[22] = {
    "    ##           ",
    "   #..#          ",
    "   #..#          ",
    "   #..#          ",
    "   #..#          ",
    "   #..###        ",
    "   #..#..###     ",
    "   #..#..#..##   ",
    "   #..#..#..#.#  ",
    "## #..#..#..#..# ",
    "#..#..........#.#",
    "#...#...........#",
    " #..#...........#",
    "  #.............#",
    "  #.............#",
    "   #............#",
    "   #...........# ",
    "    #..........# ",
    "    #..........# ",
    "     #........#  ",
    "     #........#  ",
    "     ##########  ",
};

struct Planes {
  CursorPlane andPlane{};
  CursorPlane xorPlane{};
};

Planes buildHand() {
  Planes p;
  p.andPlane.fill(0xFF);
  for (int y = 0; y < 22; ++y) {
    for (int x = 0; x < 17; ++x) {
      const char c = kHand[y][x];
      if (c == ' ') continue;
      const std::size_t byte = static_cast<std::size_t>(y * 4 + x / 8);
      const auto bit = static_cast<std::uint8_t>(0x80u >> (x % 8));
      p.andPlane[byte] = static_cast<std::uint8_t>(p.andPlane[byte] & ~bit);
      if (c == '.') p.xorPlane[byte] = static_cast<std::uint8_t>(p.xorPlane[byte] | bit);
    }
  }
  return p;
}

const Planes& hand() {
  static const Planes p = buildHand();
  return p;
}

}  // namespace

const CursorPlane& handAndPlane() { return hand().andPlane; }
const CursorPlane& handXorPlane() { return hand().xorPlane; }

int linkOffset(TextAlign align, int clientRight, int measuredRight) {
  const int spare = clientRight - measuredRight;
  switch (align) {
    case TextAlign::Center: return spare / 2;
    case TextAlign::Right: return spare;
    case TextAlign::Left: return 0;
  }
  return 0;
}

std::optional<std::string> aboutText(std::string_view version) {
  if (version.empty()) return std::nullopt;
  std::string s = "Quillvane\n\nVersion ";
  s += version;
  return s;
}

}  // namespace qv::ui
