#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "skin/skin_format.h"

namespace {

using qv::skin::Part;
using qv::skin::parseSkin;

TEST(SkinFormat, ReadsNamedColoursCommentsAndSystem) {
  const auto r = parseSkin(
      "QVSKIN 1\r\n"
      "; a comment\n"
      "# another\n"
      "\n"
      "name = Sea\n"
      "Dialog = #102030   ; trailing comment\n"
      "TEXT=#aBcDeF\n"
      "button = system\n"
      "future = #000000\n");  // unknown keys are skipped
  ASSERT_TRUE(r.skin) << r.error;
  EXPECT_EQ(r.skin->name, "Sea");
  EXPECT_EQ(r.skin->color(Part::Dialog), 0x302010u);  // red + green*256 + blue*65536
  EXPECT_EQ(r.skin->color(Part::Text), 0xEFCDABu);
  EXPECT_EQ(r.skin->color(Part::Button), std::nullopt);
  EXPECT_FALSE(r.skin->classic());
}

TEST(SkinFormat, RejectsMalformedSkinsWithTheLine) {
  struct Row {
    const char* text;
    int line;
  };
  const Row rows[] = {
      {"", 1},
      {"QVSKIN 2\n", 1},
      {"dialog = #000000\n", 1},
      {"QVSKIN 1\ndialog #000000\n", 2},
      {"QVSKIN 1\n\ndialog = #00000\n", 3},
      {"QVSKIN 1\ndialog = #GG0000\n", 2},
      {"QVSKIN 1\ndialog = red\n", 2},
      {"QVSKIN 1\n = #000000\n", 2},
      {"QVSKIN 1\ndialog = #0000000\n", 2},
  };
  for (const Row& r : rows) {
    const auto p = parseSkin(r.text);
    EXPECT_FALSE(p.skin) << r.text;
    EXPECT_EQ(p.errorLine, r.line) << r.text;
    EXPECT_FALSE(p.error.empty());
  }
  EXPECT_FALSE(parseSkin(std::string(qv::skin::kMaxSkinSize + 1, ' ')).skin);
  EXPECT_FALSE(parseSkin(std::string("QVSKIN 1\n\0x", 11)).skin);  // a zero inside the text
  EXPECT_TRUE(parseSkin(std::string("QVSKIN 1\n\0\0\0", 12)).skin);  // padding after it
}

std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

TEST(SkinFormat, TheThreeShippedSkins) {
  const std::string dir = QV_SOURCE_DIR "/src/res/skins/";
  const auto classic = parseSkin(readFile(dir + "classic.skin"));
  const auto yellow = parseSkin(readFile(dir + "yellow.skin"));
  const auto blue = parseSkin(readFile(dir + "blue.skin"));
  ASSERT_TRUE(classic.skin && yellow.skin && blue.skin);
  EXPECT_TRUE(classic.skin->classic());
  for (const auto* s : {&*yellow.skin, &*blue.skin}) {
    EXPECT_FALSE(s->classic());
    for (int p = 0; p < static_cast<int>(Part::Count); ++p) EXPECT_TRUE(s->colors[p]) << s->name << p;
  }
  EXPECT_NE(yellow.skin->color(Part::Dialog), blue.skin->color(Part::Dialog));
}

}  // namespace
