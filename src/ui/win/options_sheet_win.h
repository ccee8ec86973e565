// The options sheet on Windows: the property sheet with its pages, and the
// browser-side ports of the open/save protocol (ui/options_sheet.h).
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>

#include <cstdint>
#include <span>

#include "core/shared_settings.h"
#include "platform/messages.h"
#include "platform/mutex.h"
#include "platform/registry.h"
#include "platform/sound.h"
#include "ui/options_sheet.h"

namespace qv::ui::win {

// Everything one showing of the sheet works with.  The browser-window
// fields are those of the CPub that asked for the sheet.
struct SheetEnvironment {
  HINSTANCE resources = nullptr;  // the module with the dialogs and strings
  SharedSettings* settings = nullptr;
  Registry* registry = nullptr;
  Messages* messages = nullptr;
  Sound* sound = nullptr;  // null: Test plays nothing
  NamedMutex* optionsMutex = nullptr;
  NamedMutex* dataMutex = nullptr;
  HWND frameWindow = nullptr;           // owner; null: the active window
  IWebBrowser2* browser = nullptr;      // may be null
  IHTMLWindow2* statusWindow = nullptr;  // may be null
  IUnknown* whiteList = nullptr;        // the window's white list object
  std::int32_t* newWindowGuard = nullptr;
  std::span<std::uint8_t> historyRegion;  // empty when there is none
};

// ShowOptions: opens the sheet at `startPage` (0..6), saves after OK,
// shows every failure itself and returns when the sheet has closed.
OptionsOutcome showOptionsSheet(const SheetEnvironment& env, int startPage);

// The caption of the sheet window (string 105), for tests looking for it.
std::string sheetCaption(HINSTANCE resources);


}  // namespace qv::ui::win

namespace qv::ui::win {

// The parts of the browser window (its CPub) that asked for the sheet.
struct WindowParts {
  HWND frameWindow = nullptr;
  IWebBrowser2* browser = nullptr;
  IHTMLWindow2* statusWindow = nullptr;
  IUnknown* whiteList = nullptr;
  NamedMutex* optionsMutex = nullptr;
  NamedMutex* dataMutex = nullptr;
  std::int32_t* newWindowGuard = nullptr;
};

// ShowOptions as the module's CPub calls it (F12, EditOptions, the tray and
// context menus): the sheet over the module's resources, the shared record,
// the user's registry, the module's message boxes and the history region.
void showOptionsForWindow(const WindowParts& window, int startPage);

}  // namespace qv::ui::win
