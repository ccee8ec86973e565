#include "core/pub_navigation.h"

#include "core/popup.h"

namespace qv::core {

PageSinks onBeforeNavigate(PubFlags& flags, std::string_view address) {
  flags.documentReady = 0;
  flags.userClicked = 0;
  if (popup::IsJavascriptUrl(address)) {
    flags.userClicked = 1;
    return PageSinks::Keep;
  }
  return PageSinks::DisconnectAll;
}

void onNavigateCompleteBegin(PubFlags& flags) {
  flags.newWindowGuard = 1;
  flags.userClicked = 0;
}

void onDocumentCompleteBegin(PubFlags& flags) {
  flags.documentReady = 0;
  flags.userClicked = 0;
}

void onCompletionEnd(PubFlags& flags) { flags.documentReady = 1; }

WaitOutcome waitUntilComplete(ReadyStateWait& port, std::uint32_t limitMs, std::uint32_t pollMs) {
  const std::uint32_t start = port.tickCount();
  // A clock that stops would otherwise keep the window's thread here for
  // ever; the number of sleeps that fit in the limit bounds the loop too.
  const std::uint32_t maxSleeps = limitMs / (pollMs ? pollMs : 1) + 1;
  for (std::uint32_t sleeps = 0;; ++sleeps) {
    const std::optional<int> state = port.readyState();
    if (!state) return WaitOutcome::Unreadable;
    if (*state == kReadyStateComplete) return WaitOutcome::Complete;
    if (sleeps >= maxSleeps) return WaitOutcome::TimedOut;
    port.sleepAndPump(pollMs);
    if (static_cast<std::uint32_t>(port.tickCount() - start) > limitMs) return WaitOutcome::TimedOut;
  }
}

}  // namespace qv::core
