// The white list part of a browser helper object's construction: locate the
// white list file, create the window's white list object directly (not
// through the registry) and Load it from that file.
#pragma once

#include <windows.h>

#include "core/win/pub_construct.h"
#include "whitelist/locate.h"

namespace qv::win {

// Creates and loads the white list object for a located file, storing the
// object and the path in `resources`.  When locating stopped (its message
// has been shown) the window gets no white list object: consulting the list
// then behaves as when the object cannot be reached.  The same holds when the
// object cannot be made; either way the construction goes on (S_OK), since a
// window without its white list still blocks popups.
HRESULT loadLocatedWhiteList(const wl::LocatedFile& located, PubResources& resources);

// The construction step itself (a WhiteListStep): locating with the Win32
// environment and the module's message boxes, then loadLocatedWhiteList.
HRESULT locateAndLoadWhiteList(PubResources& resources);

}  // namespace qv::win
