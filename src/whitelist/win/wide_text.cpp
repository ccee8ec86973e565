#include "whitelist/win/wide_text.h"

#include <climits>
#include <cwchar>

namespace qv::win {
namespace {

// Windows conversion calls take int lengths; longer texts are cut.
int clampLength(std::size_t n) { return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n); }

}  // namespace

std::string narrowFromWide(const wchar_t* text, std::size_t length) {
  if (!text || length == 0) return {};
  const std::size_t end = std::wstring_view(text, length).find(L'\0');
  const int n = clampLength(end == std::wstring_view::npos ? length : end);
  if (n == 0) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, text, n, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  const int written = WideCharToMultiByte(CP_ACP, 0, text, n, out.data(), size, nullptr, nullptr);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

std::string narrowFromWide(const wchar_t* text) { return text ? narrowFromWide(text, std::wcslen(text)) : std::string(); }

std::string narrowFromBstr(BSTR text) { return text ? narrowFromWide(text, SysStringLen(text)) : std::string(); }

std::wstring wideFromNarrow(std::string_view text) {
  const std::size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  const int n = clampLength(text.size());
  if (n == 0) return {};
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), n, nullptr, 0);
  if (size <= 0) return {};
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  const int written = MultiByteToWideChar(CP_ACP, 0, text.data(), n, out.data(), size);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

BSTR bstrFromNarrow(std::string_view text) {
  const std::wstring wide = wideFromNarrow(text);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace qv::win
