#include "ui/win/pub_ui.h"

#include "com/module.h"
#include "core/win/pub.h"
#include "core/win/pub_services.h"
#include "core/win/shared_state.h"
#include "ui/win/context_menu_win.h"
#include "ui/win/tray_win.h"

namespace qv::ui::win {
namespace {

// The sheet opens for the window whose tray or menu asked for it, on that
// window's thread.
std::function<void(int)> sheetOf(core::win::Pub& pub) {
  return [&pub](int page) { core::win::pubsvc::showOptions(pub, page); };
}

}  // namespace

void pubEnsureTray(core::win::Pub& pub) {
  TrayContext c;
  c.module = com::moduleInstance();
  c.settings = &sharedSettings();
  c.store = &qv::win::settingsStore();
  c.openSheet = sheetOf(pub);
  ensureTray(&pub, c);
}

void pubRemoveTray(core::win::Pub& pub) { removeTray(&pub); }

HRESULT pubShowContextMenu(core::win::Pub& pub, DWORD kind, POINT* at, IUnknown* target) {
  ContextMenuContext c;
  c.module = com::moduleInstance();
  c.settings = &sharedSettings();
  c.store = &qv::win::settingsStore();
  c.openSheet = sheetOf(pub);
  c.newWindowGuard = &pub.flags.newWindowGuard;
  return showContextMenu(kind, at, target, c);
}

}  // namespace qv::ui::win
