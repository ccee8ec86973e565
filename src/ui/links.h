// The project's own addresses, shown on the About page.  Defined here once.
// They are reserved example domains until the project has a home of its own.
#pragma once

#include <string_view>

namespace qv::ui {

inline constexpr std::string_view kWebHost = "www.example.com";
inline constexpr std::string_view kWebAddress = "http://www.example.com/";
inline constexpr std::string_view kSupportEmail = "support@example.org";
inline constexpr std::string_view kMailtoPrefix = "mailto:";

}  // namespace qv::ui
