// Per-process module state: the start-up result and the settings store.
#include <windows.h>

#include "com/module.h"
#include "core/startup.h"
#include "core/tab_registry.h"
#include "core/win/shared_state.h"
#include "platform/win/broker_win.h"
#include "platform/win/messages_win.h"
#include "platform/win/process_win.h"
#include "platform/win/registry_win.h"
#include "platform/win/shared_memory_win.h"

namespace qv::win {
namespace {

ModuleState g_state;
HMODULE g_skin = nullptr;
Win32Libraries* g_libraries = nullptr;  // lives from attach to detach

}  // namespace

std::span<std::uint8_t> historyRegion() { return g_state.historyView(); }

HMODULE skinLibrary() { return g_state.skinLoaded ? g_skin : nullptr; }

Registry& tabRegistry() {
  static Win32Registry direct;
  static TabRegistry registry(direct, broker());
  return registry;
}

SettingsStore& settingsStore() {
  static Win32Messages messages(com::moduleInstance());
  static SettingsStore store(tabRegistry(), messages, sharedSettings());
  return store;
}

BOOL onProcessAttach(HINSTANCE module) {
  // Start-up runs under the loader lock: nothing here waits on another thread.
  static Win32Process process;
  static Win32Registry registry;
  static Win32SharedMemory memory;
  static Win32Libraries libraries(module);
  g_libraries = &libraries;
  const AttachResult r = processAttach({process, registry, libraries, memory}, g_state);
  g_skin = g_state.skinLoaded ? libraries.lastLoaded() : nullptr;
  return r == AttachResult::Attached ? TRUE : FALSE;
}

void onProcessDetach(bool processEnding) {
  if (!g_libraries) return;
  processDetach(*g_libraries, g_state, processEnding);
  g_skin = nullptr;
}

}  // namespace qv::win
