#include "com/text.h"

#include <climits>
#include <cwchar>

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

}  // namespace

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
