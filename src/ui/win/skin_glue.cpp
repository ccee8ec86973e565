// The options sheet's calls into the skin library "Quillvane.skn", loaded
// beside the module at start-up.  The library is found by its file name and
// its five entries by name each time; without it, or without any one of
// them, nothing is called and the sheet is drawn as usual.
#include "ui/win/options_sheet_win.h"

namespace qv::ui::win {
namespace {

using InitFn = int(WINAPI*)(HINSTANCE, const char*, void*, void*);
using LoadFn = int(WINAPI*)(HINSTANCE, const char*, const char*);
using SetFn = int(WINAPI*)(const char*);
using VoidFn = int(WINAPI*)();

struct SkinEntries {
  InitFn init = nullptr;
  VoidFn exit = nullptr;
  LoadFn load = nullptr;
  SetFn setDialog = nullptr;
  VoidFn removeDialog = nullptr;
  bool complete() const { return init && exit && load && setDialog && removeDialog; }
};

template <class F>
F entry(HMODULE lib, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

SkinEntries findEntries() {
  SkinEntries e;
  HMODULE lib = GetModuleHandleA("Quillvane.skn");
  if (!lib) return e;
  e.init = entry<InitFn>(lib, "InitSkinMagicLib");
  e.exit = entry<VoidFn>(lib, "ExitSkinMagicLib");
  e.load = entry<LoadFn>(lib, "LoadSkinFromResource");
  e.setDialog = entry<SetFn>(lib, "SetDialogSkin");
  e.removeDialog = entry<VoidFn>(lib, "RemoveDialogSkin");
  return e;
}

}  // namespace

void applyDialogSkin(HINSTANCE module, std::int32_t skin) {
  const SkinEntries e = findEntries();
  if (!e.complete() || !module) return;
  e.init(module, "Quillvane Class", nullptr, nullptr);
  const int resource = skin == 1 ? 602 : skin == 2 ? 606 : skin == 3 ? 607 : 0;
  if (resource != 0) e.load(module, MAKEINTRESOURCEA(resource), "SKIN");
  e.setDialog("Dialog");
}

void removeDialogSkin() {
  const SkinEntries e = findEntries();
  if (!e.complete()) return;
  e.removeDialog();
  e.exit();
}

}  // namespace qv::ui::win
