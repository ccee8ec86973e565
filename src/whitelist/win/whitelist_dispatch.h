// The automation side of the white list object, decoded without the object:
// the name table behind GetIDsOfNames, the placement of Invoke's arguments
// and the decoding of each method's arguments onto IWhiteList's own calls.
// Kept apart so that all of it can be checked with hand-made DISPPARAMS.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <array>

#include "quillvane_i.h"

namespace qv::win {

// Dispatch ids of IWhiteList's methods (the order of the interface).
enum WhiteListDispId : DISPID {
  kDispAdd = 1,
  kDispDelete = 2,
  kDispFind = 3,
  kDispGetWhiteList = 4,
  kDispPutWhiteList = 5,
  kDispDeleteAll = 6,
  kDispGetFirst = 7,
  kDispGetNext = 8,
};

// Looks a member or parameter name up, ignoring case, in the object's one
// table of method and parameter names (parameters have id 0, "pbFound" 1).
// Returns false for a name that is not in the table (or a NULL name).
bool lookUpWhiteListName(const wchar_t* name, DISPID* id);

// Invoke's arguments in positional order: at most two.  `count` is how many
// the caller passed; the pointers refer into the caller's DISPPARAMS.
struct PlacedArgs {
  std::array<VARIANT*, 2> at{};
  UINT count = 0;
};

// Validates a DISPPARAMS block and puts its arguments in positional order:
// positional arguments arrive last-first, named ones go where their dispatch
// id says (a leading DISPID_PROPERTYPUT counts as position 0).  Errors:
// DISP_E_BADVARTYPE without a block, DISP_E_BADPARAMCOUNT for more than two
// arguments or more names than arguments, E_INVALIDARG for missing arrays,
// DISP_E_PARAMNOTFOUND (with *argErr set to the offending rgvarg index) for
// a named id that is negative, not below the argument count, or names a
// position already taken.
HRESULT placeWhiteListArgs(const DISPPARAMS* params, PlacedArgs& out, UINT* argErr);

// IDispatch::Invoke of a white list: checks and places the arguments,
// converts a text argument to a BSTR (VariantChangeType), writes [out]
// arguments given by reference (VT_BYREF|VT_VARIANT, or VT_BYREF|VT_BSTR for
// GetFirst/GetNext, whose previous string is freed), and calls `list`.
HRESULT invokeWhiteList(IWhiteList& list, DISPID id, DISPPARAMS* params, VARIANT* result, UINT* argErr);

}  // namespace qv::win
