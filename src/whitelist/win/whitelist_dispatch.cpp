#include "whitelist/win/whitelist_dispatch.h"

#include <utility>

#include "com/bstr.h"
#include "com/variant.h"

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

namespace {

// Reads the text argument of Add, Delete and Find: a BSTR, or anything
// VariantChangeType turns into one.
HRESULT textArgument(VARIANT* arg, com::Variant& converted, BSTR& text, UINT* argErr) {
  if (V_VT(arg) == VT_BSTR) {
    text = V_BSTR(arg);
    return S_OK;
  }
  if (FAILED(com::Variant::convert(*arg, VT_BSTR, converted)) || converted.type() != VT_BSTR) {
    if (argErr) *argErr = 0;
    return DISP_E_TYPEMISMATCH;
  }
  text = V_BSTR(&converted.get());
  return S_OK;
}

}  // namespace

HRESULT invokeWhiteList(IWhiteList& list, DISPID id, DISPPARAMS* params, VARIANT* result, UINT* argErr) {
  if (result) VariantInit(result);
  if (!params) return DISP_E_BADVARTYPE;
  if (params->cArgs > 2) return DISP_E_BADPARAMCOUNT;
  PlacedArgs args;
  HRESULT hr = placeWhiteListArgs(params, args, argErr);
  if (FAILED(hr)) return hr;
  if (id < kDispAdd || id > kDispGetNext) return DISP_E_MEMBERNOTFOUND;
  const UINT needed = id == kDispDeleteAll ? 0 : 1;
  if (args.count != needed) return DISP_E_BADPARAMCOUNT;
  VARIANT* arg = args.at[0];

  switch (id) {
    case kDispAdd:
    case kDispDelete:
    case kDispFind: {
      com::Variant converted;
      BSTR text = nullptr;
      hr = textArgument(arg, converted, text, argErr);
      if (FAILED(hr)) return hr;
      if (id == kDispAdd) return list.Add(text);
      if (id == kDispDelete) return list.Delete(text);
      VARIANT_BOOL found = VARIANT_FALSE;
      hr = list.Find(text, &found);
      if (SUCCEEDED(hr) && result) {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = found;
      }
      return hr;
    }
    case kDispGetWhiteList: {
      if (V_VT(arg) != (VT_BYREF | VT_VARIANT)) {
        if (argErr) *argErr = 0;
        return DISP_E_TYPEMISMATCH;
      }
      VARIANT* target = V_VARIANTREF(arg);
      if (!target) return E_POINTER;
      return list.GetWhiteList(target);
    }
    case kDispPutWhiteList: {
      const VARIANT* source = arg;
      if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) {
        source = V_VARIANTREF(arg);
        if (!source) return E_POINTER;
      }
      hr = list.PutWhiteList(*source);
      if (hr == DISP_E_TYPEMISMATCH && argErr) *argErr = 0;
      return hr;
    }
    case kDispDeleteAll:
      return list.DeleteAll();
    case kDispGetFirst:
    case kDispGetNext: {
      const bool first = id == kDispGetFirst;
      if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) {
        VARIANT* target = V_VARIANTREF(arg);
        if (!target) return E_POINTER;
        com::Bstr text;
        hr = first ? list.GetFirst(text.Receive()) : list.GetNext(text.Receive());
        com::Variant(std::move(text)).releaseInto(target);
        return hr;
      }
      // Anything else must really be a reference to a BSTR before it is
      // written through.
      if (V_VT(arg) != (VT_BYREF | VT_BSTR)) {
        if (argErr) *argErr = 0;
        return DISP_E_TYPEMISMATCH;
      }
      BSTR* target = V_BSTRREF(arg);
      if (!target) return E_POINTER;
      com::Bstr text;
      hr = first ? list.GetFirst(text.Receive()) : list.GetNext(text.Receive());
      if (hr == S_OK) {
        // The reference is in/out: the caller's previous string is ours to free.
        com::Bstr previous;
        previous.reset(*target);
        *target = text.release();
      }
      return hr;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace qv::win
