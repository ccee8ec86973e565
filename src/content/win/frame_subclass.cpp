#include "content/win/frame_subclass.h"

#include <commctrl.h>

#include "content/frame_rule.h"
#include "core/popup.h"
#include "core/win/popup_shell_win.h"
#include "core/win/pub.h"
#include "core/win/pub_windows.h"

namespace qv::content::win {
namespace {

constexpr UINT_PTR kFrameSubclassId = 0x5176;  // one subclass of ours per window
// The window's link, also kept on the window itself: a second object of the
// same thread finds the subclass already there.
constexpr wchar_t kLinkProp[] = L"Quillvane.FrameLink";

// Per process, shared by every browser window of the process.
FrameFlags gFrameFlags;

LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR ref);

FrameMessage decode(UINT message, WPARAM wParam, const WINDOWPOS* pos, FrameInput& in) {
  switch (message) {
    case WM_CAPTURECHANGED: return FrameMessage::CaptureChanged;
    case WM_ENTERSIZEMOVE: return FrameMessage::EnterSizeMove;
    case WM_EXITSIZEMOVE: return FrameMessage::ExitSizeMove;
    case WM_SYSCOMMAND:
      in.command = static_cast<std::uint32_t>(wParam);
      return FrameMessage::SysCommand;
    case WM_WINDOWPOSCHANGED: return FrameMessage::WindowPosChanged;
    case WM_WINDOWPOSCHANGING:
      if (!pos) return FrameMessage::Other;
      in.posFlags = pos->flags;
      return FrameMessage::WindowPosChanging;
    default: return FrameMessage::Other;
  }
}

// The rule for one message of the window of `pub` (on its own thread).
void applyRule(core::win::Pub& pub, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
  FrameInput in;
  in.message = decode(message, wParam, pos, in);
  if (in.message == FrameMessage::Other) return;
  auto& shell = qv::win::PopupShell::instance();
  if (!shell.configured()) return;
  in.blockResize = shell.context().settings.blockResize != 0;
  // Asked at most once per message, and silently: a message box per move
  // would stack up inside the window's own messages.
  const std::uint32_t flags = applyFrameMessage(gFrameFlags, in, [&pub, &shell] {
    return popup::IsSiteExempt(shell.context(), pub.flags, std::nullopt, popup::MissingWhiteList::Silent);
  });
  if (in.message == FrameMessage::WindowPosChanging) pos->flags = flags;
}

LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR ref) {
  auto* link = reinterpret_cast<FrameLink*>(ref);
  if (message == WM_NCDESTROY) {
    // The window goes first: its object forgets the link.
    if (link->pub) link->pub->frameLink = nullptr;
    RemovePropW(window, kLinkProp);
    RemoveWindowSubclass(window, frameProc, kFrameSubclassId);
    delete link;
    return DefSubclassProc(window, message, wParam, lParam);
  }
  if (link->pub) {
    try {
      applyRule(*link->pub, message, wParam, lParam);
    } catch (...) {
      // The message goes on unchanged.
    }
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

FrameLink* subclassFrame(core::win::Pub& pub, HWND window) {
  if (!core::win::onThisThread(window)) return nullptr;
  if (auto* link = static_cast<FrameLink*>(GetPropW(window, kLinkProp))) {
    // Ours already (another object of this thread, or a pass-through left
    // behind): a pass-through is taken over, a live one is left alone.
    if (link->pub) return nullptr;
    link->pub = &pub;
    return link;
  }
  auto* link = new FrameLink{&pub, window, 0};
  if (!SetWindowSubclass(window, frameProc, kFrameSubclassId, reinterpret_cast<DWORD_PTR>(link))) {
    delete link;
    return nullptr;
  }
  link->mechanism = GetWindowLongPtrW(window, GWLP_WNDPROC);
  SetPropW(window, kLinkProp, link);
  return link;
}

bool releaseFrame(FrameLink* link) {
  if (!link) return false;
  link->pub = nullptr;
  HWND w = link->window;
  if (!IsWindow(w)) {
    delete link;  // gone without WM_NCDESTROY reaching us (another thread's destruction)
    return true;
  }
  // The record goes only with the subclass: a removal the system refused
  // leaves frameProc reading it, so it stays as the pass-through.
  if (GetWindowLongPtrW(w, GWLP_WNDPROC) == link->mechanism && RemoveWindowSubclass(w, frameProc, kFrameSubclassId)) {
    RemovePropW(w, kLinkProp);
    delete link;
    return true;
  }
  // A later procedure sits on top of the subclass mechanism, or the removal
  // failed.  Leave ours as a pass-through (it removes itself at
  // WM_NCDESTROY) and keep this module loaded for as long as the process
  // lives.
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&frameProc), &self);
  return false;
}

}  // namespace qv::content::win
