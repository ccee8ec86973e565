// The adware page's logic over both registry views of 64-bit Windows, from
// a process of either bitness (this suite runs as a 64-bit and as a 32-bit
// program): an add-on registered for 32-bit browsers only and one for 64-bit
// browsers only are both found, reported once each and cleaned; the
// legitimate helper object of each view stays; kill bits go to both views.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "adware/clean.h"
#include "adware/page.h"
#include "adware/win/adware_page.h"
#include "platform/win/registry_win.h"
#include "win_test_support.h"

namespace {

using namespace qv::adware;

// Two add-ons of the shipped list and a helper object that is not on it.
const char kOnly32[] = "{00000000-6CB0-410C-8C3D-8FA8D2011D0A}";
const char kOnly64[] = "{00000000-D9E3-4BC6-A0BD-3D0CA4BE5271}";
const char kLegit[] = "{5C1A0D2E-7F3B-4C8D-9E0F-1A2B3C4D5E70}";

void plant(REGSAM view, const char* id, const char* name) {
  HKEY k = nullptr;
  for (const std::string& path : {std::string("Software\\Classes\\CLSID\\") + id + "\\InprocServer32",
                                  std::string(kHelperObjectsKey) + "\\" + id}) {
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &k,
                              nullptr),
              ERROR_SUCCESS)
        << path;
    RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name), static_cast<DWORD>(strlen(name) + 1));
    RegCloseKey(k);
  }
}

bool exists(REGSAM view, const std::string& path) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

DWORD killBit(REGSAM view, const char* id) {
  HKEY k = nullptr;
  const std::string path = std::string(kCompatibilityKey) + "\\" + id;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS) return 0;
  DWORD v = 0, size = sizeof v, type = 0;
  if (RegQueryValueExA(k, kCompatibilityFlags, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    v = 0;
  RegCloseKey(k);
  return v;
}

// Answers Yes to the scan's report and keeps every box's text.
struct AnsweringView : AdwareView {
  std::vector<std::string> boxes;
  void setStatus(const std::string&) override {}
  void progressRange(int, int) override {}
  void progressStepSize(int) override {}
  void progressPos(int) override {}
  void progressStep() override {}
  void addListLine(const std::string&) override {}
  void setIntro(const std::string&) override {}
  bool askYesNo(const std::string&, const std::string& text) override {
    boxes.push_back(text);
    return true;
  }
  void showOk(const std::string&, const std::string& text, bool, MessageIcon) override { boxes.push_back(text); }
  void startCleanTimer() override {}
};

TEST(AdwareViewsWin, AddOnsOfEitherViewAreFoundCleanedAndKillBitsGoToBoth) {
  ASSERT_TRUE(qv::win::hasTwoRegistryViews()) << "a WoW64 prefix has both views";
  plant(KEY_WOW64_32KEY, kOnly32, "Only32 Class");
  plant(KEY_WOW64_64KEY, kOnly64, "Only64 Class");
  plant(KEY_WOW64_32KEY, kLegit, "Legit");
  plant(KEY_WOW64_64KEY, kLegit, "Legit");
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY k = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kCompatibilityKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &k, nullptr);
    RegCloseKey(k);
  }
  // As the page makes them.
  qv::win::Win32Registry registry{KEY_WOW64_64KEY}, registry32{KEY_WOW64_32KEY};
  AnsweringView view;
  AdwarePageLogic logic{registry, view, &registry32};
  ASSERT_NE(qvtest::module(), nullptr);  // the list file lies beside the module
  logic.load(qv::adware::win::readListFile(qv::adware::win::listFilePath()));
  ASSERT_GT(logic.records().size(), 100u);

  logic.scan();
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(logic.foundCount(), 2) << view.boxes[0];
  EXPECT_NE(view.boxes[0].find("only32"), std::string::npos) << view.boxes[0];
  EXPECT_NE(view.boxes[0].find("only64"), std::string::npos) << view.boxes[0];
  logic.clean();
  ASSERT_EQ(view.boxes.size(), 2u);
  EXPECT_EQ(view.boxes[1], "Quillvane has cleaned 2 adwares.");
  for (REGSAM v : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    for (const char* id : {kOnly32, kOnly64}) {
      EXPECT_FALSE(exists(v, std::string("Software\\Classes\\CLSID\\") + id)) << id << " view " << v;
      EXPECT_FALSE(exists(v, std::string(kHelperObjectsKey) + "\\" + id)) << id << " view " << v;
    }
    EXPECT_TRUE(exists(v, std::string(kHelperObjectsKey) + "\\" + kLegit)) << "view " << v;
  }

  int box = 0;
  logic.toggleAutoBlock(box);
  for (REGSAM v : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) EXPECT_EQ(killBit(v, kOnly32), kKillBit) << "view " << v;
  logic.toggleAutoBlock(box);
  for (REGSAM v : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) EXPECT_EQ(killBit(v, kOnly32), 0u) << "view " << v;

  for (qv::win::Win32Registry* r : {&registry, &registry32}) {
    r->deleteTree(qv::RegRoot::LocalMachine, std::string("Software\\Classes\\CLSID\\") + kLegit);
    r->deleteTree(qv::RegRoot::LocalMachine, std::string(kHelperObjectsKey) + "\\" + kLegit);
  }
}

}  // namespace
