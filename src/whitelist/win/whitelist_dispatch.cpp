#include "whitelist/win/whitelist_dispatch.h"

namespace qv::win {
namespace {

struct NameEntry {
  const wchar_t* name;
  DISPID id;
};

// One table for method and parameter names; the first match wins.
constexpr NameEntry kNames[] = {
    {L"bsDomain", 0},      {L"Add", kDispAdd},
    {L"Delete", kDispDelete},
    {L"pbFound", 1},       {L"Find", kDispFind},
    {L"pvar", 0},          {L"GetWhiteList", kDispGetWhiteList},
    {L"vList", 0},         {L"PutWhiteList", kDispPutWhiteList},
    {L"DeleteAll", kDispDeleteAll},
    {L"pbsDomain", 0},     {L"GetFirst", kDispGetFirst},
    {L"GetNext", kDispGetNext},
};
static_assert(sizeof kNames / sizeof kNames[0] == 13);

wchar_t foldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// The table holds only ASCII names, so folding ASCII letters is the whole of
// the case rule; the caller's name is read only up to the table name's length
// plus its terminator.
bool sameName(const wchar_t* tableName, const wchar_t* name) {
  for (;; ++tableName, ++name) {
    if (foldAscii(*tableName) != foldAscii(*name)) return false;
    if (*tableName == L'\0') return true;
  }
}

}  // namespace

bool lookUpWhiteListName(const wchar_t* name, DISPID* id) {
  if (!name) return false;
  for (const NameEntry& e : kNames) {
    if (sameName(e.name, name)) {
      if (id) *id = e.id;
      return true;
    }
  }
  return false;
}

HRESULT placeWhiteListArgs(const DISPPARAMS* params, PlacedArgs& out, UINT* argErr) {
  out = PlacedArgs{};
  if (!params) return DISP_E_BADVARTYPE;
  const UINT count = params->cArgs;
  const UINT named = params->cNamedArgs;
  if (count > out.at.size()) return DISP_E_BADPARAMCOUNT;
  if (named > count) return DISP_E_BADPARAMCOUNT;
  if (count > 0 && !params->rgvarg) return E_INVALIDARG;
  if (named > 0 && !params->rgdispidNamedArgs) return E_INVALIDARG;

  const UINT positional = count - named;
  for (UINT k = 0; k < positional; ++k) out.at[k] = &params->rgvarg[count - 1 - k];
  for (UINT i = 0; i < named; ++i) {
    DISPID id = params->rgdispidNamedArgs[i];
    if (i == 0 && id == DISPID_PROPERTYPUT) id = 0;
    if (id < 0 || static_cast<UINT>(id) >= count || out.at[static_cast<UINT>(id)] != nullptr) {
      if (argErr) *argErr = i;
      out = PlacedArgs{};
      return DISP_E_PARAMNOTFOUND;
    }
    out.at[static_cast<UINT>(id)] = &params->rgvarg[i];
  }
  out.count = count;
  return S_OK;
}

}  // namespace qv::win
