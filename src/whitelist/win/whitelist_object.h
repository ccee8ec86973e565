// CWhiteList, the white list automation object: IWhiteList (dual),
// IPersistFile (Load only) and IProvideClassInfo over one white list store;
// and WhiteListOwner, what a holder of the object keeps.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <wrl/client.h>

#include <cstdint>
#include <utility>

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

// The module's own view of a white list object, beside its public
// interfaces: ending the running object table entry its Load made.  Not in
// the type library; only holders inside the module (or its tests) ask.
inline constexpr IID kIidWhiteListRegistration = {
    0x0868dfa2, 0xcd90, 0x4431, {0x83, 0x7d, 0x22, 0x1c, 0x4c, 0xb8, 0x59, 0x1c}};
struct WhiteListRegistration : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE RevokeRunning() = 0;
};

// A holder's reference to a white list object.  The running object table
// keeps a registered object alive, so whoever lets the object go ends its
// registration first: reset() (and the destructor) revoke the entry, then
// release.  Move-only; the ComPtr-like names let holders use it in place of
// a ComPtr.
class WhiteListOwner {
 public:
  WhiteListOwner() noexcept = default;
  explicit WhiteListOwner(Microsoft::WRL::ComPtr<IWhiteList> list) noexcept : list_(std::move(list)) {}
  WhiteListOwner(WhiteListOwner&& other) noexcept = default;
  WhiteListOwner& operator=(WhiteListOwner&& other) noexcept {
    if (this != &other) {
      Reset();
      // (mingw-w64's ComPtr move assignment copies and leaves the source
      // holding its pointer; a swap really moves.)
      list_.Swap(other.list_);
    }
    return *this;
  }
  WhiteListOwner(const WhiteListOwner&) = delete;
  WhiteListOwner& operator=(const WhiteListOwner&) = delete;
  ~WhiteListOwner() { Reset(); }

  // The references left after ours (0 when the object went), as ComPtr.
  unsigned long Reset() noexcept;
  IWhiteList* Get() const noexcept { return list_.Get(); }
  IWhiteList* operator->() const noexcept { return list_.Get(); }
  explicit operator bool() const noexcept { return list_ != nullptr; }
  template <class Out>
  HRESULT As(Out&& out) const noexcept {
    return list_.As(std::forward<Out>(out));
  }

 private:
  Microsoft::WRL::ComPtr<IWhiteList> list_;
};

}  // namespace qv::com
