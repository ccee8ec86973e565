// CWhiteList, the white list automation object.  Placeholder until the store
// is wired in: every method succeeds on an empty list.
#include <windows.h>

#include "com/classes.h"
#include "com/simple_object.h"
#include "quillvane_i.h"

namespace qv::com {
namespace {
class WhiteList final : public SimpleDualObject<IWhiteList> {
 public:
  STDMETHODIMP Add(BSTR) override { return S_OK; }
  STDMETHODIMP Delete(BSTR) override { return S_OK; }
  STDMETHODIMP Find(BSTR, VARIANT_BOOL* found) override {
    if (found) *found = VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP GetWhiteList(VARIANT* v) override {
    if (v) VariantClear(v);
    return S_OK;
  }
  STDMETHODIMP PutWhiteList(VARIANT) override { return S_OK; }
  STDMETHODIMP DeleteAll() override { return S_OK; }
  STDMETHODIMP GetFirst(BSTR*) override { return S_FALSE; }
  STDMETHODIMP GetNext(BSTR*) override { return S_FALSE; }
};
}  // namespace

HRESULT createWhiteList(REFIID iid, void** out) { return SimpleDualObject<IWhiteList>::create<WhiteList>(iid, out); }

}  // namespace qv::com
