// The options sheet's open/save protocol against fakes: locks and what every
// way out leaves held, copy-in and copy-out, the browser's display values
// and the notice, the one-step white list replace, and each message at its
// step with what survives.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <stdexcept>

#include "core/settings.h"
#include "core/tab_registry.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_popup.h"
#include "fakes/fake_registry.h"
#include "res/resource_ids.h"
#include "ui/options_sheet.h"

namespace qv::ui {
namespace {

using fake::FakeMessages;
using fake::FakeMutex;
using fake::FakeRegistry;
constexpr RegRoot HKCU = RegRoot::CurrentUser;
const std::string kKey = "Software\\Harrowlyn\\Quillvane";
const std::string kMain(kBrowserMainKey);
std::string msg(int id) { return "#" + std::to_string(id); }

class FakeList final : public SheetWhiteList {
 public:
  std::vector<std::string> sites;
  std::optional<ComError> readError;
  bool replaceFails = false;
  int replaces = 0;
  ReadResult readAll() override { return {sites, readError}; }
  std::optional<ComError> replaceAll(const std::vector<std::string>& s) override {
    ++replaces;
    if (replaceFails) return ComError{"", 0x80030066, "", "write fault"};
    sites = s;
    return std::nullopt;
  }
};

class FakeHost final : public OptionsHost {
 public:
  FakeList list;
  bool hasList = true;
  std::optional<std::string> status;  // nullopt: no statusWindow
  bool hiddenWindow = true;
  std::function<int(SheetValues&, int)> sheet = [](SheetValues&, int) { return 1; };
  std::vector<std::string> log;
  int sheets = 0;

  void focusFrame() override { log.push_back("focus"); }
  void applyDialogSkin(std::int32_t skin) override { log.push_back("skin " + std::to_string(skin)); }
  void removeDialogSkin() override { log.push_back("unskin"); }
  SheetWhiteList* whiteList() override { return hasList ? &list : nullptr; }
  std::optional<std::string> readDefaultStatus() override { return status; }
  void writeDefaultStatus(const std::string& t) override {
    log.push_back("status " + t);
    status = t;
  }
  int runSheet(SheetValues& v, int start) override {
    ++sheets;
    log.push_back("sheet " + std::to_string(start));
    return sheet(v, start);
  }
  bool sendSettingsNotice() override {
    log.push_back(hiddenWindow ? "notice" : "no hidden window");
    return hiddenWindow;
  }
  void refreshBrowser() override { log.push_back("refresh"); }
  bool logged(const std::string& s) const { return std::find(log.begin(), log.end(), s) != log.end(); }
};

// The browser's "Main" values as a browser that never changed them holds them.
void putBrowserDefaults(FakeRegistry& r) {
  for (auto [n, v] : {std::pair{"Display Inline Videos", "yes"}, {"Play_Background_Sounds", "yes"},
                      {"Display Inline Images", "yes"}, {"Expand Alt Text", "no"}, {"Play_Animations", "yes"},
                      {"Disable Script Debugger", "yes"}})
    r.put(HKCU, kMain, n, RegValue::string(v));
  r.put(HKCU, kMain, "Show image placeholders", RegValue::dword(0));
}

struct World {
  FakeRegistry reg;
  FakeMessages messages;
  SharedSettings s;
  FakeMutex options, data;
  FakeHost host;
  World() {
    refusalNotice().reset();
    reg.create(HKCU, kKey);
    putBrowserDefaults(reg);
    reg.clearWriteLog();
  }
  OptionsOutcome show(int start = 0) { return showOptions({s, reg, messages, &options, &data, host}, start); }
  // Nothing owned and the flag down, whatever happened.
  void expectClosed(const char* what) {
    EXPECT_EQ(options.held, 0) << what;
    EXPECT_EQ(data.held, 0) << what;
    EXPECT_EQ(s.optionsDialogOpen, 0) << what;
  }
};

bool sameRecord(const SharedSettings& a, const SharedSettings& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(OptionsOpen, RefusalsAndFailuresBeforeTheSheetTable) {
  struct Case {
    const char* what;
    std::function<void(World&)> setup;
    OptionsOutcome outcome;
    std::vector<std::string> messages;
    bool closingRan;  // skin removed
  } cases[] = {
      {"options mutex taken elsewhere", [](World& w) { w.options.script = {WaitResult::Timeout}; },
       OptionsOutcome::Refused, {msg(102)}, false},
      {"options mutex wait failed", [](World& w) { w.options.script = {WaitResult::Failed}; },
       OptionsOutcome::Refused, {msg(102)}, false},
      {"a sheet is open on this thread", [](World& w) { w.s.optionsDialogOpen = 1; }, OptionsOutcome::Refused,
       {msg(102)}, false},
      {"data mutex busy", [](World& w) { w.data.script = {WaitResult::Timeout}; }, OptionsOutcome::Busy,
       {msg(503)}, false},
      {"no IWhiteList", [](World& w) { w.host.hasList = false; }, OptionsOutcome::NoWhiteList, {msg(506)}, true},
  };
  for (const Case& c : cases) {
    World w;
    c.setup(w);
    const SharedSettings before = w.s;
    EXPECT_EQ(w.show(), c.outcome) << c.what;
    EXPECT_EQ(w.messages.shown, c.messages) << c.what;
    EXPECT_EQ(w.host.sheets, 0) << c.what;
    EXPECT_TRUE(w.reg.writeLog().empty()) << c.what;
    EXPECT_EQ(w.host.logged("unskin"), c.closingRan) << c.what;
    EXPECT_EQ(w.options.held, 0) << c.what;
    EXPECT_EQ(w.data.held, 0) << c.what;
    EXPECT_EQ(w.s.optionsDialogOpen, before.optionsDialogOpen) << c.what;
  }
}

TEST(OptionsOpen, WaitsAndOrder) {
  World w;
  w.host.status = "Done";
  w.show(5);
  EXPECT_EQ(w.options.lastWaitMs, 0u);
  EXPECT_EQ(w.data.waits, 2);  // copy-in, then the save
  EXPECT_EQ(w.data.lastWaitMs, kSaveWaitMs);
  EXPECT_EQ(w.host.log, (std::vector<std::string>{"focus", "skin 1", "sheet 5", "status Done", "unskin"}));
  w.expectClosed("after OK");
}

TEST(OptionsOpen, AbandonedMutexesCountAsObtainedAndAreReleased) {
  World w;
  w.options.script = {WaitResult::Abandoned};
  w.data.script = {WaitResult::Abandoned, WaitResult::Abandoned};
  EXPECT_EQ(w.show(), OptionsOutcome::Saved);
  EXPECT_EQ(w.data.releases, 2);
  EXPECT_EQ(w.options.releases, 1);
  w.expectClosed("abandoned");
}

// The flag left at 1 by a sheet whose thread died: only a mutex granted as
// abandoned proves that the sheet is gone.
TEST(OptionsOpen, StaleOpenFlagIsClearedOnlyByAnAbandonedOptionsMutex) {
  struct Case {
    WaitResult options;
    OptionsOutcome outcome;
    std::int32_t flagAfter;
  } cases[] = {
      {WaitResult::Abandoned, OptionsOutcome::Saved, 0},
      {WaitResult::Obtained, OptionsOutcome::Refused, 1},  // this thread's own open sheet
      {WaitResult::Timeout, OptionsOutcome::Refused, 1},
  };
  for (const Case& c : cases) {
    World w;
    w.s.optionsDialogOpen = 1;
    w.options.script = {c.options};
    bool sawFlag = false;
    w.host.sheet = [&](SheetValues&, int) {
      sawFlag = w.s.optionsDialogOpen == 1;
      return 1;
    };
    EXPECT_EQ(w.show(), c.outcome) << static_cast<int>(c.options);
    EXPECT_EQ(w.s.optionsDialogOpen, c.flagAfter) << static_cast<int>(c.options);
    EXPECT_EQ(sawFlag, c.outcome == OptionsOutcome::Saved) << "the new sheet holds the flag itself";
    EXPECT_EQ(w.options.held, 0);
    EXPECT_EQ(w.data.held, 0);
  }
}

TEST(OptionsOpen, SecondRequestFromInsideTheSheetIsRefusedAndTheFirstGoesOn) {
  World w;
  w.host.sheet = [&](SheetValues&, int) {
    EXPECT_EQ(w.show(6), OptionsOutcome::Refused);  // e.g. a tray double click in the modal loop
    EXPECT_EQ(w.options.held, 1);
    EXPECT_EQ(w.s.optionsDialogOpen, 1);
    return 0;
  };
  EXPECT_EQ(w.show(), OptionsOutcome::Cancelled);
  EXPECT_EQ(w.messages.shown, std::vector<std::string>{msg(102)});
  w.expectClosed("after the refused second request");
  w.host.sheet = [](SheetValues&, int) { return 0; };
  EXPECT_EQ(w.show(), OptionsOutcome::Cancelled);  // a new request opens normally
}

TEST(OptionsOpen, AnExceptionInTheSheetStillRunsTheClosingSteps) {
  World w;
  w.host.sheet = [](SheetValues&, int) -> int { throw std::runtime_error("x"); };
  EXPECT_THROW(w.show(), std::runtime_error);
  EXPECT_TRUE(w.host.logged("unskin"));
  w.expectClosed("exception");
}

TEST(OptionsCopy, InAndOut) {
  World w;
  w.s.popupEnable = 5;  // odd registry data
  w.s.hotkey = 65;
  w.s.skin = 4;
  w.s.blockAnimHotkey = 0x0378;
  w.s.blockedSession = 7;
  std::strcpy(w.s.soundFile, "C:\\a.wav");
  SheetValues seen;
  w.host.sheet = [&](SheetValues& v, int) {
    seen = v;
    w.s.blockedSession = 99;  // popups blocked while the sheet is open
    return 1;
  };
  w.show();
  EXPECT_EQ(seen.popup.popupEnable, 1);
  EXPECT_EQ(seen.popup.hotkey, 65);
  EXPECT_EQ(seen.popup.soundFile, "C:\\a.wav");
  EXPECT_EQ(seen.settings.skin, 4);
  EXPECT_EQ(seen.newForm.blockAnimHotkey, 0x0378);
  EXPECT_EQ(seen.counters.blockedSession, 7);  // frozen at opening
  EXPECT_EQ(w.s.popupEnable, 1);
  EXPECT_EQ(w.s.hotkey, 65);
  EXPECT_EQ(w.s.skin, 4);
  EXPECT_EQ(w.reg.dword(HKCU, kKey, "Hotkey"), 65u);
  EXPECT_EQ(w.reg.dword(HKCU, kKey, "Skin"), 4u);
  EXPECT_EQ(w.reg.string(HKCU, kKey, "SoundFile"), "C:\\a.wav");
}

TEST(OptionsCopy, AFlagIsSavedOnlyWhenItsPageValueIsExactlyOne) {
  SharedSettings s;
  SheetValues v;
  v.popup.popupEnable = 2;  // indeterminate
  v.popup.beep = 1;
  v.settings.enableTips = 2;  // taken unchanged
  v.popup.hotkey = -1;
  v.popup.soundFile = std::string(300, 'x');
  copyOut(v, s);
  EXPECT_EQ(s.popupEnable, 0);
  EXPECT_EQ(s.beep, 1);
  EXPECT_EQ(s.enableTips, 2);
  EXPECT_EQ(s.hotkey, -1);
  EXPECT_EQ(std::strlen(s.soundFile), 259u);
}

TEST(OptionsSave, CancelWritesNothing) {
  World w;
  w.host.list.sites = {"a.test"};
  w.host.sheet = [](SheetValues& v, int) {
    v.settings.display = DisplaySettings{1, 1, 1, 1, 1, 0, 1};  // e.g. Restore Defaults then more clicks
    v.popup.popupEnable = 0;
    v.whiteList.whiteListCopy->clear();
    return 0;
  };
  const SharedSettings before = w.s;
  EXPECT_EQ(w.show(), OptionsOutcome::Cancelled);
  EXPECT_TRUE(sameRecord(before, w.s));
  EXPECT_TRUE(w.reg.writeLog().empty());
  EXPECT_EQ(w.host.list.replaces, 0);
  EXPECT_FALSE(w.host.logged("notice"));
  EXPECT_EQ(w.data.waits, 1);
}

TEST(OptionsSave, OkWithoutChangeRewritesEverythingButSendsNoNotice) {
  World w;
  w.host.list.sites = {"a.test", "b.test"};
  EXPECT_EQ(w.show(), OptionsOutcome::Saved);
  ASSERT_EQ(w.reg.writeLog().size(), 30u);  // 23 settings, then 7 browser values
  EXPECT_EQ(w.reg.writeLog()[0], kKey + "\\AddToContextMenu");
  EXPECT_EQ(w.reg.writeLog()[22], kKey + "\\EnableTips");
  EXPECT_EQ(w.reg.writeLog()[23], kMain + "\\Display Inline Videos");
  EXPECT_EQ(w.reg.writeLog()[29], kMain + "\\Show image placeholders");
  EXPECT_EQ(w.host.list.replaces, 1);
  EXPECT_FALSE(w.host.logged("notice"));
  EXPECT_TRUE(w.messages.shown.empty());
}

// What the browser's values read as, and whether OK without a change then
// sends the notice.
TEST(OptionsDisplay, ReadingTable) {
  struct Case {
    const char* what;
    std::string name;
    std::optional<RegValue> value;  // nullopt: deleted
    std::int32_t DisplaySettings::*field;
    std::int32_t shown;
    bool notice;
  } cases[] = {
      {"YES counts as yes", "Display Inline Images", RegValue::string("YES"), &DisplaySettings::noInlineImages, 0,
       false},
      {"No checks Block images", "Display Inline Images", RegValue::string("No"), &DisplaySettings::noInlineImages,
       1, false},
      {"true does not read", "Display Inline Images", RegValue::string("true"), &DisplaySettings::noInlineImages, 0,
       false},
      {"4 characters do not read", "Expand Alt Text", RegValue::string("yess"), &DisplaySettings::expandAltText, 0,
       false},
      {"a number does not read", "Expand Alt Text", RegValue::dword(1), &DisplaySettings::expandAltText, 0, false},
      {"missing Expand Alt Text", "Expand Alt Text", std::nullopt, &DisplaySettings::expandAltText, 0, false},
      {"missing debugger value shows checked, bit clear", "Disable Script Debugger", std::nullopt,
       &DisplaySettings::disableScriptDebugger, 1, true},
      {"debugger 'true' keeps the fresh checked", "Disable Script Debugger", RegValue::string("true"),
       &DisplaySettings::disableScriptDebugger, 1, true},
      {"placeholders 7", "Show image placeholders", RegValue::dword(7), &DisplaySettings::showImagePlaceholders, 1,
       false},
      {"placeholders of four bytes of any type", "Show image placeholders", RegValue::string("yes"),
       &DisplaySettings::showImagePlaceholders, 1, false},
      {"placeholders of five bytes", "Show image placeholders", RegValue::string("true"),
       &DisplaySettings::showImagePlaceholders, 0, false},
  };
  for (const Case& c : cases) {
    World w;
    if (c.value)
      w.reg.put(HKCU, kMain, c.name, *c.value);
    else
      w.reg.open(HKCU, kMain).key->deleteValue(c.name);
    w.reg.clearWriteLog();
    DisplaySettings shown;
    w.host.sheet = [&](SheetValues& v, int) {
      shown = v.settings.display;
      return 1;
    };
    w.show();
    EXPECT_EQ(shown.*c.field, c.shown) << c.what;
    EXPECT_EQ(w.host.logged("notice"), c.notice) << c.what;
    EXPECT_EQ(w.host.logged("refresh"), c.notice) << c.what;
  }
}

TEST(OptionsDisplay, WritesLowerCaseAndTheNoticeOnlyOnAChangedBit) {
  World w;
  w.host.sheet = [](SheetValues& v, int) {
    v.settings.display.noInlineImages = 1;
    return 1;
  };
  w.show();
  EXPECT_EQ(w.reg.string(HKCU, kMain, "Display Inline Images"), "no");
  EXPECT_EQ(w.reg.string(HKCU, kMain, "Disable Script Debugger"), "yes");
  EXPECT_EQ(w.reg.dword(HKCU, kMain, "Show image placeholders"), 0u);
  EXPECT_TRUE(w.host.logged("refresh"));

  World none;  // no hidden window: nothing sent, no refresh
  none.host.hiddenWindow = false;
  none.host.sheet = [](SheetValues& v, int) {
    v.settings.display.noAnimations = 1;
    return 1;
  };
  none.show();
  EXPECT_TRUE(none.host.logged("no hidden window"));
  EXPECT_FALSE(none.host.logged("refresh"));
}

TEST(OptionsWhiteList, WrittenOnlyWhenTheWorkingCopyExists) {
  struct Case {
    const char* what;
    std::vector<std::string> atOpen;
    std::function<void(WhiteListValues&)> edit;
    int replaces;
    std::vector<std::string> after;
  } cases[] = {
      {"empty and untouched", {}, [](WhiteListValues&) {}, 0, {}},
      {"emptied by the user", {"a.test"}, [](WhiteListValues& v) { v.whiteListCopy->clear(); }, 1, {}},
      {"one added to an empty list", {}, [](WhiteListValues& v) { v.whiteListCopy = std::vector<std::string>{"n.test"}; }, 1,
       {"n.test"}},
      {"unchanged", {"a.test"}, [](WhiteListValues&) {}, 1, {"a.test"}},
  };
  for (const Case& c : cases) {
    World w;
    w.host.list.sites = c.atOpen;
    w.host.sheet = [&](SheetValues& v, int) {
      EXPECT_EQ(v.whiteList.whiteListCopy.has_value(), !c.atOpen.empty()) << c.what;
      c.edit(v.whiteList);
      return 1;
    };
    w.show();
    EXPECT_EQ(w.host.list.replaces, c.replaces) << c.what;
    EXPECT_EQ(w.host.list.sites, c.after) << c.what;
  }
}

// Every failure after OK: its message and what is saved all the same.
TEST(OptionsSave, FailureTable) {
  struct Case {
    const char* what;
    std::function<void(World&)> setup;
    std::vector<std::string> messages;
    bool settingsKeyWritten, mainWritten, listReplaced, recordChanged;
  } cases[] = {
      {"save wait times out", [](World& w) { w.data.script = {WaitResult::Obtained, WaitResult::Timeout}; },
       {msg(505)}, false, false, false, false},
      {"settings key missing", [](World& w) { w.reg.deleteKey(HKCU, kKey); }, {msg(504)}, false, true, true, true},
      {"settings key fails", [](World& w) { w.reg.failOpen(HKCU, kKey, RegStatus::Failed); }, {msg(504)}, false,
       true, true, true},
      {"browser key fails", [](World& w) { w.reg.failOpen(HKCU, kMain, RegStatus::Failed); }, {msg(507)}, true,
       false, true, true},
      {"browser value fails", [](World& w) { w.reg.failWrite("Play_Animations", RegStatus::Failed); }, {msg(507)},
       true, true, true, true},
      // A refusal (a Protected Mode tab without the broker) is told once for
      // the whole save, whichever keys refuse.
      {"settings key refused", [](World& w) { w.reg.failOpen(HKCU, kKey, RegStatus::AccessDenied); },
       {msg(IDS_ERR_SAVEREFUSED)}, false, true, true, true},
      {"both keys refused",
       [](World& w) {
         w.reg.failOpen(HKCU, kKey, RegStatus::AccessDenied);
         w.reg.failOpen(HKCU, kMain, RegStatus::AccessDenied);
       },
       {msg(IDS_ERR_SAVEREFUSED)}, false, false, true, true},
      {"white list write fails", [](World& w) { w.host.list.replaceFails = true; }, {msg(106)}, true, true, false,
       true},
  };
  for (const Case& c : cases) {
    World w;
    w.host.list.sites = {"old.test"};
    c.setup(w);
    w.host.sheet = [](SheetValues& v, int) {
      v.popup.popupEnable = 0;
      v.whiteList.whiteListCopy = std::vector<std::string>{"new.test"};
      return 1;
    };
    w.show();
    EXPECT_EQ(w.messages.shown, c.messages) << c.what;
    EXPECT_EQ(w.reg.dword(HKCU, kKey, "PopupEnable").has_value(), c.settingsKeyWritten) << c.what;
    bool mainWritten = false;
    for (const std::string& e : w.reg.writeLog()) mainWritten |= e.rfind(kMain, 0) == 0;
    EXPECT_EQ(mainWritten, c.mainWritten) << c.what;
    // The old list stays whole when the one-step replace fails.
    EXPECT_EQ(w.host.list.sites, c.listReplaced ? std::vector<std::string>{"new.test"}
                                                 : std::vector<std::string>{"old.test"})
        << c.what;
    EXPECT_EQ(w.s.popupEnable, c.recordChanged ? 0 : 1) << c.what;
    w.expectClosed(c.what);
  }
}

// No message box is up while the data mutex is owned: every other browser's
// popup decision waits on it.  Each message still comes, in its order, with
// every step's outcome as before.
TEST(OptionsMessages, NoneIsShownWhileTheDataMutexIsOwned) {
  struct Watching final : Messages {
    FakeMutex* data = nullptr;
    std::vector<std::string> shown;
    void showString(int id) override { note("#" + std::to_string(id)); }
    void showText(const std::string& t) override { note(t); }
    void note(const std::string& m) {
      EXPECT_EQ(data->held, 0) << m << " shown with the data mutex owned";
      shown.push_back(m);
    }
  };
  struct Case {
    const char* what;
    std::function<void(World&)> setup;
    std::vector<std::string> messages;
  } cases[] = {
      {"settings key missing", [](World& w) { w.reg.deleteKey(HKCU, kKey); }, {msg(504)}},
      {"browser key fails", [](World& w) { w.reg.failOpen(HKCU, kMain, RegStatus::Failed); }, {msg(507)}},
      {"white list write fails", [](World& w) { w.host.list.replaceFails = true; }, {msg(106)}},
      {"all three",
       [](World& w) {
         w.reg.deleteKey(HKCU, kKey);
         w.reg.failOpen(HKCU, kMain, RegStatus::Failed);
         w.host.list.replaceFails = true;
       },
       {msg(504), msg(507), msg(106)}},
      {"read error", [](World& w) { w.host.list.readError = ComError{"S", 0x80004005, "d", "t"}; },
       {"S Error: 0x80004005\r\nd\r\nt\r\n"}},
      {"no white list", [](World& w) { w.host.hasList = false; }, {msg(506)}},
  };
  for (const Case& c : cases) {
    World w;
    w.host.list.sites = {"old.test"};
    c.setup(w);
    w.host.sheet = [](SheetValues& v, int) {
      v.whiteList.whiteListCopy = std::vector<std::string>{"new.test"};
      return 1;
    };
    Watching watching;
    watching.data = &w.data;
    showOptions({w.s, w.reg, watching, &w.options, &w.data, w.host}, 0);
    EXPECT_EQ(watching.shown, c.messages) << c.what;
    w.expectClosed(c.what);
  }
}

TEST(OptionsWhiteList, AReadErrorShowsTheComErrorAndTheSheetOpensWithWhatWasRead) {
  World w;
  w.host.list.sites = {"a.test"};
  w.host.list.readError = ComError{"WhiteList", 0x8007000E, "no memory", "Not enough memory"};
  std::optional<std::vector<std::string>> seen;
  w.host.sheet = [&](SheetValues& v, int) {
    seen = v.whiteList.whiteListCopy;
    return 0;
  };
  w.show();
  EXPECT_EQ(w.messages.shown,
            std::vector<std::string>{"WhiteList Error: 0x8007000e\r\nno memory\r\nNot enough memory\r\n"});
  EXPECT_EQ(seen, std::vector<std::string>{"a.test"});
}

TEST(OptionsStatus, TheStatusTextIsRestoredOnlyWhenThereIsAStatusWindow) {
  World w;
  w.host.status = "";
  w.host.sheet = [&](SheetValues&, int) {
    w.host.status = "This page contains popup windows!";  // Test button
    return 0;
  };
  w.show();
  EXPECT_EQ(w.host.status, "");
  World none;
  none.show();
  EXPECT_FALSE(none.host.status.has_value());
  EXPECT_EQ(std::count_if(none.host.log.begin(), none.host.log.end(),
                          [](const std::string& s) { return s.rfind("status", 0) == 0; }),
            0);
}

}  // namespace
}  // namespace qv::ui
