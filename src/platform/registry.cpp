#include "platform/registry.h"

#include <cstring>

namespace qv {

RegValue RegValue::dword(std::uint32_t v) {
  RegValue r;
  r.type = RegType::Dword;
  r.data.resize(4);
  std::memcpy(r.data.data(), &v, 4);  // little-endian on every target we build for
  return r;
}

RegValue RegValue::string(std::string_view s, RegType type) {
  RegValue r;
  r.type = type;
  r.data.assign(s.begin(), s.end());
  r.data.push_back(0);
  return r;
}

std::optional<std::uint32_t> RegValue::asDword() const {
  if (type != RegType::Dword || data.size() != 4) return std::nullopt;
  std::uint32_t v;
  std::memcpy(&v, data.data(), 4);
  return v;
}

}  // namespace qv
