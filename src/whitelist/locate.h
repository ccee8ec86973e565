// Locating the white list file when a browser window's helper object starts.
//
// The module's folder holds a seed "Quillvane.WL"; the first start copies it
// into the user's personal documents folder (never over an existing copy),
// and that personal copy is the one read and written from then on.  Without
// a personal folder, or when the copy fails, the module folder's file is
// used.  When the module's own path cannot be had, no white list object is
// created at all.
//
// Where the system has a low-integrity folder of the user (LocalLow), the
// file lives there instead, so that Protected Mode tabs, which cannot write
// the documents folder, and other browsers write one file.  The first start
// that finds no file there copies the personal copy into it, or the seed
// when there is no personal copy; the copy never replaces a file, so a copy
// that is already there (and may have been changed since) is never
// overwritten, and the personal copy stays where it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/messages.h"

namespace qv::wl {

inline constexpr std::string_view kWhiteListFileName = "Quillvane.WL";
// The module path is read into a buffer of this many characters (with its
// terminator); a longer path counts as a failure to get it.
inline constexpr std::size_t kModulePathCapacity = 260;

inline constexpr std::string_view kMsgModuleFileName = "Error getting module filename.";
inline constexpr std::string_view kMsgInvalidModuleFileName = "Invalid module filename.";
inline constexpr std::string_view kMsgCopyFailed =
    "Error copying white list file.  Quillvane.WL must be in the same directory as Quillvane.dll.";

// System error codes the locating step tells apart.
inline constexpr std::uint32_t kErrorFileExists = 80;        // ERROR_FILE_EXISTS
inline constexpr std::uint32_t kErrorAlreadyExists = 183;    // ERROR_ALREADY_EXISTS
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
inline constexpr std::uint32_t kErrorPathNotFound = 3;       // ERROR_PATH_NOT_FOUND

inline constexpr std::int32_t kHresultFail = static_cast<std::int32_t>(0x80004005);  // E_FAIL

// HRESULT_FROM_WIN32, except that an unknown error (0) gives E_FAIL rather
// than a success code.
std::int32_t hresultFromSystemError(std::uint32_t error);

struct ModuleFileName {
  bool ok = false;
  std::string path;               // full path when ok
  std::uint32_t systemError = 0;  // when !ok
};

// What the locating step needs of the system besides files and messages.
class LocateEnvironment {
 public:
  virtual ~LocateEnvironment() = default;
  // Full path of this module's own file.
  virtual ModuleFileName moduleFileName() = 0;
  // The user's personal documents folder, without creating it; nullopt when
  // the system cannot give it.
  virtual std::optional<std::string> personalFolder() = 0;
  // The product's folder under the user's low-integrity folder, made when
  // missing; nullopt where the system has none or it cannot be made.
  virtual std::optional<std::string> sharedLowFolder() { return std::nullopt; }
};

// Sets a text as the calling thread's COM error information (source: the
// browser helper object's class) with an HRESULT.
using ReportComError = std::function<void(const std::string& text, std::int32_t hresult)>;

struct LocatedFile {
  bool ok = false;           // false: stop; no white list object is created
  std::int32_t error = 0;    // the HRESULT of the stop when !ok
  std::string path;          // the file to load when ok
};

// Runs the locating step.  Messages are shown through `messages`; the first
// and the copy failure are also set as COM error information.
LocatedFile locateWhiteListFile(LocateEnvironment& env, FileSystem& files, Messages& messages,
                                const ReportComError& reportComError);

}  // namespace qv::wl
