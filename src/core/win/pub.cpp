// CPub, the browser helper object, and CPubDomExtender, the page's external
// object.  For now both answer only their dual interfaces.
#include <windows.h>

#include "com/classes.h"
#include "com/simple_object.h"
#include "core/win/pub_construct.h"
#include "quillvane_i.h"

namespace qv::com {
namespace {
class Pub final : public SimpleDualObject<IPub> {
 public:
  win::PubResources resources;
};
class PubDomExtender final : public SimpleDualObject<IPubDomExtender> {
 public:
  STDMETHODIMP EditOptions() override { return S_OK; }
};
}  // namespace

HRESULT createPub(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* obj = new (std::nothrow) Pub();
  if (!obj) return E_OUTOFMEMORY;
  obj->AddRef();
  HRESULT hr = win::constructPub(obj->resources);
  if (SUCCEEDED(hr)) hr = obj->QueryInterface(iid, out);
  obj->Release();
  return hr;
}
HRESULT createPubDomExtender(REFIID iid, void** out) {
  return SimpleDualObject<IPubDomExtender>::create<PubDomExtender>(iid, out);
}

}  // namespace qv::com
