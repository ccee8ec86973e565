// The white list object's entry in the running object table: made by Load of
// a readable file under a file moniker of its path, one per object, and gone
// when its holder lets go -- which also lets the module unload.
#include <gtest/gtest.h>

#include "whitelist_test_support.h"
#include "win_test_support.h"

namespace {

using namespace qvtest;

struct Rot {
  ComPtr<IRunningObjectTable> table;
  Rot() { EXPECT_EQ(GetRunningObjectTable(0, table.GetAddressOf()), S_OK); }
  ComPtr<IMoniker> moniker(const std::wstring& path) {
    ComPtr<IMoniker> m;
    EXPECT_EQ(CreateFileMoniker(path.c_str(), m.GetAddressOf()), S_OK);
    return m;
  }
  bool running(const std::wstring& path) { return table->IsRunning(moniker(path).Get()) == S_OK; }
};

HRESULT canUnloadNow() {
  using Fn = HRESULT(WINAPI*)();
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module(), "DllCanUnloadNow")));
  return fn ? fn() : E_FAIL;
}

TEST(WhiteListRunningObject, LoadRegistersTheObjectUnderItsFileMoniker) {
  ScratchDir dir;
  writeFile(dir.path("Quillvane.WL"), "#Quillvane White List\r\nexample.com\r\n");
  const std::wstring path = dir.wpath("Quillvane.WL");
  Rot rot;
  ASSERT_FALSE(rot.running(path));
  {
    auto list = loadedWhiteList(path);
    ASSERT_TRUE(list);
    EXPECT_TRUE(rot.running(path));
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    // A client binding to the moniker reaches this very object's live list.
    ComPtr<IUnknown> found;
    ASSERT_EQ(rot.table->GetObject(rot.moniker(path).Get(), found.GetAddressOf()), S_OK);
    ComPtr<IWhiteList> same;
    ASSERT_EQ(found.As(&same), S_OK);
    EXPECT_EQ(same.Get(), list.Get());
    same->Add(Bstr(L"live.test").get());
    VARIANT_BOOL hit = VARIANT_FALSE;
    list->Find(Bstr(L"http://live.test/").get(), &hit);
    EXPECT_EQ(hit, VARIANT_TRUE);
  }
  EXPECT_FALSE(rot.running(path));
  EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST(WhiteListRunningObject, EachObjectRegistersAndRevokesOnlyItsOwnEntry) {
  ScratchDir dir;
  writeFile(dir.path("Quillvane.WL"), "a.test\r\n");
  const std::wstring path = dir.wpath("Quillvane.WL");
  Rot rot;
  auto first = loadedWhiteList(path);
  auto second = loadedWhiteList(path);
  ASSERT_TRUE(first && second);
  EXPECT_TRUE(rot.running(path));
  first.Reset();
  EXPECT_TRUE(rot.running(path));
  ComPtr<IUnknown> found;
  ASSERT_EQ(rot.table->GetObject(rot.moniker(path).Get(), found.GetAddressOf()), S_OK);
  ComPtr<IUnknown> secondUnknown;
  second.As(&secondUnknown);
  EXPECT_EQ(found.Get(), secondUnknown.Get());
  found.Reset();
  secondUnknown.Reset();
  second.Reset();
  EXPECT_FALSE(rot.running(path));
  EXPECT_EQ(canUnloadNow(), S_OK);
}

// The entry ends when the holder lets go, not when some count says so: a
// client that bound through the table keeps a working object, unregistered.
TEST(WhiteListRunningObject, TheHolderRevokesWhenItLetsGoWhileClientsRemain) {
  ScratchDir dir;
  writeFile(dir.path("Quillvane.WL"), "a.test\r\n");
  const std::wstring path = dir.wpath("Quillvane.WL");
  Rot rot;
  auto holder = loadedWhiteList(path);
  ComPtr<IUnknown> found;
  ASSERT_EQ(rot.table->GetObject(rot.moniker(path).Get(), found.GetAddressOf()), S_OK);
  ComPtr<IWhiteList> client;
  ASSERT_EQ(found.As(&client), S_OK);
  found.Reset();
  holder.Reset();
  EXPECT_FALSE(rot.running(path));
  VARIANT_BOOL hit = VARIANT_FALSE;
  EXPECT_EQ(client->Find(Bstr(L"http://a.test/").get(), &hit), S_OK);
  EXPECT_EQ(hit, VARIANT_TRUE);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  EXPECT_EQ(client.Reset(), 0u);
  EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST(WhiteListRunningObject, UnreadableOrReloadedFilesLeaveNoStrayEntry) {
  ScratchDir dir;
  Rot rot;
  const std::wstring missing = dir.wpath("missing.WL");
  {
    auto list = loadedWhiteList(missing);
    ASSERT_TRUE(list);
    EXPECT_FALSE(rot.running(missing));
    EXPECT_EQ(canUnloadNow(), S_FALSE);  // the object itself still counts
  }
  EXPECT_EQ(canUnloadNow(), S_OK);

  // A second Load moves the registration to the new file.
  writeFile(dir.path("one.WL"), "one.test\r\n");
  writeFile(dir.path("two.WL"), "two.test\r\n");
  auto list = loadedWhiteList(dir.wpath("one.WL"));
  ASSERT_TRUE(list);
  ComPtr<IPersistFile> file;
  ASSERT_EQ(list.As(&file), S_OK);
  EXPECT_EQ(file->Load(dir.wpath("two.WL").c_str(), 0), S_OK);
  EXPECT_FALSE(rot.running(dir.wpath("one.WL")));
  EXPECT_TRUE(rot.running(dir.wpath("two.WL")));
  EXPECT_EQ(enumerate(list.Get()), std::vector<std::wstring>{L"two.test"});
  file.Reset();
  list.Reset();
  EXPECT_FALSE(rot.running(dir.wpath("two.WL")));
  EXPECT_EQ(canUnloadNow(), S_OK);
}

}  // namespace
