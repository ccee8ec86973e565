// A browser process in miniature for the popup tests: shared settings,
// click state, fake ports and one helper object's state.
#pragma once

#include <vector>

#include "core/popup.h"
#include "core/shared_names.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_popup.h"

namespace qvtest {

inline constexpr qv::WindowHandle kFrame = 7;
inline constexpr qv::CursorHandle kHand = 11;
inline constexpr qv::CursorHandle kBlock = 12;
inline constexpr qv::CursorHandle kArrow = 13;

struct PopupWorld {
  qv::SharedSettings settings;
  qv::popup::ClickState clicks;
  qv::fake::FakeDesktop desktop;
  qv::fake::FakeTimers timers;
  qv::fake::FakeSound sound;
  qv::fake::FakeMessages messages;
  qv::fake::FakeMutex dataMutex;
  qv::fake::FakePubHost host;
  std::vector<char> history = std::vector<char>(qv::kHistoryRegionSize, 0);
  int totalSaves = 0;
  qv::popup::PopupContext ctx{settings, clicks, desktop, timers, sound, messages,
                              [this] { ++totalSaves; }, history};
  qv::popup::PubState pub;

  PopupWorld() {
    pub.frameWindow = kFrame;
    pub.timerWindow = kFrame;
    pub.host = &host;
    pub.dataMutex = &dataMutex;
    host.mustHold = &dataMutex;
    clicks.handCursor = kHand;
    clicks.blockCursor = kBlock;
  }
  std::string historyText() const { return std::string(history.data()); }
};

}  // namespace qvtest
