// The demo's adware step: plants add-ons in the prefix's registry, then runs
// the page's scan, cleaning and kill bits over the real registry with the
// shipped list, printing what the page would show.
//   adware_demo plant-legit | plant-adware | clean <Quillvane.dat> | killbits <Quillvane.dat>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "adware/page.h"
#include "adware/win/adware_page.h"
#include "platform/win/registry_win.h"

namespace {

using namespace qv::adware;

const char* const kAdware[][2] = {{"{00000000-0000-0000-0000-000000000001}", "AutoSearch Class"},
                                  {"{00000000-6CB0-410C-8C3D-8FA8D2011D0A}", "iMesh Bar"},
                                  {"{00000000-D9E3-4BC6-A0BD-3D0CA4BE5271}", "AdBreak"}};
const char kLegit[] = "{5C1A0D2E-7F3B-4C8D-9E0F-1A2B3C4D5E6F}";

std::string plain(std::string s) {
  std::string r;
  for (char c : s)
    if (c != '\r') r += c;
  return r;
}

bool setDefault(HKEY root, const std::string& path, const char* text) {
  HKEY k = nullptr;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
    return false;
  RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
  RegCloseKey(k);
  std::printf("  %s\\%s\n", root == HKEY_CURRENT_USER ? "HKCU" : "HKLM", path.c_str());
  return true;
}

void plant(HKEY root, const char* id, const char* name, bool helper) {
  const std::string cls = std::string("Software\\Classes\\CLSID\\") + id;
  setDefault(root, cls, name);
  setDefault(root, cls + "\\InprocServer32", "C:\\Program Files\\Addon\\ADDON.DLL");
  if (helper) setDefault(root, std::string(kHelperObjectsKey) + "\\" + id, "");
}

class ConsoleView final : public AdwareView {
 public:
  void setStatus(const std::string&) override {}
  void progressRange(int, int) override {}
  void progressStepSize(int) override {}
  void progressPos(int) override {}
  void progressStep() override {}
  void addListLine(const std::string&) override {}
  void setIntro(const std::string& text) override { std::printf("page text: %s\n", text.c_str()); }
  bool askYesNo(const std::string& caption, const std::string& text) override {
    std::printf("[%s]\n%s\n-> the user answers Yes\n", caption.c_str(), plain(text).c_str());
    return true;
  }
  void showOk(const std::string& caption, const std::string& text, bool, MessageIcon) override {
    std::printf("[%s]\n%s\n", caption.c_str(), plain(text).c_str());
  }
  void startCleanTimer() override { cleanPending = true; }
  bool cleanPending = false;
};

int countKillBits(const std::vector<ListRecord>& records) {
  int n = 0;
  for (const auto& r : records) {
    HKEY k = nullptr;
    const std::string path = std::string(kCompatibilityKey) + "\\" + r.classId;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) continue;
    DWORD v = 0, size = sizeof v, type = 0;
    if (RegQueryValueExA(k, kCompatibilityFlags, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && v == kKillBit)
      ++n;
    RegCloseKey(k);
  }
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "plant-legit") {
    // The parent of the user's class keys, present on any Windows machine
    // (a fresh prefix may lack it), so that cleaning leaves it as it found it.
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\CLSID", 0, nullptr, 0, KEY_READ, nullptr, &k, nullptr) == 0)
      RegCloseKey(k);
    std::printf("a legitimate helper object (not on the list):\n");
    plant(HKEY_LOCAL_MACHINE, kLegit, "Example Helper", true);
    return 0;
  }
  if (cmd == "plant-adware") {
    for (const auto& a : kAdware) {
      std::printf("%s (%s):\n", a[1], a[0]);
      plant(HKEY_LOCAL_MACHINE, a[0], a[1], true);
      plant(HKEY_CURRENT_USER, a[0], a[1], false);
    }
    return 0;
  }
  if (argc < 3 || (cmd != "clean" && cmd != "killbits")) {
    std::fprintf(stderr, "usage: adware_demo plant-legit | plant-adware | clean <list.dat> | killbits <list.dat>\n");
    return 2;
  }
  qv::win::Win32Registry registry;
  ConsoleView view;
  AdwarePageLogic page(registry, view);
  page.load(qv::adware::win::readListFile(argv[2]));
  std::printf("list file: %zu records\n", page.records().size());
  if (cmd == "killbits") {
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kCompatibilityKey, 0, nullptr, 0, KEY_READ, nullptr, &k, nullptr) == 0)
      RegCloseKey(k);  // present on every Windows; a fresh prefix may lack it
    int box = 0;
    page.toggleAutoBlock(box);
    std::printf("box ticked: %d kill bits (\"Compatibility Flags\" = 0x400) under HKLM\\%s\n",
                countKillBits(page.records()), kCompatibilityKey);
    page.toggleAutoBlock(box);
    std::printf("box cleared: %d kill bits left\n", countKillBits(page.records()));
    return 0;
  }
  page.scan();
  if (!view.cleanPending) return 0;
  const auto t0 = std::chrono::steady_clock::now();
  page.clean();
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  std::printf("cleaning walk: %zu keys visited in %.0f ms over HKCR, HKCU and HKLM\ndeleted:\n",
              page.lastWalk().keysVisited, ms);
  for (const auto& k : page.lastWalk().deleted) std::printf("  %s\n", k.c_str());
  for (const auto& k : page.lastWalk().failed) std::printf("  NOT deleted: %s\n", k.c_str());
  HKEY k = nullptr;
  const std::string legit = std::string(kHelperObjectsKey) + "\\" + kLegit;
  const bool kept = RegOpenKeyExA(HKEY_LOCAL_MACHINE, legit.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS;
  if (kept) RegCloseKey(k);
  std::printf("kept: the legitimate helper object HKLM\\%s %s\n", legit.c_str(), kept ? "is still there" : "IS GONE");
  return kept ? 0 : 1;
}
