#include "win_test_support.h"

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

}  // namespace qvtest
