// The seen-identifier list at the sizes a long-watched mailbox reaches:
// loading a .uid file of 100,000 identifiers of 40 bytes, looking up present
// and absent identifiers, refreshing from an unchanged file (the start of
// every check) and saving. A lookup must cost about the same with 100,000
// entries as with 1,000.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "stores/seen_uid_list.h"
#include "support/temp_dir.h"

namespace {

constexpr size_t kLength = 40;
constexpr size_t kLookups = 100000;

std::vector<std::string> make_ids(size_t n, uint32_t seed) {
  static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> pick(0, 61);
  std::vector<std::string> ids(n);
  for (auto& id : ids) {
    id.resize(kLength);
    for (char& c : id) c = alphabet[pick(rng)];
  }
  return ids;
}

struct Fixture {
  explicit Fixture(size_t n) : ids(make_ids(n, 1)), file(dir / "user@example.cn.uid") {
    std::string text;
    for (const auto& id : ids) text += id + "\r\n";
    dir.write("user@example.cn.uid", text);
    // Half present, half absent, interleaved.
    std::vector<std::string> absent = make_ids(kLookups / 2, 2);
    for (size_t i = 0; i < kLookups; ++i) {
      queries.push_back(i % 2 ? absent[i / 2] : ids[(i * 7919) % ids.size()]);
    }
  }
  pw::test::TempDir dir;
  std::vector<std::string> ids;
  std::filesystem::path file;
  std::vector<std::string> queries;
};

void BM_Load(benchmark::State& state) {
  Fixture f(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    pw::SeenUidList list(f.file);
    benchmark::DoNotOptimize(list.load());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Load)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_Lookup(benchmark::State& state) {
  Fixture f(static_cast<size_t>(state.range(0)));
  pw::SeenUidList list(f.file);
  list.load();
  size_t found = 0;
  for (auto _ : state) {
    for (const auto& q : f.queries) found += list.find(q).has_value();
  }
  benchmark::DoNotOptimize(found);
  if (found != state.iterations() * kLookups / 2) state.SkipWithError("wrong lookup results");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kLookups));
}
BENCHMARK(BM_Lookup)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_RefreshUnchanged(benchmark::State& state) {
  Fixture f(static_cast<size_t>(state.range(0)));
  pw::SeenUidList list(f.file);
  list.load();
  for (auto _ : state) list.refresh();
  if (list.size() != f.ids.size()) state.SkipWithError("refresh changed the list");
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RefreshUnchanged)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state) {
  Fixture f(static_cast<size_t>(state.range(0)));
  pw::SeenUidList list(f.file);
  list.load();
  for (auto _ : state) {
    if (!list.save(false)) state.SkipWithError("save failed");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Save)->Arg(100000)->Unit(benchmark::kMillisecond);

// Prints the time per lookup and the ratio between the two list sizes.
class LookupReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      std::string name = run.benchmark_name();
      if (name.rfind("BM_Lookup/", 0) != 0 || run.iterations == 0) continue;
      // With repetitions, the median stands for the size.
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      // CPU time per iteration (other work on the machine inflates real time), over kLookups lookups.
      double per_lookup = run.GetAdjustedCPUTime() * 1e6 / double(kLookups);
      ns_per_lookup_[std::stoul(name.substr(10))] = per_lookup;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const auto& [size, ns] : ns_per_lookup_) std::printf("lookup with %zu entries: %.1f ns\n", size, ns);
    if (ns_per_lookup_.count(1000) && ns_per_lookup_.count(100000)) {
      std::printf("lookup cost ratio 100,000 : 1,000 entries = %.2f\n",
                  ns_per_lookup_[100000] / ns_per_lookup_[1000]);
    }
  }

 private:
  std::map<size_t, double> ns_per_lookup_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  LookupReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
