// The message port over MessageBoxA: no owner window, caption string 100,
// information icon, OK button.
#pragma once

#include <windows.h>

#include "platform/messages.h"

namespace qv::win {

class Win32Messages final : public Messages {
 public:
  explicit Win32Messages(HINSTANCE module) : module_(module) {}
  void showString(int stringId) override;
  void showText(const std::string& text) override;

 private:
  HINSTANCE module_;
};

// Loads a string-table text of the module; empty when there is none.
std::string loadString(HINSTANCE module, int stringId);

}  // namespace qv::win
