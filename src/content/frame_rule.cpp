#include "content/frame_rule.h"

namespace qv::content {

std::uint32_t applyFrameMessage(FrameFlags& flags, const FrameInput& in,
                                const std::function<bool()>& pageExempt) {
  switch (in.message) {
    case FrameMessage::CaptureChanged:
      flags.captureChanged = 1;
      break;
    case FrameMessage::EnterSizeMove:
      flags.inSizeMove = 1;
      break;
    case FrameMessage::ExitSizeMove:
      flags.inSizeMove = 0;
      flags.captureChanged = 0;
      break;
    case FrameMessage::SysCommand: {
      const std::uint32_t cmd = in.command & 0xFFF0u;
      if (cmd == kScMinimize || cmd == kScMaximize || cmd == kScRestore) flags.sysCommandPending = 1;
      break;
    }
    case FrameMessage::WindowPosChanged:
      flags.positionedOnce = 1;
      flags.sysCommandPending = 0;
      flags.captureChanged = 0;
      break;
    case FrameMessage::WindowPosChanging:
      if (in.blockResize && flags.positionedOnce == 1 && flags.sysCommandPending == 0 &&
          flags.captureChanged == 0 && flags.inSizeMove == 0 && (in.posFlags & kSwpFrameChanged) == 0 &&
          !(pageExempt && pageExempt()))
        return in.posFlags | kSwpNoSize | kSwpNoMove;
      break;
    case FrameMessage::Other:
      break;
  }
  return in.posFlags;
}

}  // namespace qv::content
