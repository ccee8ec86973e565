// The white list step of a browser helper object's construction: what the
// window gets for each outcome of locating the file.
#include <gtest/gtest.h>

#include "whitelist/win/whitelist_setup.h"
#include "whitelist_test_support.h"

namespace {

using namespace qvtest;

TEST(WhiteListSetup, LocatedFileGivesALoadedObjectAndItsPath) {
  ScratchDir dir;
  writeFile(dir.path("Quillvane.WL"), "#Quillvane White List\r\nexample.com\r\n");
  qv::win::PubResources resources;
  qv::wl::LocatedFile located{true, 0, dir.path("Quillvane.WL")};
  ASSERT_EQ(qv::win::loadLocatedWhiteList(located, resources), S_OK);
  ASSERT_TRUE(resources.whiteList);
  EXPECT_EQ(resources.whiteListPath, dir.path("Quillvane.WL"));
  VARIANT_BOOL found = VARIANT_FALSE;
  resources.whiteList->Find(Bstr(L"http://example.com/a").get(), &found);
  EXPECT_EQ(found, VARIANT_TRUE);
  // The window's object writes to that file.
  resources.whiteList->Add(Bstr(L"b.test").get());
  EXPECT_EQ(readFile(dir.path("Quillvane.WL")), "#Quillvane White List\r\nb.test\r\nexample.com\r\n");
  // Its one reference is the window's.
  EXPECT_EQ(resources.whiteList.Reset(), 0u);
}

TEST(WhiteListSetup, UnreadableFileStillGivesAnEmptyObject) {
  ScratchDir dir;
  qv::win::PubResources resources;
  ASSERT_EQ(qv::win::loadLocatedWhiteList({true, 0, dir.path("missing.WL")}, resources), S_OK);
  ASSERT_TRUE(resources.whiteList);
  EXPECT_EQ(enumerate(resources.whiteList.Get()), std::vector<std::wstring>{});
}

TEST(WhiteListSetup, StoppedLocatingLeavesTheWindowWithoutAWhiteList) {
  qv::win::PubResources resources;
  resources.whiteListPath = "stale";
  EXPECT_EQ(qv::win::loadLocatedWhiteList({false, static_cast<std::int32_t>(E_FAIL), ""}, resources), S_OK);
  EXPECT_FALSE(resources.whiteList);
  EXPECT_TRUE(resources.whiteListPath.empty());
}

}  // namespace
