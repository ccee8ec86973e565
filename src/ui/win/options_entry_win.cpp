// ShowOptions for a browser window of the module: the module-wide pieces
// of the sheet's environment around the window's own.
#include <exception>

#include "com/module.h"
#include "core/win/popup_ports_win.h"
#include "core/win/shared_state.h"
#include "platform/win/messages_win.h"
#include "platform/win/registry_win.h"
#include "res/resource_ids.h"
#include "ui/win/options_sheet_win.h"

namespace qv::ui::win {

void showOptionsForWindow(const WindowParts& window, int startPage) {
  static qv::win::Win32Sound sound;
  qv::win::Win32Messages messages(com::moduleInstance());
  SheetEnvironment env;
  env.resources = com::moduleInstance();
  env.settings = &sharedSettings();
  env.registry = &qv::win::tabRegistry();
  env.messages = &messages;
  env.sound = &sound;
  env.optionsMutex = window.optionsMutex;
  env.dataMutex = window.dataMutex;
  env.frameWindow = window.frameWindow;
  env.browser = window.browser;
  env.statusWindow = window.statusWindow;
  env.whiteList = window.whiteList;
  env.newWindowGuard = window.newWindowGuard;
  env.historyRegion = qv::win::historyRegion();
  // The callers are a keyboard hook and COM entry points: nothing may leave.
  // The closing steps have run by the time an exception gets here.
  try {
    showOptionsSheet(env, startPage);
  } catch (const std::exception&) {
    messages.showString(IDS_ERR_BUSY);
  }
}

}  // namespace qv::ui::win
