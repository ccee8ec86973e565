// Anchor colour texts as any registry value could hold them, and the round
// trip of every colour the browser writes ("r,g,b" in decimal, blanks
// allowed before each number).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ui/hyperlink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto c = qv::ui::parseAnchorColor(text);
  if (c && (*c >> 24) != 0) __builtin_trap();  // three bytes at most

  if (size >= 4) {
    const std::string pad(data[3] % 3, ' ');
    const std::string written = pad + std::to_string(data[0]) + "," + pad + std::to_string(data[1]) + "," + pad +
                                std::to_string(data[2]);
    const auto back = qv::ui::parseAnchorColor(written);
    if (!back || *back != qv::ui::rgb(data[0], data[1], data[2])) __builtin_trap();
  }
  return 0;
}
