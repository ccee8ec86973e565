// Creation functions of the five coclasses, one per class, defined beside
// each class.  The class factories call them; CPub also creates its white list
// object and external object directly through them.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace qv::com {

HRESULT createPub(REFIID iid, void** out);
HRESULT createWhiteList(REFIID iid, void** out);
HRESULT createPubDomExtender(REFIID iid, void** out);
HRESULT createDocEventHandler(REFIID iid, void** out);
HRESULT createWindowEventHandler(REFIID iid, void** out);

}  // namespace qv::com
