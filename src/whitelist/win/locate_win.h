// The Windows side of locating the white list file: the module's own path,
// the personal documents folder, and the COM error information that the
// browser helper object's start-up leaves on failure.
#pragma once

#include <cstdint>
#include <string>

#include "platform/messages.h"
#include "whitelist/locate.h"

namespace qv::wl::win {

class Win32LocateEnvironment final : public LocateEnvironment {
 public:
  // GetModuleFileNameA of this module (qv::com::moduleInstance()).
  ModuleFileName moduleFileName() override;
  // SHGetSpecialFolderPathA(CSIDL_PERSONAL), not creating the folder.
  std::optional<std::string> personalFolder() override;
  // "Harrowlyn\Quillvane" under FOLDERID_LocalAppDataLow (which processes of
  // every integrity level of the user write), made when missing.
  std::optional<std::string> sharedLowFolder() override;
};

// Sets `text` as the calling thread's COM error information, with the
// browser helper object's class (CLSID_CPub, its ProgID as the source) and
// `hresult`.
void setPubErrorInfo(const std::string& text, std::int32_t hresult);

// The locating step wired to Win32: Win32LocateEnvironment, Win32FileSystem,
// the given message port and setPubErrorInfo.
LocatedFile locateWhiteListFileWin32(Messages& messages);

}  // namespace qv::wl::win
