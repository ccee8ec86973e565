#include "ui/options_sheet.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "core/settings.h"
#include "core/shared_access.h"
#include "core/tab_registry.h"
#include "res/resource_ids.h"

namespace qv::ui {
namespace {

using Field = std::int32_t SharedSettings::*;

// A flag as the sheet hands it to a page and takes it back.
std::int32_t flagIn(const std::int32_t& field) { return shared::load(field) != 0 ? 1 : 0; }
void flagOut(std::int32_t& field, std::int32_t pageValue) { shared::store(field, pageValue == 1 ? 1 : 0); }

// The six string values of the browser: name, the value it describes, and
// whether "yes" means checked (else "yes" means unchecked).
struct DisplayString {
  std::string_view name;
  std::int32_t DisplaySettings::*value;
  std::uint32_t bit;
  bool yesIsChecked;
};
constexpr DisplayString kDisplayStrings[] = {
    {"Display Inline Videos", &DisplaySettings::noInlineVideos, 1, false},
    {"Play_Background_Sounds", &DisplaySettings::noBackgroundSounds, 2, false},
    {"Display Inline Images", &DisplaySettings::noInlineImages, 4, false},
    {"Expand Alt Text", &DisplaySettings::expandAltText, 8, true},
    {"Play_Animations", &DisplaySettings::noAnimations, 16, false},
    {"Disable Script Debugger", &DisplaySettings::disableScriptDebugger, 32, true},
};
constexpr std::string_view kPlaceholders = "Show image placeholders";
constexpr std::uint32_t kPlaceholdersBit = 64;

// A string read as the browser's values are read: into a 4-byte buffer, so
// only a zero-terminated string of at most 3 characters comes through.
std::optional<std::string> shortString(const RegValue& v) {
  if (v.type != RegType::Sz && v.type != RegType::ExpandSz) return std::nullopt;
  if (v.data.empty() || v.data.size() > 4 || v.data.back() != 0) return std::nullopt;
  std::string s;
  for (std::uint8_t b : v.data) {
    if (b == 0) break;
    s.push_back(static_cast<char>(b));
  }
  return s;
}

bool isYes(std::string_view s) {
  if (s.size() != 3) return false;
  auto low = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return low(s[0]) == 'y' && low(s[1]) == 'e' && low(s[2]) == 's';
}

// Holds one mutex from a wait that obtained it (an abandoned mutex counts)
// until release() or destruction, so that no path leaves it owned.
class Held {
 public:
  explicit Held(NamedMutex* m) : m_(m) {}
  ~Held() { release(); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  bool take(std::uint32_t ms) {
    if (!m_) return false;
    const WaitResult r = m_->wait(ms);
    held_ = owns(r);
    abandoned_ = r == WaitResult::Abandoned;
    return held_;
  }
  // The last take was granted because the previous owner died holding it.
  bool abandoned() const { return abandoned_; }
  void release() {
    if (held_) m_->release();
    held_ = false;
  }
  bool held() const { return held_; }

 private:
  NamedMutex* m_;
  bool held_ = false;
  bool abandoned_ = false;
};

// Messages that come up while the data mutex is owned, held back until it is
// released: a message box waits for the user, and meanwhile every other
// browser's popup decision would time out on the mutex (and block the
// popups of white-listed sites).  Shown in their order once the mutex is
// free.
class HeldBack final : public Messages {
 public:
  explicit HeldBack(Messages& to) : to_(to) {}
  HeldBack(const HeldBack&) = delete;
  HeldBack& operator=(const HeldBack&) = delete;
  void showString(int stringId) override { queue_.push_back({stringId, {}}); }
  void showText(const std::string& text) override { queue_.push_back({0, text}); }
  // Shows what was held back (call after the mutex is released).
  void flush() {
    std::vector<Held> queue;
    queue.swap(queue_);
    for (const Held& h : queue) {
      if (h.id != 0)
        to_.showString(h.id);
      else
        to_.showText(h.text);
    }
  }

 private:
  struct Held {
    int id;
    std::string text;
  };
  Messages& to_;
  std::vector<Held> queue_;
};

// Saving steps 2-7 (after OK, data mutex held; messages held back).
void save(const OptionsPorts& p, Messages& messages, const SheetValues& v, std::uint32_t bitsAtOpen) {
  copyOut(v, p.settings);
  try {
    SettingsStore(p.registry, messages, p.settings).saveAll();
    const RegStatus display = writeDisplaySettings(p.registry, v.settings.display);
    if (display != RegStatus::Ok) reportSaveFailure(messages, display, IDS_ERR_SAVEIESETTINGS);
    if (displayBits(v.settings.display) != bitsAtOpen && p.host.sendSettingsNotice()) p.host.refreshBrowser();
    if (v.whiteList.whiteListCopy) {
      SheetWhiteList* list = p.host.whiteList();
      if (!list || list->replaceAll(*v.whiteList.whiteListCopy)) messages.showString(IDS_ERR_SAVEWHITELIST);
    }
  } catch (const std::exception&) {
    messages.showString(IDS_ERR_SAVESETTINGS);
  }
}

}  // namespace

std::uint32_t displayBits(const DisplaySettings& d) {
  std::uint32_t bits = 0;
  for (const DisplayString& s : kDisplayStrings)
    if (d.*s.value != 0) bits |= s.bit;
  if (d.showImagePlaceholders != 0) bits |= kPlaceholdersBit;
  return bits;
}

std::string comErrorText(const ComError& e) {
  char hr[16];
  std::snprintf(hr, sizeof hr, "%lx", static_cast<unsigned long>(e.hr));
  return e.source + " Error: 0x" + hr + "\r\n" + e.description + "\r\n" + e.systemText + "\r\n";
}

void copyIn(const SharedSettings& s, SheetValues& v) {
  PopupAdsValues& p = v.popup;
  p.popupEnable = flagIn(s.popupEnable);
  p.unfatheredEnable = flagIn(s.unfatheredEnable);
  p.modelessDialogEnable = flagIn(s.modelessDialogEnable);
  p.winHelpEnable = flagIn(s.winHelpEnable);
  p.showStatusMsg = flagIn(s.showStatusMsg);
  p.beep = flagIn(s.beep);
  p.playDefaultSound = flagIn(s.playDefaultSound);
  p.playSoundFile = flagIn(s.playSoundFile);
  p.hotkey = shared::load(s.hotkey);
  p.soundFile = soundFileText(s.soundFile);

  NewFormAdsValues& n = v.newForm;
  n.floatingEnable = flagIn(s.floatingEnable);
  n.blockFlash = flagIn(s.blockFlash);
  n.blockResize = flagIn(s.blockResize);
  n.blockImages = flagIn(s.blockImages);
  n.blockUncachedImages = flagIn(s.blockUncachedImages);
  n.showFloatingStatusMsg = flagIn(s.showFloatingStatusMsg);
  n.blockAnimHotkey = shared::load(s.blockAnimHotkey);

  v.blockAdware = flagIn(s.blockAdware);

  v.settings.addToContextMenu = flagIn(s.addToContextMenu);
  v.settings.enableHistory = flagIn(s.enableHistory);
  v.settings.enableTips = flagIn(s.enableTips);
  v.settings.skin = shared::load(s.skin);

  v.whiteList.enableWhiteListCopy = flagIn(s.enableWhiteList);

  v.counters.blockedSession = shared::load(s.blockedSession);
  v.counters.floatingBlockedSession = shared::load(s.floatingBlockedSession);
  v.counters.blockedTotal = shared::load(s.blockedTotal);
}

void copyOut(const SheetValues& v, SharedSettings& s) {
  const PopupAdsValues& p = v.popup;
  flagOut(s.popupEnable, p.popupEnable);
  flagOut(s.unfatheredEnable, p.unfatheredEnable);
  flagOut(s.modelessDialogEnable, p.modelessDialogEnable);
  flagOut(s.winHelpEnable, p.winHelpEnable);
  flagOut(s.showStatusMsg, p.showStatusMsg);
  flagOut(s.beep, p.beep);
  flagOut(s.playDefaultSound, p.playDefaultSound);
  flagOut(s.playSoundFile, p.playSoundFile);
  shared::store(s.hotkey, p.hotkey);
  // Readers in other processes read the field without a lock: the bytes
  // change one by one, the terminating zero is always inside the field.
  const std::size_t n = std::min<std::size_t>(p.soundFile.size(), kSoundFileSize - 1);
  std::memcpy(s.soundFile, p.soundFile.data(), n);
  std::memset(s.soundFile + n, 0, kSoundFileSize - n);

  const NewFormAdsValues& f = v.newForm;
  flagOut(s.floatingEnable, f.floatingEnable);
  flagOut(s.blockFlash, f.blockFlash);
  flagOut(s.blockResize, f.blockResize);
  flagOut(s.blockImages, f.blockImages);
  flagOut(s.blockUncachedImages, f.blockUncachedImages);
  flagOut(s.showFloatingStatusMsg, f.showFloatingStatusMsg);
  shared::store(s.blockAnimHotkey, f.blockAnimHotkey);

  flagOut(s.blockAdware, v.blockAdware);

  flagOut(s.addToContextMenu, v.settings.addToContextMenu);
  flagOut(s.enableHistory, v.settings.enableHistory);
  shared::store(s.enableTips, v.settings.enableTips);
  shared::store(s.skin, v.settings.skin);

  flagOut(s.enableWhiteList, v.whiteList.enableWhiteListCopy);
}

DisplayRead readDisplaySettings(Registry& registry) {
  DisplayRead out;
  RegOpen key = registry.openReadOnly(RegRoot::CurrentUser, kBrowserMainKey);
  if (key.status != RegStatus::Ok) return out;
  for (const DisplayString& s : kDisplayStrings) {
    RegValue raw;
    if (key.key->query(s.name, raw) != RegStatus::Ok) continue;
    const std::optional<std::string> text = shortString(raw);
    if (!text) continue;
    const std::int32_t checked = isYes(*text) == s.yesIsChecked ? 1 : 0;
    out.values.*s.value = checked;
    if (checked == 1) out.bitsAtOpen |= s.bit;
  }
  RegValue raw;
  // A 4-byte buffer takes any value of exactly four bytes.
  if (key.key->query(kPlaceholders, raw) == RegStatus::Ok && raw.data.size() == 4) {
    const std::uint32_t n = raw.data[0] | (raw.data[1] << 8) | (raw.data[2] << 16) |
                            (static_cast<std::uint32_t>(raw.data[3]) << 24);
    out.values.showImagePlaceholders = n != 0 ? 1 : 0;
    if (n != 0) out.bitsAtOpen |= kPlaceholdersBit;
  } else {
    out.values.showImagePlaceholders = 0;
  }
  return out;
}

RegStatus writeDisplaySettings(Registry& registry, const DisplaySettings& d) {
  RegOpen key = registry.open(RegRoot::CurrentUser, kBrowserMainKey);
  if (key.status != RegStatus::Ok) return key.status;
  RegStatus first = RegStatus::Ok;
  auto keep = [&first](RegStatus st) {
    if (first == RegStatus::Ok) first = st;
  };
  for (const DisplayString& s : kDisplayStrings) {
    const bool checked = d.*s.value == 1;
    keep(key.key->set(s.name, RegValue::string(checked == s.yesIsChecked ? "yes" : "no")));
  }
  keep(key.key->set(kPlaceholders, RegValue::dword(static_cast<std::uint32_t>(d.showImagePlaceholders))));
  return first;
}

OptionsOutcome showOptions(const OptionsPorts& p, int startPage) {
  // 1. One sheet in all processes; the flag refuses a second request on the
  // thread that shows one (the mutex is recursive for its owner thread).
  Held options(p.optionsMutex);
  if (!options.take(0)) {
    p.messages.showString(IDS_ERR_OPTIONSBUSY);
    return OptionsOutcome::Refused;
  }
  // A thread that died showing a sheet (its browser crashed or was ended)
  // left the flag set; the mutex it abandoned says so.  While any browser
  // process keeps the shared record alive the flag would refuse every later
  // request.
  if (options.abandoned()) shared::store(p.settings.optionsDialogOpen, 0);
  if (shared::load(p.settings.optionsDialogOpen) == 1) {
    options.release();
    p.messages.showString(IDS_ERR_OPTIONSBUSY);
    return OptionsOutcome::Refused;
  }
  // 2.
  Held data(p.dataMutex);
  if (!data.take(kOpenWaitMs)) {
    options.release();
    p.messages.showString(IDS_ERR_BUSY);
    return OptionsOutcome::Busy;
  }
  // 3.-4.
  shared::store(p.settings.optionsDialogOpen, 1);
  p.host.focusFrame();
  p.host.applyDialogSkin(shared::load(p.settings.skin));

  std::optional<std::string> status;
  // The closing steps, on every way out (an exception included).
  struct Closing {
    const OptionsPorts& p;
    Held& data;
    Held& options;
    std::optional<std::string>& status;
    ~Closing() {
      data.release();
      if (status) p.host.writeDefaultStatus(*status);
      p.host.removeDialogSkin();
      shared::store(p.settings.optionsDialogOpen, 0);
      options.release();
    }
  } closing{p, data, options, status};

  SheetValues values;
  OptionsOutcome outcome = OptionsOutcome::Cancelled;
  SheetWhiteList* list = p.host.whiteList();
  if (!list) {
    // 5. The closing steps release the data mutex first.
    data.release();
    p.messages.showString(IDS_ERR_OPENWHITELIST);
    outcome = OptionsOutcome::NoWhiteList;
  } else {
    // 6.-11.
    status = p.host.readDefaultStatus();
    copyIn(p.settings, values);
    const DisplayRead display = readDisplaySettings(p.registry);
    values.settings.display = display.values;
    SheetWhiteList::ReadResult read = list->readAll();
    if (!read.sites.empty()) values.whiteList.whiteListCopy = std::move(read.sites);
    // 13. The data mutex is not held while the user edits, nor while a
    // message is up.
    data.release();
    if (read.error) p.messages.showText(comErrorText(*read.error));
    // 14.
    if (p.host.runSheet(values, startPage) == 1) {
      if (!data.take(kSaveWaitMs)) {
        p.messages.showString(IDS_ERR_SAVETIMEOUT);
        outcome = OptionsOutcome::SaveTimedOut;
      } else {
        HeldBack held(p.messages);
        save(p, held, values, display.bitsAtOpen);
        data.release();
        held.flush();
        outcome = OptionsOutcome::Saved;
      }
    }
  }
  return outcome;
}

}  // namespace qv::ui
