// Finds the module's shared section in a loaded image and the SharedSettings
// record at its start, so that tests in several processes can look at the
// one record the module shares.
#pragma once

#include <windows.h>

#include <cstring>

#include "core/shared_settings.h"

namespace qvtest {

struct SharedSectionInfo {
  qv::SharedSettings* record = nullptr;
  DWORD characteristics = 0;
  DWORD size = 0;
};

inline SharedSectionInfo findSharedSection(HMODULE module) {
  SharedSectionInfo info;
  if (!module) return info;
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  IMAGE_SECTION_HEADER* sec = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
    if (std::memcmp(sec[i].Name, ".qvshare", 8) == 0) {
      info.characteristics = sec[i].Characteristics;
      info.size = sec[i].Misc.VirtualSize;
      if (info.size >= sizeof(qv::SharedSettings))
        info.record = reinterpret_cast<qv::SharedSettings*>(base + sec[i].VirtualAddress);
      break;
    }
  }
  return info;
}

}  // namespace qvtest
