// Cleaning (deletion of every registry key named by a found add-on's class
// id under the three main roots) and the browser's ActiveX kill bits for the
// whole list.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "adware/list_file.h"
#include "platform/registry.h"

namespace qv::adware {

class AdwareView;

inline constexpr char kCompatibilityKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility";
inline constexpr char kCompatibilityName[] = "ActiveX Compatibility";
inline constexpr char kCompatibilityFlags[] = "Compatibility Flags";
inline constexpr std::uint32_t kKillBit = 0x400;
// The status line when kill bits could not be written or removed.
inline constexpr char kNeedsAdministrator[] =
    "The blocking list could not be changed: administrator rights are needed.";

struct WalkResult {
  std::size_t keysVisited = 0;
  std::vector<std::string> deleted;  // "\\HKEY_...\\path" of every deleted key
  std::vector<std::string> failed;   // the same for keys whose deletion failed
};

// Walks the classes root, the current user and the local machine, in that
// order, deleting (with its subtree) every key whose whole name equals one of
// `targets` (lower-case class ids) ignoring case.  Keys named exactly
// "ActiveX Compatibility" are neither entered nor deleted.  After a deletion
// the same index is read again, so the key that moves up is looked at too.
// `view` (may be null) gets a status line and a progress step every 10000 keys.
WalkResult cleanRegistry(Registry& registry, const std::unordered_set<std::string>& targets, AdwareView* view);

// Writes a kill bit for every record (delete, create, "Compatibility Flags" =
// 0x400) under the local machine's compatibility key.  False when the key
// could not be opened or a key or value could not be written.
bool writeKillBits(Registry& registry, const std::vector<ListRecord>& records, AdwareView* view);

// Deletes the kill-bit key of every record.  False when the compatibility key
// could not be opened or a present key could not be deleted.
bool removeKillBits(Registry& registry, const std::vector<ListRecord>& records, AdwareView* view);

}  // namespace qv::adware
