// What each CPub sets up when it is constructed, before the browser gets it:
// the two named mutexes, the white list (a step supplied by the white list's
// owner), and the once-per-session settings load.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "core/settings.h"
#include "platform/messages.h"
#include "platform/win/mutex_win.h"
#include "quillvane_i.h"
#include "whitelist/win/whitelist_object.h"

namespace qv::win {

// The per-window resources a CPub owns from its construction on.
struct PubResources {
  std::unique_ptr<Win32NamedMutex> dataMutex;     // "MutexToProtectPubData"
  std::unique_ptr<Win32NamedMutex> optionsMutex;  // "MutexForOptionsDlg"
  com::WhiteListOwner whiteList;                  // filled by the white-list step
  std::string whiteListPath;                      // filled by the white-list step
};

// Locates the white list file and obtains the window's white list object,
// storing both in the resources.  A failure result fails the construction
// (the settings are then not loaded).
using WhiteListStep = HRESULT (*)(PubResources&);

// Installs the white-list step; null restores the default, which does
// nothing and succeeds.  Install it before the first CPub is created.
void setWhiteListStep(WhiteListStep step);
WhiteListStep whiteListStep();

// Runs the construction steps in order: data mutex, options mutex,
// white-list step, settings load.  A mutex that cannot be created or opened
// shows message 103 and fails with HRESULT_FROM_WIN32 of the system's error.
HRESULT constructPub(PubResources& resources, Messages& messages, SettingsStore& settings);

// The same with the module's message boxes and settingsStore().
HRESULT constructPub(PubResources& resources);

}  // namespace qv::win
