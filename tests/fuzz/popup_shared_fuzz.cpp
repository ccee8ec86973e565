// Shared memory written by other processes is untrusted: the history region
// and the browser table must stay within bounds and keep their invariants
// whatever bytes they start from.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/browser_table.h"
#include "core/notify.h"

namespace {

class FreeMutex final : public qv::NamedMutex {
 public:
  qv::WaitResult wait(std::uint32_t) override { return qv::WaitResult::Abandoned; }
  void release() override {}
};

class NoDesktop final : public qv::Desktop {
 public:
  bool asyncKeyDown(int) override { return false; }
  bool keyDown(int) override { return false; }
  qv::CursorHandle cursor() override { return 0; }
  void setCursor(qv::CursorHandle) override {}
  std::optional<qv::ScreenPoint> cursorPos() override { return std::nullopt; }
  std::string className(qv::WindowHandle) override { return {}; }
  qv::WindowHandle findTopLevel(const char*) override { return 0; }
  qv::WindowHandle firstChild(qv::WindowHandle) override { return 0; }
  std::string windowTitle(qv::WindowHandle) override { return {}; }
  void postClose(qv::WindowHandle) override {}
  qv::WindowHandle focus() override { return 1; }
  qv::WindowHandle parent(qv::WindowHandle w) override { return w > 1 ? w - 1 : 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // First byte: history region size (small regions reach the capacity rules);
  // then the region's bytes, then an address, then the record's bytes.
  const std::size_t regionSize = 1 + data[0] % 64;
  data++, size--;
  std::vector<char> region(regionSize, 0);
  const std::size_t take = std::min(regionSize, size);
  std::memcpy(region.data(), data, take);
  data += take, size -= take;
  const std::size_t addressLen = size ? data[0] % 32 : 0;
  if (size) data++, size--;
  const std::string_view address(reinterpret_cast<const char*>(data), std::min(addressLen, size));
  data += address.size(), size -= address.size();

  // The model: the text is the bytes before the first zero; a record is the
  // address (up to its first zero) and a line break, added once, only while
  // text, record and a closing zero fit.
  using qv::popup::AppendResult;
  const std::vector<char> before = region;
  const char* zero = static_cast<const char*>(std::memchr(region.data(), 0, region.size()));
  const std::string text(region.data(), zero ? static_cast<std::size_t>(zero - region.data()) : 0);
  const std::string record = std::string(address.substr(0, address.find('\0'))) + "\n";
  AppendResult expected = AppendResult::Appended;
  if (record.size() == 1) expected = AppendResult::NoAddress;
  else if (!zero) expected = AppendResult::Corrupt;
  else if (text.find(record) != std::string::npos) expected = AppendResult::Duplicate;
  else if (text.size() + record.size() >= region.size()) expected = AppendResult::Full;
  const auto result = qv::popup::AppendHistory(region, address);
  if (result != expected) std::abort();
  if (result == AppendResult::Appended) {
    if (qv::popup::HistoryText(region) != text + record) std::abort();
    const std::size_t end = text.size() + record.size() + 1;  // bytes after the new zero are untouched
    if (!std::equal(region.begin() + static_cast<std::ptrdiff_t>(end), region.end(),
                    before.begin() + static_cast<std::ptrdiff_t>(end)))
      std::abort();
    if (qv::popup::AppendHistory(region, address) != AppendResult::Duplicate) std::abort();
  } else if (region != before) {
    std::abort();  // a refused record changes nothing
  } else if (qv::popup::HistoryText(region) != (zero ? text : std::string(region.begin(), region.end()))) {
    std::abort();
  }

  qv::SharedSettings s;
  std::memcpy(&s, data, std::min(size, sizeof s));
  FreeMutex m;
  qv::core::BrowserTable table(s, &m);
  NoDesktop desktop;
  const std::uint32_t key = size >= 4 ? static_cast<std::uint32_t>(data[0] | data[1] << 8) : 1;
  (void)table.FindPubForFocus(desktop, key, key);
  (void)table.Add(key, key, key, key);
  (void)table.Remove(key, key, key);
  if (table.Count() < 0 || table.Count() > qv::kMaxBrowsers) std::abort();
  if (s.browserCount < 0 || s.browserCount > qv::kMaxBrowsers) {
    // A corrupt count is repaired by the first update that sees it.
    std::abort();
  }
  return 0;
}
