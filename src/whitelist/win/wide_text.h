// Conversion between the wide strings that cross COM boundaries (BSTR,
// LPCOLESTR) and the narrow texts in the system's ANSI code page that the
// white list works in.  All conversions of the white list object go through
// here.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace qv::win {

// The ANSI form of at most `length` wide characters, stopping at the first
// NUL.  Characters the code page cannot hold come out as its default
// character.
std::string narrowFromWide(const wchar_t* text, std::size_t length);

// The ANSI form of a NUL-terminated wide string; NULL gives "".
std::string narrowFromWide(const wchar_t* text);

// The ANSI form of a BSTR; a NULL BSTR counts as the empty text.
std::string narrowFromBstr(BSTR text);

// The wide form of an ANSI text (stops at an embedded NUL).
std::wstring wideFromNarrow(std::string_view text);

// A new BSTR holding the wide form of an ANSI text, owned by the caller;
// nullptr when memory runs out.
BSTR bstrFromNarrow(std::string_view text);

}  // namespace qv::win
