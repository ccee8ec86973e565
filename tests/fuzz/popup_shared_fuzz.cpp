// Shared memory written by other processes is untrusted: the history region
// and the browser table must stay within bounds and keep their invariants
// whatever bytes they start from.
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

  const bool hadZero = std::memchr(region.data(), 0, region.size()) != nullptr;
  const auto result = qv::popup::AppendHistory(region, address);
  if (result == qv::popup::AppendResult::Appended) {
    if (!hadZero) std::abort();
    if (!std::memchr(region.data(), 0, region.size())) std::abort();  // a zero byte always follows
    if (qv::popup::AppendHistory(region, address) != qv::popup::AppendResult::Duplicate) std::abort();
  }
  (void)qv::popup::HistoryText(region);

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
