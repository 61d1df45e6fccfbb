// Pixel access of the DIB image: every pixel of a 2048x2048 picture read or written once.
#include <benchmark/benchmark.h>

#include "dib/qvdib.h"

namespace {

pw::TQvDIB& Picture(int bits) {
  static pw::TQvDIB images[25];
  pw::TQvDIB& dib = images[bits];
  if (dib.GetWidth() != 2048) {
    dib.SetBitCount(bits);
    dib.SetWidth(2048);
    dib.SetHeight(2048);
  }
  return dib;
}

void BM_SetPixels(benchmark::State& state) {
  pw::TQvDIB& dib = Picture(static_cast<int>(state.range(0)));
  const std::int32_t mask = state.range(0) == 24 ? 0xFFFFFF : (1 << state.range(0)) - 1;
  for (auto _ : state) {
    for (int y = 0; y < 2048; ++y)
      for (int x = 0; x < 2048; ++x) dib.SetPixels(x, y, (x ^ y) & mask);
  }
  state.SetItemsProcessed(state.iterations() * 2048 * 2048);
}
BENCHMARK(BM_SetPixels)->Arg(1)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

void BM_GetPixels(benchmark::State& state) {
  pw::TQvDIB& dib = Picture(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (int y = 0; y < 2048; ++y)
      for (int x = 0; x < 2048; ++x) sum += dib.GetPixels(x, y);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 2048 * 2048);
}
BENCHMARK(BM_GetPixels)->Arg(1)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

}  // namespace
