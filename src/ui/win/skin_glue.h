// The module's side of the skins: around each showing of the options sheet
// the skin library beside the module ("Quillvane.skn", loaded at start-up)
// is asked to skin the dialogs of the calling thread with the chosen skin,
// and to stop afterwards.  A missing library or entry point leaves the
// sheet unskinned; no result of the library is used.
#pragma once

#include <windows.h>

namespace qv::ui::win {

// Skin resources (type "SKIN") by the settings' skin value 1..3; 0 for
// any other value.
int skinResourceId(int skin);

// Opening step: InitSkinMagicLib(module, "Quillvane Class", null, null),
// LoadSkinFromResource(module, id, "SKIN") for skins 1..3,
// SetDialogSkin("Dialog").  `module` is Quillvane.dll's instance.
void applyDialogSkin(HINSTANCE module, int skin);
// Closing step: RemoveDialogSkin(), ExitSkinMagicLib().
void removeDialogSkin();

}  // namespace qv::ui::win
