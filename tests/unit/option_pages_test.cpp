// The options pages' rules over a fake dialog: what each page shows, reads
// back and does on its buttons.
#include <gtest/gtest.h>

#include <cstring>

#include "fakes/fake_dialog.h"
#include "fakes/fake_popup.h"
#include "res/resource_ids.h"
#include "ui/option_pages.h"

namespace qv::ui {
namespace {

using fake::FakeDialog;
using fake::FakeMutex;
using fake::FakeSound;

FakeDialog popupDialog() {
  FakeDialog d{ctl::kPopupEnable, ctl::kHotkeyList, ctl::kShowStatusMsg, ctl::kBeep, ctl::kPlayDefaultSound,
               ctl::kPlaySoundFile, ctl::kModelessDialog, ctl::kUnfathered, ctl::kWinHelp};
  d.strings = {{IDS_HOTKEY_CTRL, "CTRL"}, {IDS_HOTKEY_SHIFT, "SHIFT"}, {IDS_HOTKEY_DISABLED, "(Disabled)"}};
  return d;
}

TEST(PopupAdsPage, HotkeyListShowsAndSetsTheKey) {
  struct Case {
    std::int32_t hotkey;
    int shown;
  } shows[] = {{17, 0}, {16, 1}, {-1, 2}, {65, 2}};
  for (const Case& c : shows) {
    PopupAdsValues v;
    v.hotkey = c.hotkey;
    FakeDialog d = popupDialog();
    PopupAdsPage page(v, {});
    page.init(d);
    EXPECT_EQ(d.items(ctl::kHotkeyList), (std::vector<std::string>{"CTRL", "SHIFT", "(Disabled)"}));
    EXPECT_EQ(d.comboSelection(ctl::kHotkeyList), c.shown) << c.hotkey;
  }
  PopupAdsValues v;
  v.hotkey = 65;
  FakeDialog d = popupDialog();
  PopupAdsPage page(v, {});
  page.init(d);
  page.leave(d);
  EXPECT_EQ(v.hotkey, 65);  // untouched list: kept
  for (auto [item, key] : {std::pair{0, 17}, {1, 16}, {2, -1}, {-1, -1}}) {
    d.comboSelect(ctl::kHotkeyList, item);
    page.hotkeyChanged(d);
    EXPECT_EQ(v.hotkey, key) << item;
  }
}

TEST(PopupAdsPage, ActivationShowsClampedValuesAndLeavingReadsThemBack) {
  PopupAdsValues v;
  v.popupEnable = 5;
  v.beep = 2;
  v.winHelpEnable = 1;
  FakeDialog d;
  PopupAdsPage page(v, {});
  page.activate(d);
  EXPECT_EQ(d.changedMarks, 1);
  EXPECT_EQ(d.check(ctl::kPopupEnable), 0);
  EXPECT_EQ(d.check(ctl::kBeep), 2);
  EXPECT_EQ(d.check(ctl::kWinHelp), 1);
  d.setCheck(ctl::kUnfathered, 1);
  d.setCheck(ctl::kWinHelp, 0);
  page.leave(d);
  EXPECT_EQ(v.unfatheredEnable, 1);
  EXPECT_EQ(v.winHelpEnable, 0);
}

TEST(PopupAdsPage, TheTwoSoundBoxesExcludeEachOtherOnceClicked) {
  PopupAdsValues v;
  v.playDefaultSound = 1;
  v.playSoundFile = 1;
  FakeDialog d;
  PopupAdsPage page(v, {});
  page.activate(d);
  EXPECT_EQ(d.check(ctl::kPlayDefaultSound), 1);  // both shown until a click
  EXPECT_EQ(d.check(ctl::kPlaySoundFile), 1);
  page.soundBoxClicked(d, ctl::kPlayDefaultSound);
  EXPECT_EQ(d.check(ctl::kPlaySoundFile), 0);
  d.setCheck(ctl::kPlaySoundFile, 1);  // the user checks the other one
  page.soundBoxClicked(d, ctl::kPlaySoundFile);
  EXPECT_EQ(d.check(ctl::kPlayDefaultSound), 0);
  EXPECT_EQ(v.playSoundFile, 1);
  EXPECT_EQ(v.playDefaultSound, 0);
}

TEST(PopupAdsPage, TestAnnouncesFromTheBoxesOnThePage) {
  struct Case {
    const char* what;
    int beep, def, file, status;
    std::string soundFile;
    bool moduleKnown;
    std::vector<std::string> sounds;
    bool statusSet;
  } cases[] = {
      {"beep first", 1, 1, 0, 0, "", true, {"beep 800 40", "beep 500 80", "resource PubSound"}, false},
      {"sound file", 0, 0, 1, 0, "C:\\x.wav", true, {"file C:\\x.wav"}, false},
      {"sound file box without a file", 0, 0, 1, 0, "", true, {"resource PubSound"}, false},
      {"no module handle", 0, 1, 0, 0, "", false, {}, false},
      {"status only", 0, 0, 0, 1, "", true, {}, true},
  };
  for (const Case& c : cases) {
    PopupAdsValues v;
    v.soundFile = c.soundFile;
    FakeSound sound;
    sound.known = c.moduleKnown;
    std::vector<std::string> statuses;
    PopupAdsPage page(v, {&sound, [&](const std::string& t) {
                            statuses.push_back(t);
                            return true;
                          },
                          nullptr});
    FakeDialog d = popupDialog();
    d.setCheck(ctl::kBeep, c.beep);
    d.setCheck(ctl::kPlayDefaultSound, c.def);
    d.setCheck(ctl::kPlaySoundFile, c.file);
    d.setCheck(ctl::kShowStatusMsg, c.status);
    page.test(d);
    EXPECT_EQ(sound.log, c.sounds) << c.what;
    EXPECT_EQ(statuses, c.statusSet ? std::vector<std::string>{"This page contains popup windows!"}
                                    : std::vector<std::string>{})
        << c.what;
  }
}

TEST(PopupAdsPage, SoundFileDialogGetsTheCutPathAndCancelKeepsIt) {
  PopupAdsValues v;
  v.soundFile = std::string(300, 'a');
  std::string initial;
  std::optional<std::string> answer = "C:\\new.wav";
  PopupAdsPage page(v, {nullptr, nullptr, [&](const std::string& i) {
                          initial = i;
                          return answer;
                        }});
  page.chooseSoundFile();
  EXPECT_EQ(initial.size(), 259u);
  EXPECT_EQ(v.soundFile, "C:\\new.wav");
  answer = std::nullopt;
  page.chooseSoundFile();
  EXPECT_EQ(v.soundFile, "C:\\new.wav");
}

TEST(NewFormAdsPage, HotkeyAndBoxes) {
  NewFormAdsValues v;
  v.blockAnimHotkey = 0x10378;  // only the low 16 bits reach the control
  v.blockFlash = 1;
  FakeDialog d;
  NewFormAdsPage page(v);
  page.init(d);
  EXPECT_EQ(d.hotkey(ctl::kAnimHotkey), 0x0378);
  page.activate(d);
  EXPECT_EQ(d.check(ctl::kBlockFlash), 1);
  d.setHotkey(ctl::kAnimHotkey, 0);  // shortcut cleared
  d.setCheck(ctl::kBlockResize, 1);
  page.leave(d);
  EXPECT_EQ(v.blockAnimHotkey, 0);
  EXPECT_EQ(v.blockResize, 1);
}

TEST(SettingsPage, SkinListSelectsOnlyTheThreeSkins) {
  for (auto [skin, shown] : {std::pair{1, 0}, {3, 2}, {0, -1}, {4, -1}}) {
    SettingsValues v;
    v.skin = skin;
    FakeDialog d;
    SettingsPage page(v);
    page.init(d);
    EXPECT_EQ(d.items(ctl::kSkinList), (std::vector<std::string>{"SKIN_CLASSIC", "SKIN_YELLOW", "SKIN_BLUE"}));
    EXPECT_EQ(d.comboSelection(ctl::kSkinList), shown) << skin;
    page.skinChanged(d);
    EXPECT_EQ(v.skin, skin);  // no selection: unchanged
    d.comboSelect(ctl::kSkinList, 1);
    page.skinChanged(d);
    EXPECT_EQ(v.skin, 2);
  }
}

TEST(SettingsPage, RestoreDefaultsResetsDisplayAndUndoesUnreadClicks) {
  SettingsValues v;
  v.display = DisplaySettings{1, 1, 1, 1, 1, 0, 1};
  v.enableHistory = 0;
  v.addToContextMenu = 1;
  FakeDialog d;
  SettingsPage page(v);
  page.activate(d);
  EXPECT_EQ(d.check(ctl::kNoDebugger), 0);
  d.setCheck(ctl::kEnableHistory, 1);  // clicked on this visit
  page.restoreDefaults(d);
  EXPECT_EQ(v.display, DisplaySettings{});
  for (int id : {ctl::kNoVideos, ctl::kNoSounds, ctl::kNoImages, ctl::kExpandAlt, ctl::kPlaceholders,
                 ctl::kNoAnimations})
    EXPECT_EQ(d.check(id), 0) << id;
  EXPECT_EQ(d.check(ctl::kNoDebugger), 1);
  EXPECT_EQ(d.check(ctl::kEnableHistory), 0);  // the click is undone
  EXPECT_EQ(d.check(ctl::kContextMenu), 1);
  page.leave(d);
  EXPECT_EQ(v.enableHistory, 0);
}

FakeDialog whiteListDialog() {
  FakeDialog d{ctl::kAddressBox, ctl::kSiteList, ctl::kEnableWhiteList};
  d.sorted = {ctl::kSiteList, ctl::kAddressBox, ctl::kHistoryList};
  return d;
}

TEST(WhiteListPage, AddTable) {
  struct Case {
    std::string typed;
    std::vector<std::string> listAfter;
    bool invalid;
  } cases[] = {
      {"Example.com", {"Example.com", "old.test"}, false},
      {"example.com", {"Example.com", "old.test"}, false},  // selects the entry already there
      {"http://example.com/dir/", {"Example.com", "example.com/dir/", "old.test"}, false},
      {"ftp://example.com", {"Example.com", "example.com/dir/", "ftp//example.com", "old.test"}, false},
      {"http://", {"Example.com", "example.com/dir/", "ftp//example.com", "old.test"}, true},
      {"abc%", {"Example.com", "example.com/dir/", "ftp//example.com", "old.test"}, true},
      {"Suggested.TEST/x", {"Example.com", "example.com/dir/", "ftp//example.com", "old.test", "Suggested.TEST/x"},
       false},  // a suggestion is taken as it stands
  };
  WhiteListValues v;
  v.whiteListCopy = std::vector<std::string>{"old.test"};
  WhiteListPage page(v, [] { return std::vector<std::string>{"http://suggested.test/x/page.html"}; });
  FakeDialog d = whiteListDialog();
  page.init(d);
  EXPECT_EQ(d.text(ctl::kAddressBox), "http://");
  page.activate(d);
  ASSERT_EQ(d.items(ctl::kAddressBox), std::vector<std::string>{"suggested.test/x"});
  for (const Case& c : cases) {
    d.asked.clear();
    d.setText(ctl::kAddressBox, c.typed);
    page.add(d);
    EXPECT_EQ(d.items(ctl::kSiteList), c.listAfter) << c.typed;
    EXPECT_EQ(d.asked, c.invalid ? std::vector<std::string>{"Invalid website address."} : std::vector<std::string>{})
        << c.typed;
    EXPECT_EQ(d.text(ctl::kAddressBox), c.invalid ? "http://" : c.typed) << c.typed;
    if (c.typed == "example.com") {
      EXPECT_EQ(d.listSelection(ctl::kSiteList), 0);
    }
    if (!c.invalid) {
      EXPECT_GE(d.listSelection(ctl::kSiteList), 0) << c.typed;
    }
  }
}

TEST(WhiteListPage, SuggestionsSkipListedSitesAndOtherSchemes) {
  WhiteListValues v;
  v.whiteListCopy = std::vector<std::string>{"listed.test"};
  WhiteListPage page(v, [] {
    return std::vector<std::string>{"http://listed.test/a.html", "ftp://f.test/x", "Visited: user@http://B.test/d/p",
                                    "https://s.test/q", "http://b.test/d/other"};
  });
  FakeDialog d = whiteListDialog();
  page.activate(d);
  EXPECT_EQ(d.items(ctl::kAddressBox), (std::vector<std::string>{"b.test/d", "s.test"}));
  page.activate(d);  // rebuilt, not doubled
  EXPECT_EQ(d.items(ctl::kAddressBox).size(), 2u);
}

TEST(WhiteListPage, LeavingWritesTheWorkingCopy) {
  struct Case {
    const char* what;
    std::optional<std::vector<std::string>> atOpen;
    std::function<void(WhiteListPage&, FakeDialog&)> act;
    std::optional<std::vector<std::string>> after;
    std::vector<std::string> asked;
  } cases[] = {
      {"empty stays absent", std::nullopt, [](WhiteListPage&, FakeDialog&) {}, std::nullopt, {}},
      {"remove all", std::vector<std::string>{"a.test", "b.test"},
       [](WhiteListPage& p, FakeDialog& d) {
         d.answers = {true};
         p.removeAll(d);
       }, std::vector<std::string>{},
       {"Remove all websites from the white list?"}},
      {"remove all answered No", std::vector<std::string>{"a.test"},
       [](WhiteListPage& p, FakeDialog& d) {
         d.answers = {false};
         p.removeAll(d);
       },
       std::vector<std::string>{"a.test"}, {"Remove all websites from the white list?"}},
      {"remove the selected", std::vector<std::string>{"a.test", "b.test"},
       [](WhiteListPage& p, FakeDialog& d) {
         d.listSelect(ctl::kSiteList, 1);
         d.answers = {true};
         p.remove(d);
         EXPECT_EQ(d.listSelection(ctl::kSiteList), -1);
       },
       std::vector<std::string>{"a.test"}, {"Remove the selected website from the white list?"}},
      {"remove without selection asks nothing", std::vector<std::string>{"a.test"},
       [](WhiteListPage& p, FakeDialog& d) {
         d.listSelect(ctl::kSiteList, -1);
         p.remove(d);
       },
       std::vector<std::string>{"a.test"}, {}},
      {"add to an empty list", std::nullopt,
       [](WhiteListPage& p, FakeDialog& d) {
         d.setText(ctl::kAddressBox, "n.test");
         p.add(d);
       },
       std::vector<std::string>{"n.test"}, {}},
  };
  for (const Case& c : cases) {
    WhiteListValues v;
    v.whiteListCopy = c.atOpen;
    v.enableWhiteListCopy = 1;
    WhiteListPage page(v, nullptr);
    FakeDialog d = whiteListDialog();
    page.init(d);
    page.activate(d);
    EXPECT_EQ(d.check(ctl::kEnableWhiteList), 1);
    c.act(page, d);
    d.setCheck(ctl::kEnableWhiteList, 0);
    page.leave(d);
    EXPECT_EQ(v.whiteListCopy, c.after) << c.what;
    EXPECT_EQ(d.asked, c.asked) << c.what;
    EXPECT_EQ(v.enableWhiteListCopy, 0) << c.what;
  }
}

// A long list shown and left unedited is not read back item by item; the
// working copy keeps its sites (and what the history page appends).
TEST(WhiteListPage, AnUneditedListIsNotReadBack) {
  WhiteListValues v;
  v.whiteListCopy = std::vector<std::string>{"b.test", "a.test"};
  WhiteListPage page(v, nullptr);
  FakeDialog d = whiteListDialog();
  page.activate(d);
  page.leave(d);
  EXPECT_EQ(d.itemReads, 0);
  EXPECT_EQ(v.whiteListCopy, (std::vector<std::string>{"b.test", "a.test"}));
  v.whiteListCopy->push_back("h.test");  // from the history page meanwhile
  page.activate(d);
  EXPECT_EQ(d.items(ctl::kSiteList), (std::vector<std::string>{"a.test", "b.test", "h.test"}));
  d.setText(ctl::kAddressBox, "c.test");
  page.add(d);
  page.leave(d);
  EXPECT_EQ(v.whiteListCopy, (std::vector<std::string>{"a.test", "b.test", "c.test", "h.test"}));
}

TEST(WhiteListPage, SelectingASiteCopiesItIntoTheAddressBox) {
  WhiteListValues v;
  v.whiteListCopy = std::vector<std::string>{"a.test", "b.test"};
  WhiteListPage page(v, nullptr);
  FakeDialog d = whiteListDialog();
  page.activate(d);
  d.listSelect(ctl::kSiteList, 1);
  page.siteSelected(d);
  EXPECT_EQ(d.text(ctl::kAddressBox), "b.test");
}

std::vector<std::uint8_t> region(const std::string& text) {
  std::vector<std::uint8_t> r(8196, 0);
  std::memcpy(r.data(), text.data(), text.size());
  return r;
}

TEST(BlockHistoryPage, EntriesNewestFirstOnlyHttpSites) {
  EXPECT_EQ(historyEntries(region("http://a.test/x/1.html\nhttp://b.test/2.html\nhttp://a.test/x/3.html\n")),
            (std::vector<std::string>{"a.test/x", "b.test", "a.test/x"}));
  EXPECT_EQ(historyEntries(region("ftp://f.test/a\n\n\nhttps://S.test/p/q\nfile:///c:/x\nnot an address\n")),
            std::vector<std::string>{"s.test/p"});
  EXPECT_TRUE(historyEntries({}).empty());
  std::vector<std::uint8_t> full(8196, 'a');  // no terminating zero inside
  EXPECT_TRUE(historyEntries(full).empty());
}

TEST(BlockHistoryPage, CountersListAndButtons) {
  auto r = region("http://a.test/x/1.html\nhttp://b.test/2.html\n");
  WhiteListValues wl;
  std::int32_t guard = 1;
  std::vector<std::string> opened, messages;
  FakeMutex data;
  BlockHistoryPage page({7, -3, 123456}, wl,
                        {r, &data, &guard, [&](const std::string& s) { opened.push_back(s); },
                         [&](int id) { messages.push_back(std::to_string(id)); }});
  FakeDialog d = whiteListDialog();
  page.init(d);
  EXPECT_EQ(d.text(ctl::kPopupCount), "7");
  EXPECT_EQ(d.text(ctl::kFloatingCount), "-3");
  EXPECT_EQ(d.text(ctl::kTotalCount), "123456");
  EXPECT_EQ(d.items(ctl::kHistoryList), (std::vector<std::string>{"b.test", "a.test/x"}));
  EXPECT_EQ(d.listSelection(ctl::kHistoryList), 0);

  page.addToWhiteList(d);
  page.addToWhiteList(d);  // duplicates collapse when the list is written back
  EXPECT_EQ(wl.whiteListCopy, (std::vector<std::string>{"b.test", "b.test"}));
  page.browse(d);
  EXPECT_EQ(guard, 0);
  EXPECT_EQ(opened, std::vector<std::string>{"b.test"});

  data.script = {WaitResult::Timeout};
  page.clear(d);
  EXPECT_EQ(messages, std::vector<std::string>{"503"});
  EXPECT_EQ(r[0], 'h');  // nothing cleared
  EXPECT_EQ(d.listCount(ctl::kHistoryList), 2);
  page.clear(d);
  EXPECT_EQ(data.lastWaitMs, 5000u);
  EXPECT_EQ(data.held, 0);
  EXPECT_EQ(r, std::vector<std::uint8_t>(8196, 0));
  EXPECT_EQ(d.listCount(ctl::kHistoryList), 0);

  d.listSelect(ctl::kHistoryList, -1);  // nothing selected: nothing happens
  page.addToWhiteList(d);
  page.browse(d);
  EXPECT_EQ(wl.whiteListCopy->size(), 2u);
  EXPECT_EQ(opened.size(), 1u);
}

TEST(BlockHistoryPage, NoBrowserNoRegion) {
  WhiteListValues wl;
  std::int32_t guard = 1;
  BlockHistoryPage page({}, wl, {{}, nullptr, &guard, nullptr, nullptr});
  FakeDialog d;
  page.init(d);
  d.listInsert(ctl::kHistoryList, 0, "x.test");
  d.listSelect(ctl::kHistoryList, 0);
  page.browse(d);
  page.clear(d);
  EXPECT_EQ(guard, 1);
  EXPECT_EQ(d.listCount(ctl::kHistoryList), 1);
}

}  // namespace
}  // namespace qv::ui
