// The scan: which browser helper objects registered on the machine are on the
// known-adware list, and the report text that tells the user.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "adware/list_file.h"
#include "platform/registry.h"

namespace qv::adware {

class AdwareView;

inline constexpr std::size_t kMaxRegistered = 5000;
inline constexpr std::size_t kMaxRegisteredName = 38;
inline constexpr char kHelperObjectsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

// One registered browser helper object: its key name (cut to 38 characters)
// and whether the latest scan matched it (which also marks it for cleaning).
struct RegisteredEntry {
  std::string name;
  bool matched = false;
  bool otherView = false;  // found only in the other registry view (its class key is read there)
};

// One match of a scan: the table entry and the list record that found it.
struct Found {
  std::size_t entry = 0;
  std::size_t record = 0;
};

struct ScanResult {
  std::vector<RegisteredEntry> table;
  std::vector<Found> found;  // in report order
  std::string report;        // the whole message text, final sentence included
};

// The key names under the helper-object key, in enumeration order, at most
// kMaxRegistered.  Empty when the key cannot be opened.  With `other` (the
// other registry view of 64-bit Windows, where 32-bit and 64-bit browsers
// keep their own helper objects), its names follow, less those already
// listed (ignoring case), so that an add-on registered in both views is one
// entry.
std::vector<RegisteredEntry> enumerateRegistered(Registry& registry, Registry* other = nullptr);

// Matches `records` against `table` and builds the report: records in list
// order, and for each the unmatched entries equal to its class id (ignoring
// case) in table order; a matched entry is not matched again.  Class keys are
// opened read-only.  `view` (may be null) gets the per-record status line and
// progress steps.
ScanResult scanTable(Registry& registry, const std::vector<ListRecord>& records,
                     std::vector<RegisteredEntry> table, AdwareView* view, Registry* other = nullptr);

}  // namespace qv::adware
