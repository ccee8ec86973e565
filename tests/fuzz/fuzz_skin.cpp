// Skin resources as any file or resource could hold them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "skin/skin_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto r = qv::skin::parseSkin(std::string_view(reinterpret_cast<const char*>(data), size));
  if (r.skin) {
    for (const auto& c : r.skin->colors)
      if (c && (*c >> 24) != 0) __builtin_trap();
    if (r.skin->name.size() > 64) __builtin_trap();
  } else if (r.error.empty()) {
    __builtin_trap();
  }
  return 0;
}
