// The real options sheet under Wine: every control of each page as the
// user meets it, a scripted session saved with OK, one sheet across two
// processes, the notice to the browser's hidden window, and the opening and
// saving times with a 10,000-site white list.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "child_entry.h"
#include "options_sheet_test_support.h"
#include "pub_test_support.h"
#include "res/resource_ids.h"
#include "ui/option_pages.h"
#include "win_test_support.h"

namespace qvtest {
namespace {

using namespace qv;
using ui::OptionsOutcome;
namespace ctl = ui::ctl;

std::wstring scratchList(const char* name, const std::string& content) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  const std::string path = std::string(dir) + name;
  std::ofstream(path, std::ios::binary) << content;
  return std::wstring(path.begin(), path.end());
}

std::string readAll(const std::wstring& path) {
  std::ifstream in(std::string(path.begin(), path.end()), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string regString(const char* key, const char* name) {
  char buf[64] = {};
  DWORD size = sizeof buf;
  if (RegGetValueA(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS) return "?";
  return buf;
}

DWORD regDword(const char* key, const char* name) {
  DWORD v = 0xDEAD, size = sizeof v;
  RegGetValueA(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &v, &size);
  return v;
}

constexpr const char* kMain = "Software\\Microsoft\\Internet Explorer\\Main";

// A record as the test host keeps it: the unfathered rule off, since the
// save writes it to the key the other tests share.
SharedSettings testRecord() {
  SharedSettings s;
  s.settingsLoaded = 1;
  s.unfatheredEnable = 0;
  return s;
}

// One control as the dialog resource declares it.
struct Ctl {
  int id;
  const char* cls;
  const char* text;  // null: not compared (combo and list boxes, hot-key control)
  DWORD style;       // every bit must be set
  int x, y, w, h;    // dialog units
};

constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kPush = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kGroup = BS_GROUPBOX;
constexpr DWORD kText = SS_LEFT | WS_GROUP;
constexpr DWORD kList = LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kDropList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;

// A dialog template (DLGTEMPLATEEX) as the module ships it.
struct Template {
  std::string caption, font;
  int pointSize = 0, cx = 0, cy = 0;
  struct Item {
    DWORD style;
    int x, y, w, h, id;
    std::string cls, text;
  };
  std::vector<Item> items;
};

Template readTemplate(int dialogId) {
  Template t;
  HRSRC res = FindResourceA(module(), MAKEINTRESOURCEA(dialogId), reinterpret_cast<LPCSTR>(RT_DIALOG));
  if (!res) return t;
  const auto* p = static_cast<const WORD*>(LockResource(LoadResource(module(), res)));
  auto dword = [&p] {
    DWORD v = p[0] | (static_cast<DWORD>(p[1]) << 16);
    p += 2;
    return v;
  };
  auto text = [&p]() -> std::string {  // sz_Or_Ord
    if (*p == 0xFFFF) {
      const WORD ord = p[1];
      p += 2;
      switch (ord) {
        case 0x80: return "Button";
        case 0x82: return "Static";
        case 0x83: return "ListBox";
        case 0x85: return "ComboBox";
        default: return "#" + std::to_string(ord);
      }
    }
    std::string out;
    while (*p) out.push_back(static_cast<char>(*p++));
    ++p;
    return out;
  };
  p += 2;  // version, signature
  dword();  // help id
  dword();  // extended style
  const DWORD style = dword();
  const int count = *p++;
  p += 2;  // x, y
  t.cx = static_cast<short>(*p++);
  t.cy = static_cast<short>(*p++);
  text();  // menu
  text();  // class
  t.caption = text();
  if (style & DS_SETFONT) {
    t.pointSize = *p++;
    p += 2;  // weight, italic and character set
    t.font = text();
  }
  for (int i = 0; i < count; ++i) {
    p = reinterpret_cast<const WORD*>((reinterpret_cast<std::uintptr_t>(p) + 3) & ~std::uintptr_t{3});
    Template::Item item{};
    dword();  // help id
    dword();  // extended style
    item.style = dword();
    item.x = static_cast<short>(*p++);
    item.y = static_cast<short>(*p++);
    item.w = static_cast<short>(*p++);
    item.h = static_cast<short>(*p++);
    item.id = static_cast<int>(dword());
    item.cls = text();
    item.text = text();
    p += 1 + *p / 2;  // creation data
    t.items.push_back(item);
  }
  return t;
}

// The page as shipped (template: kinds, texts, exact styles, positions) and
// as shown (live windows in creation order: classes, ids, texts, places).
void expectPage(HWND page, int dialogId, const char* title, const std::vector<Ctl>& table) {
  const Template t = readTemplate(dialogId);
  EXPECT_EQ(t.caption, title);
  EXPECT_EQ(t.font, "MS Shell Dlg");
  EXPECT_EQ(t.pointSize, 8);
  EXPECT_EQ(t.cx, 238);
  EXPECT_EQ(t.cy, 193);
  ASSERT_EQ(t.items.size(), table.size()) << title;
  std::vector<HWND> children;
  for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  ASSERT_EQ(children.size(), table.size()) << title;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const Ctl& e = table[i];
    const Template::Item& it = t.items[i];
    const std::string where = std::string(title) + " row " + std::to_string(i) + " id " + std::to_string(e.id);
    EXPECT_EQ(it.id, e.id) << where;
    EXPECT_STRCASEEQ(it.cls.c_str(), e.cls) << where;
    EXPECT_EQ(it.style, e.style | WS_CHILD | WS_VISIBLE) << where << std::hex << " " << it.style;
    EXPECT_EQ((std::vector<int>{it.x, it.y, it.w, it.h}), (std::vector<int>{e.x, e.y, e.w, e.h})) << where;
    // The counters of the history page are filled when it is shown.
    const bool counter = dialogId == IDD_BLOCKHISTORY && (e.id == 247 || e.id == 248 || e.id == 249);
    if (e.text) {
      EXPECT_EQ(it.text, counter ? "" : e.text) << where;
    }

    HWND c = children[i];
    char cls[64] = {}, text[256] = {};
    GetClassNameA(c, cls, sizeof cls);
    GetWindowTextA(c, text, sizeof text);
    EXPECT_EQ(GetDlgCtrlID(c), e.id) << where;
    EXPECT_STRCASEEQ(cls, e.cls) << where;
    if (e.text) {
      EXPECT_STREQ(text, e.text) << where;
    }
    const DWORD style = static_cast<DWORD>(GetWindowLongA(c, GWL_STYLE));
    // The controls move scroll bars and borders into their own parts.
    const DWORD own = e.style & ~(WS_BORDER | WS_VSCROLL | WS_HSCROLL);
    EXPECT_EQ(style & own, own) << where << std::hex << " " << style;
    EXPECT_TRUE(IsWindowEnabled(c) && IsWindowVisible(c)) << where;
    RECT du{e.x, e.y, e.x + e.w, e.y + e.h};
    MapDialogRect(page, &du);
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_NEAR(r.left, du.left, 1) << where;
    EXPECT_NEAR(r.top, du.top, 1) << where;
    EXPECT_NEAR(r.right, du.right, 1) << where;
    if (std::string(e.cls) != "ComboBox") {
      EXPECT_NEAR(r.bottom, du.bottom, 1) << where;
    }
  }
}

const std::vector<Ctl> kPopupAds = {
    {-1, "Button", "General", kGroup, 7, 4, 224, 62},
    {257, "Button", "&Auto block popup Ads", kCheck, 14, 16, 200, 10},
    {-1, "Button", "Hotkey", kGroup, 7, 70, 224, 42},
    {-1, "Static", "Temporarily &disable Quillvane by holding down:", kText, 14, 82, 210, 8},
    {213, "ComboBox", nullptr, kDropList, 14, 93, 80, 60},
    {-1, "Button", "Notification", kGroup, 7, 116, 224, 72},
    {-1, "Static", "When a popup Ad is blocked:", kText, 14, 127, 200, 8},
    {256, "Button", "Display message in &status bar", kCheck, 14, 139, 140, 10},
    {217, "Button", "&Beep via PC speaker", kCheck, 14, 151, 140, 10},
    {240, "Button", "&Play default sound", kCheck, 14, 163, 140, 10},
    {239, "Button", "Play s&ound file", kCheck, 14, 175, 140, 10},
    {221, "Button", "&Test", kPush, 166, 139, 58, 14},
    {222, "Button", "Sound &File...", kPush, 166, 157, 58, 14},
    {258, "Button", "&Auto block ModelessDialog popup Ads", kCheck, 14, 28, 200, 10},
    {259, "Button", "&Auto block unfathered popup Ads", kCheck, 14, 40, 200, 10},
    {613, "Button", "&Auto block WinHelp popup Ads", kCheck, 14, 52, 200, 10},
};

const std::vector<Ctl> kNewFormAds = {
    {-1, "Button", "Floating Ads,Flash Ads,Animated Ads", kGroup, 7, 4, 224, 146},
    {258, "Button", "Auto block F&lash Ads", kCheck, 14, 66, 200, 10},
    {255, "Button", "Auto block Ani&mated Ads", kCheck, 14, 78, 200, 10},
    {263, "Button", "Block &uncached images", kCheck, 14, 90, 200, 10},
    {-1, "Static", "You can manually hide all Flash Ads and Animated Ads with the following shortcut:", kText, 14,
     104, 210, 16},
    {-1, "Static", "&Press shortcut key(s):", kText, 14, 126, 80, 8},
    {261, "msctls_hotkey32", nullptr, WS_BORDER | WS_TABSTOP, 96, 124, 100, 12},
    {-1, "Button", "Script", kGroup, 7, 154, 224, 32},
    {260, "Button", "Block &resize by script", kCheck, 14, 168, 200, 10},
    {-1, "Static",
     "Quillvane can automatically block Floating Ads,Flash Ads and Animated Ads. These Ads are used more and more "
     "in some website instead of popup Ads.",
     kText, 14, 15, 210, 24},
    {259, "Button", "Auto block &Floating Ads", kCheck, 14, 42, 200, 10},
    {256, "Button", "Display message in &status bar while blocking a floating Ad", kCheck, 14, 54, 214, 10},
};

const std::vector<Ctl> kSettings = {
    {-1, "Button", "IE Settings", kGroup, 7, 4, 224, 100},
    {252, "Button", "Block &videos", kCheck, 14, 16, 140, 10},
    {254, "Button", "Block background &sounds", kCheck, 14, 28, 140, 10},
    {255, "Button", "Block i&mages", kCheck, 14, 40, 140, 10},
    {249, "Button", "Expand alt te&xt for images", kCheck, 14, 52, 140, 10},
    {259, "Button", "Show image place&holders", kCheck, 14, 64, 140, 10},
    {250, "Button", "Block &animations", kCheck, 14, 76, 140, 10},
    {251, "Button", "Disable script &debugger", kCheck, 14, 88, 140, 10},
    {253, "Button", "&Restore Defaults", kPush, 160, 16, 64, 14},
    {-1, "Button", "Skin", kGroup, 7, 108, 224, 32},
    {-1, "Button", "Options", kGroup, 7, 144, 224, 46},
    {-1, "Static", "You can select three difference skins here ", kText, 14, 122, 140, 8},
    {605, "ComboBox", nullptr, kDropList, 156, 120, 68, 60},
    {234, "Button", "Keep &history logs", kCheck, 14, 155, 200, 10},
    {230, "Button", "Add to IE context &menu", kCheck, 14, 166, 200, 10},
    {612, "Button", "Enable &Tips", kCheck, 14, 177, 200, 10},
};

const std::vector<Ctl> kWhiteList = {
    {-1, "Static", "The white list contains websites where popups are allowed.", kText, 7, 8, 225, 13},
    {-1, "Static", "Address of &website to add:", kText, 7, 20, 88, 8},
    {236, "ComboBox", nullptr, CBS_DROPDOWN | CBS_SORT | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 7, 30, 168, 147},
    {206, "ListBox", nullptr, kList, 7, 48, 168, 130},
    {208, "Button", "&Add", kPush, 181, 30, 50, 14},
    {210, "Button", "&Remove", kPush, 181, 48, 50, 14},
    {212, "Button", "Remo&ve All", kPush, 181, 66, 50, 14},
    {226, "Button", "Enable &white list", kCheck, 7, 180, 67, 10},
};

const std::vector<Ctl> kBlockHistory = {
    {-1, "Static", "Floating Ads blocked during this session:", kText, 19, 11, 130, 8},
    {249, "Static", "2", kText, 156, 11, 19, 8},
    {-1, "Static", "Popup Ads blocked during this session:", kText, 19, 23, 124, 8},
    {247, "Static", "1", kText, 155, 23, 51, 8},
    {-1, "Static", "Total number of popup Ads blocked:", kText, 19, 35, 116, 8},
    {248, "Static", "3", kText, 155, 35, 19, 8},
    {-1, "Button", "&Where popup Ads have been blocked during this session:", kGroup, 7, 47, 224, 139},
    {241, "ListBox", nullptr, kList, 18, 62, 202, 101},
    {208, "Button", "&Add to White List", kPush, 17, 166, 66, 14},
    {246, "Button", "&Browse", kPush, 86, 166, 66, 14},
    {244, "Button", "&Clear", kPush, 155, 166, 66, 14},
};

TEST(OptionsSheetWin, EveryPageHasEveryControlOfItsTable) {
  SharedSettings s = testRecord();
  s.blockedSession = 1;
  s.floatingBlockedSession = 2;
  s.blockedTotal = 3;
  const std::wstring list = scratchList("qv-options-controls.WL", "#Quillvane White List\r\na.test\r\n");
  SheetThread run(s, "controls", list, ui::kPagePopupAds);
  HWND sheet = run.waitSheet();
  ASSERT_TRUE(sheet);
  HWND apply = GetDlgItem(sheet, 0x3021);  // IDC_APPLY_BUTTON
  EXPECT_TRUE(!apply || !IsWindowVisible(apply));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(sheet, IDOK)));
  struct Page {
    int dialogId;
    const char* title;
    const std::vector<Ctl>* table;
  } pages[] = {{IDD_POPUPADS, "Popup Ads", &kPopupAds},
               {IDD_NEWFORMADS, "New form Ads", &kNewFormAds},
               {IDD_SETTINGS, "Settings", &kSettings},
               {IDD_WHITELIST, "White List", &kWhiteList},
               {IDD_BLOCKHISTORY, "Block history", &kBlockHistory}};
  for (const Page& p : pages) {
    HWND page = selectPage(sheet, p.title);
    ASSERT_TRUE(page) << p.title;
    expectPage(page, p.dialogId, p.title, *p.table);
  }
  // List contents that the pages fill themselves.
  HWND popup = selectPage(sheet, "Popup Ads");
  EXPECT_EQ(SendDlgItemMessageA(popup, ctl::kHotkeyList, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendDlgItemMessageA(popup, ctl::kHotkeyList, CB_GETCURSEL, 0, 0), 0);  // 17: CTRL
  HWND settings = selectPage(sheet, "Settings");
  EXPECT_EQ(SendDlgItemMessageA(settings, ctl::kSkinList, CB_GETCOUNT, 0, 0), 3);
  HWND white = selectPage(sheet, "White List");
  char text[64] = {};
  GetDlgItemTextA(white, ctl::kAddressBox, text, sizeof text);
  EXPECT_STREQ(text, "http://");
  EXPECT_EQ(SendDlgItemMessageA(white, ctl::kSiteList, LB_GETCOUNT, 0, 0), 1);
  pressSheetButton(sheet, IDCANCEL);
  ASSERT_TRUE(run.join());
  EXPECT_EQ(run.outcome(), OptionsOutcome::Cancelled);
  EXPECT_TRUE(run.messages.shown().empty());
}

// A user changes something on each page and presses OK: the record, the
// settings key, the browser's key and the white list file hold it.
TEST(OptionsSheetWin, ScriptedSessionIsSavedAfterOk) {
  SharedSettings s = testRecord();
  s.popupEnable = 1;
  s.blockFlash = 0;
  s.enableHistory = 1;
  s.skin = 1;
  std::vector<std::uint8_t> history(8196, 0);
  const std::string line = "http://blocked.test/ads/pop.html\n";
  std::copy(line.begin(), line.end(), history.begin());
  const std::wstring list = scratchList("qv-options-session.WL", "#Quillvane White List\r\nold.test\r\n");
  HKEY mainKey;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kMain, 0, nullptr, 0, KEY_WRITE, nullptr, &mainKey, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(mainKey, "Display Inline Images", 0, REG_SZ, reinterpret_cast<const BYTE*>("yes"), 4);
  RegCloseKey(mainKey);
  SheetThread run(s, "session", list, ui::kPagePopupAds, &history);
  HWND sheet = run.waitSheet();
  ASSERT_TRUE(sheet);

  HWND popup = selectPage(sheet, "Popup Ads");
  click(popup, ctl::kPopupEnable);  // off
  SendDlgItemMessageA(popup, ctl::kHotkeyList, CB_SETCURSEL, 2, 0);
  SendMessageA(popup, WM_COMMAND, MAKEWPARAM(ctl::kHotkeyList, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(popup, ctl::kHotkeyList)));

  HWND form = selectPage(sheet, "New form Ads");
  click(form, ctl::kBlockFlash);  // on
  SendDlgItemMessageA(form, ctl::kAnimHotkey, HKM_SETHOTKEY, 0x0378, 0);  // Ctrl+Shift+F9

  HWND settings = selectPage(sheet, "Settings");
  click(settings, ctl::kNoImages);       // Block images
  click(settings, ctl::kEnableHistory);  // off
  SendDlgItemMessageA(settings, ctl::kSkinList, CB_SETCURSEL, 2, 0);
  SendMessageA(settings, WM_COMMAND, MAKEWPARAM(ctl::kSkinList, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(settings, ctl::kSkinList)));

  HWND white = selectPage(sheet, "White List");
  SetDlgItemTextA(white, ctl::kAddressBox, "http://New.test/dir/");
  click(white, ctl::kAdd);
  SendDlgItemMessageA(white, ctl::kSiteList, LB_SETCURSEL, 1, 0);  // old.test
  clickLater(white, ctl::kRemove);
  HWND ask = waitDialog(run.threadId(), "Quillvane", sheet);
  ASSERT_TRUE(ask);
  SendMessageA(ask, WM_COMMAND, IDYES, 0);
  // The removal runs once the box's own loop ends; messages this thread
  // sends meanwhile are handled inside that loop, before it.
  const DWORD asked = GetTickCount();
  while (SendDlgItemMessageA(white, ctl::kSiteList, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>("old.test")) != LB_ERR &&
         GetTickCount() - asked < 5000)
    Sleep(10);
  EXPECT_EQ(SendDlgItemMessageA(white, ctl::kSiteList, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>("old.test")),
            LB_ERR);

  HWND hist = selectPage(sheet, "Block history");
  EXPECT_EQ(SendDlgItemMessageA(hist, ctl::kHistoryList, LB_GETCOUNT, 0, 0), 1);
  click(hist, ctl::kAddToWhiteList);  // blocked.test/ads
  click(hist, ctl::kClear);
  EXPECT_EQ(history[0], 0);

  pressSheetButton(sheet, IDOK);
  ASSERT_TRUE(run.join());
  EXPECT_EQ(run.outcome(), OptionsOutcome::Saved);
  EXPECT_TRUE(run.messages.shown().empty());
  EXPECT_EQ(s.popupEnable, 0);
  EXPECT_EQ(s.hotkey, -1);
  EXPECT_EQ(s.blockFlash, 1);
  EXPECT_EQ(s.blockAnimHotkey, 0x0378);
  EXPECT_EQ(s.enableHistory, 0);
  EXPECT_EQ(s.skin, 3);
  EXPECT_EQ(s.optionsDialogOpen, 0);
  EXPECT_EQ(regDword(kSettingsKey, "PopupEnable"), 0u);
  EXPECT_EQ(regDword(kSettingsKey, "Hotkey"), 0xFFFFFFFFu);
  EXPECT_EQ(regDword(kSettingsKey, "BlockFlash"), 1u);
  EXPECT_EQ(regDword(kSettingsKey, "BlockAnimHotkey"), 0x0378u);
  EXPECT_EQ(regDword(kSettingsKey, "Skin"), 3u);
  EXPECT_EQ(regDword(kSettingsKey, "UnfatheredEnable"), 0u);
  EXPECT_EQ(regString(kMain, "Display Inline Images"), "no");
  EXPECT_EQ(readAll(list), "#Quillvane White List\r\nblocked.test/ads\r\nnew.test/dir/\r\n");
}

// The browser's hidden window, on a thread of its own: counts the notices.
struct HiddenBrowserWindow {
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE noticed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HWND window = nullptr;
  HANDLE thread = nullptr;
  static inline HiddenBrowserWindow* current = nullptr;

  HiddenBrowserWindow() {
    current = this;
    thread = CreateThread(nullptr, 0, &loop, this, 0, nullptr);
    WaitForSingleObject(ready, 10000);
  }
  ~HiddenBrowserWindow() {
    PostMessageA(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    CloseHandle(ready);
    CloseHandle(noticed);
    current = nullptr;
  }
  static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == 0x552 && wp == 0 && lp == 0) SetEvent(current->noticed);
    if (m == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(w, m, wp, lp);
  }
  static DWORD WINAPI loop(void* p) {
    auto* self = static_cast<HiddenBrowserWindow*>(p);
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Internet Explorer_Hidden";
    RegisterClassA(&wc);
    self->window = CreateWindowA("Internet Explorer_Hidden", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    SetEvent(self->ready);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    UnregisterClassA("Internet Explorer_Hidden", wc.hInstance);
    return 0;
  }
};

TEST(OptionsSheetWin, ChangedDisplaySettingReachesTheBrowsersHiddenWindow) {
  HiddenBrowserWindow browser;
  ASSERT_TRUE(browser.window);
  SharedSettings s = testRecord();
  const std::wstring list = scratchList("qv-options-notice.WL", "");
  SheetThread run(s, "notice", list, ui::kPageSettings);
  HWND sheet = run.waitSheet();
  ASSERT_TRUE(sheet);
  HWND settings = selectPage(sheet, "Settings");
  const LRESULT before = SendDlgItemMessageA(settings, ctl::kNoAnimations, BM_GETCHECK, 0, 0);
  click(settings, ctl::kNoAnimations);
  pressSheetButton(sheet, IDOK);
  ASSERT_TRUE(run.join());
  EXPECT_EQ(WaitForSingleObject(browser.noticed, 0), WAIT_OBJECT_0);
  EXPECT_EQ(regString(kMain, "Play_Animations"), before ? "yes" : "no");
}

// Two processes ask for the sheet at once: one sheet, message 102 in the
// other.  The second process is this binary running a child entry.
TEST(OptionsSheetWin, OneSheetAcrossTwoProcesses) {
  SharedSettings s = testRecord();
  const std::wstring list = scratchList("qv-options-two.WL", "");
  SheetThread run(s, "two", list, ui::kPageAbout);
  HWND sheet = run.waitSheet();
  ASSERT_TRUE(sheet);
  HANDLE child = qvtest::startChild("OptionsSheetChild.SecondSheetIsRefused", {});
  ASSERT_TRUE(child);
  const int code = qvtest::waitChild(child, 30000);
  if (code == -1) TerminateProcess(child, 9);
  CloseHandle(child);
  EXPECT_EQ(code, 0) << "-1: the child did not end within 30 s";
  EXPECT_TRUE(IsWindow(sheet));  // the open sheet is untouched
  pressSheetButton(sheet, IDCANCEL);
  ASSERT_TRUE(run.join());
  EXPECT_EQ(run.outcome(), OptionsOutcome::Cancelled);
}

QV_CHILD_TEST(OptionsSheetChild, SecondSheetIsRefused) {
  SharedSettings s = testRecord();
  const std::wstring list = scratchList("qv-options-two-child.WL", "");
  SheetThread run(s, "two", list, ui::kPagePopupAds);
  ASSERT_TRUE(run.join());
  EXPECT_EQ(run.outcome(), OptionsOutcome::Refused);
  EXPECT_EQ(run.messages.shown(), std::vector<std::string>{"#102"});
}

// A session record both processes map, standing in for the shared record
// that another browser process keeps alive.
constexpr const char kKilledRecord[] = "QvTestRecord-killed";
constexpr const char kKilledReady[] = "QvTestSheet-killed-ready";

SharedSettings* mapRecord(HANDLE mapping) {
  return static_cast<SharedSettings*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedSettings)));
}

QV_CHILD_TEST(OptionsSheetChild, DiesWithTheSheetOpen) {
  HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kKilledRecord);
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, kKilledReady);
  ASSERT_TRUE(mapping && ready);
  SharedSettings* record = mapRecord(mapping);
  ASSERT_TRUE(record);
  const std::wstring list = scratchList("qv-options-killed-child.WL", "");
  auto* run = new SheetThread(*record, "killed", list, ui::kPageAbout);  // never joined: the process ends
  if (run->waitSheet()) SetEvent(ready);
  TerminateProcess(GetCurrentProcess(), 7);
}

// A browser that ends with its sheet open leaves the open flag set in the
// session's record and the options mutex abandoned: the next request opens
// the sheet all the same.
TEST(OptionsSheetWin, KilledProcessWithTheSheetOpenDoesNotStopTheNextSheet) {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedSettings),
                                      kKilledRecord);
  ASSERT_TRUE(mapping);
  SharedSettings* record = mapRecord(mapping);
  ASSERT_TRUE(record);
  *record = testRecord();
  // This process keeps the options mutex in being, as other browsers do.
  HANDLE options = CreateMutexA(nullptr, FALSE, "QvTestOptionsDlg-killed");
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, kKilledReady);
  HANDLE child = qvtest::startChild("OptionsSheetChild.DiesWithTheSheetOpen", {});
  ASSERT_TRUE(child);
  HANDLE both[2] = {ready, child};
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 20000), WAIT_OBJECT_0) << "the child's sheet did not open";
  EXPECT_EQ(qvtest::waitChild(child, 20000), 7);
  CloseHandle(child);
  EXPECT_EQ(record->optionsDialogOpen, 1) << "the dead sheet's flag";

  const std::wstring list = scratchList("qv-options-killed.WL", "");
  {
    SheetThread run(*record, "killed", list, ui::kPageAbout);
    HWND sheet = run.waitSheet();
    EXPECT_TRUE(sheet) << "the next sheet was refused";
    if (sheet) pressSheetButton(sheet, IDCANCEL);
    ASSERT_TRUE(run.join());
    EXPECT_EQ(run.outcome(), OptionsOutcome::Cancelled);
    EXPECT_TRUE(run.messages.shown().empty());
  }
  EXPECT_EQ(record->optionsDialogOpen, 0);
  UnmapViewOfFile(record);
  CloseHandle(mapping);
  CloseHandle(options);
  CloseHandle(ready);
}

// Opening (ShowOptions to the first page painted) and saving after OK with
// a white list of 10,000 sites, next to the same with an empty list.  Under
// Xvfb without a window manager Wine waits up to 2 s for a closed top-level
// window to be withdrawn, so the save is measured as OK's time to return
// less Cancel's (same sheet, same teardown, no save).  A measurement
// (bench/win/measure-sheet runs it).
QV_MEASUREMENT(SheetMeasure, OpensAndSavesTenThousandSites) {
  std::vector<std::string> names;
  for (int i = 0; i < 10000; ++i) names.push_back("site" + std::to_string(i) + ".test/path");
  std::sort(names.begin(), names.end());
  std::string content = "#Quillvane White List\r\n";
  for (const std::string& n : names) content += n + "\r\n";
  struct Case {
    const char* what;
    int start;
    bool large;
  } cases[] = {{"Popup Ads, empty list", ui::kPagePopupAds, false},
               {"Popup Ads, 10000 sites", ui::kPagePopupAds, true},
               {"White List, 10000 sites", ui::kPageWhiteList, true}};
  for (const Case& c : cases) {
    double open[2] = {}, close[2] = {};
    for (int button : {IDCANCEL, IDOK}) {
      const std::wstring list = scratchList("qv-options-speed.WL", c.large ? content : "");
      SharedSettings s = testRecord();
      SheetThread run(s, "speed", list, c.start);
      HWND sheet = run.waitSheet();
      ASSERT_TRUE(sheet);
      LARGE_INTEGER t0;
      QueryPerformanceCounter(&t0);
      pressSheetButton(sheet, button);
      ASSERT_TRUE(run.join());
      open[button == IDOK] = run.msToVisible;
      close[button == IDOK] = run.msFromTo(t0);
      EXPECT_EQ(run.outcome(), button == IDOK ? OptionsOutcome::Saved : OptionsOutcome::Cancelled);
      if (c.large && button == IDOK) {
        EXPECT_TRUE(readAll(list) == content) << c.what;  // rewritten whole
      }
    }
    const double save = close[1] - close[0];
    std::printf("[ measure ] options sheet on %s: open %.1f ms (%.1f), save after OK %.1f ms "
                "(OK %.1f, Cancel %.1f)\n",
                c.what, open[1], open[0], save, close[1], close[0]);
    std::fflush(stdout);  // the goal is 300 ms for both
  }
}

// While a message of the save is up (the white list file cannot be
// written: 106), another browser's popup decision still gets the data mutex
// within its normal wait of 1000 ms.
TEST(OptionsSheetWin, NoMessageIsUpWhileTheDataMutexIsOwned) {
  SharedSettings s = testRecord();
  const std::wstring list = scratchList("qv-options-held.WL", "#Quillvane White List\r\nold.test\r\n");
  SetFileAttributesW(list.c_str(), FILE_ATTRIBUTE_READONLY);
  SheetThread run(s, "held", list, ui::kPageWhiteList);
  std::vector<DWORD> waits;
  run.messages.whileShown = [&](const std::string&) {
    struct Decision {
      static DWORD WINAPI run(void* out) {
        HANDLE m = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "QvTestPubData-held");
        DWORD r = m ? WaitForSingleObject(m, 1000) : WAIT_FAILED;
        if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) ReleaseMutex(m);
        if (m) CloseHandle(m);
        *static_cast<DWORD*>(out) = r;
        return 0;
      }
    };
    DWORD result = WAIT_FAILED;
    HANDLE t = CreateThread(nullptr, 0, &Decision::run, &result, 0, nullptr);
    WaitForSingleObject(t, 5000);
    CloseHandle(t);
    waits.push_back(result);
  };
  HWND sheet = run.waitSheet();
  ASSERT_TRUE(sheet);
  pressSheetButton(sheet, IDOK);
  ASSERT_TRUE(run.join());
  SetFileAttributesW(list.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(run.messages.shown(), std::vector<std::string>{"#106"});
  EXPECT_EQ(waits, std::vector<DWORD>{WAIT_OBJECT_0});
  EXPECT_EQ(readAll(list), "#Quillvane White List\r\nold.test\r\n");
}

}  // namespace
}  // namespace qvtest
