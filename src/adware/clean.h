// Cleaning (deletion of every registry key named by a found add-on's class
// id under the three main roots) and the browser's ActiveX kill bits for the
// whole list.
#pragma once

#include <atomic>
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
// What the product itself wrote under the compatibility key, one REG_DWORD
// per class id (value name: the class id text), so that clearing the box
// takes back only that and never a kill bit, flag or AlternateCLSID that
// Windows Update or other software put there.
inline constexpr char kKillBitRecordKey[] = "SOFTWARE\\Harrowlyn\\Quillvane\\Kill Bits";
enum KillBitRecord : std::uint32_t {
  kRecordBitAdded = 1,     // the product set the kill bit in "Compatibility Flags"
  kRecordValueMade = 2,    // ... and the value did not exist before
  kRecordKeyMade = 4,      // ... and the class id's key did not exist before
};

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
// `stop` (may be null), when it turns true, ends the walk before its next
// key; a deletion under way is finished first.
WalkResult cleanRegistry(Registry& registry, const std::unordered_set<std::string>& targets, AdwareView* view,
                         const std::atomic<bool>* stop = nullptr);

// Sets the kill bit (0x400 in "Compatibility Flags") for every record under
// the local machine's compatibility key, keeping every other value and flag
// the class id's key holds; nothing is deleted.  A key whose flags already
// hold the kill bit is left as it is.  What was written is recorded
// (kKillBitRecordKey).  False when the compatibility key could not be opened
// or a key or value could not be written.
bool writeKillBits(Registry& registry, const std::vector<ListRecord>& records, AdwareView* view);

// Takes back what writeKillBits recorded for every record: the kill bit it
// added (the value when it made it, and only while it still holds exactly
// the kill bit), and the key it made when nothing else is left in it.  Kill
// bits and values of others stay.  False when the compatibility key could
// not be opened or a change could not be made.
bool removeKillBits(Registry& registry, const std::vector<ListRecord>& records, AdwareView* view);

// True when the browser's compatibility key exists in this registry view:
// a view without it has no browser whose controls a kill bit could stop.
bool hasCompatibilityKey(Registry& registry);

}  // namespace qv::adware
