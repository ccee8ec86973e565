// The fake registry must behave like the real one where the logic depends on
// it; these cases pin the semantics the other tests rely on.
#include <gtest/gtest.h>

#include "fakes/fake_registry.h"

namespace qv::fake {
namespace {

TEST(FakeRegistry, NamesAreCaseInsensitiveButKeepTheirCase) {
  FakeRegistry reg;
  reg.put(RegRoot::CurrentUser, "Software\\Harrowlyn", "Value", RegValue::dword(1));
  EXPECT_TRUE(reg.exists(RegRoot::CurrentUser, "SOFTWARE\\harrowlyn"));
  EXPECT_EQ(reg.dword(RegRoot::CurrentUser, "software\\HARROWLYN", "VALUE"), 1u);
  EXPECT_EQ(reg.subkeys(RegRoot::CurrentUser, "software"), std::vector<std::string>{"Harrowlyn"});
}

TEST(FakeRegistry, OpenMissingKeyIsNotFoundAndCreateMakesParents) {
  FakeRegistry reg;
  EXPECT_EQ(reg.open(RegRoot::CurrentUser, "A\\B").status, RegStatus::NotFound);
  auto c = reg.create(RegRoot::CurrentUser, "A\\B");
  ASSERT_EQ(c.status, RegStatus::Ok);
  EXPECT_TRUE(reg.exists(RegRoot::CurrentUser, "A"));
  EXPECT_EQ(reg.open(RegRoot::CurrentUser, "A\\B").status, RegStatus::Ok);
}

TEST(FakeRegistry, DeleteKeyWithSubkeysFailsDeleteTreeSucceeds) {
  FakeRegistry reg;
  reg.create(RegRoot::ClassesRoot, "X\\Y");
  EXPECT_EQ(reg.deleteKey(RegRoot::ClassesRoot, "X"), RegStatus::NotEmpty);
  EXPECT_EQ(reg.deleteTree(RegRoot::ClassesRoot, "X"), RegStatus::Ok);
  EXPECT_FALSE(reg.exists(RegRoot::ClassesRoot, "X"));
  EXPECT_EQ(reg.deleteTree(RegRoot::ClassesRoot, "X"), RegStatus::NotFound);
}

TEST(FakeRegistry, InjectedFailuresAndWriteLog) {
  FakeRegistry reg;
  reg.create(RegRoot::CurrentUser, "K");
  reg.failOpen(RegRoot::CurrentUser, "k", RegStatus::AccessDenied);
  EXPECT_EQ(reg.open(RegRoot::CurrentUser, "K").status, RegStatus::AccessDenied);
  reg.failCreate(RegRoot::CurrentUser, "L", RegStatus::AccessDenied);
  EXPECT_EQ(reg.create(RegRoot::CurrentUser, "L").status, RegStatus::AccessDenied);

  auto k = reg.create(RegRoot::CurrentUser, "K");
  reg.failWrite("Bad", RegStatus::Failed);
  EXPECT_EQ(k.key->set("One", RegValue::dword(1)), RegStatus::Ok);
  EXPECT_EQ(k.key->set("Bad", RegValue::dword(2)), RegStatus::Failed);
  EXPECT_EQ(k.key->set("Two", RegValue::dword(3)), RegStatus::Ok);
  EXPECT_EQ(reg.writeLog(), (std::vector<std::string>{"K\\One", "K\\Two"}));
}

TEST(FakeRegistry, EnumeratesSubkeysByIndex) {
  FakeRegistry reg;
  reg.create(RegRoot::LocalMachine, "P\\a");
  reg.create(RegRoot::LocalMachine, "P\\b");
  auto k = reg.open(RegRoot::LocalMachine, "P");
  std::string name;
  ASSERT_EQ(k.key->enumSubkey(1, name), RegStatus::Ok);
  EXPECT_EQ(name, "b");
  EXPECT_EQ(k.key->enumSubkey(2, name), RegStatus::NotFound);
}

}  // namespace
}  // namespace qv::fake
