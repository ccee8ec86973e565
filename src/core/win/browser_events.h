// Decoding of the browser's DWebBrowserEvents2 calls.  The sink's Invoke
// first turns the raw parameter block into a BrowserEvent with this pure
// function (no side effects, no references taken), then acts on the event.
//
// The browser passes arguments in reverse order (the last declared argument
// is rgvarg[0]).  The shapes it really sends:
//   NewWindow (107):         ..., Processed  VT_BYREF|VT_BOOL          (rgvarg[0])
//   NewWindow2 (251):        ppDisp VT_BYREF|VT_DISPATCH, Cancel VT_BYREF|VT_BOOL (rgvarg[0])
//   BeforeNavigate2 (250):   pDisp VT_DISPATCH (rgvarg[6]), URL VT_BYREF|VT_VARIANT -> VT_BSTR
//                            (rgvarg[5]), Flags, TargetFrameName, PostData, Headers, Cancel
//   NavigateComplete2 (252): pDisp VT_DISPATCH (rgvarg[1]), URL VT_BYREF|VT_VARIANT (rgvarg[0])
//   DocumentComplete (259):  same shape as NavigateComplete2
//   OnQuit (253):            no arguments
//   WindowStateChanged (283): dwWindowStateFlags VT_I4 (rgvarg[1]), dwValidFlagsMask VT_I4 (rgvarg[0])
// Anything that does not have the expected shape decodes to a missing
// member (null cancel flag, null frame, empty address), never to a guess.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>

#include "com/text.h"

namespace qv::com {

enum class BrowserEventKind { Ignored, NewWindow, BeforeNavigate, NavigateComplete, DocumentComplete, Quit, WindowState };

inline constexpr DISPID kDispNewWindow = 107;
inline constexpr DISPID kDispBeforeNavigate2 = 250;
inline constexpr DISPID kDispNewWindow2 = 251;
inline constexpr DISPID kDispNavigateComplete2 = 252;
inline constexpr DISPID kDispOnQuit = 253;
inline constexpr DISPID kDispDocumentComplete = 259;
inline constexpr DISPID kDispWindowStateChanged = 283;
// The window-state bits (OLECMDIDF_WINDOWSTATE_*).
inline constexpr unsigned kWindowStateUserVisible = 0x1;

struct BrowserEvent {
  BrowserEventKind kind = BrowserEventKind::Ignored;
  VARIANT_BOOL* cancel = nullptr;  // NewWindow/NewWindow2: the flag to set when blocking
  IDispatch* frame = nullptr;      // NavigateComplete2/DocumentComplete: the page or frame (not AddRef'd)
  std::string address;             // BeforeNavigate2: the address, narrow (ANSI)
  std::optional<bool> visible;     // WindowStateChanged: whether the tab can be seen (when the mask says)
};

// Pure: reads `params` (which may be null) and returns the decoded event.
BrowserEvent decodeBrowserEvent(DISPID id, const DISPPARAMS* params);

}  // namespace qv::com
