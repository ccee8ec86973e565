// The Block history page's reading of the shared history region: any bytes
// another process left there (no terminating zero, stray line ends, any
// scheme) give a list of non-empty sites, never more than the lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ui/option_pages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> region(data, data + size);  // exactly the bytes, no zero added
  const std::vector<std::string> entries = qv::ui::historyEntries(region);
  std::size_t lines = 1;
  for (std::uint8_t b : region) lines += b == '\n';
  if (entries.size() > lines) std::abort();
  for (const std::string& e : entries)
    if (e.empty() || e.front() == ' ' || e.back() == ' ') std::abort();
  return 0;
}
