// Anchor colour texts as any registry value could hold them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ui/hyperlink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto c = qv::ui::parseAnchorColor(text);
  if (c && (*c >> 24) != 0) __builtin_trap();  // three bytes at most
  return 0;
}
