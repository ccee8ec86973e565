// The white list store: set rules, cursor, file parsing and writing.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "fakes/fake_files.h"
#include "whitelist/store.h"
#include "whitelist_file_reference.h"

namespace qv::wl {
namespace {

using namespace std::string_literals;

const std::string kHeaderLine = "#Quillvane White List\r\n";
const std::string kPath = "C:\\Users\\u\\Documents\\Quillvane.WL";

std::vector<std::string> parsed(std::string_view bytes) {
  WhiteListStore::Set set;
  WhiteListStore::parse(bytes, set);
  return {set.begin(), set.end()};
}

std::vector<std::string> sitesOf(const WhiteListStore& store) { return {store.sites().begin(), store.sites().end()}; }

// ---------------------------------------------------------------------------
// Parsing

struct ParseCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> sites;
};

class ParseTest : public ::testing::TestWithParam<ParseCase> {};
TEST_P(ParseTest, GivesSites) { EXPECT_EQ(parsed(GetParam().bytes), GetParam().sites); }

std::vector<ParseCase> parseCases() {
  const std::string l511 = std::string(510, 'a') + "z";
  const std::string l600 = std::string(511, 'b') + "  " + std::string(87, 'c');
  return {
      {"FileExample",
       kHeaderLine + "\r\nExample.COM  # shop\r\n  shop.example.com/ads\r\nexample.com\r\n",
       {"example.com", "shop.example.com/ads"}},
      {"CommentAndBlankLinesAddNothing", kHeaderLine + "# a comment\r\n   \r\n\t\v\f\r\n#x.test\r\n", {}},
      {"EmptyFile", "", {}},
      {"NoLineEndAtEnd", "a.test", {"a.test"}},
      {"LfOnly", "a.test\nb.test\n", {"a.test", "b.test"}},
      {"HashInsideSiteCuts", "a.test#b.test\r\n", {"a.test"}},
      {"LoneCrCutsLine", "a.test\rb.test\r\n", {"a.test"}},
      {"NulCutsLine", "a.test\0b.test\r\nc.test\r\n"s, {"a.test", "c.test"}},
      {"CtrlZEndsFile", "a.test\r\n\x1a" "b.test\r\n", {"a.test"}},
      {"TrailingCtrlZ", "a.test\r\n\x1a", {"a.test"}},
      {"TrimsBothEnds", " \t a.test/x \t \r\n", {"a.test/x"}},
      {"InnerSpaceKept", "a test\r\n", {"a test"}},
      {"LowerCasesAsciiOnly", "A.TEST/\xC4X\r\n", {"a.test/\xC4x"}},
      {"DuplicatesCollapse", "A.test\r\na.TEST\r\n", {"a.test"}},
      // A long line arrives in pieces of 511 characters, each its own line.
      {"Line600", l600 + "\r\n", {std::string(511, 'b'), std::string(87, 'c')}},
      {"Line511", l511 + "\r\nq.test\r\n", {l511, "q.test"}},
      {"Line512", l511 + "Y\r\n", {l511, "y"}},
      // CR LF counts as one character: 510 characters and CR LF are one piece.
      {"CrLfCountsOnce", std::string(510, 'd') + "\r\n" + "e\r\n", {std::string(510, 'd'), "e"}},
      // A "#" in the second piece no longer hides the first.
      {"CommentInSecondPiece", std::string(511, 'f') + "#g\r\n", {std::string(511, 'f')}},
      {"CommentInFirstPiece", "#" + std::string(520, 'h') + "\r\n", {std::string(10, 'h')}},
  };
}
INSTANTIATE_TEST_SUITE_P(Files, ParseTest, ::testing::ValuesIn(parseCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Random files built from the characters that matter (line ends, lone CRs,
// comments, white space, NUL, Ctrl-Z, capitals) and runs of every length
// around the 511-character read size, against the plain model.
TEST(ParseAgainstModel, RandomFiles) {
  std::mt19937 rng(1234);
  const std::string alphabet = "aB.#/ \t\r\n\r\n\r\nx-Z";
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    const int parts = static_cast<int>(rng() % 12);
    for (int k = 0; k < parts; ++k) {
      switch (rng() % 6) {
        case 0: bytes.append(500 + rng() % 30, 'q'); break;  // near the read size
        case 1: bytes += "\r\n"; break;
        case 2: bytes.push_back(rng() % 50 == 0 ? '\x1a' : (rng() % 40 == 0 ? '\0' : '\r')); break;
        default:
          for (int n = static_cast<int>(rng() % 20); n > 0; --n) bytes.push_back(alphabet[rng() % alphabet.size()]);
      }
    }
    WhiteListStore::Set set;
    WhiteListStore::parse(bytes, set);
    const std::set<std::string> expected = reference::parseWhiteListFile(bytes);
    ASSERT_EQ((std::vector<std::string>{set.begin(), set.end()}), (std::vector<std::string>{expected.begin(), expected.end()}))
        << "round " << round;
  }
}

TEST(ParseAgainstModel, AddsToExistingSet) {
  WhiteListStore::Set set{"m.test", "z.test"};
  WhiteListStore::parse("a.test\r\nM.TEST\r\n", set);
  EXPECT_EQ((std::vector<std::string>{set.begin(), set.end()}), (std::vector<std::string>{"a.test", "m.test", "z.test"}));
}

// ---------------------------------------------------------------------------
// Order and format

TEST(SiteOrderTest, UnsignedByteOrder) {
  WhiteListStore::Set set{"b.test", "a.test/x", "a.test", "a-test", "\xE9t\xE9.test", "z.test", "A.test"};
  EXPECT_EQ((std::vector<std::string>{set.begin(), set.end()}),
            (std::vector<std::string>{"A.test", "a-test", "a.test", "a.test/x", "b.test", "z.test",
                                      "\xE9t\xE9.test"}));
  EXPECT_LT(compareSites("a", "a/"), 0);
  EXPECT_GT(compareSites("\x80", "\x7f"), 0);
  EXPECT_EQ(compareSites("x", "x"), 0);
}

TEST(FormatTest, HeaderThenSitesInOrderWithCrLf) {
  WhiteListStore::Set set{"b.test", "a.test", "a.test/x"};
  EXPECT_EQ(WhiteListStore::format(set), "#Quillvane White List\r\na.test\r\na.test/x\r\nb.test\r\n");
  EXPECT_EQ(WhiteListStore::format({}), "#Quillvane White List\r\n");
}

// ---------------------------------------------------------------------------
// The store

class StoreTest : public ::testing::Test {
 protected:
  fake::FakeFileSystem files;
  WhiteListStore store{files};
};

TEST_F(StoreTest, InsertLowerCasesAndReportsChange) {
  EXPECT_TRUE(store.insert("Example.COM"));
  EXPECT_FALSE(store.insert("EXAMPLE.com"));
  EXPECT_TRUE(store.contains("example.com"));
  EXPECT_FALSE(store.contains("Example.COM"));  // exact test, no lower-casing
  EXPECT_TRUE(store.insert(""));                // an empty text is stored like any other
  EXPECT_EQ(sitesOf(store), (std::vector<std::string>{"", "example.com"}));
  EXPECT_TRUE(store.erase("EXAMPLE.COM"));
  EXPECT_FALSE(store.erase("example.com"));
  EXPECT_EQ(sitesOf(store), (std::vector<std::string>{""}));
}

TEST_F(StoreTest, CursorWalksAndRewindsOnChange) {
  EXPECT_EQ(store.current(), nullptr);
  store.advance();  // at end stays at end
  EXPECT_EQ(store.current(), nullptr);
  store.insert("a.test");
  store.insert("b.test");
  store.insert("c.test");
  ASSERT_NE(store.current(), nullptr);
  EXPECT_EQ(*store.current(), "a.test");
  store.advance();
  EXPECT_EQ(*store.current(), "b.test");
  store.insert("c.test");  // no change: the cursor stays
  EXPECT_EQ(*store.current(), "b.test");
  store.erase("x.test");
  EXPECT_EQ(*store.current(), "b.test");
  store.insert("d.test");  // a change puts it back on the first site
  EXPECT_EQ(*store.current(), "a.test");
  store.advance();
  store.erase("b.test");  // erasing the site under the cursor is safe
  EXPECT_EQ(*store.current(), "a.test");
  store.advance();
  store.advance();
  store.advance();
  EXPECT_EQ(store.current(), nullptr);
  store.advance();
  EXPECT_EQ(store.current(), nullptr);
  store.rewind();
  EXPECT_EQ(*store.current(), "a.test");
  store.clear();
  EXPECT_EQ(store.current(), nullptr);
  EXPECT_TRUE(store.sites().empty());
}

TEST_F(StoreTest, LoadReplacesSitesAndPutsCursorFirst) {
  files.files[kPath] = kHeaderLine + "b.test\r\nA.test\r\n";
  store.insert("old.test");
  store.setFileName(kPath);
  EXPECT_EQ(store.loadFile().status, StoreStatus::Ok);
  EXPECT_EQ(sitesOf(store), (std::vector<std::string>{"a.test", "b.test"}));
  ASSERT_NE(store.current(), nullptr);
  EXPECT_EQ(*store.current(), "a.test");
}

TEST_F(StoreTest, LoadOfMissingOrUnreadableFileGivesEmptyList) {
  store.insert("old.test");
  store.setFileName(kPath);
  const StoreResult missing = store.loadFile();
  EXPECT_EQ(missing.status, StoreStatus::OpenFailed);
  EXPECT_FALSE(missing.ok());
  EXPECT_TRUE(store.sites().empty());
  EXPECT_EQ(store.current(), nullptr);

  files.files[kPath] = "a.test\r\n";
  files.failRead(kPath);
  EXPECT_EQ(store.loadFile().status, StoreStatus::OpenFailed);
  EXPECT_TRUE(store.sites().empty());
}

TEST_F(StoreTest, LoadWithoutFileNameAsksNothing) {
  EXPECT_EQ(store.loadFile().status, StoreStatus::OpenFailed);
  EXPECT_TRUE(files.reads.empty());
}

TEST_F(StoreTest, SaveWritesWholeFileByteForByte) {
  store.setFileName(kPath);
  store.insert("b.test");
  store.insert("a.test");
  store.insert("a.test/x");
  const StoreResult r = store.saveFile();
  EXPECT_EQ(r.status, StoreStatus::Ok);
  EXPECT_TRUE(r.ok());
  ASSERT_EQ(files.replaces.size(), 1u);
  EXPECT_EQ(files.replaces[0].path, kPath);
  EXPECT_EQ(files.files[kPath], "#Quillvane White List\r\na.test\r\na.test/x\r\nb.test\r\n");
}

TEST_F(StoreTest, SiteWithHashIsWrittenUnchangedAndComesBackCut) {
  store.setFileName(kPath);
  store.insert("a.test#x");
  ASSERT_TRUE(store.saveFile().ok());
  EXPECT_EQ(files.files[kPath], kHeaderLine + "a.test#x\r\n");
  ASSERT_TRUE(store.loadFile().ok());
  EXPECT_EQ(sitesOf(store), (std::vector<std::string>{"a.test"}));
}

TEST_F(StoreTest, FailedSaveLeavesOldFileAndReportsFailure) {
  files.files[kPath] = kHeaderLine + "keep.test\r\n";
  store.setFileName(kPath);
  ASSERT_TRUE(store.loadFile().ok());
  store.insert("new.test");
  files.failReplace(kPath, 112);  // ERROR_DISK_FULL
  const StoreResult r = store.saveFile();
  EXPECT_EQ(r.status, StoreStatus::WriteFailed);
  EXPECT_EQ(r.systemError, 112u);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(files.files[kPath], kHeaderLine + "keep.test\r\n");
  EXPECT_TRUE(store.contains("new.test"));  // the list in memory keeps the change
}

TEST_F(StoreTest, SaveWithoutFileNameStaysInMemory) {
  store.insert("a.test");
  const StoreResult r = store.saveFile();
  EXPECT_EQ(r.status, StoreStatus::NoFile);
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(files.replaces.empty());
}

TEST_F(StoreTest, RoundTripKeepsEverySite) {
  store.setFileName(kPath);
  const std::vector<std::string> sites{"a.test", "b.test/x/y", "\xE9t\xE9.test", "c.test/"};
  for (const auto& s : sites) store.insert(s);
  ASSERT_TRUE(store.saveFile().ok());
  WhiteListStore other(files);
  other.setFileName(kPath);
  ASSERT_TRUE(other.loadFile().ok());
  EXPECT_EQ(sitesOf(other), sitesOf(store));
}

TEST_F(StoreTest, LookupUsesAddressRule) {
  store.insert("Shop.Example.com");
  EXPECT_TRUE(store.lookup("http://shop.example.com/x"));
  EXPECT_FALSE(store.lookup("http://example.com/x"));
}

}  // namespace
}  // namespace qv::wl

namespace qv::wl {
namespace {

// The automation object's changes are all or nothing: the new list is
// written first; a failed write leaves the list and the file as they were.
TEST(StoreChange, AllOrNothingTable) {
  using Op = std::function<WhiteListStore::Change(WhiteListStore&)>;
  struct Case {
    const char* what;
    Op op;
    bool writeFails;
    bool refused, changed;
    std::vector<std::string> sites;  // the list afterwards
    int writes;
  } cases[] = {
      {"add", [](WhiteListStore& s) { return s.add("New.TEST"); }, false, false, true, {"new.test", "old.test"}, 1},
      {"add fails", [](WhiteListStore& s) { return s.add("new.test"); }, true, false, false, {"old.test"}, 1},
      {"add present", [](WhiteListStore& s) { return s.add("OLD.test"); }, true, false, false, {"old.test"}, 0},
      {"add empty", [](WhiteListStore& s) { return s.add(""); }, false, true, false, {"old.test"}, 0},
      {"add blank", [](WhiteListStore& s) { return s.add(" \t"); }, false, true, false, {"old.test"}, 0},
      {"remove", [](WhiteListStore& s) { return s.remove("Old.test"); }, false, false, true, {}, 1},
      {"remove fails", [](WhiteListStore& s) { return s.remove("old.test"); }, true, false, false, {"old.test"}, 1},
      {"remove absent", [](WhiteListStore& s) { return s.remove("x.test"); }, true, false, false, {"old.test"}, 0},
      {"remove all", [](WhiteListStore& s) { return s.removeAll(); }, false, false, true, {}, 1},
      {"remove all fails", [](WhiteListStore& s) { return s.removeAll(); }, true, false, false, {"old.test"}, 1},
  };
  for (const Case& c : cases) {
    fake::FakeFileSystem files;
    const std::string before = kHeaderLine + "old.test\r\n";
    files.files[kPath] = before;
    WhiteListStore store(files);
    store.setFileName(kPath);
    ASSERT_TRUE(store.loadFile().ok());
    store.advance();  // the cursor moves only when the list changes
    if (c.writeFails) files.failReplace(kPath, 112);
    const WhiteListStore::Change r = c.op(store);
    EXPECT_EQ(r.refused, c.refused) << c.what;
    EXPECT_EQ(r.changed, c.changed) << c.what;
    EXPECT_EQ(r.ok(), !c.refused && !(c.writeFails && c.writes > 0)) << c.what;
    if (c.writeFails && c.writes > 0) {
      EXPECT_EQ(r.store.systemError, 112u) << c.what;
    }
    EXPECT_EQ(sitesOf(store), c.sites) << c.what;
    EXPECT_EQ(static_cast<int>(files.replaces.size()), c.writes) << c.what;
    if (!c.changed) {
      EXPECT_EQ(files.files[kPath], before) << c.what;
      EXPECT_EQ(store.current(), nullptr) << c.what;
    } else {
      EXPECT_EQ(files.files[kPath], WhiteListStore::format(store.sites())) << c.what;
      EXPECT_EQ(store.current(), store.sites().empty() ? nullptr : &*store.sites().begin()) << c.what;
    }
  }
}

TEST(StoreChange, ReplaceAllLeavesBlankTextsOut) {
  fake::FakeFileSystem files;
  WhiteListStore store(files);
  store.setFileName(kPath);
  ASSERT_TRUE(store.replaceAll({"", "a.test", "  "}).ok());
  EXPECT_EQ(sitesOf(store), std::vector<std::string>{"a.test"});
}

}  // namespace
}  // namespace qv::wl
