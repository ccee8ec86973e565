// Where the module's writes go in a browser tab: a medium-integrity process
// writes directly, a Protected Mode tab through the browser's broker, and
// without the broker the change holds for the session and is told once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/settings.h"
#include "core/tab_registry.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_registry.h"
#include "res/resource_ids.h"
#include "ui/options_sheet.h"

namespace qv {
namespace {

using fake::FakeMessages;
using fake::FakeRegistry;

constexpr RegRoot HKCU = RegRoot::CurrentUser;
const std::string kKey = "Software\\Harrowlyn\\Quillvane";

std::string msg(int id) { return "#" + std::to_string(id); }

// The browser's broker, at medium integrity: writes the keys registered as
// writable into the same registry, refuses every other; records each call.
class FakeBroker final : public ProtectedModeBroker {
 public:
  FakeBroker(FakeRegistry& registry, bool tab, bool present) : registry_(registry), tab_(tab), present_(present) {}
  bool protectedMode() override { return tab_; }
  bool available() override { return present_; }
  RegStatus createKey(std::string_view path) override {
    calls.push_back("create " + std::string(path));
    if (!writable(path)) return RegStatus::AccessDenied;
    return registry_.create(HKCU, path).status;
  }
  RegStatus setValue(std::string_view path, std::string_view name, const RegValue& value) override {
    calls.push_back(std::string(path) + "\\" + std::string(name));
    if (!writable(path)) return RegStatus::AccessDenied;
    registry_.put(HKCU, path, name, value);
    return RegStatus::Ok;
  }
  std::vector<std::string> registered{kKey, std::string(ui::kBrowserMainKey)};
  std::vector<std::string> calls;

 private:
  bool writable(std::string_view path) const {
    for (const std::string& r : registered)
      if (r == path) return true;
    return false;
  }
  FakeRegistry& registry_;
  bool tab_, present_;
};

TEST(WriteRoute, FromTabBrokerAndDirectOpen) {
  struct Case {
    bool tab, broker;
    RegStatus direct;
    WriteRoute route;
  } cases[] = {
      {false, true, RegStatus::Ok, WriteRoute::Direct},
      {false, false, RegStatus::Ok, WriteRoute::Direct},
      {false, true, RegStatus::NotFound, WriteRoute::Direct},  // the caller sees NotFound itself
      {false, true, RegStatus::AccessDenied, WriteRoute::Broker},
      {false, false, RegStatus::AccessDenied, WriteRoute::Refused},
      {true, true, RegStatus::Ok, WriteRoute::Broker},
      {true, false, RegStatus::Ok, WriteRoute::Refused},
  };
  for (const Case& c : cases)
    EXPECT_EQ(chooseWriteRoute(c.tab, c.broker, c.direct), c.route) << c.tab << c.broker << int(c.direct);
}

// One session of each kind of process against a stored profile: the load,
// a menu toggle, the counter and the sheet's save of settings and display
// values; where each write lands and what the user is told.
TEST(TabRegistry, WhereEachWriteGoes) {
  enum class Lands { Directly, ThroughBroker, Nowhere };
  struct Case {
    const char* what;
    bool tab, broker, keyRefusesWrites;
    Lands lands;
    std::vector<std::string> messages;
  } cases[] = {
      {"medium process", false, true, false, Lands::Directly, {}},
      {"medium process, older browser", false, false, false, Lands::Directly, {}},
      {"medium process, key refuses writes", false, true, true, Lands::ThroughBroker, {}},
      {"medium process, key refuses writes, no broker", false, false, true, Lands::Nowhere,
       {msg(IDS_ERR_SAVEREFUSED)}},
      {"protected mode tab", true, true, true, Lands::ThroughBroker, {}},
      {"protected mode tab, no broker", true, false, true, Lands::Nowhere, {msg(IDS_ERR_SAVEREFUSED)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    refusalNotice().reset();
    FakeRegistry reg;
    reg.put(HKCU, kKey, "UnfatheredEnable", RegValue::dword(0));
    reg.put(HKCU, kKey, "PopupEnable", RegValue::dword(1));
    reg.put(HKCU, std::string(ui::kBrowserMainKey), "Play_Animations", RegValue::string("yes"));
    // A tab is refused write access whatever it asks; a tab that asked would
    // see the write-open fail and lose its settings.
    if (c.keyRefusesWrites) {
      reg.failWriteOpen(HKCU, kKey, RegStatus::AccessDenied);
      reg.failWriteOpen(HKCU, ui::kBrowserMainKey, RegStatus::AccessDenied);
    }
    FakeBroker broker(reg, c.tab, c.broker);
    TabRegistry tab(reg, broker);
    FakeMessages messages;
    SharedSettings s;
    SettingsStore store(tab, messages, s);

    store.load();
    EXPECT_EQ(s.unfatheredEnable, 0);  // the user's value, not the default

    store.toggle(Toggle::PopupEnable);
    s.blockedTotal = 42;
    store.saveTotal();
    store.saveAll();
    ui::DisplaySettings display;
    display.noAnimations = 1;
    const RegStatus shown = ui::writeDisplaySettings(tab, display);

    EXPECT_EQ(s.popupEnable, 0);  // holds for the session in every case
    EXPECT_EQ(messages.shown, c.messages);
    const bool stored = c.lands != Lands::Nowhere;
    EXPECT_EQ(reg.dword(HKCU, kKey, "PopupEnable"), stored ? 0u : 1u);
    EXPECT_EQ(reg.dword(HKCU, kKey, "BlockedTotal").has_value(), stored);
    EXPECT_EQ(reg.string(HKCU, ui::kBrowserMainKey, "Play_Animations"), stored ? "no" : "yes");
    EXPECT_EQ(shown, stored ? RegStatus::Ok : RegStatus::AccessDenied);
    EXPECT_EQ(reg.writeLog().empty(), c.lands != Lands::Directly);
    // toggle, total, 23 of the sheet's settings, 7 display values
    EXPECT_EQ(broker.calls.size(), c.lands == Lands::ThroughBroker ? 32u : 0u);
  }
}

TEST(TabRegistry, ProtectedModeTabCreatesAMissingKeyThroughTheBroker) {
  refusalNotice().reset();
  FakeRegistry reg;
  reg.create(HKCU, "Software\\Harrowlyn");
  FakeBroker broker(reg, true, true);
  TabRegistry tab(reg, broker);
  FakeMessages messages;
  SharedSettings s;
  SettingsStore(tab, messages, s).load();
  EXPECT_EQ(broker.calls, (std::vector<std::string>{"create " + kKey, kKey + "\\PopupEnable"}));
  EXPECT_EQ(reg.dword(HKCU, kKey, "PopupEnable"), 1u);
  EXPECT_TRUE(messages.shown.empty());
}

TEST(TabRegistry, BrokerRefusingAnUnregisteredKeyIsToldOnceAndKeepsTheSession) {
  refusalNotice().reset();
  FakeRegistry reg;
  reg.put(HKCU, kKey, "BlockImages", RegValue::dword(0));
  FakeBroker broker(reg, true, true);
  broker.registered.clear();  // registration never ran
  TabRegistry tab(reg, broker);
  FakeMessages messages;
  SharedSettings s;
  SettingsStore store(tab, messages, s);
  store.load();
  store.toggle(Toggle::BlockImages);
  store.toggle(Toggle::BlockFlash);
  store.saveAll();
  EXPECT_EQ(s.blockImages, 1);
  EXPECT_EQ(s.blockFlash, 1);
  EXPECT_EQ(reg.dword(HKCU, kKey, "BlockImages"), 0u);  // nothing stored is touched
  EXPECT_EQ(messages.shown, std::vector<std::string>{msg(IDS_ERR_SAVEREFUSED)});
}

}  // namespace
}  // namespace qv
