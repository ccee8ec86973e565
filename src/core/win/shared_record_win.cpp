// The module's SharedSettings record: the session's named mapping
// (kSharedRecordName, a mapping of the paging file in the "Local\" namespace)
// opened on first use, outside DllMain, and made under the data mutex.
// Should the mapping or the mutex fail, the process works on a record of
// its own with the defaults rather than not at all.
#include <windows.h>

#include <string>

#include "com/handle.h"
#include "core/shared_names.h"
#include "core/shared_record.h"
#include "core/win/shared_state.h"
#include "platform/win/mutex_win.h"
#include "platform/win/object_security.h"

namespace qv {
namespace {

struct SessionRecord {
  com::UniqueHandle mapping;
  com::UniqueView view;
  SharedSettings* record = nullptr;
  SharedSettings own;  // the fallback

  SessionRecord() {
    const std::string name(kSharedRecordName);
    mapping.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, win::sharedObjectAttributes(), PAGE_READWRITE, 0,
                                     static_cast<DWORD>(sizeof(SharedSettings)), name.c_str()));
    if (mapping) view.reset(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedSettings)));
    if (view) {
      const auto dataMutex = win::Win32NamedMutex::create(kDataMutexName);
      record = adoptSharedRecord({static_cast<std::uint8_t*>(view.get()), sizeof(SharedSettings)}, dataMutex.get());
    }
    if (!record) record = &own;
  }
};

}  // namespace

SharedSettings& sharedSettings() {
  static SessionRecord session;
  return *session.record;
}

}  // namespace qv
