// The scan's matching: 5800 list records against 5000 registered helper
// objects, against the plain nested loop of lower-cased comparisons.
#include <benchmark/benchmark.h>

#include <cstdio>

#include <unordered_map>

#include "adware/scan.h"

namespace {

using namespace qv::adware;

// Class keys by lower-cased path with their default value: a registry with
// indexed look-ups, so that the numbers are the scan's own (the test fake
// searches its keys one by one).
class MapRegistry final : public qv::Registry {
 public:
  void put(const std::string& path, const std::string& value) { keys_[lowerAscii(path)] = value; }
  qv::RegOpen open(qv::RegRoot, std::string_view path) override {
    qv::RegOpen r;
    auto it = keys_.find(lowerAscii(path));
    r.status = it == keys_.end() ? qv::RegStatus::NotFound : qv::RegStatus::Ok;
    if (it != keys_.end()) r.key = std::make_unique<Key>(it->second);
    return r;
  }
  qv::RegOpen create(qv::RegRoot, std::string_view) override { return {}; }
  qv::RegStatus deleteKey(qv::RegRoot, std::string_view) override { return qv::RegStatus::Failed; }
  qv::RegStatus deleteTree(qv::RegRoot, std::string_view) override { return qv::RegStatus::Failed; }

 private:
  struct Key final : qv::RegistryKey {
    explicit Key(const std::string& v) : value(qv::RegValue::string(v)) {}
    qv::RegStatus query(std::string_view name, qv::RegValue& out) override {
      if (!name.empty()) return qv::RegStatus::NotFound;
      out = value;
      return qv::RegStatus::Ok;
    }
    qv::RegStatus set(std::string_view, const qv::RegValue&) override { return qv::RegStatus::AccessDenied; }
    qv::RegStatus deleteValue(std::string_view) override { return qv::RegStatus::AccessDenied; }
    qv::RegStatus enumSubkey(std::uint32_t, std::string&) override { return qv::RegStatus::NotFound; }
    qv::RegValue value;
  };
  std::unordered_map<std::string, std::string> keys_;
};

std::string classId(unsigned n, bool upper) {
  char buf[40];
  std::snprintf(buf, sizeof buf, upper ? "{%08X-ABCD-EF01-2345-6789ABCDEF01}" : "{%08x-abcd-ef01-2345-6789abcdef01}", n);
  return buf;
}

// 5800 records; 5000 registered objects of which `matches` are on the list
// (each with a class key and server path), the rest unknown.
struct World {
  explicit World(unsigned matches) {
    for (unsigned i = 0; i < 5800; ++i) records.push_back({classId(i, true), "Adware Toolbar " + std::to_string(i)});
    for (unsigned i = 0; i < 5000; ++i) {
      const unsigned n = i < matches ? i * 5800 / std::max(matches, 1u) : 100000 + i;
      table.push_back({classId(n, false), false});
      if (i < matches) {
        reg.put("CLSID\\" + classId(n, false), "Toolbar Class");
        reg.put("CLSID\\" + classId(n, false) + "\\InprocServer32", "C:\\Program Files\\Toolbar\\bar.dll");
      }
    }
  }
  MapRegistry reg;
  std::vector<ListRecord> records;
  std::vector<RegisteredEntry> table;
};

void BM_ScanMatching(benchmark::State& state) {
  World w(static_cast<unsigned>(state.range(0)));
  for (auto _ : state) {
    ScanResult r = scanTable(w.reg, w.records, w.table, nullptr);
    benchmark::DoNotOptimize(r.report.data());
  }
}
BENCHMARK(BM_ScanMatching)->Arg(0)->Arg(20)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// Baseline: every record against every unmatched entry, both lower-cased
// for each comparison (no report).
void BM_NestedLoopBaseline(benchmark::State& state) {
  World w(20);
  for (auto _ : state) {
    auto table = w.table;
    int found = 0;
    for (const auto& rec : w.records)
      for (auto& e : table)
        if (!e.matched && lowerAscii(e.name) == lowerAscii(rec.classId)) {
          e.matched = true;
          ++found;
        }
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_NestedLoopBaseline)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
