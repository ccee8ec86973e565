// The tray icon shared by every browser window of the user: who owns it
// (the "MutexForTray" guard), what the icon shows (tooltip, balloon tips),
// and the command table of its menu, which the page context menu shares.
//
// Tray ownership is decided here over a small port; the Windows side
// (ui/win/tray_win.*) supplies the mutex, the "SS_Wnd" window and the shell
// calls.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "core/settings.h"
#include "core/shared_settings.h"

namespace qv::ui {

inline constexpr std::string_view kTrayMutexName = "MutexForTray";
inline constexpr std::string_view kTrayWindowClass = "SS_Wnd";
inline constexpr std::string_view kTrayTooltip = "Double click icon to show option dialog!";
inline constexpr std::string_view kTipTitle = "Quillvane Tips";
inline constexpr std::uint32_t kTrayCallbackMessage = 4702;  // 0x125E
inline constexpr std::uint32_t kTrayIconId = 1;
inline constexpr int kTrayIconResource = 225;
inline constexpr int kTrayMenuResource = 238;
inline constexpr int kAboutStartPage = 6;  // double click on the icon

// The balloon tips; "\r" breaks the line in the balloon.
inline constexpr std::array<std::string_view, 11> kTips = {
    "Quillvane supports to define hotkey to block \rflash Ads and animated Ads manually.",
    "Quillvane does not block those \rwebsites in white list.",
    "When cursor changes to a special hand,\rIE can popup window by clicking again.",
    "Keep hold Ctrl or Shift key,\rIE can popup window temporarily.",
    "User can define favorite dialog's \rskin at settings property page.",
    "Block history page records how many popup Ads \rand floating Ads are blocked.",
    "Quillvane blocks adwares and spywares \rinstalled to your disk.",
    "Double click Quillvane icon in \rsystem tray to show option dialog.",
    "Those Floating,Flash,Animated Ads in \rIE frames also are blocked.",
    "You can also find Quillvane in IE \rcontext menu by clicking right mouse key.",
    "By Pressing Hotkey F12 simply,Popup ads option dialog will be show up.",
};

// Draws from `draw` (rand() after srand(time)) until a value from 0 to 10
// comes and returns it.  A generator that never yields one is not waited on
// for ever: after `maxDraws` draws the last value is reduced modulo 11.
int chooseTip(const std::function<int()>& draw, int maxDraws = 1 << 20);

// --- menu commands (menu resource 238, shared with the context menu) -----

inline constexpr int kCmdBlockPopup = 32771;
inline constexpr int kCmdBlockFloating = 32768;
inline constexpr int kCmdBlockFlash = 32769;
inline constexpr int kCmdBlockAnimated = 32770;
inline constexpr int kCmdPopupAds = 32776;
inline constexpr int kCmdOtherAds = 32772;
inline constexpr int kCmdAdware = 32773;
inline constexpr int kCmdSettings = 32775;
inline constexpr int kCmdWhiteList = 242;
inline constexpr int kCmdBlockHistory = 243;
inline constexpr int kCmdAbout = 214;

struct MenuCommand {
  enum class Kind { None, Toggle, OpenSheet };
  Kind kind = Kind::None;
  Toggle toggle = Toggle::PopupEnable;  // Kind::Toggle
  int startPage = 0;                    // Kind::OpenSheet
};

// What a tray-menu command id does; Kind::None for 0 and unknown ids.
MenuCommand trayCommand(int id);

// The four "Block" items and whether each is checked now.
struct CheckMark {
  int id;
  bool checked;
};
std::array<CheckMark, 4> trayCheckMarks(const SharedSettings& s);

// The page context menu's handling of the id TrackPopupMenu returned.
struct ContextRoute {
  MenuCommand command;          // carried out first
  bool clearNewWindowGuard = false;
  bool sendToWindow = false;    // then WM_COMMAND with the id to the browser's window
};
ContextRoute contextCommand(int id);

// Carries out a menu command: toggles go through the settings store (the
// shared record and its one registry value), sheet requests through
// `openSheet`.
void runMenuCommand(const MenuCommand& c, SettingsStore& store, const std::function<void(int)>& openSheet);

// --- ownership ------------------------------------------------------------

enum class GuardResult { Created, Existed, Failed };

// What tray ownership needs of the system.
class TrayShell {
 public:
  virtual ~TrayShell() = default;
  // Creates the named guard, not owned.  Created: this caller keeps it;
  // Existed / Failed: the shell has already closed what it obtained.
  virtual GuardResult acquireGuard() = 0;
  virtual void releaseGuard() = 0;
  // The hidden window that receives the icon's messages.
  virtual bool createWindow() = 0;
  virtual void destroyWindow() = 0;
  // Adds the icon (tooltip, callback message); with a balloon when `tip`
  // is set.  False when the shell refused, or did not answer in time: the
  // icon may be in the notification area all the same.
  virtual bool addIcon(std::optional<std::string_view> tip) = 0;
  // Modifies the icon (tooltip, callback message, no balloon): true only
  // when the shell holds it, which is how a failed add is confirmed.
  virtual bool modifyIcon() = 0;
  virtual void deleteIcon() = 0;
  // One draw of the seeded pseudo-random generator.
  virtual int random() = 0;
};

// One window's side of tray ownership.  ensure() runs when the window
// attaches and on its one-second ticks; remove() when its browser quits.
class TrayOwner {
 public:
  TrayOwner(TrayShell& shell, const SharedSettings& settings) : shell_(shell), settings_(settings) {}

  // Becomes the owner if nobody is; an owner whose icon is not in the
  // notification area yet (the shell's tray was not up, say) adds it again,
  // after asking the shell whether a failed add did add it after all (a
  // shell that timed out), so that the icon is never there twice.
  void ensure();
  // The shell's notification area was created anew (Explorer restarted,
  // "TaskbarCreated"): it holds none of the old icons, so the owner adds
  // its icon again with its tooltip; the balloon only if it never showed.
  void shellRestarted();
  // Takes the icon away (whenever an add was tried, since a failed add may
  // have added it) and gives the guard up so that another window can take
  // the tray over.
  void remove();

  bool owner() const { return owner_; }
  bool shown() const { return shown_; }
  bool tipsOn() const { return tipsOn_; }

 private:
  bool show(bool balloon);

  TrayShell& shell_;
  const SharedSettings& settings_;
  bool owner_ = false;
  bool window_ = false;
  bool shown_ = false;
  bool tipsOn_ = false;
  bool attempted_ = false;  // an add was sent to the shell since the last delete
  bool everShown_ = false;  // an add succeeded (the balloon has been shown)
};

}  // namespace qv::ui
