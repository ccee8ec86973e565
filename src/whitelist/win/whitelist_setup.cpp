#include "whitelist/win/whitelist_setup.h"

#include <string>

#include "com/module.h"
#include "platform/win/messages_win.h"
#include "whitelist/win/locate_win.h"
#include "whitelist/win/whitelist_object.h"
#include "whitelist/win/wide_text.h"

namespace qv::win {

HRESULT loadLocatedWhiteList(const wl::LocatedFile& located, PubResources& resources) {
  resources.whiteList.Reset();
  resources.whiteListPath.clear();
  if (!located.ok) return S_OK;
  resources.whiteListPath = located.path;
  const std::wstring path = wideFromNarrow(located.path);
  // (mingw-w64's ComPtr::Attach adds a reference, so the pointer is received
  // in place instead.)
  if (FAILED(com::createAndLoadWhiteList(path.c_str(), resources.whiteList.ReleaseAndGetAddressOf())))
    resources.whiteList.Reset();
  return S_OK;
}

HRESULT locateAndLoadWhiteList(PubResources& resources) {
  try {
    Win32Messages messages(com::moduleInstance());
    return loadLocatedWhiteList(wl::win::locateWhiteListFileWin32(messages), resources);
  } catch (...) {
    // No white list for this window rather than no window at all.
    resources.whiteList.Reset();
    return S_OK;
  }
}

}  // namespace qv::win
