// What the browser helper object calls on the rest of the program beyond
// the popup shell (which it calls directly): construction, and the steps
// where the tray, the options sheet, the context menu and the content sweep
// meet the object.
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

namespace qv::core::win {

class Pub;

// The CPub behind a helper-object state found in the browser table (for
// example by qv::win::PopupShell::findPubForFocus()); null when there is
// none.  Table look-ups answer only with objects of the calling thread.
Pub* pubFromState(popup::PubState* state);

namespace pubsvc {

// --- construction: named mutexes, white list, settings load.  On failure
// the object is not handed to the browser.
HRESULT preparePub(Pub& pub);

// --- shared state.
SharedSettings& shared();
Messages& messages();

// --- the tray, the sheet, the menu and the sweep.  Each is called on the object's own
// thread; a window the work needs on this thread is pub.tabWindow (null in
// a tab without one) or a window of its own; pub.frameWindow may belong to
// another thread or process.
void ensureTray(Pub& pub);
void removeTray(Pub& pub);
// Opens the options sheet for this window at a start page (0 = "Popup Ads").
// The object and the browser-side references the sheet uses are held until
// the sheet has closed, whatever its modal loop delivers meanwhile.
void showOptions(Pub& pub, int startPage);
HRESULT showContextMenu(Pub& pub, DWORD id, POINT* pt, IUnknown* target, IDispatch* object);
void sweepDocument(Pub& pub, IDispatch* document, int sweepFlags);

}  // namespace pubsvc
}  // namespace qv::core::win
