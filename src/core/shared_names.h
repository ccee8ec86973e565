// Names and sizes of the kernel objects the module's processes share: the
// one place each is written down.  The browser and the tests open them by
// these names.
#pragma once

#include <cstddef>
#include <string_view>

namespace qv {

// The block-history region: kHistoryRegionSize bytes of ANSI lines.
inline constexpr std::string_view kHistoryRegionName = "PubBlockedSiteList";
inline constexpr std::size_t kHistoryRegionSize = 8196;
inline constexpr std::string_view kHistoryTempPrefix = "TFR";

// The shared settings record (SharedSettings): a mapping of the paging file
// in the session's own namespace, so every browser of the session, 32- or
// 64-bit, shares it and no other session sees it.  The number is the
// record's layout version: change it with the layout.
inline constexpr std::string_view kSharedRecordName = "Local\\QuillvaneSharedSettings.2";

// The data mutex guards the shared settings record and the history region;
// the options mutex, the one open options sheet; the table mutex, the
// browser table.
inline constexpr std::string_view kDataMutexName = "MutexToProtectPubData";
inline constexpr std::string_view kOptionsMutexName = "MutexForOptionsDlg";
inline constexpr std::string_view kBrowserTableMutexName = "MutexForBrowserTable";

}  // namespace qv
