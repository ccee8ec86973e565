// The options sheet's open/save protocol: one sheet at a time across every
// browser process of the user (the options mutex), copies of the shared
// settings, the browser's display settings and the white list into the page
// values under the data mutex, and after OK the copies back into
// SharedSettings, the settings key, the browser's "Main" key and the white
// list.  The sheet itself, the browser and the white list object are ports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/shared_settings.h"
#include "platform/messages.h"
#include "platform/mutex.h"
#include "platform/registry.h"
#include "ui/options_values.h"

namespace qv::ui {

inline constexpr std::uint32_t kOpenWaitMs = 5000;
inline constexpr std::uint32_t kSaveWaitMs = 10000;
// The history page's "&Clear" takes the data mutex for at most this long.
inline constexpr std::uint32_t kClearWaitMs = 5000;

inline constexpr std::string_view kBrowserMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
// The browser's private notice that its settings changed (WM_USER + 338),
// sent to its hidden window of class "Internet Explorer_Hidden".
inline constexpr std::uint32_t kSettingsChangedNotice = 0x552;

// What a failed COM call on the white list tells: the error-information
// object's source and description (empty when there is none), the HRESULT
// and the system's message for it.
struct ComError {
  std::string source;
  std::uint32_t hr = 0;
  std::string description;
  std::string systemText;  // trailing CR LF already removed
};

// "%s Error: 0x%lx\r\n%s\r\n%s\r\n" with source, HRESULT, description and
// system text.
std::string comErrorText(const ComError& e);

// The window's white list object as the sheet sees it.
class SheetWhiteList {
 public:
  virtual ~SheetWhiteList() = default;
  struct ReadResult {
    std::vector<std::string> sites;  // what was read before any error
    std::optional<ComError> error;
  };
  // GetFirst, then GetNext while they deliver a site.
  virtual ReadResult readAll() = 0;
  // Replaces the whole list in one step: one file write; on failure the
  // object keeps its old list, in memory and in the file.  nullopt on success.
  virtual std::optional<ComError> replaceAll(const std::vector<std::string>& sites) = 0;
};

// The browser window and the sheet, as the protocol uses them.
class OptionsHost {
 public:
  virtual ~OptionsHost() = default;
  // Gives the keyboard focus to the browser's top-level window.
  virtual void focusFrame() = 0;
  // The skin glue: apply the dialog skin for this SharedSettings skin value
  // before the sheet is built; remove it and end the skin library after.
  virtual void applyDialogSkin(std::int32_t skin) = 0;
  virtual void removeDialogSkin() = 0;
  // The window's white list object asked for IWhiteList; null when it does
  // not answer.  Owned by the host, valid until the closing steps.
  virtual SheetWhiteList* whiteList() = 0;
  // The default status text of the window's statusWindow; nullopt when the
  // window has no statusWindow.  An empty text when the window reports none.
  virtual std::optional<std::string> readDefaultStatus() = 0;
  virtual void writeDefaultStatus(const std::string& text) = 0;
  // Builds and shows the sheet modally at the start page; the pages edit
  // `values`.  1 after OK, 0 after Cancel, -1 on an error.
  virtual int runSheet(SheetValues& values, int startPage) = 0;
  // Sends the settings-changed notice to the browser's hidden window; false
  // when there is no such window.
  virtual bool sendSettingsNotice() = 0;
  // Reloads the window's current page (IWebBrowser2::Refresh).
  virtual void refreshBrowser() = 0;
};

struct OptionsPorts {
  SharedSettings& settings;
  Registry& registry;
  Messages& messages;
  NamedMutex* optionsMutex;  // "MutexForOptionsDlg"; null when not opened
  NamedMutex* dataMutex;     // "MutexToProtectPubData"; null when not opened
  OptionsHost& host;
};

// What one ShowOptions did, for tests and the demo.
enum class OptionsOutcome {
  Refused,        // 102: another sheet is open or being opened
  Busy,           // 503: data mutex not obtained for the copy-in
  NoWhiteList,    // 506
  Cancelled,      // the sheet closed without OK (or failed to show)
  SaveTimedOut,   // 505
  Saved,          // OK: the save ran (messages may still have been shown)
};

// Opens the options sheet at `startPage` and, after OK, saves.  Shows every
// failure itself.  Every mutex it obtains (an abandoned one counts as
// obtained) is released before it returns, on every path.
OptionsOutcome showOptions(const OptionsPorts& ports, int startPage);

// --- steps, exposed for the pages and the tests -------------------------

// Copy-in: flags become 0/1, the rest is copied as it is.
void copyIn(const SharedSettings& s, SheetValues& v);
// Copy-out: a flag is set only when its page value is exactly 1.
void copyOut(const SheetValues& v, SharedSettings& s);

struct DisplayRead {
  DisplaySettings values;     // fresh values where a value could not be read
  std::uint32_t bitsAtOpen = 0;  // bits of the values that were read as set
};
// Reads the seven display values under the browser's "Main" key.
DisplayRead readDisplaySettings(Registry& registry);
// Writes them, every one attempted: Ok, or the first failure (the key's
// open or a value's write).
RegStatus writeDisplaySettings(Registry& registry, const DisplaySettings& d);

}  // namespace qv::ui
