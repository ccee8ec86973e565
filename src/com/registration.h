// What registering the module as a COM server writes into the registry, and
// how unregistering takes it away again, as one table of rows applied
// through the registry port.
//
// The table lists every key and value in the order registration writes them:
// the class entries of the five coclasses (in kCoclasses order), then the
// module's own entries (the AppID entries and the browser-helper key that
// makes every browser window create a CPub).  The type library is
// registered between the two stages by the caller's callback, because only
// the Windows side can load and register it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace qv::com {

struct CoclassInfo {
  std::string_view name;          // coclass name, for readers
  std::string_view clsid;         // "{...}", upper case
  std::string_view friendlyName;  // default value of the ProgID keys and the CLSID key
  std::string_view progId;        // version-independent ProgID
};

// The five coclasses, in registration order.
extern const std::array<CoclassInfo, 5> kCoclasses;

inline constexpr std::string_view kProgIdVersionSuffix = ".1";
inline constexpr std::string_view kThreadingModel = "apartment";
inline constexpr std::string_view kModuleTypeKey = "InprocServer32";
// The module's AppID placeholder is empty, so its name lands as the default
// value of HKCR\AppID itself and the AppID values hold "".
inline constexpr std::string_view kAppId = "";
inline constexpr std::string_view kAppIdDefault = "Quillvane";
inline constexpr std::string_view kModuleAppIdKey = "AppID\\Quillvane.DLL";
inline constexpr std::string_view kBrowserHelperObjectsPath =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
// Where RegisterTypeLib records the library (under HKEY_CLASSES_ROOT).
std::string typeLibraryKeyPath();  // "TypeLib\{LIBID}\1.0"

// How registration and unregistration treat a key.
enum class KeyRole {
  // Ours: created by registration, removed with everything below it by
  // unregistration.
  Owned,
  // Ours and force-removed: deleted whole before registration writes it
  // fresh, and removed whole by unregistration.
  Fresh,
  // A key on the path to ours that others use too: created when missing,
  // removed by unregistration only when no subkey and no value is left.
  SharedParent,
  // Never removed (HKCR\CLSID, HKCR\AppID).  A value registration gave it is
  // taken back on unregistration when it still holds what was written.
  Permanent,
};

enum class RegStage { Classes, Module };

// One row of the table: either the key itself (valueName unset; value, when
// set, is its default value) or one named string value in it.
struct RegRow {
  RegStage stage;
  RegRoot root;
  std::string path;
  KeyRole role;  // of the key at path
  std::optional<std::string> valueName;
  std::optional<std::string> value;

  bool isKey() const { return !valueName.has_value(); }
  bool operator==(const RegRow&) const = default;
};

// Rows of one coclass's class entries.
std::vector<RegRow> classRows(const CoclassInfo& coclass, std::string_view modulePath);
// Rows of the module's own entries.
std::vector<RegRow> moduleRows();
// The whole table: classRows of every coclass, then moduleRows.
std::vector<RegRow> registrationTable(std::string_view modulePath);

// Where a table application stopped, for callers that want to say more than
// the status.
struct RegFailure {
  RegStatus status = RegStatus::Ok;
  std::string path;  // the key whose step failed
};

// Writes the rows of one stage in order; stops at the first failing step
// and returns it (what was written before stays).
RegFailure applyRows(Registry& registry, const std::vector<RegRow>& rows, RegStage stage);
// Removes the rows of one stage, last row first.  Absent keys and values are
// not errors; every row is attempted, and the first failure is returned.
RegFailure removeRows(Registry& registry, const std::vector<RegRow>& rows, RegStage stage);

// --- the two exports, with COM result codes ---------------------------------

using HResult = std::int32_t;
inline constexpr HResult kHrOk = 0;
inline constexpr HResult kHrFail = static_cast<HResult>(0x80004005u);           // E_FAIL
inline constexpr HResult kHrAccessDenied = static_cast<HResult>(0x80070005u);   // E_ACCESSDENIED
inline constexpr HResult kHrFileNotFound = static_cast<HResult>(0x80070002u);   // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
inline constexpr HResult kHrDirNotEmpty = static_cast<HResult>(0x80070091u);    // HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY)
inline constexpr HResult kHrInvalidArg = static_cast<HResult>(0x80070057u);     // E_INVALIDARG

HResult hresultFromStatus(RegStatus status);

// DllRegisterServer: class entries, then the type library, then the module
// entries.  The first failing step's result is returned and later steps are
// not run.  An empty module path is refused (E_INVALIDARG) before anything
// is written.
HResult registerServer(Registry& registry, std::string_view modulePath,
                       const std::function<HResult()>& registerTypeLibrary);

// DllUnregisterServer: class entries, the type library (only when it is
// registered), then the module entries.  Every step runs; the first
// failure is returned.  Entries already absent are not failures.
HResult unregisterServer(Registry& registry, const std::function<HResult()>& unregisterTypeLibrary);

}  // namespace qv::com
