// The skin format of Quillvane.skn: a small text of named colours.
//
//   QVSKIN 1
//   ; a comment; blank lines are ignored
//   name   = Yellow
//   dialog = #FFF4C2      ; dialog and property page background
//   text   = #3A2E00      ; static text, check boxes, radio buttons, group boxes
//   button = #F2D46B      ; push button faces
//   buttonText = #2B2100  ; push button labels
//   tab    = #F7E08F      ; property sheet tabs (the chosen one takes `dialog`)
//   frame  = #B38F00      ; button and tab outlines
//
// The first line must be "QVSKIN 1".  Every other line is blank, a comment
// (starting with ';' or '#' followed by a blank) or `key = value`; a value is
// "#RRGGBB" (hexadecimal) or "system" (the system's own colour).  Keys are
// case-insensitive; unknown keys are ignored so that newer skins load in an
// older library; a trailing "; comment" after a value is allowed.  A skin
// that sets no colour (all "system") keeps the system's look.
//
// Skins are at most 16 KiB.  Any malformed line rejects the whole skin.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::skin {

inline constexpr std::size_t kMaxSkinSize = 16 * 1024;

enum class Part { Dialog, Text, Button, ButtonText, Tab, Frame, Count };

struct Skin {
  std::string name;
  // Colours as red + green * 256 + blue * 65536; nullopt = system colour.
  std::optional<std::uint32_t> colors[static_cast<int>(Part::Count)];

  std::optional<std::uint32_t> color(Part p) const { return colors[static_cast<int>(p)]; }
  // True when every colour is the system's (the classic look).
  bool classic() const;
};

struct ParseResult {
  std::optional<Skin> skin;
  int errorLine = 0;  // 1-based line of the first fault when skin is empty
  std::string error;
};

ParseResult parseSkin(std::string_view text);

}  // namespace qv::skin
