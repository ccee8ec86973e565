#include "com/text.h"

#include <climits>
#include <cwchar>

#include "whitelist/address_form.h"

namespace qv::com {
namespace {

template <class Char>
std::basic_string_view<Char> toFirstNul(std::basic_string_view<Char> text) {
  const std::size_t end = text.find(Char{});
  return end == std::basic_string_view<Char>::npos ? text : text.substr(0, end);
}

// WideCharToMultiByte twice (measure, convert); nullopt on failure or, with
// `exact`, when a character had no equivalent.
std::optional<std::string> toAnsi(std::wstring_view text, bool exact) {
  text = toFirstNul(text);
  if (text.empty()) return std::string();
  if (text.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  const int n = static_cast<int>(text.size());
  const DWORD flags = exact ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL lossy = FALSE;
  BOOL* lossyOut = exact ? &lossy : nullptr;
  const int size = WideCharToMultiByte(CP_ACP, flags, text.data(), n, nullptr, 0, nullptr, lossyOut);
  if (size <= 0 || lossy) return std::nullopt;
  std::string out(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(CP_ACP, flags, text.data(), n, out.data(), size, nullptr, nullptr) != size)
    return std::nullopt;
  return out;
}

// IdnToAscii lives in kernel32 from Vista on and in normaliz.dll before (and
// under Wine in both); looked up once, so the module loads without it.
using IdnToAsciiFn = int(WINAPI*)(DWORD, LPCWSTR, int, LPWSTR, int);
IdnToAsciiFn idnToAscii() {
  static const IdnToAsciiFn fn = [] {
    FARPROC p = nullptr;
    if (HMODULE k = GetModuleHandleW(L"kernel32.dll")) p = GetProcAddress(k, "IdnToAscii");
    if (!p) {
      if (HMODULE n = LoadLibraryW(L"normaliz.dll")) p = GetProcAddress(n, "IdnToAscii");
    }
    return reinterpret_cast<IdnToAsciiFn>(reinterpret_cast<void*>(p));
  }();
  return fn;
}

// A host name beyond ASCII in its IDNA ASCII form.
std::optional<std::string> asciiHost(std::wstring_view host) {
  const IdnToAsciiFn fn = idnToAscii();
  if (!fn || host.size() > 255) return std::nullopt;
  const int n = static_cast<int>(host.size());
  wchar_t out[256];
  const int got = fn(0, host.data(), n, out, 256);
  if (got <= 0) return std::nullopt;
  std::string ascii;
  for (int i = 0; i < got; ++i) {
    if (out[i] == 0 && i == got - 1) break;
    if (out[i] == 0 || out[i] > 0x7F) return std::nullopt;
    ascii.push_back(static_cast<char>(out[i]));
  }
  return ascii;
}

// The rest of an address: exact in the code page, or (page addresses)
// character by character with percent-escaped UTF-8 where there is none.
std::optional<std::string> exactRest(std::wstring_view text, AddressUse use) {
  if (std::optional<std::string> exact = toAnsi(text, true)) return exact;
  if (use == AddressUse::Entry) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = 1;
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      len = 2;
    }
    if (std::optional<std::string> one = toAnsi(text.substr(i, len), true); one && !one->empty())
      out += *one;
    else
      out += wl::percentUtf8(c);
    i += len;
  }
  return out;
}

}  // namespace

std::optional<std::string> narrowAddress(std::wstring_view text, AddressUse use) {
  text = toFirstNul(text);
  if (wl::isAscii(text)) return toAnsi(text, true);
  return wl::narrowForm(text, asciiHost, [use](std::wstring_view rest) { return exactRest(rest, use); });
}

std::optional<std::string> narrowAddressBstr(BSTR text, AddressUse use) {
  if (!text) return std::string();
  return narrowAddress(std::wstring_view(text, SysStringLen(text)), use);
}

std::string narrow(std::wstring_view text) { return toAnsi(text, false).value_or(std::string()); }

std::string narrow(const wchar_t* text) { return text ? narrow(std::wstring_view(text)) : std::string(); }

std::string narrowBstr(BSTR text) { return text ? narrow(std::wstring_view(text, SysStringLen(text))) : std::string(); }

std::optional<std::string> narrowExact(std::wstring_view text) { return toAnsi(text, true); }

std::wstring widen(std::string_view text) {
  text = toFirstNul(text);
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int n = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), n, nullptr, 0);
  if (size <= 0) return {};
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text.data(), n, out.data(), size) != size) return {};
  return out;
}

Bstr bstrFromAnsi(std::string_view text) { return Bstr(widen(text)); }

}  // namespace qv::com
