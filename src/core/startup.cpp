#include "core/startup.h"

#include "core/settings.h"

namespace qv {

std::string lowerAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

HostKind classifyHost(std::string_view exePath) {
  const std::string p = lowerAscii(exePath);
  if (p.find("regsvr32.exe") != std::string::npos) return HostKind::RegistrationTool;
  if (p.find("iexplore.exe") != std::string::npos) return HostKind::Browser;
  return HostKind::Other;
}

bool unfatheredRuleOn(Registry& registry) {
  RegOpen opened = registry.openReadOnly(RegRoot::CurrentUser, settingsKeyPath());
  if (opened.status != RegStatus::Ok) return true;
  RegValue value;
  if (opened.key->query("UnfatheredEnable", value) != RegStatus::Ok) return true;
  const auto v = value.asDword();
  return !v || *v != 0;
}

bool browserIsFathered(std::string_view parentExePath, std::string_view commandLine) {
  const std::string parent = lowerAscii(parentExePath);
  if (parent.find("explorer.exe") != std::string::npos) return true;
  // A browser opens its tabs as processes of its own, marked on the command
  // line; those are started by the browser, not by a stranger.
  return commandLine.find("SCODEF:") != std::string_view::npos &&
         parent.find("iexplore.exe") != std::string::npos;
}

std::optional<std::string> skinLibraryPath(std::string_view modulePath) {
  const auto slash = modulePath.rfind('\\');
  if (slash == std::string_view::npos) return std::nullopt;
  std::string p(modulePath.substr(0, slash + 1));
  p += kSkinLibraryName;
  return p;
}

std::unique_ptr<SharedMapping> openOrCreateHistoryRegion(SharedMemory& memory) {
  if (auto existing = memory.openMapping(kHistoryRegionName)) {
    if (existing->map(kHistoryRegionSize)) return existing;
  }
  const auto dir = memory.tempDirectory();
  if (!dir) return nullptr;
  const auto name = memory.makeTempFileName(*dir, kHistoryTempPrefix);
  if (!name) return nullptr;

  std::unique_ptr<SharedMapping> mapping;
  if (auto file = memory.createBackingFile(*name)) {
    if (file->setLength(static_cast<std::uint32_t>(kHistoryRegionSize))) {
      mapping = file->createMapping(kHistoryRegionName, static_cast<std::uint32_t>(kHistoryRegionSize));
      if (mapping && !mapping->map(kHistoryRegionSize)) mapping.reset();
    }
  }  // the file handle is closed here; the mapping keeps the contents alive
  // The unique name made the file already, so it goes whichever step failed.
  memory.deleteFile(*name);
  return mapping;
}

AttachResult processAttach(const StartupPorts& ports, ModuleState& state) {
  const HostKind host = classifyHost(ports.process.exePath());
  if (host == HostKind::Other) return AttachResult::NotAdmitted;

  if (host == HostKind::Browser && unfatheredRuleOn(ports.registry) &&
      !browserIsFathered(ports.process.parentExePath(), ports.process.commandLine())) {
    ports.process.terminateSelf();
    return AttachResult::Terminated;
  }

  if (const auto skin = skinLibraryPath(ports.libraries.ownModulePath()))
    state.skinLoaded = ports.libraries.load(*skin);

  state.history = openOrCreateHistoryRegion(ports.memory);
  if (!state.history) {
    // The module leaves the process: take back what it loaded.
    processDetach(ports.libraries, state, false);
    return AttachResult::NoHistoryRegion;
  }
  return AttachResult::Attached;
}

void processDetach(Libraries& libraries, ModuleState& state, bool processEnding) {
  state.history.reset();
  if (state.skinLoaded && !processEnding) libraries.freeByName(kSkinLibraryName);
  state.skinLoaded = false;
}

}  // namespace qv
