// The adware list file, its list box lines and the CSV source tool.
#include <gtest/gtest.h>

#include "adware/list_file.h"
#include "adware/page.h"
#include "../../tools/adware_list/adware_csv.h"

namespace qv::adware {
namespace {

std::string id(int n) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-0000-0000-0000-000000000000}", n);
  return buf;
}

std::vector<ListRecord> numbered(int count) {
  std::vector<ListRecord> r;
  for (int i = 1; i <= count; ++i) r.push_back({id(i), "Adware " + std::to_string(i)});
  return r;
}

TEST(AdwareListFile, ScramblesEvenAndOddOffsetsWithTheirKeyByte) {
  const std::string bytes = encodeList({{id(1), "A"}});
  ASSERT_EQ(bytes.size(), kRecordSize);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[0]), '{' ^ kScrambleKey[0]);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[1]), '0' ^ kScrambleKey[1]);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[38]), kScrambleKey[0]);  // class id NUL, even offset
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[39]), 'A' ^ kScrambleKey[1]);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[40]), kScrambleKey[0]);  // name NUL
}

TEST(AdwareListFile, ReadsWhatIsWrittenUpToTheBound) {
  struct Case {
    const char* what;
    int written;
    std::size_t expected;
  } cases[] = {{"empty file", 0, 0}, {"one record", 1, 1}, {"full list", 5800, 5800}};
  for (const Case& c : cases) {
    const auto in = numbered(c.written);
    const auto out = parseList(encodeList(in));
    ASSERT_EQ(out.size(), c.expected) << c.what;
    for (std::size_t i = 0; i < out.size(); ++i) {
      EXPECT_EQ(out[i].classId, in[i].classId) << c.what;
      EXPECT_EQ(out[i].name, in[i].name) << c.what;
    }
  }
  // Bytes after 5800 records are never read, even when they hold records.
  std::string over = encodeList(numbered(5800));
  over += encodeList({{id(1), "one more"}});
  EXPECT_EQ(parseList(over).size(), 5800u);
}

TEST(AdwareListFile, OddShapesOfTheFile) {
  // A zero record ends the list; a short last record reads zero-filled; an
  // unterminated field is cut at its end; a nameless record is kept.
  std::string plain(2 * kRecordSize, '\0');
  plain.replace(0, 38, id(1));
  plain.replace(39, 30, std::string(30, 'N'));  // no NUL in the name field
  plain.replace(kRecordSize, 38, id(2));         // nameless record
  std::string zeroEnd = plain;
  zeroEnd += std::string(kRecordSize, '\0') + id(9);
  std::string shortTail = plain + id(3).substr(0, 10);
  for (auto* bytes : {&plain, &zeroEnd, &shortTail}) scramble(*bytes);

  auto recs = parseList(plain);
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0].name, std::string(29, 'N'));
  EXPECT_EQ(recs[1].name, "");
  EXPECT_EQ(parseList(zeroEnd).size(), 2u);
  recs = parseList(shortTail);
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[2].classId, id(3).substr(0, 10));
}

TEST(AdwareListLine, PaddingLowerCasingAndRemovals) {
  struct Case {
    std::size_t number;
    const char* name;
    const char* line;
  } cases[] = {
      {1, "Foo", "0001   adware: foo rating: parasite"},
      {9999, "X", "9999   adware: x rating: parasite"},
      {12345, "X", "12345   adware: x rating: parasite"},
      {7, "Bar.DLL Helper.Exe", "0007   adware: bar helper rating: parasite"},
      {7, "<B>Bold<\\B>", "0007   adware: bold rating: parasite"},
      {7, ".d.dllll", "0007   adware:  rating: parasite"},  // removals joined by a removal go too
  };
  for (const Case& c : cases) EXPECT_EQ(listLine(c.number, c.name), c.line) << c.name;
}

TEST(AdwareListLine, IntroductionCountsTheLoadedList) {
  EXPECT_EQ(introText(1537),
            "Quillvane can block over 1500 adwares(spywares) which are installed automaticlly when user visites "
            "some websites.");
  EXPECT_NE(introText(5800).find("block over 5800 adwares"), std::string::npos);
  EXPECT_NE(introText(100).find("block over 100 adwares"), std::string::npos);
  EXPECT_NE(introText(42).find("block 42 adwares"), std::string::npos);
  EXPECT_NE(introText(0).find("block 0 adwares"), std::string::npos);
}

TEST(AdwareListTool, RejectsFaultyCsvWithTheLine) {
  const std::string head = "clsid,name,source\n";
  const std::string good = "{00000000-0000-0000-0000-000000000001},AutoSearch,src\n";
  struct Case {
    std::string csv;
    const char* error;  // part of the message; null when it must pass
  } cases[] = {
      {head + good + "{00000000-0000-0000-0000-00000000000G},X,s\n", "line 3: bad class id"},
      {head + "00000000-0000-0000-0000-000000000001,X,s\n", "line 2: bad class id"},
      {head + good + "{00000000-0000-0000-0000-000000000002}," + std::string(30, 'n') + ",s\n", "line 3: name"},
      {head + good + "{00000000-0000-0000-0000-000000000002},,s\n", "line 3: name"},
      {head + good + "{00000000-0000-0000-0000-000000000001},Again,s\n", "line 3: duplicate class id"},
      {head + good + "{00000000-0000-0000-0000-000000000001},Again,s\n", "first on line 2"},
      {head + "{00000000-0000-0000-0000-000000000001},\"broken,s\n", "line 2: expected three fields"},
      {head + good + "\r\n{00000000-0000-0000-0000-000000000002},\"Comma, \"\"Quoted\"\"\",s\r\n", nullptr},
  };
  for (const Case& c : cases) {
    std::vector<tool::CsvEntry> out;
    std::string error;
    const bool ok = tool::parseCsv(c.csv, out, error);
    if (!c.error) {
      ASSERT_TRUE(ok) << error;
      ASSERT_EQ(out.size(), 2u);
      EXPECT_EQ(out[1].name, "Comma, \"Quoted\"");
    } else {
      EXPECT_FALSE(ok) << c.csv;
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
  }
}

TEST(AdwareListTool, BoundOfRecordsAndRoundTripThroughTheListFile) {
  std::string csv = "clsid,name,source\n";
  for (int i = 1; i <= 5800; ++i) csv += id(i) + ",\"Name, " + std::to_string(i) + "\",src\n";
  std::vector<tool::CsvEntry> entries;
  std::string error;
  ASSERT_TRUE(tool::parseCsv(csv, entries, error)) << error;
  std::vector<ListRecord> records;
  for (auto& e : entries) records.push_back({e.classId, e.name});
  const std::string back = tool::toCsv(parseList(encodeList(records)));
  std::vector<tool::CsvEntry> again;
  ASSERT_TRUE(tool::parseCsv(back, again, error)) << error;
  ASSERT_EQ(again.size(), entries.size());
  EXPECT_EQ(again.back().name, "Name, 5800");

  EXPECT_FALSE(tool::parseCsv(csv + id(5801) + ",X,s\n", entries, error));
  EXPECT_NE(error.find("more than 5800 records"), std::string::npos) << error;
}

}  // namespace
}  // namespace qv::adware
