// The value runtime's hot paths: array element access, number-to-text and the random generator.
#include <benchmark/benchmark.h>

#include "runtime/values/dim_array.h"
#include "runtime/values/random.h"
#include "runtime/values/string_value.h"

namespace {

using quillon::DimArray;

// A game's inner loop: every element of a 2-D array read and written through At.
void DimArrayAt2D(benchmark::State& state) {
  int32_t side = static_cast<int32_t>(state.range(0));
  DimArray<double> grid;
  grid.Dimension(side, side, 0, 0);
  for (auto _ : state) {
    for (int32_t y = 0; y < side; ++y)
      for (int32_t x = 0; x < side; ++x) grid.At(x, y, 0, 0) += x ^ y;
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(DimArrayAt2D)->Arg(101)->Arg(1024);

// The same loop on a raw pointer: what the bounds checks cost.
void RawPointer2D(benchmark::State& state) {
  int32_t side = static_cast<int32_t>(state.range(0));
  DimArray<double> grid;
  grid.Dimension(side, side, 0, 0);
  double* cells = grid.elements;
  for (auto _ : state) {
    for (int32_t y = 0; y < side; ++y)
      for (int32_t x = 0; x < side; ++x) cells[x + y * side] += x ^ y;
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(RawPointer2D)->Arg(101)->Arg(1024);

void NumberToText(benchmark::State& state) {
  const double values[] = {3, 2.5, -0.25, 1.0 / 3.0, 123456.789, 1e15, 640};
  size_t i = 0;
  for (auto _ : state) {
    quillon::StringValue text = quillon::NumberToText(values[i++ % 7]);
    benchmark::DoNotOptimize(text.text);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(NumberToText);

// One full 256-word ISAAC pass per draw: the generator's defined cost.
void RandomInteger(benchmark::State& state) {
  quillon::SeedRandom(1);
  for (auto _ : state) benchmark::DoNotOptimize(quillon::RandomInteger(100));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(RandomInteger);

void IsaacPass(benchmark::State& state) {
  quillon::IsaacState isaac;
  quillon::IsaacInitialise(isaac, 1);
  for (auto _ : state) {
    quillon::IsaacGenerate(isaac);
    benchmark::DoNotOptimize(isaac.results[0]);
  }
  state.SetItemsProcessed(state.iterations() * quillon::kIsaacWords);
}
BENCHMARK(IsaacPass);

}  // namespace
