// The options sheet shown and used by a scripted user: opens the sheet over
// the module's resources, changes one switch on each page, presses OK and
// prints what was saved (the shared record, the settings key, the browser's
// "Main" values, the white list file).  With "--shots <folder>" it also
// saves a picture of every page (options-1.png ...) in that folder, and
// options-demo.done last.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <fstream>
#include <string>
#include <vector>

#include "options_sheet_test_support.h"
#include "screenshot.h"
#include "ui/option_pages.h"
#include "win_test_support.h"

namespace {

using namespace qvtest;
namespace ctl = qv::ui::ctl;

std::string regText(const char* key, const char* name) {
  char buf[300] = {};
  DWORD size = sizeof buf, type = 0;
  HKEY k;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return "(no key)";
  const LONG rc = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  if (rc != ERROR_SUCCESS) return "(missing)";
  if (type == REG_DWORD) return std::to_string(static_cast<long>(*reinterpret_cast<DWORD*>(buf)));
  return std::string("\"") + buf + "\"";
}

void selectCombo(HWND page, int id, int item) {
  SendDlgItemMessageA(page, id, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
  SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
}

}  // namespace

int main(int argc, char** argv) {
  std::string shots;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--shots") shots = argv[i + 1];
  if (!module()) {
    std::printf("options demo: cannot load %s\n", dllPath().c_str());
    return 1;
  }
  qv::SharedSettings s;
  s.settingsLoaded = 1;
  s.unfatheredEnable = 0;  // the demo host is not started by Explorer
  s.blockedSession = 3;
  s.floatingBlockedSession = 12;
  s.blockedTotal = 148;
  std::vector<std::uint8_t> history(8196, 0);
  const std::string lines =
      "http://news.example.com/today/index.html\nhttp://shop.example.org/deals/offer.html\n"
      "http://news.example.com/today/sport.html\n";
  std::copy(lines.begin(), lines.end(), history.begin());
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  const std::string listPath = std::string(dir) + "qv-options-demo.WL";
  std::ofstream(listPath, std::ios::binary) << "#Quillvane White List\r\nintranet.example\r\nmail.example.net\r\n";

  // The browser's display values as a browser that never changed them.
  HKEY browserKey;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", 0, nullptr, 0, KEY_WRITE,
                      nullptr, &browserKey, nullptr) == ERROR_SUCCESS) {
    for (auto [name, value] : {std::pair{"Display Inline Videos", "yes"}, {"Play_Background_Sounds", "yes"},
                               {"Display Inline Images", "yes"}, {"Expand Alt Text", "no"},
                               {"Play_Animations", "yes"}, {"Disable Script Debugger", "yes"}})
      RegSetValueExA(browserKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                     static_cast<DWORD>(std::strlen(value) + 1));
    const DWORD zero = 0;
    RegSetValueExA(browserKey, "Show image placeholders", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero),
                   sizeof zero);
    RegCloseKey(browserKey);
  }
  SheetThread run(s, "demo", std::wstring(listPath.begin(), listPath.end()), qv::ui::kPagePopupAds, &history);
  HWND sheet = run.waitSheet();
  if (!sheet) {
    std::printf("options demo: the sheet did not open\n");
    return 1;
  }
  std::printf("The options sheet opened in %.0f ms.\n", run.msToVisible);
  struct Step {
    const char* title;
    const char* change;
    void (*act)(HWND page);
  } steps[] = {
      {"Popup Ads", "checks \"&Beep via PC speaker\" and chooses \"(Disabled)\" as hot key",
       [](HWND p) {
         click(p, ctl::kBeep);
         selectCombo(p, ctl::kHotkeyList, 2);
       }},
      {"New form Ads", "checks \"Auto block F&lash Ads\" and sets the shortcut Ctrl+Shift+F9",
       [](HWND p) {
         click(p, ctl::kBlockFlash);
         SendDlgItemMessageA(p, ctl::kAnimHotkey, HKM_SETHOTKEY, 0x0378, 0);
       }},
      {"Adwares and Spywares", "only looks at the page", nullptr},
      {"Settings", "checks \"Block &animations\" and chooses SKIN_BLUE",
       [](HWND p) {
         click(p, ctl::kNoAnimations);
         selectCombo(p, ctl::kSkinList, 2);
       }},
      {"White List", "adds http://www.example.com/news/",
       [](HWND p) {
         SetDlgItemTextA(p, ctl::kAddressBox, "http://www.example.com/news/");
         click(p, ctl::kAdd);
       }},
      {"Block history", "puts the newest blocked site on the white list",
       [](HWND p) { click(p, ctl::kAddToWhiteList); }},
  };
  int n = 0;
  for (const Step& step : steps) {
    HWND page = selectPage(sheet, step.title);
    if (!page) {
      std::printf("  page \"%s\" is missing\n", step.title);
      continue;
    }
    if (!shots.empty()) {
      setScreenshotFolder(shots);
      screenshotPainted(sheet, "options-" + std::to_string(++n));
    }
    if (step.act) step.act(page);
    std::printf("  %-20s the user %s\n", step.title, step.change);
  }
  pressSheetButton(sheet, IDOK);
  if (!run.join()) {
    std::printf("options demo: the sheet did not close\n");
    return 1;
  }
  std::printf("OK pressed; what was saved:\n");
  std::printf("  shared record: beep=%d hotkey=%d blockFlash=%d blockAnimHotkey=0x%04x skin=%d\n",
              static_cast<int>(s.beep), static_cast<int>(s.hotkey), static_cast<int>(s.blockFlash),
              static_cast<unsigned>(s.blockAnimHotkey), static_cast<int>(s.skin));
  const char* key = "Software\\Harrowlyn\\Quillvane";
  for (const char* v : {"Beep", "Hotkey", "BlockFlash", "BlockAnimHotkey", "Skin"})
    std::printf("  HKCU\\%s\\%s = %s\n", key, v, regText(key, v).c_str());
  const char* mainKey = "Software\\Microsoft\\Internet Explorer\\Main";
  for (const char* v : {"Play_Animations", "Display Inline Images", "Disable Script Debugger"})
    std::printf("  HKCU\\...\\Main\\%s = %s\n", v, regText(mainKey, v).c_str());
  std::ifstream in(listPath, std::ios::binary);
  std::string line;
  std::printf("  white list file:\n");
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::printf("    %s\n", line.c_str());
  }
  for (const std::string& m : run.messages.shown()) std::printf("  message: %s\n", m.c_str());
  // The pictures' runner waits for this before the next program shows windows.
  if (!shots.empty()) std::ofstream(shots + "\\options-demo.done") << n << "\n";
  return 0;
}
