#include "whitelist/win/whitelist_setup.h"

#include <string>

#include "com/guarded.h"
#include "com/module.h"
#include "com/text.h"
#include "platform/win/messages_win.h"
#include "whitelist/win/locate_win.h"
#include "whitelist/win/whitelist_object.h"

namespace qv::win {

HRESULT loadLocatedWhiteList(const wl::LocatedFile& located, PubResources& resources) {
  resources.whiteList.Reset();
  resources.whiteListPath.clear();
  if (!located.ok) return S_OK;
  resources.whiteListPath = located.path;
  const std::wstring path = com::widen(located.path);
  IWhiteList* list = nullptr;
  if (SUCCEEDED(com::createAndLoadWhiteList(path.c_str(), &list)))
    resources.whiteList = com::WhiteListOwner(com::adopt(list));
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
