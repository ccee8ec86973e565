// The settings store against an in-memory registry: what the first load
// makes of each registry state, the switches, and the two saves.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "core/settings.h"
#include "core/tab_registry.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_registry.h"
#include "res/resource_ids.h"

namespace qv {
namespace {

using fake::FakeMessages;
using fake::FakeRegistry;

constexpr RegRoot HKCU = RegRoot::CurrentUser;
const std::string kKey = "Software\\Harrowlyn\\Quillvane";

std::string msg(int id) { return "#" + std::to_string(id); }

struct Fixture {
  Fixture() { refusalNotice().reset(); }
  FakeRegistry reg;
  FakeMessages messages;
  SharedSettings s;
  SettingsStore store{reg, messages, s};
};

bool sameRecord(const SharedSettings& a, const SharedSettings& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

SharedSettings defaultsLoaded() {
  SharedSettings d;
  d.settingsLoaded = 1;
  return d;
}

TEST(SettingsKey, IsCompanyPrefixPlusProduct) { EXPECT_EQ(settingsKeyPath(), kKey); }

TEST(SettingsLoad, FreshProfileCreatesKeyWithOnlyPopupEnable) {
  Fixture f;
  f.store.load();
  EXPECT_TRUE(f.reg.exists(HKCU, kKey));
  EXPECT_EQ(f.reg.valueNames(HKCU, kKey), std::vector<std::string>{"PopupEnable"});
  EXPECT_EQ(f.reg.dword(HKCU, kKey, "PopupEnable"), 1u);
  EXPECT_TRUE(f.reg.valueNames(HKCU, "Software\\Harrowlyn").empty());
  EXPECT_TRUE(f.messages.shown.empty());
  EXPECT_TRUE(sameRecord(f.s, defaultsLoaded()));
}

// Failures on the way in: which message, and the record keeps its defaults
// but is marked loaded so the session does not try again.
TEST(SettingsLoad, KeyFailuresTable) {
  struct Case {
    const char* what;
    std::function<void(FakeRegistry&)> setup;
    std::vector<std::string> messages;
    bool keyExistsAfter;
  } cases[] = {
      {"company key cannot be created",
       [](FakeRegistry& r) { r.failCreate(HKCU, "Software\\Harrowlyn\\", RegStatus::AccessDenied); },
       {},
       false},
      {"product key cannot be created",
       [](FakeRegistry& r) { r.failCreate(HKCU, kKey, RegStatus::AccessDenied); },
       {msg(IDS_ERR_CREATEKEY)},
       false},
      {"key present but refused",
       [](FakeRegistry& r) {
         r.put(HKCU, kKey, "PopupEnable", RegValue::dword(0));
         r.failOpen(HKCU, kKey, RegStatus::AccessDenied);
       },
       {msg(IDS_ERR_LOADSETTINGS)},
       true},
      {"key open fails otherwise",
       [](FakeRegistry& r) { r.failOpen(HKCU, kKey, RegStatus::Failed); },
       {msg(IDS_ERR_LOADSETTINGS)},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    c.setup(f.reg);
    f.store.load();
    EXPECT_EQ(f.messages.shown, c.messages);
    EXPECT_EQ(f.reg.exists(HKCU, kKey), c.keyExistsAfter);
    EXPECT_TRUE(f.reg.writeLog().empty());
    EXPECT_TRUE(sameRecord(f.s, defaultsLoaded()));
    // The session does not retry.
    f.store.load();
    EXPECT_EQ(f.messages.shown, c.messages);
  }
}

TEST(SettingsLoad, ReadsEveryStoredValueIntoItsField) {
  Fixture f;
  const std::pair<const char*, std::int32_t SharedSettings::*> fields[] = {
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
      {"BlockedTotal", &SharedSettings::blockedTotal},
      {"BlockFlash", &SharedSettings::blockFlash},
      {"BlockAdware", &SharedSettings::blockAdware},
      {"BlockResize", &SharedSettings::blockResize},
      {"BlockImages", &SharedSettings::blockImages},
      {"BlockUncachedImages", &SharedSettings::blockUncachedImages},
      {"BlockAnimHotkey", &SharedSettings::blockAnimHotkey},
  };
  // Distinct values, none equal to a default.
  std::uint32_t v = 1000;
  for (const auto& [name, field] : fields) f.reg.put(HKCU, kKey, name, RegValue::dword(v++));
  f.reg.put(HKCU, kKey, "SoundFile", RegValue::string("C:\\sounds\\pop.wav"));
  f.store.load();
  v = 1000;
  for (const auto& [name, field] : fields) EXPECT_EQ(f.s.*field, static_cast<std::int32_t>(v++)) << name;
  EXPECT_STREQ(f.s.soundFile, "C:\\sounds\\pop.wav");
  // Fields without a registry value are untouched.
  EXPECT_EQ(f.s.blockedSession, 0);
  EXPECT_EQ(f.s.optionsDialogOpen, 0);
  EXPECT_EQ(f.s.browserCount, 0);
  EXPECT_TRUE(f.messages.shown.empty());
  EXPECT_TRUE(f.reg.writeLog().empty());
}

// One stored value at a time: what the record holds afterwards.
TEST(SettingsLoad, SingleValueTable) {
  const std::string s259(259, 'a');
  const std::string s260(260, 'b');
  RegValue unterminated;
  unterminated.type = RegType::Sz;
  unterminated.data = {'x', 'y', 'z'};
  RegValue fullNoZero;  // exactly fills the buffer with no room for the zero
  fullNoZero.type = RegType::Sz;
  fullNoZero.data.assign(260, 'c');
  RegValue shortDword;
  shortDword.type = RegType::Dword;
  shortDword.data = {1, 0};
  RegValue extraZeros = RegValue::string("a.wav");
  extraZeros.data.resize(40, 0);
  RegValue emptySz;
  emptySz.type = RegType::Sz;

  struct Case {
    const char* what;
    const char* name;
    RegValue value;
    std::function<void(const SharedSettings&)> check;
  } cases[] = {
      {"Hotkey -1 disables the suspend key", "Hotkey", RegValue::dword(0xFFFFFFFFu),
       [](const SharedSettings& s) { EXPECT_EQ(s.hotkey, -1); }},
      {"PopupEnable 5 is kept as stored", "PopupEnable", RegValue::dword(5),
       [](const SharedSettings& s) { EXPECT_EQ(s.popupEnable, 5); }},
      {"PopupEnable as REG_SZ is ignored", "PopupEnable", RegValue::string("0"),
       [](const SharedSettings& s) { EXPECT_EQ(s.popupEnable, 1); }},
      {"DWORD of two bytes is ignored", "Skin", shortDword,
       [](const SharedSettings& s) { EXPECT_EQ(s.skin, 1); }},
      {"BlockedTotal as binary is ignored", "BlockedTotal", RegValue{RegType::Binary, {9, 0, 0, 0}},
       [](const SharedSettings& s) { EXPECT_EQ(s.blockedTotal, 0); }},
      {"SoundFile as REG_DWORD is ignored", "SoundFile", RegValue::dword(7),
       [](const SharedSettings& s) { EXPECT_STREQ(s.soundFile, ""); }},
      {"SoundFile as REG_EXPAND_SZ is taken", "SoundFile", RegValue::string("%WINDIR%\\a.wav", RegType::ExpandSz),
       [](const SharedSettings& s) { EXPECT_STREQ(s.soundFile, "%WINDIR%\\a.wav"); }},
      {"SoundFile of 259 characters fits", "SoundFile", RegValue::string(s259),
       [&](const SharedSettings& s) { EXPECT_EQ(std::string(s.soundFile), s259); }},
      {"SoundFile of 260 characters is ignored", "SoundFile", RegValue::string(s260),
       [](const SharedSettings& s) { EXPECT_STREQ(s.soundFile, ""); }},
      {"SoundFile without its zero is ignored", "SoundFile", unterminated,
       [](const SharedSettings& s) { EXPECT_STREQ(s.soundFile, ""); }},
      {"SoundFile of 260 bytes without zero is ignored", "SoundFile", fullNoZero,
       [](const SharedSettings& s) { EXPECT_STREQ(s.soundFile, ""); }},
      {"SoundFile padded with zeros is taken", "SoundFile", extraZeros,
       [](const SharedSettings& s) { EXPECT_STREQ(s.soundFile, "a.wav"); }},
      {"SoundFile with no bytes is ignored", "SoundFile", emptySz,
       [](const SharedSettings& s) { EXPECT_STREQ(s.soundFile, ""); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    f.reg.put(HKCU, kKey, c.name, c.value);
    f.store.load();
    c.check(f.s);
    EXPECT_TRUE(f.messages.shown.empty());
  }
}

TEST(SettingsLoad, RejectedSoundFileLeavesPreviousTextWhole) {
  Fixture f;
  std::strcpy(f.s.soundFile, "keep.wav");
  f.s.soundFile[200] = 'z';  // bytes past the text are not rewritten either
  f.reg.put(HKCU, kKey, "SoundFile", RegValue::string(std::string(300, 'q')));
  f.store.load();
  EXPECT_STREQ(f.s.soundFile, "keep.wav");
  EXPECT_EQ(f.s.soundFile[200], 'z');
}

TEST(SettingsLoad, AcceptedSoundFileClearsOldTail) {
  Fixture f;
  std::memset(f.s.soundFile, 'o', sizeof f.s.soundFile - 1);
  f.reg.put(HKCU, kKey, "SoundFile", RegValue::string("new.wav"));
  f.store.load();
  EXPECT_STREQ(f.s.soundFile, "new.wav");
  for (std::size_t i = 7; i < sizeof f.s.soundFile; ++i) ASSERT_EQ(f.s.soundFile[i], '\0') << i;
}

TEST(SettingsLoad, SecondLoadInSessionDoesNothing) {
  Fixture f;
  f.reg.put(HKCU, kKey, "Beep", RegValue::dword(1));
  f.store.load();
  EXPECT_EQ(f.s.beep, 1);
  f.reg.put(HKCU, kKey, "Beep", RegValue::dword(0));
  f.reg.failOpen(HKCU, kKey, RegStatus::AccessDenied);
  const int opens = f.reg.openCount();
  f.store.load();
  EXPECT_EQ(f.s.beep, 1);
  EXPECT_EQ(f.reg.openCount(), opens);
  EXPECT_TRUE(f.messages.shown.empty());
}

TEST(SettingsLoad, RecordMarkedLoadedByAnotherProcessIsNotReread) {
  Fixture f;
  f.s.settingsLoaded = 1;
  f.s.popupEnable = 0;
  f.reg.put(HKCU, kKey, "PopupEnable", RegValue::dword(1));
  f.store.load();
  EXPECT_EQ(f.s.popupEnable, 0);
  EXPECT_EQ(f.reg.openCount(), 0);
}

TEST(SettingsToggle, EachSwitchFlipsAndIsStoredUnderItsName) {
  const std::pair<Toggle, std::int32_t SharedSettings::*> switches[] = {
      {Toggle::PopupEnable, &SharedSettings::popupEnable},
      {Toggle::FloatingEnable, &SharedSettings::floatingEnable},
      {Toggle::BlockFlash, &SharedSettings::blockFlash},
      {Toggle::BlockImages, &SharedSettings::blockImages},
  };
  for (const auto& [which, field] : switches) {
    const std::string name(toggleValueName(which));
    SCOPED_TRACE(name);
    Fixture f;
    f.reg.create(HKCU, kKey);
    f.s.*field = 5;  // any non-zero counts as on
    EXPECT_EQ(f.store.toggle(which), 0);
    EXPECT_EQ(f.s.*field, 0);
    EXPECT_EQ(f.reg.dword(HKCU, kKey, name), 0u);
    EXPECT_EQ(f.store.toggle(which), 1);
    EXPECT_EQ(f.s.*field, 1);
    EXPECT_EQ(f.reg.dword(HKCU, kKey, name), 1u);
    EXPECT_EQ(f.reg.writeLog(), (std::vector<std::string>{kKey + "\\" + name, kKey + "\\" + name}));
    EXPECT_TRUE(f.messages.shown.empty());
  }
}

TEST(SettingsToggle, UnsavedSwitchHoldsForTheSessionAndIsReported) {
  Fixture f;
  f.store.toggle(Toggle::PopupEnable);
  EXPECT_EQ(f.s.popupEnable, 0);
  EXPECT_FALSE(f.reg.exists(HKCU, kKey));  // not re-created either
  EXPECT_EQ(f.messages.shown, std::vector<std::string>{msg(IDS_ERR_SAVESETTINGS)});
  f.reg.create(HKCU, kKey);
  f.reg.failAllWrites(RegStatus::AccessDenied);
  f.store.toggle(Toggle::BlockImages);
  f.store.toggle(Toggle::BlockFlash);
  EXPECT_EQ(f.s.blockImages, 1);
  EXPECT_EQ(f.s.blockFlash, 1);
  EXPECT_TRUE(f.reg.writeLog().empty());
  // A refused write is told once, however many follow.
  EXPECT_EQ(f.messages.shown,
            (std::vector<std::string>{msg(IDS_ERR_SAVESETTINGS), msg(IDS_ERR_SAVEREFUSED)}));
}

TEST(SettingsSaveTotal, WritesOnlyBlockedTotalAndIsSilentOnFailure) {
  Fixture f;
  f.reg.create(HKCU, kKey);
  f.s.blockedTotal = 123456;
  f.store.saveTotal();
  EXPECT_EQ(f.reg.writeLog(), std::vector<std::string>{kKey + "\\BlockedTotal"});
  EXPECT_EQ(f.reg.dword(HKCU, kKey, "BlockedTotal"), 123456u);

  f.reg.failOpen(HKCU, kKey, RegStatus::AccessDenied);
  f.s.blockedTotal = 7;
  f.store.saveTotal();
  EXPECT_EQ(f.reg.dword(HKCU, kKey, "BlockedTotal"), 123456u);
  EXPECT_TRUE(f.messages.shown.empty());
}

TEST(SettingsSaveAll, WritesTwentyThreeValuesInOrderWithTheirTypes) {
  Fixture f;
  f.reg.create(HKCU, kKey);
  f.s.hotkey = -1;
  f.s.blockAnimHotkey = 0x0241;
  f.s.blockedTotal = 99;
  std::strcpy(f.s.soundFile, "C:\\a b\\c.wav");
  f.store.saveAll();
  const char* order[] = {"AddToContextMenu", "EnableWhiteList", "EnableHistory", "Hotkey",
                         "ShowStatusMsg", "ShowFloatingStatusMsg", "Beep", "PlayDefaultSound",
                         "PlaySoundFile", "SoundFile", "FloatingEnable", "PopupEnable",
                         "UnfatheredEnable", "WinHelpEnable", "ModelessDialogEnable", "BlockFlash",
                         "BlockResize", "BlockImages", "BlockAdware", "BlockUncachedImages",
                         "BlockAnimHotkey", "Skin", "EnableTips"};
  std::vector<std::string> expected;
  for (const char* n : order) expected.push_back(kKey + "\\" + n);
  EXPECT_EQ(f.reg.writeLog(), expected);
  EXPECT_EQ(f.reg.dword(HKCU, kKey, "Hotkey"), 0xFFFFFFFFu);
  EXPECT_EQ(f.reg.dword(HKCU, kKey, "BlockAnimHotkey"), 0x0241u);
  EXPECT_EQ(f.reg.value(HKCU, kKey, "SoundFile")->type, RegType::Sz);
  EXPECT_EQ(f.reg.string(HKCU, kKey, "SoundFile"), "C:\\a b\\c.wav");
  EXPECT_FALSE(f.reg.value(HKCU, kKey, "BlockedTotal"));
  EXPECT_TRUE(f.messages.shown.empty());
}

TEST(SettingsSaveAll, WhatIsSavedLoadsBackTheSame) {
  Fixture f;
  f.reg.create(HKCU, kKey);
  f.s.settingsLoaded = 1;
  f.s.hotkey = 0x10;
  f.s.skin = 3;
  f.s.beep = 1;
  f.s.enableTips = 0;
  f.s.blockAnimHotkey = 0x0441;
  std::memset(f.s.soundFile, 'w', sizeof f.s.soundFile);  // no zero at all: a corrupt field
  f.store.saveAll();
  EXPECT_EQ(f.reg.string(HKCU, kKey, "SoundFile")->size(), 259u);

  SharedSettings fresh;
  SettingsStore other(f.reg, f.messages, fresh);
  other.load();
  EXPECT_EQ(fresh.hotkey, 0x10);
  EXPECT_EQ(fresh.skin, 3);
  EXPECT_EQ(fresh.beep, 1);
  EXPECT_EQ(fresh.enableTips, 0);
  EXPECT_EQ(fresh.blockAnimHotkey, 0x0441);
  EXPECT_EQ(std::string(fresh.soundFile), std::string(259, 'w'));
}

TEST(SettingsSaveAll, FailuresShowSaveErrorOnce) {
  struct Case {
    const char* what;
    std::function<void(FakeRegistry&)> setup;
    std::size_t written;
    int message = IDS_ERR_SAVESETTINGS;
  } cases[] = {
      {"key cannot be opened", [](FakeRegistry& r) { r.failOpen(HKCU, kKey, RegStatus::Failed); }, 0},
      {"key refused", [](FakeRegistry& r) { r.failOpen(HKCU, kKey, RegStatus::AccessDenied); }, 0,
       IDS_ERR_SAVEREFUSED},
      {"key missing", [](FakeRegistry&) {}, 0},
      {"one write fails", [](FakeRegistry& r) { r.failWrite("SoundFile", RegStatus::Failed); }, 22},
      {"two writes fail",
       [](FakeRegistry& r) {
         r.failWrite("Hotkey", RegStatus::Failed);
         r.failWrite("EnableTips", RegStatus::AccessDenied);
       },
       21},
      {"every write fails", [](FakeRegistry& r) { r.failAllWrites(RegStatus::Failed); }, 0},
      {"every write refused", [](FakeRegistry& r) { r.failAllWrites(RegStatus::AccessDenied); }, 0,
       IDS_ERR_SAVEREFUSED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    if (std::string(c.what) != "key missing") f.reg.create(HKCU, kKey);
    c.setup(f.reg);
    f.store.saveAll();
    EXPECT_EQ(f.messages.shown, std::vector<std::string>{msg(c.message)});
    EXPECT_EQ(f.reg.writeLog().size(), c.written);
    EXPECT_EQ(f.reg.exists(HKCU, kKey), std::string(c.what) != "key missing");
  }
}

}  // namespace
}  // namespace qv
