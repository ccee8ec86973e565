// The connections between a CPub and the browser it serves: its
// DWebBrowserEvents2 sink and the subclass of the browser's top-level window
// (ConnectBrowser / DisconnectBrowser), and the document and window event
// sinks of each completed page or frame (ConnectPageSinks /
// DisconnectPageSinks).
#pragma once

#include <windows.h>

#include <memory>

#include "core/win/pub.h"

namespace qv::com {

void connectBrowser(Pub& pub);
void disconnectBrowser(Pub& pub);
void connectPageSinks(Pub& pub, SinkRecord& record);
void disconnectPageSinks(Pub& pub, SinkRecord& record);

// The subclass procedure of the browser's top-level window.
LRESULT CALLBACK browserFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the page sinks.  The document sink writes the flag that
// `userClicked` points at, if it still points anywhere.
HRESULT createDocEventHandlerFor(std::shared_ptr<int*> userClicked, IDispatch** out);
HRESULT createWindowEventHandlerFor(IDispatch** out);

}  // namespace qv::com
