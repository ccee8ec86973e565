// The browser helper object's tray and context-menu steps, over the
// module's shared settings, its settings store and the options sheet.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace qv::com {
class Pub;
}

namespace qv::ui::win {

void pubEnsureTray(com::Pub& pub);
void pubRemoveTray(com::Pub& pub);
HRESULT pubShowContextMenu(com::Pub& pub, DWORD kind, POINT* at, IUnknown* target);

}  // namespace qv::ui::win
