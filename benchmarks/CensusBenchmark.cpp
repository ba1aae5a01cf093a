// Time per note of the census over a synthetic view of a million notes,
// against the floor: the same library calls with nothing else around them.
#include <benchmark/benchmark.h>

#include "Census.h"
#include "FloorWalk.h"
#include "SyntheticNotes.h"

namespace {

constexpr std::uint32_t kNotes = 1000000;

void PerNote(benchmark::State& state) {
  state.counters["per_note"] =
      benchmark::Counter(static_cast<double>(kNotes) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Census(benchmark::State& state) {
  InstallSyntheticNotes(kNotes);
  const std::uint32_t expected = SyntheticMailboxes(kNotes);
  for (auto _ : state) {
    std::uint32_t total = 0;
    const bool ok = CountMailboxes(kSyntheticServer, total, false, false);
    if (!ok || total != expected) {
      state.SkipWithError("the census did not count the synthetic mailboxes");
      break;
    }
    benchmark::DoNotOptimize(total);
  }
  PerNote(state);
}

void BM_Floor(benchmark::State& state) {
  InstallSyntheticNotes(kNotes);
  for (auto _ : state) benchmark::DoNotOptimize(WalkFloor(SyntheticNoteCalls));
  PerNote(state);
}

BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Census)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
