// Locating the white list file: module path, personal copy of the seed.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_files.h"
#include "fakes/fake_messages.h"
#include "whitelist/locate.h"
#include "whitelist/store.h"

namespace qv::wl {
namespace {

const std::string kModuleDir = "C:\\Program Files\\Quillvane";
const std::string kModule = kModuleDir + "\\Quillvane.dll";
const std::string kSeed = kModuleDir + "\\Quillvane.WL";
const std::string kDocs = "C:\\Users\\u\\Documents";
const std::string kPersonal = kDocs + "\\Quillvane.WL";

// Answers exactly what the test set up; asking for something else fails.
class FakeLocateEnvironment final : public LocateEnvironment {
 public:
  std::optional<ModuleFileName> module;
  std::optional<std::optional<std::string>> folder;

  ModuleFileName moduleFileName() override {
    if (!module) {
      ADD_FAILURE() << "module file name not set up";
      return {};
    }
    return *module;
  }
  std::optional<std::string> low;  // the shared low folder; none unless a test sets it
  std::optional<std::string> sharedLowFolder() override { return low; }
  std::optional<std::string> personalFolder() override {
    if (!folder) {
      ADD_FAILURE() << "personal folder not set up";
      return std::nullopt;
    }
    return *folder;
  }
};

class LocateTest : public ::testing::Test {
 protected:
  LocatedFile locate() {
    return locateWhiteListFile(env, files, messages, [this](const std::string& text, std::int32_t hr) {
      errorInfo.emplace_back(text, hr);
    });
  }
  void moduleAt(const std::string& path) { env.module = ModuleFileName{true, path, 0}; }

  FakeLocateEnvironment env;
  fake::FakeFileSystem files;
  fake::FakeMessages messages;
  std::vector<std::pair<std::string, std::int32_t>> errorInfo;
};

TEST_F(LocateTest, FirstStartCopiesSeedAndUsesCopy) {
  moduleAt(kModule);
  env.folder = kDocs;
  files.files[kSeed] = "#Quillvane White List\r\nseed.test\r\n";
  const LocatedFile r = locate();
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.path, kPersonal);
  EXPECT_EQ(files.files[kPersonal], files.files[kSeed]);
  EXPECT_EQ(files.copies, (std::vector<std::pair<std::string, std::string>>{{kSeed, kPersonal}}));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(errorInfo.empty());
}

TEST_F(LocateTest, LaterStartLeavesPersonalCopyUntouched) {
  moduleAt(kModule);
  env.folder = kDocs;
  files.files[kSeed] = "#Quillvane White List\r\nchanged.test\r\n";
  files.files[kPersonal] = "#Quillvane White List\r\nmine.test\r\n";
  const LocatedFile r = locate();
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.path, kPersonal);
  EXPECT_EQ(files.files[kPersonal], "#Quillvane White List\r\nmine.test\r\n");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(LocateTest, NoFileAnywhereFallsBackToModuleFolderWithMessage) {
  moduleAt(kModule);
  env.folder = kDocs;
  const LocatedFile r = locate();
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.path, kSeed);
  EXPECT_EQ(messages.shown, (std::vector<std::string>{
                                "Error copying white list file.  Quillvane.WL must be in the same directory as "
                                "Quillvane.dll."}));
  ASSERT_EQ(errorInfo.size(), 1u);
  EXPECT_EQ(errorInfo[0].first, messages.shown[0]);
  EXPECT_EQ(errorInfo[0].second, static_cast<std::int32_t>(0x80070002));  // file not found
  // Loading that path then fails and the list is empty.
  WhiteListStore store(files);
  store.setFileName(r.path);
  EXPECT_EQ(store.loadFile().status, StoreStatus::OpenFailed);
  EXPECT_TRUE(store.sites().empty());
}

TEST_F(LocateTest, CopyFailureCodes) {
  struct Case {
    std::uint32_t error;
    bool fallsBack;
  };
  for (const Case c : {Case{80, false}, Case{183, false}, Case{5, true}, Case{0, true}}) {
    SCOPED_TRACE(c.error);
    FakeLocateEnvironment e;
    e.module = ModuleFileName{true, kModule, 0};
    e.folder = kDocs;
    fake::FakeFileSystem f;
    f.files[kSeed] = "x";
    f.failCopyTo(kPersonal, c.error);
    fake::FakeMessages m;
    std::vector<std::int32_t> codes;
    const LocatedFile r =
        locateWhiteListFile(e, f, m, [&](const std::string&, std::int32_t hr) { codes.push_back(hr); });
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.path, c.fallsBack ? kSeed : kPersonal);
    EXPECT_EQ(m.shown.size(), c.fallsBack ? 1u : 0u);
    if (c.fallsBack) {
      EXPECT_EQ(codes, (std::vector<std::int32_t>{hresultFromSystemError(c.error)}));
    }
  }
}

TEST_F(LocateTest, NoPersonalFolderUsesModuleFolderSilently) {
  for (const std::optional<std::string>& folder : {std::optional<std::string>{}, std::optional<std::string>{""}}) {
    moduleAt(kModule);
    env.folder = folder;
    files.copies.clear();
    const LocatedFile r = locate();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.path, kSeed);
    EXPECT_TRUE(files.copies.empty());
    EXPECT_TRUE(messages.shown.empty());
  }
}

TEST_F(LocateTest, FolderWithTrailingSeparatorIsNotDoubled) {
  moduleAt(kModule);
  env.folder = "D:\\";
  files.files[kSeed] = "x";
  EXPECT_EQ(locate().path, "D:\\Quillvane.WL");
}

TEST_F(LocateTest, ModulePathFailureStopsWithSystemError) {
  env.module = ModuleFileName{false, "", 5};  // access denied
  const LocatedFile r = locate();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, static_cast<std::int32_t>(0x80070005));
  EXPECT_EQ(messages.shown, (std::vector<std::string>{"Error getting module filename."}));
  ASSERT_EQ(errorInfo.size(), 1u);
  EXPECT_EQ(errorInfo[0], (std::pair<std::string, std::int32_t>{"Error getting module filename.", r.error}));
  EXPECT_TRUE(files.copies.empty());
}

TEST_F(LocateTest, UnknownModulePathErrorIsStillAFailure) {
  env.module = ModuleFileName{false, "", 0};
  const LocatedFile r = locate();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, kHresultFail);
  EXPECT_LT(r.error, 0);
}

TEST_F(LocateTest, ModulePathMustFitItsBuffer) {
  const std::string dir = "C:\\" + std::string(259 - 3 - 14, 'd');
  moduleAt(dir + "\\Quillvane.dll");  // 259 characters: fits with its terminator
  ASSERT_EQ(env.module->path.size(), 259u);
  env.folder = std::optional<std::string>{};
  EXPECT_TRUE(locate().ok);

  moduleAt(dir + "x\\Quillvane.dll");  // 260: would have been cut short
  const LocatedFile r = locate();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, static_cast<std::int32_t>(0x8007007A));
  EXPECT_EQ(messages.shown.back(), "Error getting module filename.");
}

TEST_F(LocateTest, ModulePathWithoutBackslashIsInvalid) {
  moduleAt("Quillvane.dll");
  const LocatedFile r = locate();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, kHresultFail);
  EXPECT_EQ(messages.shown, (std::vector<std::string>{"Invalid module filename."}));
  EXPECT_TRUE(errorInfo.empty());
}

// The file in the folder Protected Mode tabs and other browsers both
// write: brought there once, from the personal copy or the seed, and never
// over a file already there, which may be newer than either.
TEST_F(LocateTest, SharedLowCopyIsMadeOnceAndNeverOverwritten) {
  const std::string kLow = "C:\\Users\\u\\AppData\\LocalLow\\Harrowlyn\\Quillvane";
  const std::string kShared = kLow + "\\Quillvane.WL";
  struct Case {
    const char* what;
    std::optional<std::string> shared, personal;
    std::uint32_t copyError;  // of a copy into the low folder; 0: it works
    std::string path, sharedAfter;
  } cases[] = {
      {"first start after an update moves the personal copy", std::nullopt, "mine", 0, kShared, "mine"},
      {"first start of a new user takes the seed", std::nullopt, std::nullopt, 0, kShared, "seed"},
      {"a copy already there stays as it is", "changed since", "older", 0, kShared, "changed since"},
      {"low folder refuses the copy: the personal copy as before", std::nullopt, "mine", 5, kPersonal, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake::FakeFileSystem fs;
    fs.files[kSeed] = "seed";
    if (c.shared) fs.files[kShared] = *c.shared;
    if (c.personal) fs.files[kPersonal] = *c.personal;
    if (c.copyError) fs.failCopyTo(kShared, c.copyError);
    FakeLocateEnvironment e;
    e.module = ModuleFileName{true, kModule, 0};
    e.folder = kDocs;
    e.low = kLow;
    fake::FakeMessages m;
    const LocatedFile r = locateWhiteListFile(e, fs, m, nullptr);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.path, c.path);
    EXPECT_EQ(fs.files.count(kShared) ? fs.files[kShared] : "", c.sharedAfter);
    EXPECT_EQ(fs.files.count(kPersonal) ? fs.files[kPersonal] : "", c.personal.value_or(""));  // left alone
    EXPECT_EQ(fs.files[kSeed], "seed");
    EXPECT_TRUE(m.shown.empty());
  }
}

TEST(HresultFromSystemError, MapsLikeTheSystemMacro) {
  EXPECT_EQ(hresultFromSystemError(2), static_cast<std::int32_t>(0x80070002));
  EXPECT_EQ(hresultFromSystemError(0x12345), static_cast<std::int32_t>(0x80072345));
  EXPECT_EQ(hresultFromSystemError(0x80004005u), static_cast<std::int32_t>(0x80004005));
  EXPECT_EQ(hresultFromSystemError(0), kHresultFail);
}

}  // namespace
}  // namespace qv::wl
