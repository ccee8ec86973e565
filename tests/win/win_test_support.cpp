#include "win_test_support.h"

#include <string_view>

namespace qvtest {

std::string dllPath() {
  // The build passes a Unix path; Wine maps / to drive Z:.
  std::string p = QV_DLL_PATH;
  if (!p.empty() && p[0] == '/') {
    for (char& c : p)
      if (c == '/') c = '\\';
    p = "Z:" + p;
  }
  return p;
}

void setUnfathered(DWORD value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
      ERROR_SUCCESS) {
    RegSetValueExA(key, "UnfatheredEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
  }
}

HMODULE module() {
  static HMODULE m = LoadLibraryA(dllPath().c_str());
  return m;
}

void answerBoxesOfThisThread(std::vector<SeenBox>& seen, bool yes) {
  struct Look {
    std::vector<SeenBox>* seen;
    bool yes;
  } look{&seen, yes};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) CALLBACK -> BOOL {
        auto& look = *reinterpret_cast<Look*>(p);
        char cls[64] = {}, caption[256] = {}, text[8192] = {};
        GetClassNameA(w, cls, sizeof cls);
        if (std::string_view(cls) != "#32770" || !IsWindowVisible(w) || !GetDlgItem(w, 0xFFFF)) return TRUE;
        GetWindowTextA(w, caption, sizeof caption);
        GetDlgItemTextA(w, 0xFFFF, text, sizeof text);
        look.seen->push_back({caption, text});
        const int answer = GetDlgItem(w, IDYES) ? (look.yes ? IDYES : IDNO) : IDOK;
        PostMessageA(w, WM_COMMAND, answer, 0);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&look));
}

}  // namespace qvtest
