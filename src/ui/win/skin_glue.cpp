#include "ui/win/skin_glue.h"

namespace qv::ui::win {
namespace {

using InitFn = BOOL(WINAPI*)(HINSTANCE, LPCSTR, LPCSTR, LPCSTR);
using ExitFn = void(WINAPI*)();
using LoadFn = BOOL(WINAPI*)(HINSTANCE, LPCSTR, LPCSTR);
using SetFn = BOOL(WINAPI*)(LPCSTR);
using RemoveFn = BOOL(WINAPI*)();

struct EntryPoints {
  InitFn init = nullptr;
  ExitFn exit = nullptr;
  LoadFn load = nullptr;
  SetFn set = nullptr;
  RemoveFn remove = nullptr;
  bool complete() const { return init && exit && load && set && remove; }
};

template <class F>
F entry(HMODULE lib, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

// Looked up afresh each time: the library is found among the loaded
// modules, never loaded here.
EntryPoints findEntryPoints() {
  EntryPoints e;
  HMODULE lib = GetModuleHandleA("Quillvane.skn");
  if (!lib) return e;
  e.init = entry<InitFn>(lib, "InitSkinMagicLib");
  e.exit = entry<ExitFn>(lib, "ExitSkinMagicLib");
  e.load = entry<LoadFn>(lib, "LoadSkinFromResource");
  e.set = entry<SetFn>(lib, "SetDialogSkin");
  e.remove = entry<RemoveFn>(lib, "RemoveDialogSkin");
  return e;
}

}  // namespace

int skinResourceId(int skin) {
  switch (skin) {
    case 1: return 602;
    case 2: return 606;
    case 3: return 607;
    default: return 0;
  }
}

void applyDialogSkin(HINSTANCE module, int skin) {
  const EntryPoints e = findEntryPoints();
  if (!e.complete() || !module) return;
  e.init(module, "Quillvane Class", nullptr, nullptr);
  if (const int id = skinResourceId(skin)) e.load(module, MAKEINTRESOURCEA(id), "SKIN");
  e.set("Dialog");
}

void removeDialogSkin() {
  const EntryPoints e = findEntryPoints();
  if (!e.complete()) return;
  e.remove();
  e.exit();
}

}  // namespace qv::ui::win
