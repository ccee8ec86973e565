// CPub, the browser helper object, and CPubDomExtender, the page's external
// object.  For now both answer only their dual interfaces.
#include <windows.h>

#include "com/classes.h"
#include "com/simple_object.h"
#include "quillvane_i.h"

namespace qv::com {
namespace {
class Pub final : public SimpleDualObject<IPub> {};
class PubDomExtender final : public SimpleDualObject<IPubDomExtender> {
 public:
  STDMETHODIMP EditOptions() override { return S_OK; }
};
}  // namespace

HRESULT createPub(REFIID iid, void** out) { return SimpleDualObject<IPub>::create<Pub>(iid, out); }
HRESULT createPubDomExtender(REFIID iid, void** out) {
  return SimpleDualObject<IPubDomExtender>::create<PubDomExtender>(iid, out);
}

}  // namespace qv::com
