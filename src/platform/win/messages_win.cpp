#include "platform/win/messages_win.h"

#include "res/resource_ids.h"

namespace qv::win {

std::string loadString(HINSTANCE module, int stringId) {
  char buf[512];
  const int n = LoadStringA(module, static_cast<UINT>(stringId), buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

void Win32Messages::showString(int stringId) { showText(loadString(module_, stringId)); }

void Win32Messages::showText(const std::string& text) {
  const std::string caption = loadString(module_, IDS_PROJNAME);
  MessageBoxA(nullptr, text.c_str(), caption.empty() ? "Quillvane" : caption.c_str(),
              MB_OK | MB_ICONINFORMATION);
}

}  // namespace qv::win
