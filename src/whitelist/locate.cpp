#include "whitelist/locate.h"

namespace qv::wl {
namespace {

// folder + "\" + file name, without doubling a separator the folder already
// ends with (a drive root such as "C:\").
std::string joinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path.push_back('\\');
  path.append(name);
  return path;
}

bool exists(const FileResult& copied) {
  return copied.ok || copied.systemError == kErrorFileExists || copied.systemError == kErrorAlreadyExists;
}
bool sourceMissing(const FileResult& copied) {
  return copied.systemError == kErrorFileNotFound || copied.systemError == kErrorPathNotFound;
}

// The file in the shared low folder, brought there once: from the personal
// copy when there is one, else from the seed.  nullopt when neither copy
// could be made (the caller then keeps to the personal copy).
std::optional<std::string> sharedLowCopy(const std::string& folder, const std::optional<std::string>& personal,
                                         const std::string& seed, FileSystem& files) {
  const std::string target = joinPath(folder, kWhiteListFileName);
  if (personal) {
    const FileResult moved = files.copyNoOverwrite(*personal, target);
    if (exists(moved)) return target;
    if (!sourceMissing(moved)) return std::nullopt;
  }
  if (exists(files.copyNoOverwrite(seed, target))) return target;
  return std::nullopt;
}

}  // namespace

std::int32_t hresultFromSystemError(std::uint32_t error) {
  if (error == 0) return kHresultFail;
  if (static_cast<std::int32_t>(error) <= 0) return static_cast<std::int32_t>(error);  // already an HRESULT
  return static_cast<std::int32_t>((error & 0xFFFFu) | 0x80070000u);
}

LocatedFile locateWhiteListFile(LocateEnvironment& env, FileSystem& files, Messages& messages,
                                const ReportComError& reportComError) {
  LocatedFile result;

  ModuleFileName module = env.moduleFileName();
  if (module.ok && module.path.size() >= kModulePathCapacity) {
    module.ok = false;  // would not fit the buffer: a truncated path is no path
    module.systemError = kErrorInsufficientBuffer;
  }
  if (!module.ok) {
    const std::string text(kMsgModuleFileName);
    messages.showText(text);
    result.error = hresultFromSystemError(module.systemError);
    if (reportComError) reportComError(text, result.error);
    return result;
  }

  const std::size_t slash = module.path.rfind('\\');
  if (slash == std::string::npos) {
    messages.showText(std::string(kMsgInvalidModuleFileName));
    result.error = kHresultFail;
    return result;
  }
  const std::string_view moduleDir = std::string_view(module.path).substr(0, slash);
  const std::string seed = joinPath(moduleDir, kWhiteListFileName);

  result.ok = true;
  const std::optional<std::string> folder = env.personalFolder();
  if (const std::optional<std::string> low = env.sharedLowFolder(); low && !low->empty()) {
    std::optional<std::string> personal;
    if (folder && !folder->empty()) personal = joinPath(*folder, kWhiteListFileName);
    if (std::optional<std::string> shared = sharedLowCopy(*low, personal, seed, files)) {
      result.path = std::move(*shared);
      return result;
    }
  }
  if (!folder || folder->empty()) {
    result.path = seed;
    return result;
  }
  result.path = joinPath(*folder, kWhiteListFileName);
  const FileResult copied = files.copyNoOverwrite(seed, result.path);
  if (!copied.ok && copied.systemError != kErrorFileExists && copied.systemError != kErrorAlreadyExists) {
    result.path = seed;
    const std::string text(kMsgCopyFailed);
    messages.showText(text);
    if (reportComError) reportComError(text, hresultFromSystemError(copied.systemError));
  }
  return result;
}

}  // namespace qv::wl
