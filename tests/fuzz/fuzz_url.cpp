// Address rules over arbitrary bytes: cracking with and without decoding,
// the two site rules and the lookup, plus properties that must always hold.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "whitelist/url.h"

using namespace qv::wl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  UrlParts raw;
  const bool rawOk = crackUrl(input, false, raw);
  for (const bool decode : {true, false}) {
    UrlParts p;
    if (crackUrl(input, decode, p)) {
      if (p.schemeName.size() > kSchemeNameCapacity || p.hostName.size() > kHostNameCapacity ||
          p.userName.size() > kUserNameCapacity || p.password.size() > kPasswordCapacity ||
          p.urlPath.size() > kUrlPathCapacity || p.extraInfo.size() > kExtraInfoCapacity)
        std::abort();
      if (p.schemeKind < kSchemeUnknown || p.schemeKind > kSchemeSocks) std::abort();
      if (p.hostName.find('\0') != std::string::npos) std::abort();
      if (!p.password.empty() && p.userName.empty()) std::abort();
      // Split before decoding: an escape never puts a separator into a host
      // (an opaque address of an unknown scheme may hold one as it stands).
      if (decode && rawOk)
        for (const char sep : {'/', '\\', '?', '#', '@'})
          if (std::count(p.hostName.begin(), p.hostName.end(), sep) >
              std::count(raw.hostName.begin(), raw.hostName.end(), sep))
            std::abort();
    } else if (!(p == UrlParts{})) {
      std::abort();  // a failed crack leaves the record cleared
    }
  }

  const Unescaped u = unescapeUrl(input, 64);
  if (u.ok && (u.text.size() + 1 != u.length || u.length > 64)) std::abort();

  if (const auto site = siteFromTypedAddress(input); site && site->empty()) std::abort();
  if (const auto site = siteFromPageUrl(input)) {
    for (char c : *site)
      if (c >= 'A' && c <= 'Z') std::abort();
  }

  // Every key the lookup asks for is a prefix of the first, cut at a "/".
  std::string first;
  bool bad = false;
  int asked = 0;
  lookupSite(input, [&](std::string_view key) {
    if (asked++ == 0)
      first.assign(key);
    else if (key.size() >= first.size() || first.compare(0, key.size(), key) != 0 || first[key.size()] != '/')
      bad = true;
    return false;
  });
  if (bad) std::abort();
  return 0;
}
