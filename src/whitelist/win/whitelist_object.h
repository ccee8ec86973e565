// CWhiteList, the white list automation object: IWhiteList (dual),
// IPersistFile (Load only) and IProvideClassInfo over one white list store.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>

#include "platform/files.h"
#include "quillvane_i.h"

namespace qv::com {

// The white list object's one-step replace, for the options sheet of the
// same module and apartment (not in the type library, never marshalled):
// every site is replaced with one rewrite of the file; on failure the object
// keeps its old list, in memory and in the file, and the result is the
// failure (whiteListSaveError).  The texts are ANSI.
struct IWhiteListReplace : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ReplaceAll(const char* const* sites, ULONG count) = 0;
};
extern const IID IID_IWhiteListReplace;

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
