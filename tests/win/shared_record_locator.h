// The session's shared settings record as another participant sees it:
// the named mapping opened by its name, without making it.
#pragma once

#include <windows.h>

#include <string>

#include "core/shared_names.h"
#include "core/shared_settings.h"

namespace qvtest {

// The record, or null when no process of the session has made it.  The view
// stays mapped for the process's lifetime.
inline qv::SharedSettings* openSharedRecord() {
  const std::string name(qv::kSharedRecordName);
  HANDLE m = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
  if (!m) return nullptr;
  void* v = MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(qv::SharedSettings));
  CloseHandle(m);  // the view keeps the mapping
  return static_cast<qv::SharedSettings*>(v);
}

}  // namespace qvtest
