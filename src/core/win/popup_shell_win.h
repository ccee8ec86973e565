// The Windows side of the popup logic for one browser process: the Win32
// ports, the per-process click state, the shared browser table and the map
// from table tokens to helper objects, and the hook and timer procedures
// that decode their arguments and call the logic.  The helper object (CPub,
// pub.cpp) calls it directly:
//   construction  PopupShell::instance().configureForModule()   (first call wins)
//   attach        token = shell.tokens().add(&pubState); AddWindow(shell.table(), ...)
//                 shell.loadCursors(); SetWindowsHookExA(WH_KEYBOARD/WH_MOUSE, ...)
//                 its TimerWindow (pub_windows.h) starts the sweep timer and
//                 enters itself with addWatchReceiver (which sets the window-
//                 creation hook of the dialog watch, once per process)
//   NewWindow2    if (DecideNewWindow(shell.context(), pubState).block) *cancel = VARIANT_TRUE
//   navigation    shell.clicks().resetClicks()
//   quit/detach   shell.table().Remove(...); shell.tokens().remove(token)
// Every look-up answers only with helper objects of the calling thread.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "core/browser_table.h"
#include "core/dialog_watch.h"
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
  // Timer 1 (1000 ms) on a window of this thread (a helper object's timer
  // window), served by TimerProc; timer 2, the dialog watch's re-look.
  bool startSweepTimer(HWND window);
  bool startRelookTimer(HWND window);
  void stopSweepTimer(HWND frame);

  // The dialog watch's receivers: the timer windows of this process's
  // helper objects, by table token (0: the object has no entry).  The
  // window-creation hook hands each new watched window to one of them.
  // Adding the first one sets the hook on the calling thread; removing the
  // last one of the hook's thread takes it off and hands it to another
  // receiver's thread.  Both on the receiver's own thread.
  void addWatchReceiver(std::uint32_t token, HWND timerWindow);
  void removeWatchReceiver(HWND timerWindow);
  // Sets the hook on this thread unless the process has one.
  void ensureWatchHook();
  bool watchHookSet();
  // Where a new window goes: a receiver's timer window, or null (not ours).
  HWND receiverFor(HWND watched);

  // The helper object of the focus window's chain (or of this thread).
  popup::PubState* findPubForFocus();
  // The helper object of this thread whose table entry is this window.
  popup::PubState* findPubOfWindow(HWND window);

  static LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam);
  static VOID CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
  static VOID CALLBACK WinEventProc(HWINEVENTHOOK hook, DWORD event, HWND window, LONG objectId, LONG childId,
                                    DWORD thread, DWORD time);

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

  struct Receiver {
    std::uint32_t token;
    HWND window;
    DWORD thread;
  };
  std::mutex watchLock_;
  std::vector<Receiver> receivers_;
  HWINEVENTHOOK watchHook_ = nullptr;
  DWORD watchHookThread_ = 0;
};

}  // namespace qv::win
