#include "whitelist/win/whitelist_array.h"

#include <limits>
#include <new>

#include "com/safe_array.h"
#include "com/text.h"

namespace qv::win {

HRESULT sitesOfList(const VARIANT& list, std::vector<std::string>& sites) {
  sites.clear();
  if (V_VT(&list) == VT_EMPTY) return S_OK;
  SAFEARRAY* array = nullptr;
  if (V_VT(&list) == (VT_ARRAY | VT_VARIANT))
    array = V_ARRAY(&list);
  else if (V_VT(&list) == (VT_BYREF | VT_ARRAY | VT_VARIANT) && V_ARRAYREF(&list))
    array = *V_ARRAYREF(&list);
  else
    return DISP_E_TYPEMISMATCH;
  // The type tag is the caller's word; the view checks the array's own
  // description before its elements are read as VARIANTs.
  com::SafeArrayView<VARIANT> data(array, VT_VARIANT);
  if (!data.ok()) return DISP_E_TYPEMISMATCH;
  sites.reserve(data.size());
  for (const VARIANT& element : data.elements()) {
    if (V_VT(&element) != VT_BSTR) continue;
    std::optional<std::string> site = com::narrowAddressBstr(V_BSTR(&element), com::AddressUse::Entry);
    if (!site) {
      sites.clear();
      return E_INVALIDARG;  // a site with no exact narrow form: the list is refused whole
    }
    sites.push_back(std::move(*site));
  }
  return S_OK;
}

HRESULT listOfSites(const wl::WhiteListStore::Set& sites, com::Variant& list) {
  if (sites.size() > std::numeric_limits<ULONG>::max() / sizeof(VARIANT)) return E_OUTOFMEMORY;
  com::SafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(sites.size())));
  if (!array) return E_OUTOFMEMORY;
  try {
    com::SafeArrayView<VARIANT> data(array.get(), VT_VARIANT);
    if (!data.ok()) return E_UNEXPECTED;
    std::size_t i = 0;
    for (const std::string& site : sites) {
      VARIANT& element = data.at(i++);
      V_BSTR(&element) = com::bstrFromAnsi(site).release();
      V_VT(&element) = VT_BSTR;
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;  // the array (with what it holds) is destroyed
  }
  list = com::Variant::ofArray(array.release(), VT_VARIANT);
  return S_OK;
}

}  // namespace qv::win
