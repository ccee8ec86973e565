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

bool TrayOwner::show() {
  if (!window_) window_ = shell_.createWindow();
  if (!window_) return false;
  std::optional<std::string_view> tip;
  if (tipsOn_) tip = kTips[static_cast<std::size_t>(chooseTip([this] { return shell_.random(); }))];
  return shell_.addIcon(tip);
}

void TrayOwner::ensure() {
  if (owner_) {
    // The icon may have been refused (no tray at logon yet): try again on
    // every tick until the shell takes it.
    if (!shown_) shown_ = show();
    return;
  }
  if (shell_.acquireGuard() != GuardResult::Created) return;
  owner_ = true;
  tipsOn_ = settings_.enableTips != 0;
  shown_ = show();
}

void TrayOwner::remove() {
  if (!owner_) return;
  if (shown_) shell_.deleteIcon();
  shown_ = false;
  if (window_) shell_.destroyWindow();
  window_ = false;
  shell_.releaseGuard();
  owner_ = false;
}

}  // namespace qv::ui
