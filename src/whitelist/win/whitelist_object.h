// CWhiteList, the white list automation object: IWhiteList (dual),
// IPersistFile (Load only) and IProvideClassInfo over one white list store.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>

#include "platform/files.h"
#include "quillvane_i.h"

namespace qv::com {

// Creates a white list object whose file is read and written through `files`
// (which must outlive the object).  The class factory and
// createAndLoadWhiteList use the Win32 file system.
HRESULT createWhiteListOver(FileSystem& files, REFIID iid, void** out);

// What the browser helper object does at start-up once the white list file
// is located: create the object directly (not through the registry) and
// Load it from `path` with mode 0.  On success *out holds the one reference
// the caller keeps; on failure *out is null.
HRESULT createAndLoadWhiteList(const wchar_t* path, IWhiteList** out);

// The HRESULT the changing methods report for a failed rewrite of the file.
HRESULT whiteListSaveError(std::uint32_t systemError);

}  // namespace qv::com
