#include "core/win/pub_construct.h"

#include <atomic>

#include "com/module.h"
#include "core/startup.h"
#include "core/win/shared_state.h"
#include "platform/win/messages_win.h"
#include "res/resource_ids.h"

namespace qv::win {
namespace {

HRESULT noWhiteListStep(PubResources&) { return S_OK; }

std::atomic<WhiteListStep> g_whiteListStep{&noWhiteListStep};

HRESULT openMutex(std::string_view name, std::unique_ptr<Win32NamedMutex>& slot, Messages& messages) {
  DWORD error = ERROR_SUCCESS;
  slot = Win32NamedMutex::create(std::string(name), &error);
  if (slot) return S_OK;
  // The error is taken before the message box can overwrite it.
  messages.showString(IDS_ERR_CREATEMUTEX);
  const HRESULT hr = HRESULT_FROM_WIN32(error);
  return FAILED(hr) ? hr : E_FAIL;
}

}  // namespace

void setWhiteListStep(WhiteListStep step) { g_whiteListStep.store(step ? step : &noWhiteListStep); }

WhiteListStep whiteListStep() { return g_whiteListStep.load(); }

HRESULT constructPub(PubResources& resources, Messages& messages, SettingsStore& settings) {
  HRESULT hr = openMutex(kDataMutexName, resources.dataMutex, messages);
  if (FAILED(hr)) return hr;
  hr = openMutex(kOptionsMutexName, resources.optionsMutex, messages);
  if (FAILED(hr)) return hr;
  hr = whiteListStep()(resources);
  if (FAILED(hr)) return hr;
  settings.load();
  return S_OK;
}

HRESULT constructPub(PubResources& resources) {
  Win32Messages messages(com::moduleInstance());
  return constructPub(resources, messages, settingsStore());
}

}  // namespace qv::win
