#include "ui/option_pages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "res/resource_ids.h"
#include "ui/options_sheet.h"
#include "whitelist/text.h"
#include "whitelist/url.h"

namespace qv::ui {
namespace {

struct Box {
  int id;
  std::int32_t PopupAdsValues::*value;
};
constexpr Box kPopupBoxes[] = {
    {ctl::kPopupEnable, &PopupAdsValues::popupEnable},
    {ctl::kShowStatusMsg, &PopupAdsValues::showStatusMsg},
    {ctl::kBeep, &PopupAdsValues::beep},
    {ctl::kPlayDefaultSound, &PopupAdsValues::playDefaultSound},
    {ctl::kPlaySoundFile, &PopupAdsValues::playSoundFile},
    {ctl::kModelessDialog, &PopupAdsValues::modelessDialogEnable},
    {ctl::kUnfathered, &PopupAdsValues::unfatheredEnable},
    {ctl::kWinHelp, &PopupAdsValues::winHelpEnable},
};

struct FormBox {
  int id;
  std::int32_t NewFormAdsValues::*value;
};
constexpr FormBox kFormBoxes[] = {
    {ctl::kBlockFlash, &NewFormAdsValues::blockFlash},
    {ctl::kBlockImages, &NewFormAdsValues::blockImages},
    {ctl::kBlockUncached, &NewFormAdsValues::blockUncachedImages},
    {ctl::kBlockResize, &NewFormAdsValues::blockResize},
    {ctl::kFloatingEnable, &NewFormAdsValues::floatingEnable},
    {ctl::kFloatingStatusMsg, &NewFormAdsValues::showFloatingStatusMsg},
};

// The ten boxes of the Settings page: the seven display values, then the
// three program options.
std::int32_t* settingsBox(SettingsValues& v, int id) {
  switch (id) {
    case ctl::kNoVideos: return &v.display.noInlineVideos;
    case ctl::kNoSounds: return &v.display.noBackgroundSounds;
    case ctl::kNoImages: return &v.display.noInlineImages;
    case ctl::kExpandAlt: return &v.display.expandAltText;
    case ctl::kPlaceholders: return &v.display.showImagePlaceholders;
    case ctl::kNoAnimations: return &v.display.noAnimations;
    case ctl::kNoDebugger: return &v.display.disableScriptDebugger;
    case ctl::kEnableHistory: return &v.enableHistory;
    case ctl::kContextMenu: return &v.addToContextMenu;
    case ctl::kEnableTips: return &v.enableTips;
  }
  return nullptr;
}
constexpr int kSettingsBoxes[] = {ctl::kNoVideos,      ctl::kNoSounds,     ctl::kNoImages, ctl::kExpandAlt,
                                  ctl::kPlaceholders,  ctl::kNoAnimations, ctl::kNoDebugger,
                                  ctl::kEnableHistory, ctl::kContextMenu,  ctl::kEnableTips};

// Shows a value in a check box, first setting a value outside 0..2 to 0.
void showBox(DialogControls& d, int id, std::int32_t& value) {
  value = shownCheck(value);
  d.setCheck(id, value);
}

constexpr std::size_t kMaxSoundPath = 259;

std::string trimmed(std::string s) {
  while (!s.empty() && wl::isSpace(s.back())) s.pop_back();
  std::size_t i = 0;
  while (i < s.size() && wl::isSpace(s[i])) ++i;
  return s.substr(i);
}

}  // namespace

// --- Popup Ads ---------------------------------------------------------------

void PopupAdsPage::init(DialogControls& d) {
  for (int id : {IDS_HOTKEY_CTRL, IDS_HOTKEY_SHIFT, IDS_HOTKEY_DISABLED}) d.comboAppend(ctl::kHotkeyList, d.loadString(id));
  if (d.comboCount(ctl::kHotkeyList) < 1) return;
  d.comboSelect(ctl::kHotkeyList, v_.hotkey == 17 ? 0 : v_.hotkey == 16 ? 1 : 2);
}

void PopupAdsPage::show(DialogControls& d) {
  for (const Box& b : kPopupBoxes) showBox(d, b.id, v_.*b.value);
}

void PopupAdsPage::activate(DialogControls& d) {
  d.markChanged();
  show(d);
}

void PopupAdsPage::leave(DialogControls& d) {
  for (const Box& b : kPopupBoxes) v_.*b.value = d.check(b.id);
}

void PopupAdsPage::hotkeyChanged(DialogControls& d) {
  switch (d.comboSelection(ctl::kHotkeyList)) {
    case 0: v_.hotkey = 17; break;
    case 1: v_.hotkey = 16; break;
    case 2: v_.hotkey = -1; break;
    default: break;
  }
}

void PopupAdsPage::soundBoxClicked(DialogControls& d, int id) {
  leave(d);
  if (v_.playDefaultSound == 0 || v_.playSoundFile == 0) return;
  // The box just clicked wins; the other one is cleared.
  if (id == ctl::kPlayDefaultSound)
    v_.playSoundFile = 0;
  else
    v_.playDefaultSound = 0;
  show(d);
}

void PopupAdsPage::test(DialogControls& d) {
  leave(d);
  if (ports_.sound && v_.beep == 1) {
    ports_.sound->beep(800, 40);
    ports_.sound->beep(500, 80);
  }
  if (ports_.sound) {
    if (v_.playSoundFile == 1 && !v_.soundFile.empty())
      ports_.sound->playFileAsync(v_.soundFile);
    else if ((v_.playDefaultSound == 1 || v_.playSoundFile == 1) && ports_.sound->moduleKnown())
      ports_.sound->playResourceAsync("PubSound");
  }
  if (v_.showStatusMsg == 1 && ports_.setStatus) ports_.setStatus(kTestStatus);
}

void PopupAdsPage::chooseSoundFile() {
  if (!ports_.chooseSoundFile) return;
  const std::string initial = v_.soundFile.substr(0, std::min(v_.soundFile.size(), kMaxSoundPath));
  if (std::optional<std::string> chosen = ports_.chooseSoundFile(initial))
    v_.soundFile = chosen->substr(0, std::min(chosen->size(), kMaxSoundPath));
}

// --- New form Ads ------------------------------------------------------------

void NewFormAdsPage::init(DialogControls& d) { d.setHotkey(ctl::kAnimHotkey, v_.blockAnimHotkey & 0xFFFF); }

void NewFormAdsPage::activate(DialogControls& d) {
  d.markChanged();
  for (const FormBox& b : kFormBoxes) showBox(d, b.id, v_.*b.value);
}

void NewFormAdsPage::leave(DialogControls& d) {
  v_.blockAnimHotkey = d.hotkey(ctl::kAnimHotkey) & 0xFFFF;
  for (const FormBox& b : kFormBoxes) v_.*b.value = d.check(b.id);
}

// --- Settings ----------------------------------------------------------------

void SettingsPage::init(DialogControls& d) {
  for (const char* name : {"SKIN_CLASSIC", "SKIN_YELLOW", "SKIN_BLUE"}) d.comboAppend(ctl::kSkinList, name);
  if (d.comboCount(ctl::kSkinList) < 1) return;
  if (v_.skin >= 1 && v_.skin <= 3) d.comboSelect(ctl::kSkinList, v_.skin - 1);
}

void SettingsPage::show(DialogControls& d) {
  for (int id : kSettingsBoxes) showBox(d, id, *settingsBox(v_, id));
}

void SettingsPage::activate(DialogControls& d) {
  d.markChanged();
  show(d);
}

void SettingsPage::leave(DialogControls& d) {
  for (int id : kSettingsBoxes) *settingsBox(v_, id) = d.check(id);
}

void SettingsPage::skinChanged(DialogControls& d) {
  const int item = d.comboSelection(ctl::kSkinList);
  if (item >= 0 && item <= 2) v_.skin = item + 1;
}

void SettingsPage::restoreDefaults(DialogControls& d) {
  // The boxes are not read first: a click on the three program options since
  // the page was last shown is undone too, their values are kept.
  v_.display = DisplaySettings{};
  show(d);
}

// --- White List --------------------------------------------------------------

void WhiteListPage::init(DialogControls& d) { d.setText(ctl::kAddressBox, "http://"); }

void WhiteListPage::fillSuggestions(DialogControls& d) {
  d.comboClear(ctl::kAddressBox);
  if (!visited_) return;
  for (const std::string& url : visited_()) {
    std::string address = wl::lowerCopy(url);
    const std::size_t at = address.find("http://");
    if (at != std::string::npos && at > 0) address.erase(0, at);
    const std::optional<std::string> site = wl::siteFromPageUrl(address);
    if (!site || site->empty()) continue;
    if (d.comboFind(ctl::kAddressBox, *site) >= 0 || d.listFind(ctl::kSiteList, *site) >= 0) continue;
    d.comboAdd(ctl::kAddressBox, *site);
  }
}

void WhiteListPage::activate(DialogControls& d) {
  if (v_.whiteListCopy && !v_.whiteListCopy->empty()) {
    d.listReplace(ctl::kSiteList, *v_.whiteListCopy);
    d.listSelect(ctl::kSiteList, 0);
    synced_ = true;
  }
  fillSuggestions(d);
  d.markChanged();
  showBox(d, ctl::kEnableWhiteList, v_.enableWhiteListCopy);
}

void WhiteListPage::leave(DialogControls& d) {
  v_.enableWhiteListCopy = d.check(ctl::kEnableWhiteList);
  if (synced_) return;  // the copy already holds what the list shows
  if (v_.whiteListCopy) v_.whiteListCopy->clear();
  const int n = d.listCount(ctl::kSiteList);
  for (int i = 0; i < n; ++i) {
    std::string s = d.listItem(ctl::kSiteList, i);
    if (s.empty()) continue;
    if (!v_.whiteListCopy) v_.whiteListCopy.emplace();
    v_.whiteListCopy->push_back(std::move(s));
  }
}

void WhiteListPage::add(DialogControls& d) {
  const std::string text = d.text(ctl::kAddressBox);
  std::string site;
  if (d.comboFind(ctl::kAddressBox, text) >= 0) {
    site = text;  // a suggestion is taken as it stands
  } else if (std::optional<std::string> typed = wl::siteFromTypedAddress(text)) {
    site = std::move(*typed);
  } else {
    d.ask(kInvalidAddress, Ask::Info);
    d.setText(ctl::kAddressBox, "http://");
    return;
  }
  int index = d.listFind(ctl::kSiteList, site);
  if (index < 0) {
    index = d.listAdd(ctl::kSiteList, site);
    synced_ = false;
  }
  d.listSelect(ctl::kSiteList, index);
}

void WhiteListPage::remove(DialogControls& d) {
  const int sel = d.listSelection(ctl::kSiteList);
  if (sel < 0 || !d.ask(kAskRemove, Ask::YesNo)) return;
  d.listDelete(ctl::kSiteList, sel);
  d.listSelect(ctl::kSiteList, -1);
  synced_ = false;
}

void WhiteListPage::removeAll(DialogControls& d) {
  if (d.listCount(ctl::kSiteList) <= 0 || !d.ask(kAskRemoveAll, Ask::YesNo)) return;
  d.listClear(ctl::kSiteList);
  synced_ = false;
}

void WhiteListPage::siteSelected(DialogControls& d) {
  const int sel = d.listSelection(ctl::kSiteList);
  if (sel >= 0) d.setText(ctl::kAddressBox, d.listItem(ctl::kSiteList, sel));
}

// --- Block history -----------------------------------------------------------

std::vector<std::string> historyEntries(std::span<const std::uint8_t> region) {
  const auto end = std::find(region.begin(), region.end(), std::uint8_t{0});
  const std::string_view text(reinterpret_cast<const char*>(region.data()),
                              static_cast<std::size_t>(end - region.begin()));
  std::vector<std::string> entries;
  std::size_t p = 0;
  while (p < text.size()) {
    std::size_t lf = text.find('\n', p);
    if (lf == std::string_view::npos) lf = text.size();
    const std::string_view line = text.substr(p, lf - p);
    p = lf + 1;
    if (line.empty()) continue;
    std::optional<std::string> site = wl::siteFromPageUrl(line);
    if (!site) continue;
    std::string entry = trimmed(std::move(*site));
    if (!entry.empty()) entries.push_back(std::move(entry));
  }
  std::reverse(entries.begin(), entries.end());  // the last block first
  return entries;
}

void BlockHistoryPage::init(DialogControls& d) {
  auto number = [](std::int32_t n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%ld", static_cast<long>(n));
    return std::string(buf);
  };
  d.setText(ctl::kPopupCount, number(counters_.blockedSession));
  d.setText(ctl::kFloatingCount, number(counters_.floatingBlockedSession));
  d.setText(ctl::kTotalCount, number(counters_.blockedTotal));
  const std::vector<std::string> entries = historyEntries(ports_.region);
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) d.listInsert(ctl::kHistoryList, 0, *it);
  if (!entries.empty()) d.listSelect(ctl::kHistoryList, 0);
}

std::string BlockHistoryPage::selected(DialogControls& d) {
  const int sel = d.listSelection(ctl::kHistoryList);
  return sel < 0 ? std::string() : d.listItem(ctl::kHistoryList, sel);
}

void BlockHistoryPage::addToWhiteList(DialogControls& d) {
  std::string site = selected(d);
  if (site.empty()) return;
  if (!whiteList_.whiteListCopy) whiteList_.whiteListCopy.emplace();
  whiteList_.whiteListCopy->push_back(std::move(site));
}

void BlockHistoryPage::browse(DialogControls& d) {
  if (!ports_.navigate) return;
  const std::string site = selected(d);
  if (site.empty()) return;
  if (ports_.newWindowGuard) *ports_.newWindowGuard = 0;
  ports_.navigate(site);
}

void BlockHistoryPage::clear(DialogControls& d) {
  if (ports_.region.empty()) return;
  // Other processes append to the region under the data mutex.
  MutexLock lock(ports_.dataMutex, kClearWaitMs);
  if (!lock.owned()) {
    if (ports_.showMessage) ports_.showMessage(IDS_ERR_BUSY);
    return;
  }
  std::memset(ports_.region.data(), 0, ports_.region.size());
  d.listClear(ctl::kHistoryList);
}

}  // namespace qv::ui
