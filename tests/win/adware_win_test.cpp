// The adware page end to end under Wine: the real list file beside the
// module, planted add-ons in the prefix's registry, the page in a property
// sheet, its message boxes answered, the kill bits written and removed.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "adware/clean.h"
#include "adware/list_file.h"
#include "adware/scan.h"
#include "adware/win/adware_page.h"
#include "platform/win/registry_win.h"
#include "res/resource_ids.h"
#include "standin_browser.h"
#include "ui/win/sheet_pages.h"
#include "win_test_support.h"

namespace {

using namespace qv::adware;
using qv::adware::win::listFilePath;
using qv::adware::win::readListFile;

// Three add-ons of the shipped list and one helper object that is not on it.
const char* const kPlanted[] = {"{00000000-0000-0000-0000-000000000001}", "{00000000-6CB0-410C-8C3D-8FA8D2011D0A}",
                                "{00000000-D9E3-4BC6-A0BD-3D0CA4BE5271}"};
const char kLegit[] = "{5C1A0D2E-7F3B-4C8D-9E0F-1A2B3C4D5E6F}";

void setDefault(HKEY root, const std::string& path, const char* text) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS)
      << path;
  RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
  RegCloseKey(k);
}

void plantClass(HKEY root, const std::string& classes, const char* id, const char* name) {
  setDefault(root, classes + "\\CLSID\\" + id, name);
  setDefault(root, classes + "\\CLSID\\" + id + "\\InprocServer32", "C:\\Program Files\\Addon\\ADDON.DLL");
}

bool keyExists(HKEY root, const std::string& path) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

// Every key and value below `root`, one line each, in enumeration order:
// what a registry export holds.
void dump(HKEY root, const std::string& path, std::vector<std::string>& out) {
  // Wine's own run-time copy of the user's system parameters comes and goes
  // with the processes of the prefix.
  if (path == "Software\\Wine\\Temporary System Parameters") return;
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
  out.push_back("[" + path + "]");
  std::vector<char> name(16384);
  std::vector<BYTE> data(1 << 16);
  for (DWORD i = 0;; ++i) {
    DWORD nlen = static_cast<DWORD>(name.size()), dlen = static_cast<DWORD>(data.size()), type = 0;
    const LONG rc = RegEnumValueA(k, i, name.data(), &nlen, nullptr, &type, data.data(), &dlen);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) break;
    std::string line = std::string(name.data(), nlen) + "=" + std::to_string(type) + ":";
    for (DWORD b = 0; b < dlen; ++b) line += static_cast<char>('a' + (data[b] >> 4)), line += static_cast<char>('a' + (data[b] & 15));
    out.push_back(line);
  }
  std::vector<std::string> subs;
  for (DWORD i = 0;; ++i) {
    DWORD nlen = static_cast<DWORD>(name.size());
    if (RegEnumKeyExA(k, i, name.data(), &nlen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subs.emplace_back(name.data(), nlen);
  }
  RegCloseKey(k);
  for (const auto& s : subs) dump(root, path.empty() ? s : path + "\\" + s, out);
}

// The whole registry.  HKEY_CLASSES_ROOT is left out: it is a view of the
// Software\Classes keys of the two roots below, so every change to it shows
// there (and reading it again took a third of the dump's time under Wine).
std::vector<std::string> dumpAll() {
  std::vector<std::string> out;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    out.push_back("#root");
    dump(root, "", out);
  }
  return out;
}

// The message boxes that the page showed on this thread, answered.
std::vector<qvtest::SeenBox> g_boxes;
bool g_answerYes = true;
void CALLBACK answerBoxes(HWND, UINT, UINT_PTR, DWORD) { qvtest::answerBoxesOfThisThread(g_boxes, g_answerYes); }

using standin::pumpUntil;

std::string itemText(HWND page, int id) {
  char buf[512] = {};
  GetDlgItemTextA(page, id, buf, sizeof buf);
  return buf;
}

std::string itemClass(HWND page, int id) {
  char buf[64] = {};
  GetClassNameA(GetDlgItem(page, id), buf, sizeof buf);
  return buf;
}

TEST(AdwarePageWin, ScanConfirmCleanAndKillBitsThroughThePage) {
  HMODULE dll = qvtest::module();
  ASSERT_NE(dll, nullptr);
  const auto records = parseList(readListFile(listFilePath()).value_or(""));
  ASSERT_EQ(records.size(), 1537u) << listFilePath();

  const std::string bho = kHelperObjectsKey;
  for (const char* id : kPlanted) {  // leftovers of an interrupted run
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\CLSID\\") + id).c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\Classes\\CLSID\\") + id).c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (bho + "\\" + id).c_str());
  }
  // The parents of the planted keys exist before, as on any machine.
  setDefault(HKEY_CURRENT_USER, "Software\\Classes\\CLSID", "");
  plantClass(HKEY_LOCAL_MACHINE, "Software\\Classes", kLegit, "Example Helper");
  setDefault(HKEY_LOCAL_MACHINE, bho + "\\" + kLegit, "");
  const auto before = dumpAll();
  const char* names[] = {"AutoSearch Class", "iMesh Bar", "AdBreak"};
  for (int i = 0; i < 3; ++i) {
    plantClass(HKEY_LOCAL_MACHINE, "Software\\Classes", kPlanted[i], names[i]);
    setDefault(HKEY_LOCAL_MACHINE, bho + "\\" + kPlanted[i], "");
    plantClass(HKEY_CURRENT_USER, "Software\\Classes", kPlanted[i], names[i]);
  }

  // The page in a sheet of its own, as the options sheet adds it.
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  int blockAdware = 0;
  const auto sp = qv::ui::win::adwarePage();
  ASSERT_EQ(sp.dialogId, 238);
  PROPSHEETPAGEA psp{};
  psp.dwSize = sizeof psp;
  psp.hInstance = dll;
  psp.pszTemplate = MAKEINTRESOURCEA(sp.dialogId);
  psp.pfnDlgProc = sp.proc;
  psp.lParam = reinterpret_cast<LPARAM>(&blockAdware);
  HPROPSHEETPAGE page = CreatePropertySheetPageA(&psp);
  PROPSHEETHEADERA psh{};
  psh.dwSize = sizeof psh;
  psh.dwFlags = PSH_MODELESS | PSH_NOAPPLYNOW;
  psh.hInstance = dll;
  psh.pszCaption = "Quillvane";
  psh.nPages = 1;
  psh.phpage = &page;
  HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&psh));
  ASSERT_NE(sheet, nullptr);
  ShowWindow(sheet, SW_SHOW);
  HWND pw = PropSheet_GetCurrentPageHwnd(sheet);
  ASSERT_TRUE(pumpUntil([&] { return itemText(pw, IDC_ADW_STATUS) == "ready"; }, 20000));

  struct Control {
    int id;
    const char* cls;
    std::string text;
  } controls[] = {
      {IDC_ADW_INTRO, "Static",
       "Quillvane can block over 1500 adwares(spywares) which are installed automaticlly when user visites some "
       "websites."},
      {IDC_ADW_LIST, "ListBox", ""},
      {IDC_ADW_AUTOBLOCK, "Button", "&Auto Block known Adwares and Spywares installation"},
      {IDC_ADW_SCAN, "Button", "Scan and Clean"},
      {IDC_ADW_PROGRESS, "msctls_progress32", ""},
      {IDC_ADW_STATUS, "Static", "ready"},
  };
  for (const Control& c : controls) {
    EXPECT_EQ(itemClass(pw, c.id), c.cls) << c.id;
    EXPECT_EQ(itemText(pw, c.id), c.text) << c.id;
  }
  EXPECT_EQ(SendDlgItemMessageA(pw, IDC_ADW_LIST, LB_GETCOUNT, 0, 0), 1537);
  char line[128] = {};
  SendDlgItemMessageA(pw, IDC_ADW_LIST, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
  EXPECT_STREQ(line, "0001   adware: autosearch rating: parasite");
  EXPECT_EQ(SendDlgItemMessageA(pw, IDC_ADW_AUTOBLOCK, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  // For a screenshot: QV_ADWARE_HOLD_MS keeps the page up that long after
  // creating the file named by QV_ADWARE_READY.
  if (const char* hold = std::getenv("QV_ADWARE_HOLD_MS")) {
    if (const char* ready = std::getenv("QV_ADWARE_READY")) CloseHandle(CreateFileA(ready, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    pumpUntil([] { return false; }, atoi(hold));
  }

  // Scan, answer Yes, let timer 1 clean.
  g_boxes.clear();
  g_answerYes = true;
  const UINT_PTR answerer = SetTimer(nullptr, 0, 100, answerBoxes);
  const auto t0 = std::chrono::steady_clock::now();
  SendDlgItemMessageA(pw, IDC_ADW_SCAN, BM_CLICK, 0, 0);
  ASSERT_TRUE(pumpUntil([] { return g_boxes.size() >= 2; }, 120000));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("scan, confirm and clean through the page: %.2f s\n", seconds);
  ASSERT_EQ(g_boxes.size(), 2u);
  EXPECT_EQ(g_boxes[0].caption, "Quillvane - scanning result report");
  EXPECT_EQ(g_boxes[0].text.substr(0, 71),
            "1. adware name: autosearch\r\n   path: c:\\program files\\addon\\addon.dll\r\n");
  EXPECT_NE(g_boxes[0].text.find("Quillvane found 3 adwares(spwares) in this scanning period"), std::string::npos);
  EXPECT_EQ(g_boxes[1].caption, "Quillvane");
  EXPECT_EQ(g_boxes[1].text, "Quillvane has cleaned 3 adwares.");
  EXPECT_EQ(itemText(pw, IDC_ADW_STATUS), "ready");

  // Every planted key is gone; everything else, the legitimate helper object
  // included, is as it was.
  const auto after = dumpAll();
  EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, bho + "\\" + kLegit));
  std::vector<std::string> diff;
  std::size_t i = 0, j = 0;
  while (i < before.size() || j < after.size()) {
    if (i < before.size() && j < after.size() && before[i] == after[j]) {
      ++i, ++j;
    } else {
      if (i < before.size()) diff.push_back("- " + before[i++]);
      if (j < after.size()) diff.push_back("+ " + after[j++]);
      if (diff.size() > 10) break;
    }
  }
  EXPECT_TRUE(diff.empty()) << diff.front() << "\n" << (diff.size() > 1 ? diff[1] : "");
  EXPECT_EQ(before.size(), after.size());

  // The check box writes a kill bit for every list entry, then removes them.
  KillTimer(nullptr, answerer);
  const std::string failed = "The blocking list could not be changed: administrator rights are needed.";
  // Without the browser's compatibility key in either registry view nothing
  // can be written, and the status line says so.  A view that has the key
  // is moved aside meanwhile (copied, then deleted; back the same way).
  const std::string aside = "Software\\Quillvane test";
  auto move = [&](REGSAM view, const std::string& from, const std::string& to) {
    HKEY src = nullptr, dst = nullptr;
    bool moved = false;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, from.c_str(), 0, KEY_READ | view, &src) == ERROR_SUCCESS &&
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &dst,
                        nullptr) == ERROR_SUCCESS)
      moved = RegCopyTreeA(src, nullptr, dst) == ERROR_SUCCESS;
    if (src) RegCloseKey(src);
    if (dst) RegCloseKey(dst);
    HKEY up = nullptr;
    const std::size_t cut = from.rfind('\\');
    if (moved && RegOpenKeyExA(HKEY_LOCAL_MACHINE, from.substr(0, cut).c_str(), 0, KEY_ALL_ACCESS | view, &up) ==
                     ERROR_SUCCESS) {
      moved = RegDeleteTreeA(up, from.substr(cut + 1).c_str()) == ERROR_SUCCESS;
      RegCloseKey(up);
    }
    return moved;
  };
  auto viewHas = [](REGSAM view) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCompatibilityKey, 0, KEY_READ | view, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
  };
  std::vector<REGSAM> setAside;
  for (REGSAM view : {REGSAM{KEY_WOW64_64KEY}, REGSAM{KEY_WOW64_32KEY}}) {
    if (!viewHas(view)) continue;
    ASSERT_TRUE(move(view, kCompatibilityKey, aside));
    setAside.push_back(view);
  }
  SendDlgItemMessageA(pw, IDC_ADW_AUTOBLOCK, BM_CLICK, 0, 0);
  EXPECT_EQ(itemText(pw, IDC_ADW_STATUS), failed);
  SendDlgItemMessageA(pw, IDC_ADW_AUTOBLOCK, BM_CLICK, 0, 0);
  EXPECT_EQ(itemText(pw, IDC_ADW_STATUS), failed);
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kCompatibilityKey));
  setDefault(HKEY_LOCAL_MACHINE, kCompatibilityKey, "");
  auto killBits = [&] {
    int n = 0;
    for (const auto& r : records) {
      HKEY k = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kCompatibilityKey) + "\\" + r.classId).c_str(), 0,
                        KEY_READ, &k) != ERROR_SUCCESS)
        continue;
      DWORD v = 0, size = sizeof v, type = 0;
      if (RegQueryValueExA(k, kCompatibilityFlags, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) ==
              ERROR_SUCCESS && type == REG_DWORD && v == 0x400)
        ++n;
      RegCloseKey(k);
    }
    return n;
  };
  SendDlgItemMessageA(pw, IDC_ADW_AUTOBLOCK, BM_CLICK, 0, 0);
  EXPECT_EQ(blockAdware, 1);
  EXPECT_EQ(killBits(), 1537);
  EXPECT_EQ(itemText(pw, IDC_ADW_STATUS), "ready");
  SendDlgItemMessageA(pw, IDC_ADW_AUTOBLOCK, BM_CLICK, 0, 0);
  EXPECT_EQ(blockAdware, 0);
  EXPECT_EQ(killBits(), 0);
  EXPECT_EQ(itemText(pw, IDC_ADW_STATUS), "ready");

  // OK reads the check box back into the sheet's value.
  SendDlgItemMessageA(pw, IDC_ADW_AUTOBLOCK, BM_SETCHECK, BST_CHECKED, 0);
  PropSheet_PressButton(sheet, PSBTN_OK);
  pumpUntil([&] { return PropSheet_GetCurrentPageHwnd(sheet) == nullptr; }, 5000);
  EXPECT_EQ(blockAdware, 1);
  DestroyWindow(sheet);

  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kCompatibilityKey);
  for (REGSAM view : setAside) EXPECT_TRUE(move(view, aside, kCompatibilityKey));
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\CLSID\\") + kLegit).c_str());
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, (bho + "\\" + kLegit).c_str());
}

TEST(AdwareWin, CleaningWalkOverTheWholeRegistry) {
  qv::win::Win32Registry reg;
  const auto t0 = std::chrono::steady_clock::now();
  const WalkResult r = cleanRegistry(reg, {"{00000000-0000-0000-0000-00000000abcd}"}, nullptr);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  std::printf("cleaning walk over the prefix's registry: %zu keys visited in %.0f ms\n", r.keysVisited, ms);
  EXPECT_GT(r.keysVisited, 1000u);
  EXPECT_TRUE(r.deleted.empty());
  EXPECT_TRUE(r.failed.empty());
}

}  // namespace
