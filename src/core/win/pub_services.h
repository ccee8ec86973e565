// What the browser helper object calls on the rest of the program.  Each
// function is one step the object takes; the bodies live with the work that
// owns the step (popup decision and browser table, settings, tray, options,
// content sweep, context menu).  Where that work is not in the tree yet the
// body in pub_services.cpp is a marked placeholder.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "platform/messages.h"

namespace qv {
struct SharedSettings;
}

namespace qv::popup {
struct PubState;
}

namespace qv::com {

class Pub;

// The CPub behind a helper-object state found in the browser table (for
// example by win::PopupShell::findPubForFocus()); null when there is none.
Pub* pubFromState(popup::PubState* state);

namespace pubsvc {

// --- construction: named mutexes, white list, settings load.  On failure
// the object is not handed to the browser.
HRESULT preparePub(Pub& pub);

// --- shared state.
SharedSettings& shared();
Messages& messages();

// --- browser table (one entry per attached window of the user).
bool tableAdd(HWND frame, Pub* pub, DWORD threadId, DWORD processId);  // false: table full
bool tableRemove(Pub* pub, HWND frame, DWORD processId);               // false: nothing removed
// The CPub of a window or its nearest listed parent, else of the thread.
Pub* findPubForWindow(HWND window);

// --- popup decision, hooks and timers.
void loadCursors();
HOOKPROC keyboardHookProc();
HOOKPROC mouseHookProc();
TIMERPROC timerProc();
// Decides a new-window request of the window's page; true = block (the
// notification, accounting and block cursor have then been done).
bool decideNewWindow(Pub& pub);
// Clears the per-process click state (clickSeen, clickGrace).
void resetClickState();
// Whether the current page is exempt from blocking (no address given).
bool isSiteExempt(Pub& pub);

// --- later work.
void ensureTray(Pub& pub);
void removeTray(Pub& pub);
// Opens the options sheet for this window at a start page (0 = "Popup Ads").
void showOptions(Pub& pub, int startPage);
HRESULT showContextMenu(Pub& pub, DWORD id, POINT* pt, IUnknown* target, IDispatch* object);
void sweepDocument(Pub& pub, IDispatch* document, int sweepFlags);

}  // namespace pubsvc
}  // namespace qv::com
