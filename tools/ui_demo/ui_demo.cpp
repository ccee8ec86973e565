// The program's faces outside the page, shown by a scripted user (make demo):
//   iexplore.exe                  two stand-in browser processes share one tray
//                                 icon and hand it over when its owner quits;
//                                 the tray menu and the page context menu with
//                                 their check marks; the About page's version
//                                 line.  Plain lines on standard output.
//   iexplore.exe --shots <folder> pictures (PNG) of the options sheet in each
//                                 skin, the About page, the tray menu and the
//                                 page context menu; run inside a Wine virtual
//                                 desktop so that windows get frames.  Writes
//                                 <folder>\ui-demo.done (the names) last.
//   iexplore.exe browser <role> <ready event> <quit event>
//                                 one stand-in browser process (started by the
//                                 first form): a browser window with the
//                                 registered helper object, whose one-second
//                                 timer offers it the tray, until told to quit.
// Named iexplore.exe because the module stays only in browser processes.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <prsht.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "com/module.h"
#include "standin_browser.h"
#include "core/popup.h"
#include "options_sheet_test_support.h"
#include "screenshot.h"
#include "tray_test_support.h"
#include "ui/options_values.h"
#include "ui/tray.h"
#include "ui/win/context_menu_win.h"
#include "ui/win/hyperlink_win.h"
#include "ui/win/tray_win.h"
#include "win_test_support.h"

// The stand-in browser's methods that a browser window is not expected to
// be asked for: said on a line rather than failing.
namespace qvstub {
void unexpectedCall(const char* method) { std::printf("  (the stand-in was asked for %s)\n", method); }
}  // namespace qvstub

namespace {

using namespace qvtest;

// A path of the build (a Unix path) as Windows programs under Wine see it.
std::string windowsPath(std::string p) {
  if (!p.empty() && p[0] == '/') {
    for (char& c : p)
      if (c == '/') c = '\\';
    p = "Z:" + p;
  }
  return p;
}

std::string ownPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

DWORD msSince(DWORD start) { return GetTickCount() - start; }

// --- a stand-in browser process ----------------------------------------------

// This process's "SS_Wnd" window, or null.
HWND ownTrayWindow() {
  const std::string cls(qv::ui::kTrayWindowClass);
  for (HWND w = FindWindowExA(nullptr, nullptr, cls.c_str(), nullptr); w;
       w = FindWindowExA(nullptr, w, cls.c_str(), nullptr)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId()) return w;
  }
  return nullptr;
}

// Whether the shell knows the icon of `tray` (a change of nothing is
// accepted only for an icon it shows).
bool shellShowsIcon(HWND tray) {
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof data;
  data.hWnd = tray;
  data.uID = qv::ui::kTrayIconId;
  return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// A browser window with the registered helper object, created by class id
// as the browser does; the object's own one-second timer offers it the tray
// and its detaching at the quit gives the tray up.
// Exit code: 1 if this process owned the tray at some time, plus 2 if the
// shell showed its icon then.
int runBrowser(const char* readyName, const char* quitName) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  standin::ComPtr<IObjectWithSite> pub = standin::createRegisteredPub();
  if (!pub) return 90;
  auto browser = standin::make<standin::Browser>();
  pub->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName);
  HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, quitName);
  if (!ready || !quit) return 91;
  int result = 0;
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND tray = ownTrayWindow()) result |= 1 | (shellShowsIcon(tray) ? 2 : 0);
    SetEvent(ready);
    const DWORD r = MsgWaitForMultipleObjects(1, &quit, FALSE, 100, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0 || msSince(start) > 60000) break;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
  browser->quit();  // the helper object detaches and gives the tray up
  pub.Reset();
  browser->document.Reset();
  browser.Reset();
  CloseHandle(ready);
  CloseHandle(quit);
  CoUninitialize();
  return result;
}

struct Browser {
  const char* role;
  HANDLE process = nullptr;
  DWORD pid = 0;
  HANDLE ready = nullptr;
  HANDLE quit = nullptr;
};

bool startBrowser(Browser& b) {
  const std::string readyName = std::string("QvDemoReady-") + b.role;
  const std::string quitName = std::string("QvDemoQuit-") + b.role;
  b.ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
  b.quit = CreateEventA(nullptr, TRUE, FALSE, quitName.c_str());
  std::string cmd = "\"" + ownPath() + "\" browser " + b.role + " " + readyName + " " + quitName;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  b.process = pi.hProcess;
  b.pid = pi.dwProcessId;
  HANDLE both[2] = {b.ready, b.process};
  return WaitForMultipleObjects(2, both, FALSE, 20000) == WAIT_OBJECT_0;
}

int endBrowser(Browser& b) {
  SetEvent(b.quit);
  DWORD code = 999;
  if (b.process) {
    if (WaitForSingleObject(b.process, 20000) == WAIT_OBJECT_0) GetExitCodeProcess(b.process, &code);
    CloseHandle(b.process);
    b.process = nullptr;
  }
  return static_cast<int>(code);
}

// The process of the session's "SS_Wnd" window found with FindWindow (0: none).
DWORD trayOwnerPid() {
  DWORD pid = 0;
  if (HWND w = FindWindowA(std::string(qv::ui::kTrayWindowClass).c_str(), nullptr)) GetWindowThreadProcessId(w, &pid);
  return pid;
}

std::string roleOf(DWORD pid, const std::vector<Browser*>& browsers) {
  for (const Browser* b : browsers)
    if (b->pid == pid) return std::string("the ") + b->role + " browser";
  return pid ? "another process" : "nobody";
}

void printTrayOwner(const std::vector<Browser*>& browsers) {
  const TrayWindows all = trayWindows();
  const DWORD pid = trayOwnerPid();
  if (!pid) std::printf("  \"SS_Wnd\" windows in the session: %d; FindWindow finds none\n", all.count);
  else
    std::printf("  \"SS_Wnd\" windows in the session: %d; FindWindow finds one of pid %lu: %s\n", all.count,
                static_cast<unsigned long>(pid), roleOf(pid, browsers).c_str());
}

void showTrayHandOver() {
  setUnfathered(0);  // the stand-in browsers are not started by Explorer
  Browser first{"first"}, second{"second"};
  const std::vector<Browser*> both = {&first, &second};
  std::printf("Two stand-in browser processes of this program, each a browser window with the registered\n"
              "helper object (CPub, created by class id), whose one-second timer offers it the tray:\n");
  for (Browser* b : both) {
    if (!startBrowser(*b)) {
      std::printf("  the %s browser did not start\n", b->role);
      endBrowser(first);
      endBrowser(second);
      return;
    }
    std::printf("  %s browser: pid %lu\n", b->role, static_cast<unsigned long>(b->pid));
  }
  // The first tick of the first helper object takes the tray.
  for (const DWORD t0 = GetTickCount(); !trayOwnerPid() && msSince(t0) < 3000;) Sleep(10);
  printTrayOwner(both);
  // Both run for a moment, so that the owner quits between two ticks of
  // the other, as a user's quit would.
  pump(1500);

  std::printf("The owner quits (its RemoveTray takes the icon and the window away) ...\n");
  const DWORD owner = trayOwnerPid();
  Browser& quitting = owner == second.pid ? second : first;
  Browser& staying = &quitting == &first ? second : first;
  SetEvent(quitting.quit);
  const DWORD asked = GetTickCount();
  while (trayOwnerPid() == quitting.pid && msSince(asked) < 10000) Sleep(2);
  const DWORD gone = GetTickCount();
  while (trayOwnerPid() != staying.pid && msSince(gone) < 5000) Sleep(2);
  const DWORD taken = msSince(gone);
  const int quitCode = endBrowser(quitting);
  if (trayOwnerPid() == staying.pid)
    std::printf("  the %s browser took the tray over %lu ms after the %s browser's window went (at its next tick)\n",
                staying.role, static_cast<unsigned long>(taken), quitting.role);
  else
    std::printf("  nobody took the tray over within 5 seconds\n");
  printTrayOwner(both);
  std::printf("Then the %s browser quits too:\n", staying.role);
  const int stayCode = endBrowser(staying);
  printTrayOwner(both);
  for (const auto& [b, code] : {std::pair{&quitting, quitCode}, std::pair{&staying, stayCode}})
    std::printf("  the %s browser %s\n", b->role,
                code == 3   ? "owned the tray, and the shell showed its icon"
                : code == 1 ? "owned the tray, but the shell refused its icon"
                : code == 0 ? "never owned the tray"
                            : "ended abnormally");
  for (Browser* b : both) {
    CloseHandle(b->ready);
    CloseHandle(b->quit);
  }
}

// --- menus -------------------------------------------------------------------

// Items one a line; the program's switches with their check marks.
void printItems(const std::vector<MenuItem>& items) {
  for (const MenuItem& i : items) {
    const bool toggle = !i.submenu && qv::ui::trayCommand(static_cast<int>(i.id)).kind ==
                                          qv::ui::MenuCommand::Kind::Toggle;
    if (i.separator) std::printf("    ----------\n");
    else if (toggle) std::printf("    [%c] %s\n", i.checked ? 'x' : ' ', i.text.c_str());
    else std::printf("        %s%s\n", i.text.c_str(), i.submenu ? "  >" : "");
  }
}

// What the user sees while a menu is open, taken by a timer on this thread
// (it runs inside the menu's own message loop).
struct OpenMenu {
  static inline std::vector<MenuItem> items, subItems;
  static inline HMENU submenu = nullptr;
  static inline bool submenuOpened = false;
  static inline std::string shot;
  static inline RECT area{};

  // Menus paint inside their own loop: have them paint now, let the
  // display catch up, then take the area.
  static void paintedScreenshot(std::initializer_list<HWND> windows, const RECT& r) {
    for (HWND w : windows)
      if (w) RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    GdiFlush();
    Sleep(300);
    screenshot(r, shot);
  }
  static void clear(const std::string& picture) {
    items.clear();
    subItems.clear();
    submenu = nullptr;
    submenuOpened = false;
    tries = 0;
    shot = picture;
  }
  // The menu; then Escape.
  // A menu not open yet is looked for again; after five seconds the menu
  // loop is ended so that the demo never waits for a user.
  static inline int tries = 0;
  static void retry(TIMERPROC again) {
    if (++tries > 50) EndMenu();
    else SetTimer(nullptr, 0, 100, again);
  }
  static void CALLBACK readAndClose(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND popup = openPopupWindow();
    if (!popup) {
      retry(&readAndClose);
      return;
    }
    items = menuItems(menuOfPopup(popup));
    if (!shot.empty()) {
      RECT r;
      GetWindowRect(popup, &r);
      InflateRect(&r, 4, 4);
      paintedScreenshot({popup}, r);
    }
    PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
  }
  // The menu; then its first item, a submenu, opened with the keyboard.
  static void CALLBACK readAndOpenFirst(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND popup = openPopupWindow();
    if (!popup) {
      retry(&readAndOpenFirst);
      return;
    }
    const HMENU menu = menuOfPopup(popup);
    items = menuItems(menu);
    submenu = GetSubMenu(menu, 0);
    GetWindowRect(popup, &area);
    PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(popup, WM_KEYDOWN, VK_RIGHT, 0);
    SetTimer(nullptr, 0, 400, &readSubmenuAndClose);
  }
  static void CALLBACK readSubmenuAndClose(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND sub = openPopupWindow(submenu);
    submenuOpened = sub != nullptr;
    // Not opened: its items as the menu holds them while it is shown.
    subItems = menuItems(submenu);
    if (sub) {
      RECT r;
      GetWindowRect(sub, &r);
      UnionRect(&area, &area, &r);
    }
    if (!shot.empty()) {
      RECT r = area;
      InflateRect(&r, 4, 4);
      paintedScreenshot({openPopupWindow(), sub}, r);
    }
    EndMenu();
  }
};

const char* onOff(std::int32_t v) { return v ? "on" : "off"; }

void settingsForMenus(qv::SharedSettings& s) {
  s.popupEnable = 1;
  s.floatingEnable = 0;
  s.blockFlash = 1;
  s.blockImages = 0;
  s.enableTips = 0;
}

const int kTrayKey = 0;  // stands for a browser window's helper object

void showTrayMenu(const std::string& shot) {
  TrayWorld world;
  settingsForMenus(world.settings);
  qv::ui::win::ensureTray(&kTrayKey, world.context(module()));
  HWND tray = qv::ui::win::trayWindow();
  if (!tray) {
    std::printf("  this process did not get the tray\n");
    return;
  }
  std::printf("The tray menu (menu 238), opened by a right click on the icon (message %u to \"SS_Wnd\"),\n"
              "with popup ads %s, floating ads %s, Flash ads %s, animated ads %s; read from the open menu:\n",
              qv::ui::kTrayCallbackMessage, onOff(world.settings.popupEnable), onOff(world.settings.floatingEnable),
              onOff(world.settings.blockFlash), onOff(world.settings.blockImages));
  OpenMenu::clear(shot);
  if (!shot.empty()) SetCursorPos(300, 120);  // where the user clicked: the menu opens there
  SetTimer(nullptr, 0, 400, &OpenMenu::readAndClose);
  SendMessageA(tray, qv::ui::kTrayCallbackMessage, 1, WM_RBUTTONUP);
  if (OpenMenu::items.empty()) std::printf("  the menu did not open\n");
  printItems(OpenMenu::items);
  std::printf("  dismissed with Escape: no command ran (pages asked for: %zu)\n", world.opened.size());
  qv::ui::win::removeTray(&kTrayKey);
}

void showContextMenu(const std::string& shot) {
  TrayWorld world;
  settingsForMenus(world.settings);
  HWND page = browserWindow();
  CommandTarget target(page);
  std::int32_t newWindowGuard = 1;
  qv::ui::win::ContextMenuContext c;
  c.module = module();
  c.settings = &world.settings;
  c.store = &world.store;
  c.openSheet = [&](int p) { world.opened.push_back(p); };
  c.newWindowGuard = &newWindowGuard;
  const std::string library = windowsPath(QV_STANDIN_SHDOCLC);
  c.resourceLibrary = library.c_str();
  char label[64] = {};
  LoadStringA(module(), 107, label, sizeof label);
  std::printf("The page's context menu, built from a stand-in of the browser's resource library\n"
              "(menu %d, the page's popup) with the program's submenu \"%s\" (string 107) and a separator\n"
              "at the top; right click at (120, 120), read from the open menu:\n",
              qv::ui::win::kBrowserContextMenu, label);
  OpenMenu::clear(shot);
  browserCommands().clear();
  SetTimer(nullptr, 0, 400, &OpenMenu::readAndOpenFirst);
  POINT at{120, 120};
  const HRESULT hr = qv::ui::win::showContextMenu(0, &at, static_cast<IOleCommandTarget*>(&target), c);
  if (OpenMenu::items.empty()) std::printf("  the menu did not open (ShowContextMenu: 0x%08lx)\n", hr);
  printItems(OpenMenu::items);
  std::printf("  its \"%s\" submenu, %s, with its check marks:\n", label,
              OpenMenu::submenuOpened ? "opened with the keyboard (Down, Right)" : "as the open menu holds it");
  printItems(OpenMenu::subItems);
  std::printf("  the browser's command target was asked for:");
  for (int id : target.execs)
    std::printf(" %d (%s)", id, id == 27 ? "the encoding menu" : id == 53 ? "menu extensions" : "?");
  std::printf("\n  dismissed: ShowContextMenu returned %s and sent the page window", hr == S_OK ? "S_OK" : "an error");
  for (WPARAM id : browserCommands()) std::printf(" WM_COMMAND %lu", static_cast<unsigned long>(id));
  std::printf("\n");
  DestroyWindow(page);
}

// --- the options sheet: About page and skins ---------------------------------

// The options sheet shown on its own thread over a throw-away white list.
struct Sheet {
  qv::SharedSettings settings;
  std::string listPath;
  std::unique_ptr<SheetThread> run;
  HWND window = nullptr;

  Sheet(int skin, int startPage, const char* tag) {
    settings.settingsLoaded = 1;
    settings.unfatheredEnable = 0;
    settings.skin = skin;
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    listPath = std::string(dir) + "qv-ui-demo.WL";
    std::ofstream(listPath, std::ios::binary) << "#Quillvane White List\r\nintranet.example\r\n";
    run = std::make_unique<SheetThread>(settings, tag, std::wstring(listPath.begin(), listPath.end()), startPage);
    window = run->waitSheet();
  }
  HWND page() const { return reinterpret_cast<HWND>(SendMessageA(window, PSM_GETCURRENTPAGEHWND, 0, 0)); }
  ~Sheet() {
    if (window) pressSheetButton(window, IDCANCEL);
    run->join();
    DeleteFileA(listPath.c_str());
  }
};

std::string moduleVersion() {
  char path[MAX_PATH];
  GetModuleFileNameA(module(), path, MAX_PATH);
  DWORD h = 0;
  std::vector<char> block(GetFileVersionInfoSizeA(path, &h));
  char* version = nullptr;
  UINT n = 0;
  if (block.empty() || !GetFileVersionInfoA(path, 0, static_cast<DWORD>(block.size()), block.data()) ||
      !VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<void**>(&version), &n))
    return "(none)";
  return version;
}

void showAboutPage() {
  Sheet sheet(1, qv::ui::kPageAbout, "ui-demo-about");
  if (!sheet.window) {
    std::printf("  the options sheet did not open\n");
    return;
  }
  HWND page = sheet.page();
  char text[256] = {};
  GetDlgItemTextA(page, 202, text, sizeof text);
  std::printf("The options sheet opened at its About page (dialog 235); the label (control 202) shows:\n");
  std::string line;
  for (const char* p = text;; ++p) {
    if (*p == '\n' || *p == 0) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::printf(line.empty() ? "    |\n" : "    | %s\n", line.c_str());
      line.clear();
      if (!*p) break;
    } else {
      line += *p;
    }
  }
  std::printf("  (the module's version resource, StringFileInfo 040904B0, FileVersion: %s)\n", moduleVersion().c_str());
  for (bool mail : {false, true})
    if (auto* link = qv::ui::win::aboutPageLink(page, mail))
      std::printf("  link \"%s\" opens %s\n", link->label().c_str(), link->target().c_str());
}

std::vector<std::string> takePictures() {
  std::vector<std::string> written;
  auto note = [&](bool ok, const std::string& name) {
    if (ok) written.push_back(name + ".png");
  };
  const char* skins[] = {"", "skin-classic", "skin-yellow", "skin-blue"};
  for (int skin : {1, 2, 3}) {
    Sheet sheet(skin, qv::ui::kPageSettings, skins[skin]);
    if (sheet.window) note(screenshotPainted(sheet.window, skins[skin]), skins[skin]);
  }
  {
    Sheet sheet(1, qv::ui::kPageAbout, "about");
    if (sheet.window) note(screenshotPainted(sheet.window, "about"), "about");
  }
  showTrayMenu("tray-menu");
  note(!OpenMenu::items.empty(), "tray-menu");
  showContextMenu("context-menu");
  note(!OpenMenu::items.empty(), "context-menu");
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "browser" && argc == 5) return runBrowser(argv[3], argv[4]);
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (module()) qv::com::setModuleInstance(module());  // the About page's version resource
  if (!module()) {
    std::printf("ui demo: cannot load %s\n", dllPath().c_str());
    return 1;
  }
  if (mode == "--shots" && argc == 3) {
    setScreenshotFolder(argv[2]);
    const std::vector<std::string> written = takePictures();
    std::ofstream done(std::string(argv[2]) + "\\ui-demo.done");
    for (const std::string& name : written) done << name << "\n";
    return written.empty() ? 1 : 0;
  }
  std::printf("-- a. one tray icon for all browser processes\n");
  showTrayHandOver();
  std::printf("\n-- b. the tray menu and the page context menu\n");
  showTrayMenu("");
  std::printf("\n");
  showContextMenu("");
  std::printf("\n-- c. the About page\n");
  showAboutPage();
  return 0;
}
