// The Windows side of the popup logic for one browser process: the Win32
// ports, the per-process click state, the shared browser table and the map
// from table tokens to helper objects, and the hook and timer procedures
// that decode their arguments and call the logic.  The helper object (CPub,
// pub.cpp) calls it directly:
//   construction  PopupShell::instance().configureForModule()   (first call wins)
//   attach        token = shell.tokens().add(&pubState); AddWindow(shell.table(), ...)
//                 shell.loadCursors(); SetWindowsHookExA(WH_KEYBOARD/WH_MOUSE, ...)
//                 its TimerWindow (pub_windows.h) runs startWindowTimers
//   NewWindow2    if (DecideNewWindow(shell.context(), pubState).block) *cancel = VARIANT_TRUE
//   navigation    shell.clicks().resetClicks()
//   quit/detach   shell.table().Remove(...); shell.tokens().remove(token)
// Every look-up answers only with helper objects of the calling thread.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <span>

#include "core/browser_table.h"
#include "core/popup.h"
#include "core/win/popup_ports_win.h"

namespace qv::win {

struct PopupShellConfig {
  SharedSettings* settings = nullptr;     // the shared record (required)
  Messages* messages = nullptr;           // message boxes (required)
  std::function<void()> saveTotal;        // the settings store's "save the total"
  std::span<char> history;                // the mapped history region, or empty
  NamedMutex* browserTableMutex = nullptr;  // "MutexForBrowserTable"; null: table updates report Busy
};

class PopupShell {
 public:
  static PopupShell& instance();  // one per process

  // Sets the process's services once; later calls are ignored and return
  // false.  Returns false too when settings or messages is missing.
  bool configure(const PopupShellConfig& config);
  // configure() with the module's own services: sharedSettings(), the
  // module's message boxes, settingsStore().saveTotal(), historyRegion() and
  // the named mutex "MutexForBrowserTable" (created or opened here; without
  // it table updates report Busy).  Call after the module has attached.
  bool configureForModule();
  bool configured() const { return context_ != nullptr; }

  // Valid after configure().
  popup::PopupContext& context() { return *context_; }
  core::BrowserTable& table() { return *table_; }
  popup::ClickState& clicks() { return clicks_; }
  core::PubTokens<popup::PubState>& tokens() { return tokens_; }
  Win32Desktop& desktop() { return desktop_; }

  // The system hand cursor and the module's cursor 603 into the click state.
  void loadCursors();
  // Timers 1 (1000 ms) and 2 (5 ms) on a window of this thread (a helper
  // object's timer window), served by TimerProc.
  bool startWindowTimers(HWND window);
  void stopSweepTimer(HWND frame);

  // The helper object of the focus window's chain (or of this thread).
  popup::PubState* findPubForFocus();
  // The helper object of this thread whose table entry is this window.
  popup::PubState* findPubOfWindow(HWND window);

  static LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam);
  static VOID CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

 private:
  PopupShell() = default;

  Win32Desktop desktop_;
  Win32Timers timers_{&PopupShell::TimerProc};
  Win32Sound sound_;
  popup::ClickState clicks_;
  core::PubTokens<popup::PubState> tokens_;
  std::unique_ptr<popup::PopupContext> context_;
  std::unique_ptr<core::BrowserTable> table_;
  std::unique_ptr<Messages> ownMessages_;
  std::unique_ptr<NamedMutex> ownTableMutex_;
};

}  // namespace qv::win
