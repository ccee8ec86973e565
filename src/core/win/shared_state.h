// What the module shares between processes, and its per-process start-up
// state, for the Windows shell code.
//
//   qv::sharedSettings()      the session's one SharedSettings record
//   qv::win::historyRegion()  the 8196-byte block-history view
//   qv::win::settingsStore()  load / toggle / saveTotal / saveAll on that record
//   qv::win::skinLibrary()    the loaded skin library, or null
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

#include "core/settings.h"
#include "core/shared_settings.h"

namespace qv {

// The session's record (opened on first use; never call it from DllMain).
// Single fields are read without
// a lock; counters change only by interlocked increments; copy-in and
// copy-out by the options sheet and the total's save hold the data mutex.
SharedSettings& sharedSettings();

}  // namespace qv

namespace qv::win {

// The block-history region "PubBlockedSiteList" of this process: exactly
// 8196 bytes of ANSI lines, zero-terminated and zero-filled; empty before a
// successful attach.  Appends and clears hold the data mutex.
std::span<std::uint8_t> historyRegion();

// The user's registry as this process may write it: directly, or through
// the browser's broker in a Protected Mode tab (TabRegistry).
Registry& tabRegistry();

// The settings store over tabRegistry(), the module's message boxes
// and sharedSettings().  Call only after the module has attached.
SettingsStore& settingsStore();

// The skin library "Quillvane.skn" loaded beside the module, or null.
HMODULE skinLibrary();

// Module entry work, called by DllMain.  onProcessAttach returns FALSE when
// the module must not stay in the process (host refused, unfathered browser
// not ended, no history region).
BOOL onProcessAttach(HINSTANCE module);
void onProcessDetach(bool processEnding);

}  // namespace qv::win
