// BMP reading and writing of a 2048x2048 picture at 24 and 8 bits, from and to memory streams,
// next to a plain memcpy of the same number of bytes (the speed of memory itself) and a copy
// into a newly allocated buffer (what any load must at least do).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "toolkit/bitmap.h"
#include "toolkit/stream.h"

namespace {

constexpr int kSize = 2048;

pw::TBitmap Picture(int bits) {
  pw::TBitmap b;
  b.SetPixelFormat(bits == 8 ? pw::TPixelFormat::pf8bit : pw::TPixelFormat::pf24bit);
  b.SetSize(kSize, kSize);
  for (int y = 0; y < kSize; ++y) {
    std::uint8_t* row = b.ScanLine(y);
    for (std::size_t i = 0; i < b.GetStride(); ++i) row[i] = static_cast<std::uint8_t>(i * 7 + y);
  }
  return b;
}

std::vector<std::uint8_t> FileOf(pw::TBitmap& b) {
  pw::TMemoryStream stream;
  b.SaveToStream(stream);
  return stream.Bytes();
}

void ReadBmp(benchmark::State& state) {
  pw::TBitmap source = Picture(static_cast<int>(state.range(0)));
  pw::TMemoryStream stream(FileOf(source));
  pw::TBitmap b;
  for (auto _ : state) {
    stream.SetPosition(0);
    b.LoadFromStream(stream);
    benchmark::DoNotOptimize(b.ScanLine(0));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.Bytes().size()));
}

void WriteBmp(benchmark::State& state) {
  pw::TBitmap b = Picture(static_cast<int>(state.range(0)));
  pw::TMemoryStream stream;
  for (auto _ : state) {
    stream.Clear();
    b.SaveToStream(stream);
    benchmark::DoNotOptimize(stream.Memory());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.Bytes().size()));
}

void Memcpy(benchmark::State& state) {
  pw::TBitmap source = Picture(static_cast<int>(state.range(0)));
  const std::vector<std::uint8_t> from = FileOf(source);
  std::vector<std::uint8_t> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(from.size()));
}

// The least a load can do: a new zero-filled buffer of the file's size and one copy into it.
void MemcpyToNewBuffer(benchmark::State& state) {
  pw::TBitmap source = Picture(static_cast<int>(state.range(0)));
  const std::vector<std::uint8_t> from = FileOf(source);
  for (auto _ : state) {
    std::vector<std::uint8_t> to(from.size());
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(from.size()));
}

}  // namespace

BENCHMARK(ReadBmp)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteBmp)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(Memcpy)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyToNewBuffer)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);
