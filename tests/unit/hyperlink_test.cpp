#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "fakes/fake_registry.h"
#include "ui/hyperlink.h"
#include "ui/links.h"

namespace {

using qv::ui::parseAnchorColor;
using qv::ui::rgb;

TEST(AnchorColor, ParsesTheBrowsersTexts) {
  struct Row {
    const char* text;
    std::optional<qv::ui::Rgb> want;
  };
  const Row rows[] = {
      {"0,0,128", rgb(0, 0, 128)},
      {"255,255,255", rgb(255, 255, 255)},
      {"0, 0, 128", rgb(0, 0, 128)},       // blanks before a number are skipped
      {" 12 ,34,56", rgb(12, 34, 56)},     // conversion stops at the blank after 12
      {"300,0,0", rgb(44, 0, 0)},          // low 8 bits
      {"0,0,300", rgb(0, 0, 44)},
      {"-2,0,0", rgb(254, 0, 0)},
      {"+5,6,7", rgb(5, 6, 7)},
      {"a,b,c", rgb(0, 0, 0)},             // no digits give 0
      {"1,2,3,4", rgb(1, 2, 3)},           // blue stops at the third comma
      {"99999999999,0,0", rgb(0xFF, 0, 0)}, // overflow keeps the low bits (0x174876E7FF)
      {"0,0", std::nullopt},
      {"0,0,", std::nullopt},              // nothing after the second comma
      {"-1,0,0", std::nullopt},
      {"0,-1,0", std::nullopt},
      {"0,0,-1", rgb(0, 0, 255)},          // only red and green are checked for -1
      {"", std::nullopt},
      {"128", std::nullopt},
  };
  for (const Row& r : rows) EXPECT_EQ(parseAnchorColor(r.text), r.want) << r.text;
}

TEST(AnchorColor, RegistryValuesLongerThanTheBufferKeepTheFreshColours) {
  const std::string key(qv::ui::kBrowserSettingsKey);
  qv::fake::FakeRegistry registry;
  auto put = [&](const char* name, const qv::RegValue& v) { registry.put(qv::RegRoot::CurrentUser, key, name, v); };

  EXPECT_EQ(qv::ui::readLinkColors(registry).link, qv::ui::kFreshLinkColor);  // no key

  put("Anchor Color", qv::RegValue::string("255,255,255"));             // 11 characters: read
  put("Anchor Color Visited", qv::RegValue::string("100,100,1000"));   // 12: does not fit
  auto c = qv::ui::readLinkColors(registry);
  EXPECT_EQ(c.link, rgb(255, 255, 255));
  EXPECT_EQ(c.visited, qv::ui::kFreshVisitedColor);

  put("Anchor Color", qv::RegValue::dword(5));                          // not a string
  put("Anchor Color Visited", qv::RegValue::string("0,0"));            // unparsable
  c = qv::ui::readLinkColors(registry);
  EXPECT_EQ(c.link, rgb(0, 0, 255));
  EXPECT_EQ(c.visited, rgb(128, 0, 128));
}

// 0 transparent, 1 black, 2 white, 3 inverted.
int pixel(int x, int y) {
  const auto byte = static_cast<std::size_t>(y * 4 + x / 8);
  const int bit = 0x80 >> (x % 8);
  const bool a = qv::ui::handAndPlane()[byte] & bit, xo = qv::ui::handXorPlane()[byte] & bit;
  return a ? (xo ? 3 : 0) : (xo ? 2 : 1);
}

TEST(HandCursor, APointingHandInTheUpperLeft) {
  EXPECT_EQ(qv::ui::handAndPlane().size(), 128u);
  EXPECT_EQ(qv::ui::handXorPlane().size(), 128u);
  int minX = 32, maxX = -1, minY = 32, maxY = -1, white = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const int p = pixel(x, y);
      ASSERT_NE(p, 3) << x << "," << y;  // no inverting pixels
      if (p == 0) continue;
      minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
      white += p == 2;
    }
  EXPECT_EQ(minX, 0);
  EXPECT_EQ(minY, 0);
  EXPECT_EQ(maxX - minX + 1, 17);
  EXPECT_EQ(maxY - minY + 1, 22);
  EXPECT_GT(white, 100);
  // The hot spot is the tip of the finger: black, and the topmost row.
  EXPECT_EQ(qv::ui::kHandHotX, 5);
  EXPECT_EQ(qv::ui::kHandHotY, 0);
  EXPECT_EQ(pixel(5, 0), 1);
  // A finger: the first five rows are at most four pixels wide, white inside.
  for (int y = 0; y < 5; ++y) {
    int w = 0;
    for (int x = 0; x < 17; ++x) w += pixel(x, y) != 0;
    EXPECT_LE(w, 4) << y;
  }
  EXPECT_EQ(pixel(4, 2), 2);
  EXPECT_EQ(pixel(5, 2), 2);
  // Below the finger the hand is wide: some row spans all 17 columns.
  bool wide = false;
  for (int y = 8; y < 22; ++y) wide = wide || (pixel(0, y) != 0 && pixel(16, y) != 0);
  EXPECT_TRUE(wide);
}

TEST(LinkPlacement, SpareWidthByAlignmentAndTheVersionLine) {
  EXPECT_EQ(qv::ui::linkOffset(qv::ui::TextAlign::Left, 200, 81), 0);
  EXPECT_EQ(qv::ui::linkOffset(qv::ui::TextAlign::Center, 200, 81), 59);  // 119 / 2
  EXPECT_EQ(qv::ui::linkOffset(qv::ui::TextAlign::Right, 200, 81), 119);
  EXPECT_EQ(qv::ui::aboutText("1.21"), std::optional<std::string>("Quillvane\n\nVersion 1.21"));
  EXPECT_EQ(qv::ui::aboutText(""), std::nullopt);
}

TEST(Links, OnlyReservedExampleDomains) {
  auto reserved = [](std::string_view s) {
    return s.ends_with("example.com") || s.ends_with("example.org") || s.ends_with("example.com/") ||
           s.ends_with("example.org/");
  };
  EXPECT_TRUE(reserved(qv::ui::kWebHost));
  EXPECT_TRUE(reserved(qv::ui::kWebAddress));
  EXPECT_TRUE(reserved(qv::ui::kSupportEmail));
  EXPECT_TRUE(qv::ui::kWebAddress.find(qv::ui::kWebHost) != std::string_view::npos);
}

}  // namespace
