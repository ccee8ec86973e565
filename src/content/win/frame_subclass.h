// The subclass of the browser's top-level window that applies "Block resize
// by script" (content/frame_rule.h).  Installed with the common-controls
// subclass calls, which keep the window's character set (a Unicode window
// stays Unicode, so titles outside the ANSI code page survive) and chain
// with subclasses installed before and after ours.
//
// The window is subclassed only when it belongs to the calling thread: in a
// tabbed browser the frame belongs to another thread or process and cannot
// be subclassed from a tab.
#pragma once

#include <windows.h>

namespace qv::core::win {
class Pub;
}

namespace qv::content::win {

// The link between one subclassed window and the helper object it serves.
// The object is cleared when the object lets the window go.
struct FrameLink {
  core::win::Pub* pub = nullptr;
  HWND window = nullptr;
  // The window's procedure right after our subclass went on: the subclass
  // mechanism's own.  Removal is safe only while it is still in place.
  LONG_PTR mechanism = 0;
};

// Subclasses `window` for `pub`; null when the window is not of this
// thread, is already subclassed by this module, or the call fails.
FrameLink* subclassFrame(core::win::Pub& pub, HWND window);

// Lets the window go.  When another procedure was put on the window after
// ours without the subclass calls, removing ours would cut it out on some
// systems: ours then stays as a pass-through and the module is pinned in
// the process, so that the pass-through never points into unloaded code.
// A removal that the system refuses is treated the same way.
// Returns whether the subclass was removed.
bool releaseFrame(FrameLink* link);

}  // namespace qv::content::win
