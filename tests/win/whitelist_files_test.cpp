// The Win32 file port and the Win32 side of locating the white list file,
// against the real file system (under Wine: the prefix's drive).
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "platform/win/files_win.h"
#include "whitelist/win/locate_win.h"

namespace {

// A fresh folder under the temporary directory, removed with its files.
class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    path_ = std::string(base) + "qvfiles" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(GetTickCount());
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    WIN32_FIND_DATAA found;
    const std::string pattern = path_ + "\\*";
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string full = path_ + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveDirectoryA(full.c_str());
        else
          DeleteFileA(full.c_str());
      } while (FindNextFileA(h, &found));
      FindClose(h);
    }
    RemoveDirectoryA(path_.c_str());
  }
  const std::string& path() const { return path_; }
  std::string file(const char* name) const { return path_ + "\\" + name; }
  int count() const {
    int n = 0;
    WIN32_FIND_DATAA found;
    const std::string pattern = path_ + "\\*";
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") ++n;
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return n;
  }

 private:
  std::string path_;
};

TEST(Win32FileSystem, ReplaceWritesExactBytesAndLeavesNoTemporaryFile) {
  TempFolder dir;
  qv::win::Win32FileSystem fs;
  const std::string target = dir.file("Quillvane.WL");
  const std::string first = "#Quillvane White List\r\na.test\r\n";
  ASSERT_TRUE(fs.replaceContents(target, first).ok);
  EXPECT_EQ(fs.readAll(target), first);
  std::string big(300000, 'x');
  big[0] = '\0';
  big[1] = '\x1a';
  ASSERT_TRUE(fs.replaceContents(target, big).ok);
  EXPECT_EQ(fs.readAll(target), big);
  ASSERT_TRUE(fs.replaceContents(target, "").ok);
  EXPECT_EQ(fs.readAll(target), std::string());
  EXPECT_EQ(dir.count(), 1);
}

TEST(Win32FileSystem, FailedReplaceLeavesOldFileAndReportsError) {
  TempFolder dir;
  qv::win::Win32FileSystem fs;
  // The target is a folder: the final rename cannot replace it.
  const std::string blocked = dir.file("blocked");
  ASSERT_TRUE(CreateDirectoryA(blocked.c_str(), nullptr));
  const qv::FileResult r = fs.replaceContents(blocked, "new");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.systemError, 0u);
  EXPECT_EQ(dir.count(), 1) << "the temporary file is removed";

  // A read-only target is not replaced either.
  const std::string target = dir.file("ro.WL");
  ASSERT_TRUE(fs.replaceContents(target, "old").ok);
  ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
  const qv::FileResult ro = fs.replaceContents(target, "new");
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_FALSE(ro.ok);
  EXPECT_EQ(fs.readAll(target), std::string("old"));
  EXPECT_EQ(dir.count(), 2);

  // No such folder: nothing can be created.
  const qv::FileResult missing = fs.replaceContents(dir.path() + "\\nofolder\\x.WL", "new");
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.systemError, 0u);
}

TEST(Win32FileSystem, ReadAllOfMissingFileIsNothing) {
  TempFolder dir;
  qv::win::Win32FileSystem fs;
  EXPECT_FALSE(fs.readAll(dir.file("absent.WL")).has_value());
}

TEST(Win32FileSystem, CopyNeverOverwrites) {
  TempFolder dir;
  qv::win::Win32FileSystem fs;
  const std::string seed = dir.file("seed.WL"), copy = dir.file("copy.WL");
  const qv::FileResult none = fs.copyNoOverwrite(seed, copy);
  EXPECT_FALSE(none.ok);
  EXPECT_EQ(none.systemError, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
  ASSERT_TRUE(fs.replaceContents(seed, "seed").ok);
  ASSERT_TRUE(fs.copyNoOverwrite(seed, copy).ok);
  EXPECT_EQ(fs.readAll(copy), std::string("seed"));
  ASSERT_TRUE(fs.replaceContents(seed, "changed").ok);
  const qv::FileResult exists = fs.copyNoOverwrite(seed, copy);
  EXPECT_FALSE(exists.ok);
  EXPECT_EQ(exists.systemError, static_cast<std::uint32_t>(ERROR_FILE_EXISTS));
  EXPECT_EQ(fs.readAll(copy), std::string("seed"));

  // The seed gone, the copy still there: "exists", not "not found", so the
  // user's own list keeps being used.
  ASSERT_TRUE(DeleteFileA(seed.c_str()));
  EXPECT_EQ(fs.copyNoOverwrite(seed, copy).systemError, static_cast<std::uint32_t>(ERROR_FILE_EXISTS));
}

TEST(Win32LocateEnvironment, GivesModulePathAndPersonalFolder) {
  qv::wl::win::Win32LocateEnvironment env;
  const qv::wl::ModuleFileName module = env.moduleFileName();
  ASSERT_TRUE(module.ok);
  EXPECT_NE(module.path.rfind('\\'), std::string::npos);
  const std::optional<std::string> folder = env.personalFolder();
  ASSERT_TRUE(folder.has_value());
  EXPECT_FALSE(folder->empty());
}

TEST(SetPubErrorInfo, LeavesTextAsThreadErrorInfo) {
  qv::wl::win::setPubErrorInfo("Error getting module filename.", static_cast<std::int32_t>(0x80070005));
  IErrorInfo* info = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  ASSERT_NE(info, nullptr);
  BSTR description = nullptr;
  EXPECT_EQ(info->GetDescription(&description), S_OK);
  EXPECT_STREQ(description, L"Error getting module filename.");
  SysFreeString(description);
  BSTR source = nullptr;
  EXPECT_EQ(info->GetSource(&source), S_OK);
  EXPECT_TRUE(source && std::wstring(source).rfind(L"Quillvane.Pub", 0) == 0);
  SysFreeString(source);
  info->Release();
}

}  // namespace
