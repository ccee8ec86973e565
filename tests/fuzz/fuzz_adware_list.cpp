// The adware list file reader over arbitrary bytes: records stay within
// their bounds, survive a write and a second read unchanged, and make list
// box lines; the list's CSV source reader never accepts a record the list
// file cannot hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "adware/list_file.h"
#include "../../tools/adware_list/adware_csv.h"

using namespace qv::adware;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto records = parseList(bytes);
  if (records.size() > kMaxRecords) std::abort();
  for (const auto& r : records) {
    if (r.classId.empty() || r.classId.size() > kMaxClassIdLength || r.name.size() > kMaxNameLength) std::abort();
    if (r.classId.find('\0') != std::string::npos || r.name.find('\0') != std::string::npos) std::abort();
    if (listLine(1, r.name).size() > 64) std::abort();
  }
  const auto again = parseList(encodeList(records));
  if (again.size() != records.size()) std::abort();
  for (std::size_t i = 0; i < again.size(); ++i)
    if (again[i].classId != records[i].classId || again[i].name != records[i].name) std::abort();

  std::vector<tool::CsvEntry> entries;
  std::string error;
  if (tool::parseCsv(bytes, entries, error)) {
    if (entries.size() > kMaxRecords) std::abort();
    for (const auto& e : entries)
      if (!isBraceClassId(e.classId) || e.name.empty() || e.name.size() > kMaxNameLength) std::abort();
  } else if (error.empty()) {
    std::abort();
  }
  return 0;
}
