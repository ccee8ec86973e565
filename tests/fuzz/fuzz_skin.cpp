// Skin resources as any file or resource could hold them.  A skin that loads
// is written back in the format's own spelling and must load again with the
// same colours: the parser and the format description agree.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "skin/skin_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto r = qv::skin::parseSkin(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!r.skin) {
    if (r.error.empty()) __builtin_trap();
    return 0;
  }
  for (const auto& c : r.skin->colors)
    if (c && (*c >> 24) != 0) __builtin_trap();
  if (r.skin->name.size() > 64) __builtin_trap();

  static const char* const keys[] = {"dialog", "text", "button", "buttonText", "tab", "frame"};
  std::string text = "QVSKIN 1\n";
  for (int i = 0; i < static_cast<int>(qv::skin::Part::Count); ++i) {
    char value[16] = "system";
    if (const auto c = r.skin->colors[i])  // stored as red + green * 256 + blue * 65536
      std::snprintf(value, sizeof value, "#%02X%02X%02X", *c & 0xFF, (*c >> 8) & 0xFF, (*c >> 16) & 0xFF);
    text += std::string(keys[i]) + " = " + value + "\n";
  }
  const auto again = qv::skin::parseSkin(text);
  if (!again.skin) __builtin_trap();
  for (int i = 0; i < static_cast<int>(qv::skin::Part::Count); ++i)
    if (again.skin->colors[i] != r.skin->colors[i]) __builtin_trap();
  if (again.skin->classic() != r.skin->classic()) __builtin_trap();
  return 0;
}
