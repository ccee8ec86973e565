// The portable parts of the About page's hyperlink control: the browser's
// link colours, the hand cursor's bit planes, where the text sits in the
// control, and the page's version line.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace qv::ui {

// A colour as Windows keeps it: red + green * 256 + blue * 65536.
using Rgb = std::uint32_t;
inline constexpr Rgb rgb(int r, int g, int b) {
  return static_cast<Rgb>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
inline constexpr Rgb kFreshLinkColor = rgb(0, 0, 255);
inline constexpr Rgb kFreshVisitedColor = rgb(128, 0, 128);

// "red,green,blue" as the browser stores its anchor colours.  Each part is
// read as a decimal number the C way (leading blanks and a sign, stops at
// the first non-digit, no digits give 0); each component keeps its low 8
// bits.  Invalid: a comma missing, red or green reading -1, nothing after
// the second comma.
std::optional<Rgb> parseAnchorColor(std::string_view text);

inline constexpr std::string_view kBrowserSettingsKey = "Software\\Microsoft\\Internet Explorer\\Settings";
inline constexpr std::string_view kAnchorColor = "Anchor Color";
inline constexpr std::string_view kAnchorColorVisited = "Anchor Color Visited";
// Bytes the value is read into, terminating zero included.
inline constexpr std::size_t kAnchorColorBuffer = 12;

struct LinkColors {
  Rgb link = kFreshLinkColor;
  Rgb visited = kFreshVisitedColor;
};
// The browser's link colours under the current user; a value that is
// missing, not a string, longer than 11 characters or unparsable keeps the
// fresh colour.
LinkColors readLinkColors(Registry& registry);

// The hand cursor: 32 x 32, monochrome, rows of 4 bytes, most significant
// bit leftmost.  AND 1 / XOR 0 is transparent, AND 0 / XOR 0 black,
// AND 0 / XOR 1 white.
inline constexpr int kHandSize = 32;
inline constexpr int kHandHotX = 5;
inline constexpr int kHandHotY = 0;
using CursorPlane = std::array<std::uint8_t, 128>;
const CursorPlane& handAndPlane();
const CursorPlane& handXorPlane();

// Horizontal placement of the measured text inside the client area:
// centred text moves right by half the spare width, right-aligned text by
// all of it.
enum class TextAlign { Left, Center, Right };
int linkOffset(TextAlign align, int clientRight, int measuredRight);

// "Quillvane\n\nVersion <version>", or nullopt for an empty version.
std::optional<std::string> aboutText(std::string_view version);

}  // namespace qv::ui
