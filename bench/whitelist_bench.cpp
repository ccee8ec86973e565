// White list speed: the lookup of a page address against lists of growing
// size, next to bare ordered-set probes of the same keys; and the parse of a
// large white list file, next to reading its lines without processing.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/fake_files.h"
#include "whitelist/store.h"
#include "whitelist/url.h"

namespace {

using qv::wl::WhiteListStore;

std::string hostName(std::uint32_t n) { return "s" + std::to_string(n) + ".example.com"; }

// A list of `size` sites (hosts, some with a path), and 1024 page addresses
// of six path segments on hosts of the list.  Only the bare host is listed,
// so every lookup tries all seven keys and matches on the last.
struct LookupFixture {
  explicit LookupFixture(std::size_t size) : store(files) {
    std::mt19937 rng(42);
    std::vector<std::uint32_t> hosts;
    for (std::size_t i = 0; i < size; ++i) {
      const std::uint32_t h = rng();
      hosts.push_back(h);
      store.insert(hostName(h));
      if (i % 4 == 0) store.insert(hostName(h) + "/ads");
      plain.insert(hostName(h));
      if (i % 4 == 0) plain.insert(hostName(h) + "/ads");
    }
    for (int i = 0; i < 1024; ++i) {
      const std::string host = hostName(hosts[rng() % hosts.size()]);
      const std::string path = "/news/2024/" + std::to_string(i) + "/world/europe/story.html";
      urls.push_back("http://" + host + path + "?ref=front");
      std::string key = host + path;
      std::vector<std::string> k;
      for (;;) {
        k.push_back(key);
        const std::size_t slash = key.rfind('/');
        if (slash == std::string::npos) break;
        key.resize(slash);
      }
      keys.push_back(std::move(k));
    }
  }
  qv::fake::FakeFileSystem files;
  WhiteListStore store;
  std::set<std::string> plain;
  std::vector<std::string> urls;
  std::vector<std::vector<std::string>> keys;
};

LookupFixture& fixture(std::size_t size) {
  static std::map<std::size_t, std::unique_ptr<LookupFixture>> made;
  auto& f = made[size];
  if (!f) f = std::make_unique<LookupFixture>(size);
  return *f;
}

void BM_LookupSite(benchmark::State& state) {
  LookupFixture& f = fixture(static_cast<std::size_t>(state.range(0)));
  std::size_t i = 0, found = 0;
  for (auto _ : state) {
    found += f.store.lookup(f.urls[i++ & 1023]);
  }
  if (found != static_cast<std::size_t>(state.iterations())) state.SkipWithError("every address should be found");
  state.counters["probes"] = 7;
}

void BM_SetCountSameKeys(benchmark::State& state) {
  LookupFixture& f = fixture(static_cast<std::size_t>(state.range(0)));
  std::size_t i = 0, found = 0;
  for (auto _ : state) {
    for (const std::string& key : f.keys[i++ & 1023]) found += f.plain.count(key);
  }
  benchmark::DoNotOptimize(found);
}

BENCHMARK(BM_LookupSite)->Arg(10)->Arg(10000)->Arg(1000000);
BENCHMARK(BM_SetCountSameKeys)->Arg(10)->Arg(10000)->Arg(1000000);

// A file of 100,000 site lines (with a header, a few comments and blank
// lines), CR LF line ends.
const std::string& bigFile() {
  static const std::string bytes = [] {
    std::string b = "#Quillvane White List\r\n";
    std::mt19937 rng(7);
    for (int i = 0; i < 100000; ++i) {
      if (i % 1000 == 0) b += "# section " + std::to_string(i) + "\r\n\r\n";
      b += "  Site" + std::to_string(rng()) + ".Example.com";
      if (i % 3 == 0) b += "/offers/" + std::to_string(i);
      b += "\r\n";
    }
    return b;
  }();
  return bytes;
}

void BM_ParseFile100k(benchmark::State& state) {
  const std::string& bytes = bigFile();
  for (auto _ : state) {
    WhiteListStore::Set set;
    WhiteListStore::parse(bytes, set);
    benchmark::DoNotOptimize(set.size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// The same sites as the file the store itself writes: sorted, one per line.
const std::string& savedFile() {
  static const std::string bytes = [] {
    WhiteListStore::Set set;
    WhiteListStore::parse(bigFile(), set);
    return WhiteListStore::format(set);
  }();
  return bytes;
}

void BM_ParseSavedFile100k(benchmark::State& state) {
  const std::string& bytes = savedFile();
  for (auto _ : state) {
    WhiteListStore::Set set;
    WhiteListStore::parse(bytes, set);
    benchmark::DoNotOptimize(set.size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_LoadFile100k(benchmark::State& state) {
  qv::fake::FakeFileSystem files;
  files.files["C:\\wl\\Quillvane.WL"] = bigFile();
  WhiteListStore store(files);
  store.setFileName("C:\\wl\\Quillvane.WL");
  for (auto _ : state) {
    if (!store.loadFile().ok()) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(store.sites().size());
  }
}

// Baseline: the same bytes read line by line into a string, nothing else.
void BM_ReadLinesOnly100k(benchmark::State& state) {
  const std::string& bytes = bigFile();
  for (auto _ : state) {
    std::istringstream in(bytes);
    std::string line;
    std::size_t n = 0;
    while (std::getline(in, line)) n += line.size();
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK(BM_ParseFile100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseSavedFile100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFile100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLinesOnly100k)->Unit(benchmark::kMillisecond);

}  // namespace
