// The white list step of a browser helper object's construction: what the
// window gets for each outcome of locating the file.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "whitelist/win/locate_win.h"
#include "whitelist/win/whitelist_setup.h"
#include "whitelist_test_support.h"
#include "win_test_support.h"

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

// Through the module: a browser helper object made by the class factory
// locates the file (the user's copy of the seed beside the module, in the
// LocalLow folder that Protected Mode tabs write too) and holds a white list
// object loaded from it, which is registered under the file's moniker for as
// long as the helper object lives.
TEST(WhiteListSetup, BrowserHelperObjectHoldsTheWhiteListOfTheUsersCopy) {
  const std::optional<std::string> folder = qv::wl::win::Win32LocateEnvironment().sharedLowFolder();
  ASSERT_TRUE(folder.has_value());
  const std::string personal = *folder + "\\Quillvane.WL";
  const std::wstring wide(personal.begin(), personal.end());
  ComPtr<IRunningObjectTable> rot;
  ASSERT_EQ(GetRunningObjectTable(0, rot.GetAddressOf()), S_OK);
  ComPtr<IMoniker> moniker;
  ASSERT_EQ(CreateFileMoniker(wide.c_str(), moniker.GetAddressOf()), S_OK);
  ASSERT_NE(rot->IsRunning(moniker.Get()), S_OK);

  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObjectFn>(
      reinterpret_cast<void*>(GetProcAddress(module(), "DllGetClassObject")));
  ASSERT_NE(get, nullptr);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(get(CLSID_CPub, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())), S_OK);
  ComPtr<IUnknown> pub;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(pub.GetAddressOf())), S_OK);
  factory.Reset();
  EXPECT_TRUE(fileExists(personal)) << personal;
  EXPECT_EQ(rot->IsRunning(moniker.Get()), S_OK) << "no white list object loaded from " << personal;
  pub.Reset();
  EXPECT_NE(rot->IsRunning(moniker.Get()), S_OK) << "the white list object outlived its helper object";
}

}  // namespace
