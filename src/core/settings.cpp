#include "core/settings.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "core/tab_registry.h"
#include "res/resource_ids.h"

namespace qv {
namespace {

using Field = std::int32_t SharedSettings::*;

// A registry value and the field it feeds; a null field marks "SoundFile".
struct Entry {
  std::string_view name;
  Field field;
};

// Order in which the load reads the values.
constexpr Entry kLoadOrder[] = {
    {"PopupEnable", &SharedSettings::popupEnable},
    {"FloatingEnable", &SharedSettings::floatingEnable},
    {"UnfatheredEnable", &SharedSettings::unfatheredEnable},
    {"WinHelpEnable", &SharedSettings::winHelpEnable},
    {"ModelessDialogEnable", &SharedSettings::modelessDialogEnable},
    {"AddToContextMenu", &SharedSettings::addToContextMenu},
    {"EnableWhiteList", &SharedSettings::enableWhiteList},
    {"EnableHistory", &SharedSettings::enableHistory},
    {"EnableTips", &SharedSettings::enableTips},
    {"Hotkey", &SharedSettings::hotkey},
    {"Skin", &SharedSettings::skin},
    {"ShowStatusMsg", &SharedSettings::showStatusMsg},
    {"ShowFloatingStatusMsg", &SharedSettings::showFloatingStatusMsg},
    {"Beep", &SharedSettings::beep},
    {"PlayDefaultSound", &SharedSettings::playDefaultSound},
    {"PlaySoundFile", &SharedSettings::playSoundFile},
    {"SoundFile", nullptr},
    {"BlockedTotal", &SharedSettings::blockedTotal},
    {"BlockFlash", &SharedSettings::blockFlash},
    {"BlockAdware", &SharedSettings::blockAdware},
    {"BlockResize", &SharedSettings::blockResize},
    {"BlockImages", &SharedSettings::blockImages},
    {"BlockUncachedImages", &SharedSettings::blockUncachedImages},
    {"BlockAnimHotkey", &SharedSettings::blockAnimHotkey},
};

// Order in which "save all" writes them (blockedTotal has its own save).
constexpr Entry kSaveOrder[] = {
    {"AddToContextMenu", &SharedSettings::addToContextMenu},
    {"EnableWhiteList", &SharedSettings::enableWhiteList},
    {"EnableHistory", &SharedSettings::enableHistory},
    {"Hotkey", &SharedSettings::hotkey},
    {"ShowStatusMsg", &SharedSettings::showStatusMsg},
    {"ShowFloatingStatusMsg", &SharedSettings::showFloatingStatusMsg},
    {"Beep", &SharedSettings::beep},
    {"PlayDefaultSound", &SharedSettings::playDefaultSound},
    {"PlaySoundFile", &SharedSettings::playSoundFile},
    {"SoundFile", nullptr},
    {"FloatingEnable", &SharedSettings::floatingEnable},
    {"PopupEnable", &SharedSettings::popupEnable},
    {"UnfatheredEnable", &SharedSettings::unfatheredEnable},
    {"WinHelpEnable", &SharedSettings::winHelpEnable},
    {"ModelessDialogEnable", &SharedSettings::modelessDialogEnable},
    {"BlockFlash", &SharedSettings::blockFlash},
    {"BlockResize", &SharedSettings::blockResize},
    {"BlockImages", &SharedSettings::blockImages},
    {"BlockAdware", &SharedSettings::blockAdware},
    {"BlockUncachedImages", &SharedSettings::blockUncachedImages},
    {"BlockAnimHotkey", &SharedSettings::blockAnimHotkey},
    {"Skin", &SharedSettings::skin},
    {"EnableTips", &SharedSettings::enableTips},
};
static_assert(std::size(kSaveOrder) == 23);

// The record is shared with other processes: each field is one aligned
// 32-bit word read and written whole.
std::int32_t get(SharedSettings& s, Field f) {
  return std::atomic_ref<std::int32_t>(s.*f).load(std::memory_order_relaxed);
}
void put(SharedSettings& s, Field f, std::int32_t v) {
  std::atomic_ref<std::int32_t>(s.*f).store(v, std::memory_order_relaxed);
}

RegValue dwordOf(std::int32_t v) { return RegValue::dword(static_cast<std::uint32_t>(v)); }

Field toggleField(Toggle which) {
  switch (which) {
    case Toggle::PopupEnable: return &SharedSettings::popupEnable;
    case Toggle::FloatingEnable: return &SharedSettings::floatingEnable;
    case Toggle::BlockFlash: return &SharedSettings::blockFlash;
    case Toggle::BlockImages: return &SharedSettings::blockImages;
  }
  return &SharedSettings::popupEnable;
}

}  // namespace

std::string settingsKeyPath() { return std::string(kCompanyKeyPrefix) + std::string(kProductName); }

std::string_view toggleValueName(Toggle which) {
  switch (which) {
    case Toggle::PopupEnable: return "PopupEnable";
    case Toggle::FloatingEnable: return "FloatingEnable";
    case Toggle::BlockFlash: return "BlockFlash";
    case Toggle::BlockImages: return "BlockImages";
  }
  return "PopupEnable";
}

bool copySoundFile(const RegValue& value, char (&field)[kSoundFileSize]) {
  if (value.type != RegType::Sz && value.type != RegType::ExpandSz) return false;
  if (value.data.size() > kSoundFileSize) return false;
  const auto zero = std::find(value.data.begin(), value.data.end(), std::uint8_t{0});
  if (zero == value.data.end()) return false;
  const auto length = static_cast<std::size_t>(zero - value.data.begin());
  std::memset(field, 0, kSoundFileSize);
  std::memcpy(field, value.data.data(), length);
  return true;
}

std::string soundFileText(const char (&field)[kSoundFileSize]) {
  std::size_t n = 0;
  while (n < kSoundFileSize - 1 && field[n] != '\0') ++n;
  return std::string(field, n);
}

void SettingsStore::load() {
  if (get(settings_, &SharedSettings::settingsLoaded) == 1) return;
  put(settings_, &SharedSettings::settingsLoaded, 1);

  // Read access only: a Protected Mode tab may read the key but not write it.
  const std::string path = settingsKeyPath();
  RegOpen opened = registry_.openReadOnly(RegRoot::CurrentUser, path);
  if (opened.status == RegStatus::NotFound) {
    // First run for this user: make the key and record only the master switch.
    if (registry_.create(RegRoot::CurrentUser, kCompanyKeyPrefix).status != RegStatus::Ok) return;
    RegOpen created = registry_.create(RegRoot::CurrentUser, path);
    if (created.status != RegStatus::Ok) {
      messages_.showString(IDS_ERR_CREATEKEY);
      return;
    }
    created.key->set("PopupEnable", dwordOf(get(settings_, &SharedSettings::popupEnable)));
    return;
  }
  if (opened.status != RegStatus::Ok) {
    messages_.showString(IDS_ERR_LOADSETTINGS);
    return;
  }

  RegistryKey& key = *opened.key;
  for (const Entry& e : kLoadOrder) {
    RegValue value;
    if (key.query(e.name, value) != RegStatus::Ok) continue;
    if (!e.field) {
      copySoundFile(value, settings_.soundFile);
    } else if (auto v = value.asDword()) {
      put(settings_, e.field, static_cast<std::int32_t>(*v));
    }
  }
}

std::int32_t SettingsStore::toggle(Toggle which) {
  const Field f = toggleField(which);
  const std::int32_t now = get(settings_, f) == 0 ? 1 : 0;
  put(settings_, f, now);
  // The switch holds for the session either way.  The user chose it from a
  // menu, so a value that could not be kept for the next session (the key
  // deleted, or refused to a low-integrity tab) is reported; the key is not
  // made again here.
  // A write refused for good (a Protected Mode tab without the broker) is
  // told once per process, not at every toggle.
  RegOpen opened = registry_.open(RegRoot::CurrentUser, settingsKeyPath());
  const RegStatus saved =
      opened.status == RegStatus::Ok ? opened.key->set(toggleValueName(which), dwordOf(now)) : opened.status;
  if (saved != RegStatus::Ok) reportSaveFailure(messages_, saved, IDS_ERR_SAVESETTINGS);
  return now;
}

void SettingsStore::saveTotal() {
  RegOpen opened = registry_.open(RegRoot::CurrentUser, settingsKeyPath());
  if (opened.status != RegStatus::Ok) return;
  opened.key->set("BlockedTotal", dwordOf(get(settings_, &SharedSettings::blockedTotal)));
}

void SettingsStore::saveAll() {
  RegOpen opened = registry_.open(RegRoot::CurrentUser, settingsKeyPath());
  if (opened.status != RegStatus::Ok) {
    reportSaveFailure(messages_, opened.status, IDS_ERR_SAVESETTINGS);
    return;
  }
  RegStatus firstFailure = RegStatus::Ok;
  for (const Entry& e : kSaveOrder) {
    const RegValue value = e.field ? dwordOf(get(settings_, e.field))
                                   : RegValue::string(soundFileText(settings_.soundFile));
    const RegStatus written = opened.key->set(e.name, value);
    if (written != RegStatus::Ok && firstFailure == RegStatus::Ok) firstFailure = written;
  }
  // Every value is attempted; the user hears of a failure once.
  if (firstFailure != RegStatus::Ok) reportSaveFailure(messages_, firstFailure, IDS_ERR_SAVESETTINGS);
}

}  // namespace qv
