// The white list's sites as the automation side passes them: a VARIANT
// holding a one-dimensional array of VARIANT strings, in both directions.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "com/variant.h"
#include "whitelist/store.h"

namespace qv::win {

// The site texts held by a PutWhiteList value, or DISP_E_TYPEMISMATCH when
// the value is neither VT_EMPTY nor a one-dimensional array of VARIANTs
// (directly or by reference).  Elements that are not VT_BSTR are skipped.
HRESULT sitesOfList(const VARIANT& list, std::vector<std::string>& sites);

// The sites as an array of VARIANT strings (lower bound 0) in `list`;
// E_OUTOFMEMORY, and `list` untouched, when memory runs out part-way.
HRESULT listOfSites(const wl::WhiteListStore::Set& sites, com::Variant& list);

}  // namespace qv::win
