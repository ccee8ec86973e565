// The tray icon, its window and menu, and the page context menu, under Wine
// with a display.  Ownership across processes uses this test binary again
// as the second process (the TrayChild.* child entries).
#include <gtest/gtest.h>
#include <windows.h>
#include <docobj.h>
#include <oleidl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "child_entry.h"
#include "core/settings.h"
#include "core/win/shared_state.h"
#include "platform/win/registry_win.h"
#include "pub_test_support.h"
#include "screenshot.h"
#include "shared_record_locator.h"
#include "tray_test_support.h"
#include "ui/tray.h"
#include "ui/win/context_menu_win.h"
#include "ui/win/tray_win.h"
#include "win_test_support.h"

namespace {

using qv::ui::win::TrayContext;
using qvtest::CommandTarget;
using qvtest::pump;
using qvtest::trayWindows;
using qvtest::TrayWindows;

struct TrayWorld : qvtest::TrayWorld {
  qv::ui::win::TrayContext context() { return qvtest::TrayWorld::context(qvtest::module()); }
};

// Saves a settings value and puts it back (or removes it) afterwards.
class SavedValue {
 public:
  explicit SavedValue(const char* name) : name_(name) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, qvtest::kSettingsKey, 0, KEY_READ, &k) == ERROR_SUCCESS) {
      DWORD size = sizeof value_;
      had_ = RegQueryValueExA(k, name_, nullptr, nullptr, reinterpret_cast<BYTE*>(&value_), &size) == ERROR_SUCCESS;
      RegCloseKey(k);
    }
  }
  ~SavedValue() {
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, qvtest::kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
      return;
    if (had_) RegSetValueExA(k, name_, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value_), sizeof value_);
    else RegDeleteValueA(k, name_);
    RegCloseKey(k);
  }
  static std::optional<DWORD> read(const char* name) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, qvtest::kSettingsKey, 0, KEY_READ, &k) != ERROR_SUCCESS) return std::nullopt;
    DWORD v = 0, size = sizeof v;
    const bool ok = RegQueryValueExA(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size) == ERROR_SUCCESS;
    RegCloseKey(k);
    return ok ? std::optional<DWORD>(v) : std::nullopt;
  }

 private:
  const char* name_;
  DWORD value_ = 0;
  bool had_ = false;
};

void ensureSettingsKey() {
  HKEY k;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, qvtest::kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) ==
      ERROR_SUCCESS)
    RegCloseKey(k);
}

const int kOwnerKey = 0, kSecondKey = 0;

QV_CHILD_TEST(TrayChild, Owner) {
  TrayWorld world;
  qv::ui::win::ensureTray(&kOwnerKey, world.context());
  if (!qv::ui::win::trayWindow()) std::exit(20);
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, qvtest::env("QV_TRAY_READY").c_str());
  HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, qvtest::env("QV_TRAY_QUIT").c_str());
  if (!ready || !quit) std::exit(21);
  SetEvent(ready);
  const DWORD start = GetTickCount();
  while (MsgWaitForMultipleObjects(1, &quit, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    if (GetTickCount() - start > 20000) std::exit(22);
  }
  qv::ui::win::removeTray(&kOwnerKey);
  std::exit(10);
}

TEST(TrayWin, OneOwnerInTheSessionAndTakeOverWithinASecondOfTheOwnersQuit) {
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "qv-tray-ready");
  HANDLE quit = CreateEventA(nullptr, TRUE, FALSE, "qv-tray-quit");
  HANDLE child = qvtest::startChild("TrayChild.Owner", {"QV_TRAY_READY=qv-tray-ready",
                                                        "QV_TRAY_QUIT=qv-tray-quit"});
  ASSERT_NE(child, nullptr);
  HANDLE both[2] = {ready, child};
  ASSERT_EQ(WaitForMultipleObjects(2, both, FALSE, 20000), WAIT_OBJECT_0) << "the child did not become the owner";

  TrayWorld world;
  qv::ui::win::ensureTray(&kSecondKey, world.context());
  EXPECT_EQ(qv::ui::win::trayWindow(), nullptr);  // the child owns the tray
  const TrayWindows before = trayWindows();
  EXPECT_EQ(before.count, 1);
  EXPECT_EQ(before.process, GetProcessId(child));

  SetEvent(quit);
  EXPECT_EQ(qvtest::waitChild(child, 20000), 10);
  CloseHandle(child);
  // Once the owner's window is gone, the next tick of this window (one call)
  // takes the tray over.
  const DWORD gone = GetTickCount();
  while (trayWindows().count != 0 && GetTickCount() - gone < 5000) pump(20);
  ASSERT_EQ(trayWindows().count, 0) << "the ended owner's tray window stayed";
  qv::ui::win::ensureTray(&kSecondKey, world.context());
  EXPECT_NE(qv::ui::win::trayWindow(), nullptr);
  const TrayWindows after = trayWindows();
  EXPECT_EQ(after.count, 1);
  EXPECT_EQ(after.process, GetCurrentProcessId());
  qv::ui::win::removeTray(&kSecondKey);
  EXPECT_EQ(trayWindows().count, 0);
  CloseHandle(ready);
  CloseHandle(quit);
}

TEST(TrayWin, BalloonOnlyWithTipsOnAndTheIconIsInTheTray) {
  for (int tips : {1, 0}) {
    TrayWorld world;
    world.settings.enableTips = tips;
    qv::ui::win::ensureTray(&kOwnerKey, world.context());
    ASSERT_NE(qv::ui::win::trayWindow(), nullptr);
    const UINT flags = qv::ui::win::trayIconFlags();
    EXPECT_EQ(flags & (NIF_MESSAGE | NIF_ICON | NIF_TIP), UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ((flags & NIF_INFO) != 0, tips == 1);
    EXPECT_TRUE(qv::ui::win::trayIconShown()) << "the shell refused the icon";
    qv::ui::win::removeTray(&kOwnerKey);
    EXPECT_EQ(qv::ui::win::trayWindow(), nullptr);
  }
}

// Whether the shell's notification area holds the icon of `tray` now: a
// modify succeeds only for an icon the shell has.
bool shellHolds(HWND tray) {
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof data;
  data.hWnd = tray;
  data.uID = qv::ui::kTrayIconId;
  data.uFlags = NIF_TIP;
  lstrcpynA(data.szTip, qv::ui::kTrayTooltip.data(), sizeof data.szTip);
  return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

void deleteFromShell(HWND tray) {
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof data;
  data.hWnd = tray;
  data.uID = qv::ui::kTrayIconId;
  Shell_NotifyIconA(NIM_DELETE, &data);
}

TEST(TrayWin, TaskbarCreatedAddsTheIconAgainAndTheImageIsTheSmallOne) {
  TrayWorld world;
  world.settings.enableTips = 0;
  qv::ui::win::ensureTray(&kOwnerKey, world.context());
  HWND tray = qv::ui::win::trayWindow();
  ASSERT_NE(tray, nullptr);
  ASSERT_TRUE(shellHolds(tray));
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(qv::ui::win::trayIcon(), &info));
  BITMAP bits{};
  GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bits, &bits);
  EXPECT_EQ(bits.bmWidth, GetSystemMetrics(SM_CXSMICON));
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);

  // Explorer restarts: its new notification area holds none of the old
  // icons and tells every top-level window so.
  deleteFromShell(tray);
  ASSERT_FALSE(shellHolds(tray));
  SendMessageA(tray, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(shellHolds(tray)) << "the icon was not added again";
  EXPECT_TRUE(qv::ui::win::trayIconShown());
  EXPECT_EQ(qv::ui::win::trayIconFlags() & NIF_INFO, 0u);
  qv::ui::win::removeTray(&kOwnerKey);
  EXPECT_FALSE(shellHolds(tray));
}

// A shell that adds the icon and then reports failure (it timed out).
struct SlowShell {
  static inline int adds = 0;
  static BOOL WINAPI notify(DWORD message, PNOTIFYICONDATAA data) {
    const BOOL ok = Shell_NotifyIconA(message, data);
    if (message != NIM_ADD) return ok;
    ++adds;
    return FALSE;
  }
};

TEST(TrayWin, AddThatTimedOutIsConfirmedNotRepeatedAndLeavesNoGhost) {
  TrayWorld world;
  world.settings.enableTips = 0;
  SlowShell::adds = 0;
  const auto system = qv::ui::win::setShellNotifyCall(&SlowShell::notify);
  qv::ui::win::ensureTray(&kOwnerKey, world.context());
  HWND tray = qv::ui::win::trayWindow();
  ASSERT_NE(tray, nullptr);
  EXPECT_FALSE(qv::ui::win::trayIconShown());
  EXPECT_TRUE(shellHolds(tray)) << "the slow shell did add it";
  // The owner's next ticks ask the shell instead of adding a second icon.
  qv::ui::win::ensureTray(&kOwnerKey, world.context());
  qv::ui::win::ensureTray(&kOwnerKey, world.context());
  EXPECT_TRUE(qv::ui::win::trayIconShown());
  EXPECT_EQ(SlowShell::adds, 1);
  qv::ui::win::removeTray(&kOwnerKey);
  EXPECT_FALSE(shellHolds(tray)) << "a ghost icon is left in the notification area";
  qv::ui::win::setShellNotifyCall(system);
}

// While a command menu is open: its check marks and a picture of it; then
// a key press chooses an item (`keys` down presses, then Enter) or Escape.
struct MenuProbe {
  static inline std::vector<bool> marks;
  static inline int downs = 0;
  static inline std::string shot;
  static void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND popup = FindWindowA("#32768", nullptr);
    if (!popup) return;
    HMENU menu = qvtest::menuOfPopup(popup);
    marks.clear();
    for (int cmd : {32771, 32768, 32769, 32770}) marks.push_back((GetMenuState(menu, cmd, MF_BYCOMMAND) & MF_CHECKED) != 0);
    if (!shot.empty()) qvtest::screenshotWindow(popup, shot, 4);
    if (downs == 0) {
      PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
      return;
    }
    for (int i = 0; i < downs; ++i) PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
  }
};

TEST(TrayWin, CallbackMessagesClickDoubleClickAndMenu) {
  ensureSettingsKey();
  SavedValue savedPopup("PopupEnable");
  TrayWorld world;
  world.settings.popupEnable = 0;
  world.settings.floatingEnable = 0;
  world.settings.blockFlash = 1;
  world.settings.blockImages = 1;
  qv::ui::win::ensureTray(&kOwnerKey, world.context());
  HWND tray = qv::ui::win::trayWindow();
  ASSERT_NE(tray, nullptr);

  // A single press starts the double-click wait and nothing else.
  PostMessageA(tray, qv::ui::kTrayCallbackMessage, 1, WM_LBUTTONDOWN);
  pump(30);
  EXPECT_TRUE(world.opened.empty());
  EXPECT_TRUE(KillTimer(tray, 0));  // the wait was running
  PostMessageA(tray, qv::ui::kTrayCallbackMessage, 1, WM_LBUTTONDBLCLK);
  pump(30);
  EXPECT_EQ(world.opened, (std::vector<int>{6}));

  // Right click: the menu with marks from the settings (the resource marks
  // the first two items; the settings say otherwise); Escape does nothing.
  MenuProbe::downs = 0;
  MenuProbe::shot = "tray_menu";
  SetTimer(nullptr, 0, 300, &MenuProbe::tick);
  SendMessageA(tray, qv::ui::kTrayCallbackMessage, 1, WM_RBUTTONUP);
  EXPECT_EQ(MenuProbe::marks, (std::vector<bool>{false, false, true, true}));
  EXPECT_EQ(world.settings.popupEnable, 0);

  // The first item, "Block Popup Ads", chosen: flipped and saved.
  MenuProbe::downs = 1;
  MenuProbe::shot.clear();
  SetTimer(nullptr, 0, 300, &MenuProbe::tick);
  SendMessageA(tray, qv::ui::kTrayCallbackMessage, 1, WM_RBUTTONUP);
  EXPECT_EQ(world.settings.popupEnable, 1);
  EXPECT_EQ(SavedValue::read("PopupEnable"), std::optional<DWORD>(1));
  qv::ui::win::removeTray(&kOwnerKey);
}

// --- page context menu ------------------------------------------------------

TEST(ContextMenuWin, ProgramSubmenuMarksAndRouting) {
  ensureSettingsKey();
  SavedValue savedFlash("BlockFlash");
  HWND window = qvtest::browserWindow();
  ASSERT_NE(window, nullptr);
  TrayWorld world;
  world.settings.popupEnable = 0;
  world.settings.floatingEnable = 0;
  world.settings.blockFlash = 1;
  world.settings.blockImages = 1;
  std::int32_t guard = 1;
  qv::ui::win::ContextMenuContext c;
  c.module = qvtest::module();
  c.settings = &world.settings;
  c.store = &world.store;
  c.openSheet = [&](int page) { world.opened.push_back(page); };
  c.newWindowGuard = &guard;
  c.resourceLibrary = QV_STANDIN_SHDOCLC;

  struct Case {
    int chosen;
    std::vector<WPARAM> sent;
    std::int32_t guardAfter;
  };
  const Case cases[] = {{2137, {2137}, 0}, {0, {0}, 1}, {32769, {}, 1}, {214, {}, 1}, {32771, {32771}, 1}};
  for (const Case& k : cases) {
    CommandTarget target(window);
    guard = 1;
    qvtest::browserCommands().clear();
    std::vector<bool> marks;
    const std::vector<bool> expectedMarks = {world.settings.popupEnable != 0, world.settings.floatingEnable != 0,
                                             world.settings.blockFlash != 0, world.settings.blockImages != 0};
    std::string label;
    bool separator = false, encodingAttached = false;
    POINT at{120, 120};
    const HRESULT hr = qv::ui::win::showContextMenu(0, &at, static_cast<IOleCommandTarget*>(&target), c,
                                                     [&](HMENU menu, HWND owner) {
      char text[64] = {};
      GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
      label = text;
      separator = (GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR) != 0;
      MENUITEMINFOA info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_SUBMENU;
      encodingAttached = GetMenuItemInfoA(menu, 2292, FALSE, &info) && info.hSubMenu == target.encoding;
      HMENU own = GetSubMenu(menu, 0);
      // Wrong marks first; WM_INITMENUPOPUP sets them from the settings.
      int i = 0;
      for (int cmd : {32771, 32768, 32769, 32770})
        CheckMenuItem(own, cmd, expectedMarks[i++] ? MF_UNCHECKED : MF_CHECKED);
      SendMessageA(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(own), 0);
      for (int cmd : {32771, 32768, 32769, 32770}) marks.push_back((GetMenuState(own, cmd, MF_BYCOMMAND) & MF_CHECKED) != 0);
      return k.chosen;
    });
    EXPECT_EQ(hr, S_OK) << k.chosen;
    EXPECT_EQ(label, "Quillvane");
    EXPECT_TRUE(separator);
    EXPECT_TRUE(encodingAttached);
    EXPECT_EQ(target.execs, (std::vector<int>{27, 53}));
    EXPECT_NE(target.extensionMenu, nullptr);
    EXPECT_EQ(target.extensionKind, 0);
    EXPECT_EQ(marks, expectedMarks) << k.chosen;
    EXPECT_EQ(qvtest::browserCommands(), k.sent) << k.chosen;
    EXPECT_EQ(guard, k.guardAfter) << k.chosen;
    EXPECT_EQ(target.refs, 1u) << "references left behind";
    // The marks follow the settings the command changed.
    if (k.chosen == 32771) world.settings.popupEnable = 0;
  }
  EXPECT_EQ(world.settings.blockFlash, 0);  // 32769 flipped it
  EXPECT_EQ(SavedValue::read("BlockFlash"), std::optional<DWORD>(0));
  EXPECT_EQ(world.opened, (std::vector<int>{6}));

  // Switched off, or without the browser's library: the browser's own menu.
  CommandTarget target(window);
  world.settings.addToContextMenu = 0;
  EXPECT_EQ(qv::ui::win::showContextMenu(0, nullptr, static_cast<IOleCommandTarget*>(&target), c), S_FALSE);
  world.settings.addToContextMenu = 1;
  // The later places are tried in turn; the first that holds the menu
  // serves (here the stand-in, behind a library that does not load).
  c.resourceLibrary = "no-such-library.dll";
  c.laterLibraries = {"no-such-library-either.dll", QV_STANDIN_SHDOCLC};
  EXPECT_EQ(qv::ui::win::showContextMenu(0, nullptr, static_cast<IOleCommandTarget*>(&target), c,
                                         [](HMENU, HWND) { return 0; }),
            S_OK);
  EXPECT_EQ(target.execs, (std::vector<int>{27, 53}));
  // Where no place holds it, the program's submenu still shows, over the
  // browser's menu extensions (no encoding menu to attach).
  c.laterLibraries = {"no-such-library-either.dll", "kernel32.dll"};
  CommandTarget bare(window);
  std::string label;
  int items = 0;
  EXPECT_EQ(qv::ui::win::showContextMenu(0, nullptr, static_cast<IOleCommandTarget*>(&bare), c,
                                         [&](HMENU menu, HWND) {
                                           char text[64] = {};
                                           GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
                                           label = text;
                                           items = GetMenuItemCount(menu);
                                           return 0;
                                         }),
            S_OK);
  EXPECT_EQ(label, "Quillvane");
  EXPECT_GE(items, 1);
  EXPECT_EQ(bare.execs, (std::vector<int>{53}));
  EXPECT_EQ(bare.refs, 1u);
  DestroyWindow(window);
}

// --- a menu change seen by every browser process ---------------------------

// A second browser process: its view of the session's record, as exit code.
QV_CHILD_TEST(TrayChild, Reader) {
  const qv::SharedSettings* record = qvtest::openSharedRecord();
  std::exit(record ? 30 + record->popupEnable : 29);
}

// The tray wired as the helper object wires it: the session's shared
// record and the settings store.  A command of the menu is seen at once by
// another process and is in the settings key.
TEST(TrayWin, MenuChangeIsSeenByAnotherProcessAndSaved) {
  ensureSettingsKey();
  SavedValue savedPopup("PopupEnable");
  qv::SharedSettings& record = qv::sharedSettings();
  const std::int32_t before = record.popupEnable;
  record.popupEnable = 0;
  TrayContext c;
  c.module = qvtest::module();
  c.settings = &record;
  c.store = &qv::win::settingsStore();
  c.openSheet = [](int) {};
  qv::ui::win::ensureTray(&kOwnerKey, c);
  HWND tray = qv::ui::win::trayWindow();
  ASSERT_NE(tray, nullptr);
  auto otherProcessSees = [] {
    HANDLE child = qvtest::startChild("TrayChild.Reader", {});
    const int code = child ? qvtest::waitChild(child, 20000) : -1;
    if (child) CloseHandle(child);
    return code - 30;
  };
  EXPECT_EQ(otherProcessSees(), 0);

  MenuProbe::downs = 1;  // "Block Popup Ads"
  MenuProbe::shot.clear();
  SetTimer(nullptr, 0, 300, &MenuProbe::tick);
  SendMessageA(tray, qv::ui::kTrayCallbackMessage, 1, WM_RBUTTONUP);
  EXPECT_EQ(otherProcessSees(), 1);
  EXPECT_EQ(SavedValue::read("PopupEnable"), std::optional<DWORD>(1));
  qv::ui::win::removeTray(&kOwnerKey);
  record.popupEnable = before;
}

}  // namespace
