// The connections between a CPub and the browser it serves: its
// DWebBrowserEvents2 sink and the subclass of the browser's top-level window
// (ConnectBrowser / DisconnectBrowser; frame_subclass.h), and the document
// and window event sinks of each completed page or frame (ConnectPageSinks /
// DisconnectPageSinks).
#pragma once

#include <windows.h>

#include <memory>

#include "core/win/pub.h"

namespace qv::content::win {

void connectBrowser(core::win::Pub& pub);
void disconnectBrowser(core::win::Pub& pub);
void connectPageSinks(core::win::Pub& pub, core::win::SinkRecord& record);
void disconnectPageSinks(core::win::Pub& pub, core::win::SinkRecord& record);

// Creates the page sinks (event_handlers.cpp).  The document sink writes
// the flag that `userClicked` points at, if it still points anywhere.
HRESULT createDocEventHandlerFor(std::shared_ptr<int*> userClicked, IDispatch** out);
HRESULT createWindowEventHandlerFor(IDispatch** out);

}  // namespace qv::content::win
