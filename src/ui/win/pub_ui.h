// The browser helper object's tray and context-menu steps, over the
// module's shared settings, its settings store and the options sheet.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace qv::core::win {
class Pub;
}

namespace qv::ui::win {

void pubEnsureTray(core::win::Pub& pub);
void pubRemoveTray(core::win::Pub& pub);
HRESULT pubShowContextMenu(core::win::Pub& pub, DWORD kind, POINT* at, IUnknown* target);

}  // namespace qv::ui::win
