// The white list store's one-step replace (what the options sheet writes
// after OK): one write of the new list, or nothing changed at all.
#include <gtest/gtest.h>

#include "fakes/fake_files.h"
#include "whitelist/store.h"

namespace qv::wl {
namespace {

const std::string kPath = "C:\\Quillvane.WL";

TEST(WhiteListReplaceAll, OneWriteOfTheNewListOrNothingChanges) {
  fake::FakeFileSystem files;
  files.files[kPath] = "#Quillvane White List\r\nold.test\r\n";
  WhiteListStore store(files);
  store.setFileName(kPath);
  ASSERT_TRUE(store.loadFile().ok());

  files.failReplace(kPath, 5);
  const StoreResult failed = store.replaceAll({"New.test"});
  EXPECT_EQ(failed.status, StoreStatus::WriteFailed);
  EXPECT_EQ(failed.systemError, 5u);
  EXPECT_EQ(store.sites(), WhiteListStore::Set{"old.test"});  // the old list stays whole
  EXPECT_EQ(files.files[kPath], "#Quillvane White List\r\nold.test\r\n");

}

TEST(WhiteListReplaceAll, LowerCasesCollapsesAndRewindsInOneWrite) {
  fake::FakeFileSystem files;
  WhiteListStore store(files);
  store.setFileName(kPath);
  EXPECT_TRUE(store.replaceAll({"b.test", "A.test", "a.TEST", "b.test"}).ok());
  ASSERT_EQ(files.replaces.size(), 1u);
  EXPECT_EQ(files.files[kPath], "#Quillvane White List\r\na.test\r\nb.test\r\n");
  ASSERT_TRUE(store.current());
  EXPECT_EQ(*store.current(), "a.test");  // cursor on the first site

  EXPECT_TRUE(store.replaceAll({}).ok());
  EXPECT_EQ(files.files[kPath], "#Quillvane White List\r\n");
}

TEST(WhiteListReplaceAll, AStoreWithoutFileChangesInMemory) {
  fake::FakeFileSystem files;
  WhiteListStore store(files);
  EXPECT_EQ(store.replaceAll({"x.test"}).status, StoreStatus::NoFile);
  EXPECT_EQ(store.sites(), WhiteListStore::Set{"x.test"});
  EXPECT_TRUE(files.replaces.empty());
}

}  // namespace
}  // namespace qv::wl
