#include <gtest/gtest.h>

#include "platform/registry.h"

namespace qv {
namespace {

TEST(RegValue, DwordRoundTripsAndRefusesOtherShapes) {
  EXPECT_EQ(RegValue::dword(0xFFFFFFFFu).asDword(), 0xFFFFFFFFu);
  EXPECT_EQ(RegValue::dword(17).asDword(), 17u);
  RegValue sz = RegValue::string("1");
  EXPECT_FALSE(sz.asDword().has_value());
  RegValue shortDword;
  shortDword.type = RegType::Dword;
  shortDword.data = {1, 0};
  EXPECT_FALSE(shortDword.asDword().has_value());
}

TEST(RegValue, StringKeepsTerminatingZero) {
  RegValue v = RegValue::string("ab", RegType::ExpandSz);
  EXPECT_EQ(v.type, RegType::ExpandSz);
  EXPECT_EQ(v.data, (std::vector<std::uint8_t>{'a', 'b', 0}));
}

}  // namespace
}  // namespace qv
