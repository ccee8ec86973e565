// Module start-up: which processes may keep the module, the rule that ends a
// browser not started by the shell ("unfathered"), the skin library beside
// the module, and the block-history region shared by all processes.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/libraries.h"
#include "platform/process.h"
#include "core/shared_names.h"
#include "platform/registry.h"
#include "platform/shared_memory.h"

namespace qv {

inline constexpr std::string_view kSkinLibraryName = "Quillvane.skn";

// ASCII lower case; other bytes unchanged.
std::string lowerAscii(std::string_view s);

enum class HostKind {
  Other,             // not admitted: the module stays out of the process
  Browser,           // admitted, subject to the unfathered rule
  RegistrationTool,  // admitted, never checked
};

// Decides by the lower-cased executable path: "regsvr32.exe" anywhere makes
// it the registration tool, else "iexplore.exe" anywhere a browser.
HostKind classifyHost(std::string_view exePath);

// "UnfatheredEnable" under the settings key; on (true) when the key cannot
// be opened or the value is not a DWORD.  Read straight from the registry
// because the shared record may not be loaded yet.
bool unfatheredRuleOn(Registry& registry);

// Whether a browser process counts as started legitimately: its parent is
// the shell ("explorer.exe" in the lower-cased path), or it is a tab process
// of another browser (its command line carries "SCODEF:" and its parent is a
// browser).  An empty parent path (parent gone or unreadable) is unfathered.
bool browserIsFathered(std::string_view parentExePath, std::string_view commandLine);

// "<folder of the module>\Quillvane.skn"; nullopt when the module path has no
// backslash.
std::optional<std::string> skinLibraryPath(std::string_view modulePath);

// Opens the history region, or creates it over a temporary backing file
// that is deleted again once the mapping holds it.  Returns the mapped
// region (kHistoryRegionSize bytes) or null after the first failed step.
std::unique_ptr<SharedMapping> openOrCreateHistoryRegion(SharedMemory& memory);

// What one process keeps from its attach.
struct ModuleState {
  std::unique_ptr<SharedMapping> history;
  bool skinLoaded = false;

  std::span<std::uint8_t> historyView() const {
    return history ? history->view() : std::span<std::uint8_t>();
  }
};

enum class AttachResult {
  Attached,
  NotAdmitted,       // host is neither a browser nor the registration tool
  Terminated,        // unfathered browser; reached only when ending it was refused
  NoHistoryRegion,   // the history region could be neither opened nor created
};

struct StartupPorts {
  ProcessPort& process;
  Registry& registry;
  Libraries& libraries;
  SharedMemory& memory;
};

// Process attach, in order: gate, unfathered rule, skin library, history
// region.  Only Attached keeps the module in the process.
AttachResult processAttach(const StartupPorts& ports, ModuleState& state);

// Process detach: unmaps the history region; frees the skin library unless
// the process is ending (then the system reclaims everything and other
// libraries may already be gone).
void processDetach(Libraries& libraries, ModuleState& state, bool processEnding);

}  // namespace qv
