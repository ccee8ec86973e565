// The pages of the options sheet as portable logic: what each page shows
// from its page values, what it reads back, and what its buttons do.  The
// dialog's controls are a port (DialogControls), so the same rules run over
// real dialogs under Windows and over a map of controls in the tests.
//
// Page protocol (every page): at its first showing the page centres the
// sheet when it is the start page (the Windows shell does that); pages 0 to
// 4 mark the sheet changed and load their controls when they become active
// (a check-box value outside 0..2 is first set to 0) and read them back when
// they are left.  The Block history page fills itself once, at its first
// showing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/mutex.h"
#include "platform/sound.h"
#include "ui/options_values.h"

namespace qv::ui {

// Control ids of the pages (the dialog resources use the same numbers).
namespace ctl {
// Popup Ads (109)
inline constexpr int kPopupEnable = 257, kHotkeyList = 213, kShowStatusMsg = 256, kBeep = 217,
                     kPlayDefaultSound = 240, kPlaySoundFile = 239, kTest = 221, kSoundFileButton = 222,
                     kModelessDialog = 258, kUnfathered = 259, kWinHelp = 613;
// New form Ads (232)
inline constexpr int kBlockFlash = 258, kBlockImages = 255, kBlockUncached = 263, kAnimHotkey = 261,
                     kBlockResize = 260, kFloatingEnable = 259, kFloatingStatusMsg = 256;
// Settings (237)
inline constexpr int kNoVideos = 252, kNoSounds = 254, kNoImages = 255, kExpandAlt = 249, kPlaceholders = 259,
                     kNoAnimations = 250, kNoDebugger = 251, kRestoreDefaults = 253, kSkinList = 605,
                     kEnableHistory = 234, kContextMenu = 230, kEnableTips = 612;
// White List (227)
inline constexpr int kAddressBox = 236, kSiteList = 206, kAdd = 208, kRemove = 210, kRemoveAll = 212,
                     kEnableWhiteList = 226;
// Block history (229)
inline constexpr int kFloatingCount = 249, kPopupCount = 247, kTotalCount = 248, kHistoryList = 241,
                     kAddToWhiteList = 208, kBrowse = 246, kClear = 244;
}  // namespace ctl

// The question boxes of the white list page (owned by the page, caption
// "Quillvane").
enum class Ask { Info, YesNo };

// One dialog's controls, by id.  A missing control reads as empty / 0 / no
// selection and ignores changes.
class DialogControls {
 public:
  virtual ~DialogControls() = default;
  // Check boxes (BM_GETCHECK / BM_SETCHECK).
  virtual int check(int id) = 0;
  virtual void setCheck(int id, int state) = 0;
  // Combo boxes.  append inserts at the end (CB_INSERTSTRING at -1), add
  // lets a sorted combo place it (CB_ADDSTRING).  selection: -1 for none.
  virtual void comboAppend(int id, const std::string& text) = 0;
  virtual void comboAdd(int id, const std::string& text) = 0;
  virtual void comboClear(int id) = 0;
  virtual int comboCount(int id) = 0;
  virtual void comboSelect(int id, int index) = 0;
  virtual int comboSelection(int id) = 0;
  // Index of an item equal to `text` without regard to case, or -1.
  virtual int comboFind(int id, const std::string& text) = 0;
  // Window text (edit field of a combo box, static texts).
  virtual std::string text(int id) = 0;
  virtual void setText(int id, const std::string& text) = 0;
  // List boxes.  add lets a sorted list place the item; insert puts it at
  // `index` (0 = top), bypassing the sorting.  Both return the new index.
  virtual void listClear(int id) = 0;
  virtual int listAdd(int id, const std::string& text) = 0;
  virtual int listInsert(int id, int index, const std::string& text) = 0;
  // Empties the list and adds every text (as listAdd does), in one go.
  virtual void listReplace(int id, const std::vector<std::string>& texts) {
    listClear(id);
    for (const std::string& t : texts) listAdd(id, t);
  }
  virtual int listCount(int id) = 0;
  virtual std::string listItem(int id, int index) = 0;
  virtual int listFind(int id, const std::string& text) = 0;  // without regard to case; -1
  virtual void listDelete(int id, int index) = 0;
  virtual int listSelection(int id) = 0;
  virtual void listSelect(int id, int index) = 0;  // -1: none
  // Hot-key control (HKM_GETHOTKEY / HKM_SETHOTKEY, 16 bits).
  virtual int hotkey(int id) = 0;
  virtual void setHotkey(int id, int value) = 0;
  // Marks the sheet changed for this page (PSM_CHANGED).
  virtual void markChanged() = 0;
  // A message box owned by the page; true for Yes (and for OK).
  virtual bool ask(const std::string& text, Ask kind) = 0;
  // A string-table text of the module.
  virtual std::string loadString(int id) = 0;
};

// A check-box value as a page shows it: anything outside 0..2 becomes 0.
inline std::int32_t shownCheck(std::int32_t v) { return v < 0 || v > 2 ? 0 : v; }

// --- Popup Ads (dialog 109) -------------------------------------------------

struct PopupAdsPorts {
  Sound* sound = nullptr;  // null: Test plays nothing
  // Sets the browser window's default status text; false without a window.
  std::function<bool(const std::string&)> setStatus;
  // The open-file dialog: the chosen full path, nullopt on cancel.
  std::function<std::optional<std::string>(const std::string& initial)> chooseSoundFile;
};

class PopupAdsPage {
 public:
  PopupAdsPage(PopupAdsValues& v, PopupAdsPorts ports) : v_(v), ports_(std::move(ports)) {}
  void init(DialogControls& d);
  void activate(DialogControls& d);
  void leave(DialogControls& d);
  void hotkeyChanged(DialogControls& d);
  void soundBoxClicked(DialogControls& d, int id);  // 240 or 239
  void test(DialogControls& d);
  void chooseSoundFile();

  static constexpr const char* kTestStatus = "This page contains popup windows!";

 private:
  void show(DialogControls& d);
  PopupAdsValues& v_;
  PopupAdsPorts ports_;
};

// --- New form Ads (dialog 232) ----------------------------------------------

class NewFormAdsPage {
 public:
  explicit NewFormAdsPage(NewFormAdsValues& v) : v_(v) {}
  void init(DialogControls& d);
  void activate(DialogControls& d);
  void leave(DialogControls& d);

 private:
  NewFormAdsValues& v_;
};

// --- Settings (dialog 237) --------------------------------------------------

class SettingsPage {
 public:
  explicit SettingsPage(SettingsValues& v) : v_(v) {}
  void init(DialogControls& d);
  void activate(DialogControls& d);
  void leave(DialogControls& d);
  void skinChanged(DialogControls& d);
  void restoreDefaults(DialogControls& d);

 private:
  void show(DialogControls& d);
  SettingsValues& v_;
};

// --- White List (dialog 227) ------------------------------------------------

// The browser's history of visited addresses (ANSI); empty when there is
// none or it cannot be read.
using VisitedUrls = std::function<std::vector<std::string>()>;

class WhiteListPage {
 public:
  WhiteListPage(WhiteListValues& v, VisitedUrls visited) : v_(v), visited_(std::move(visited)) {}
  void init(DialogControls& d);
  void activate(DialogControls& d);
  void leave(DialogControls& d);
  void add(DialogControls& d);
  void remove(DialogControls& d);
  void removeAll(DialogControls& d);
  void siteSelected(DialogControls& d);

  static constexpr const char* kInvalidAddress = "Invalid website address.";
  static constexpr const char* kAskRemove = "Remove the selected website from the white list?";
  static constexpr const char* kAskRemoveAll = "Remove all websites from the white list?";

 private:
  void fillSuggestions(DialogControls& d);
  WhiteListValues& v_;
  VisitedUrls visited_;
  // The site list holds exactly the working copy's sites (filled from it and
  // not edited since): leaving need not read a long list back.
  bool synced_ = false;
};

// --- Block history (dialog 229) ---------------------------------------------

struct BlockHistoryPorts {
  // The block-history region (8196 bytes); empty when it is not there.
  std::span<std::uint8_t> region;
  NamedMutex* dataMutex = nullptr;  // taken by "&Clear"
  std::int32_t* newWindowGuard = nullptr;
  // Opens a site in a new browser window; null when there is no browser.
  std::function<void(const std::string&)> navigate;
  std::function<void(int stringId)> showMessage;  // the program's message box
};

// The history list's entries, top to bottom (newest block first): the site
// of every line that gives one, lines without one left out.
std::vector<std::string> historyEntries(std::span<const std::uint8_t> region);

class BlockHistoryPage {
 public:
  BlockHistoryPage(const HistoryCounters& counters, WhiteListValues& whiteList, BlockHistoryPorts ports)
      : counters_(counters), whiteList_(whiteList), ports_(std::move(ports)) {}
  void init(DialogControls& d);
  void addToWhiteList(DialogControls& d);
  void browse(DialogControls& d);
  void clear(DialogControls& d);

 private:
  std::string selected(DialogControls& d);
  HistoryCounters counters_;
  WhiteListValues& whiteList_;
  BlockHistoryPorts ports_;
};

}  // namespace qv::ui
