// Options sheet speed, natively against fakes: the one-step replace of a
// 10,000-site white list (what OK writes) next to formatting the same file
// bytes alone, and a whole open/OK/save round of the protocol with that list.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "fakes/fake_files.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_registry.h"
#include "ui/options_sheet.h"
#include "whitelist/store.h"

namespace {

std::vector<std::string> sites(int n) {
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.push_back("Site" + std::to_string(i) + ".test/path");
  return out;
}

// Baseline: the file's bytes for the list, nothing else.
void BM_FormatTenThousand(benchmark::State& state) {
  qv::wl::WhiteListStore::Set set;
  for (const std::string& s : sites(10000)) set.insert(s);
  for (auto _ : state) benchmark::DoNotOptimize(qv::wl::WhiteListStore::format(set));
}
BENCHMARK(BM_FormatTenThousand)->Unit(benchmark::kMillisecond);

void BM_ReplaceAllTenThousand(benchmark::State& state) {
  qv::fake::FakeFileSystem files;
  qv::wl::WhiteListStore store(files);
  store.setFileName("C:\\Quillvane.WL");
  const std::vector<std::string> list = sites(10000);
  for (auto _ : state) {
    benchmark::DoNotOptimize(store.replaceAll(list));
    files.replaces.clear();
  }
}
BENCHMARK(BM_ReplaceAllTenThousand)->Unit(benchmark::kMillisecond);

// An uncontended named mutex.
class FreeMutex final : public qv::NamedMutex {
 public:
  qv::WaitResult wait(std::uint32_t) override { return qv::WaitResult::Obtained; }
  void release() override {}
};

class StoreList final : public qv::ui::SheetWhiteList {
 public:
  explicit StoreList(qv::wl::WhiteListStore& s) : store_(s) {}
  ReadResult readAll() override {
    ReadResult r;
    for (store_.rewind(); store_.current(); store_.advance()) r.sites.push_back(*store_.current());
    return r;
  }
  std::optional<qv::ui::ComError> replaceAll(const std::vector<std::string>& s) override {
    store_.replaceAll(s);
    return std::nullopt;
  }

 private:
  qv::wl::WhiteListStore& store_;
};

class NoSheetHost final : public qv::ui::OptionsHost {
 public:
  explicit NoSheetHost(qv::ui::SheetWhiteList& l) : list_(l) {}
  void focusFrame() override {}
  void applyDialogSkin(std::int32_t) override {}
  void removeDialogSkin() override {}
  qv::ui::SheetWhiteList* whiteList() override { return &list_; }
  std::optional<std::string> readDefaultStatus() override { return std::nullopt; }
  void writeDefaultStatus(const std::string&) override {}
  int runSheet(qv::ui::SheetValues&, int) override { return 1; }
  bool sendSettingsNotice() override { return false; }
  void refreshBrowser() override {}

 private:
  qv::ui::SheetWhiteList& list_;
};

void BM_OpenAndSaveTenThousand(benchmark::State& state) {
  qv::fake::FakeFileSystem files;
  qv::wl::WhiteListStore store(files);
  store.setFileName("C:\\Quillvane.WL");
  store.replaceAll(sites(10000));
  StoreList list(store);
  NoSheetHost host(list);
  qv::fake::FakeRegistry reg;
  reg.create(qv::RegRoot::CurrentUser, "Software\\Harrowlyn\\Quillvane");
  reg.create(qv::RegRoot::CurrentUser, std::string(qv::ui::kBrowserMainKey));
  qv::fake::FakeMessages messages;
  FreeMutex options, data;
  qv::SharedSettings s;
  for (auto _ : state) benchmark::DoNotOptimize(qv::ui::showOptions({s, reg, messages, &options, &data, host}, 0));
}
BENCHMARK(BM_OpenAndSaveTenThousand)->Unit(benchmark::kMillisecond);

}  // namespace
