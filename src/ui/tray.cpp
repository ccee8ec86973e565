#include "ui/tray.h"

namespace qv::ui {

int chooseTip(const std::function<int()>& draw, int maxDraws) {
  const int count = static_cast<int>(kTips.size());
  int v = 0;
  for (int i = 0; i < maxDraws; ++i) {
    v = draw();
    if (v >= 0 && v < count) return v;
  }
  v %= count;
  return v < 0 ? v + count : v;
}

MenuCommand trayCommand(int id) {
  using K = MenuCommand::Kind;
  switch (id) {
    case kCmdBlockPopup: return {K::Toggle, Toggle::PopupEnable, 0};
    case kCmdBlockFloating: return {K::Toggle, Toggle::FloatingEnable, 0};
    case kCmdBlockFlash: return {K::Toggle, Toggle::BlockFlash, 0};
    case kCmdBlockAnimated: return {K::Toggle, Toggle::BlockImages, 0};
    case kCmdPopupAds: return {K::OpenSheet, Toggle::PopupEnable, 0};
    case kCmdOtherAds: return {K::OpenSheet, Toggle::PopupEnable, 1};
    case kCmdAdware: return {K::OpenSheet, Toggle::PopupEnable, 2};
    case kCmdSettings: return {K::OpenSheet, Toggle::PopupEnable, 3};
    case kCmdWhiteList: return {K::OpenSheet, Toggle::PopupEnable, 4};
    case kCmdBlockHistory: return {K::OpenSheet, Toggle::PopupEnable, 5};
    case kCmdAbout: return {K::OpenSheet, Toggle::PopupEnable, 6};
    default: return {};
  }
}

std::array<CheckMark, 4> trayCheckMarks(const SharedSettings& s) {
  return {{{kCmdBlockPopup, s.popupEnable != 0},
           {kCmdBlockFloating, s.floatingEnable != 0},
           {kCmdBlockFlash, s.blockFlash != 0},
           {kCmdBlockAnimated, s.blockImages != 0}}};
}

inline constexpr int kCmdOpenInNewWindow = 2137;  // the browser's own command

ContextRoute contextCommand(int id) {
  ContextRoute r;
  if (id == kCmdOpenInNewWindow) {
    r.clearNewWindowGuard = true;  // the window this command opens is the user's
    r.sendToWindow = true;
    return r;
  }
  r.command = trayCommand(id);
  // "Block Popup Ads" shares its id with a command of the browser's menu,
  // which the browser is still told of; every id that is not the
  // program's (0 after Escape included) belongs to the browser.
  r.sendToWindow = r.command.kind == MenuCommand::Kind::None || id == kCmdBlockPopup;
  return r;
}

void runMenuCommand(const MenuCommand& c, SettingsStore& store, const std::function<void(int)>& openSheet) {
  switch (c.kind) {
    case MenuCommand::Kind::Toggle: store.toggle(c.toggle); break;
    case MenuCommand::Kind::OpenSheet:
      if (openSheet) openSheet(c.startPage);
      break;
    case MenuCommand::Kind::None: break;
  }
}

bool TrayOwner::show(bool balloon) {
  if (!window_) window_ = shell_.createWindow();
  if (!window_) return false;
  std::optional<std::string_view> tip;
  if (balloon) tip = kTips[static_cast<std::size_t>(chooseTip([this] { return shell_.random(); }))];
  attempted_ = true;
  const bool ok = shell_.addIcon(tip);
  everShown_ = everShown_ || ok;
  return ok;
}

void TrayOwner::ensure() {
  if (owner_) {
    if (shown_) return;
    // A failed add may have added the icon all the same (the shell timed
    // out): the shell is asked first, and only an icon it does not hold is
    // added again, on every tick until it takes it.
    if (attempted_ && shell_.modifyIcon()) {
      shown_ = everShown_ = true;
      return;
    }
    shown_ = show(tipsOn_);
    return;
  }
  if (shell_.acquireGuard() != GuardResult::Created) return;
  owner_ = true;
  tipsOn_ = settings_.enableTips != 0;
  shown_ = show(tipsOn_);
}

void TrayOwner::shellRestarted() {
  if (!owner_ || !window_) return;
  // The new notification area holds nothing: no confirmation is needed.
  shown_ = show(tipsOn_ && !everShown_);
}

void TrayOwner::remove() {
  if (!owner_) return;
  if (shown_ || attempted_) shell_.deleteIcon();
  shown_ = attempted_ = false;
  if (window_) shell_.destroyWindow();
  window_ = false;
  shell_.releaseGuard();
  owner_ = false;
}

}  // namespace qv::ui
