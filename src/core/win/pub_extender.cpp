#include "core/win/pub_extender.h"

#include "com/classes.h"
#include "com/guarded.h"
#include "core/win/pub_services.h"

namespace qv::core::win {

STDMETHODIMP PubDomExtender::EditOptions() {
  return com::guarded([&] {
    if (owner_) pubsvc::showOptions(*owner_, 0);
    return S_OK;
  });
}

}  // namespace qv::core::win

HRESULT qv::com::createPubDomExtender(REFIID iid, void** out) {
  return SimpleDualObject<IPubDomExtender>::create<core::win::PubDomExtender>(iid, out);
}
