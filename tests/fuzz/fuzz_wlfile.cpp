// White list file parsing over arbitrary bytes; what is parsed must survive
// a write and a second read unchanged, and must equal the plain model of
// the text-mode line reader.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "../unit/whitelist_file_reference.h"
#include "whitelist/store.h"

using qv::wl::WhiteListStore;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  WhiteListStore::Set sites;
  WhiteListStore::parse(bytes, sites);
  for (const std::string& s : sites) {
    if (s.empty() || s.size() > WhiteListStore::kPieceLength) std::abort();
    if (s.find_first_of(std::string_view("#\r\n\0\x1a", 5)) != std::string::npos) std::abort();
  }
  const std::set<std::string> model = qv::wl::reference::parseWhiteListFile(bytes);
  if (!std::equal(sites.begin(), sites.end(), model.begin(), model.end())) std::abort();
  WhiteListStore::Set again;
  WhiteListStore::parse(WhiteListStore::format(sites), again);
  if (again != sites) std::abort();
  return 0;
}
