// The module's one conversion between UTF-16 (what COM, window titles and
// the wide Win32 calls speak) and the system's ANSI code page (what the
// settings, white list, registry values and file names are kept in).
//
// The rules, for every direction:
//  - a text ends at its first NUL: the ANSI side is C strings, where the
//    rest would be lost or, worse, read as a second text;
//  - empty or NULL in gives "" out;
//  - a text longer than the conversion calls can measure (INT_MAX
//    units), or one the system refuses to convert, gives "" (narrow,
//    widen) or nothing (narrowExact) rather than half a text;
//  - a character the code page cannot hold becomes its default character
//    ("?") in narrow; narrowExact refuses the whole text instead, for
//    texts that name something (a file path) and must not be spelled
//    differently.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <optional>
#include <string>
#include <string_view>

#include "com/bstr.h"

namespace qv::com {

std::string narrow(std::wstring_view text);
std::string narrow(const wchar_t* text);  // NUL-terminated
std::string narrowBstr(BSTR text);        // the BSTR's own length
std::optional<std::string> narrowExact(std::wstring_view text);

// The one narrow form of a web address or a white-list entry: a host name
// with characters beyond ASCII in its IDNA ASCII form ("xn--..."), every
// other character exactly in the ANSI code page, never a best-fit look-alike
// (whitelist/address_form.h).  A character outside the code page is spelled
// as percent-escaped UTF-8 in a page address; an entry holding one is
// refused.  nullopt also when a host has no IDNA form (or the system offers
// no IdnToAscii).
enum class AddressUse { PageAddress, Entry };
std::optional<std::string> narrowAddress(std::wstring_view text, AddressUse use);
std::optional<std::string> narrowAddressBstr(BSTR text, AddressUse use);

std::wstring widen(std::string_view text);

// A new BSTR holding the wide form of an ANSI text (throws std::bad_alloc
// when memory runs out).
Bstr bstrFromAnsi(std::string_view text);

}  // namespace qv::com
