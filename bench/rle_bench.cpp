// RLE8 encoding and decoding of a 2048x2048 8-bit picture with large flat areas, beside
// ImageMagick writing the same picture as an RLE8 BMP (its `convert` run once per iteration, so
// its figure includes starting the program and reading the plain file; compare it with
// BM_Rle8FileToFile, which also reads the plain file and writes the RLE file).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "dib/convert.h"
#include "dib/qvdib.h"
#include "toolkit/stream.h"

namespace {

using namespace pw;
namespace fs = std::filesystem;

constexpr int kSize = 2048;

// Flat bands and rectangles with a thin strip of noise, as a window picture reduced to 8 bits
// has: long runs, a few short literals.
TQvDIB& Picture() {
  static const std::unique_ptr<TQvDIB> image = [] {
    auto made = std::make_unique<TQvDIB>();
    TQvDIB& d = *made;
    d.SetWidth(kSize);
    d.SetHeight(kSize);
    auto palette = std::make_shared<TQvLogPalette>();
    for (int i = 0; i < 256; ++i)
      palette->entries.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                                  static_cast<std::uint8_t>(i * 7), 0});
    d.SetPalette(palette);
    std::uint32_t noise = 12345;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        int v = (y / 128) * 16 + (x / 512);
        if (x > 700 && x < 1300 && y > 600 && y < 1400) v = 200;
        if (y % 256 < 4 && x % 64 < 20) {
          noise = noise * 1103515245u + 12345u;
          v = static_cast<int>(noise >> 24);
        }
        d.SetPixels(x, y, v);
      }
    return made;
  }();
  return *image;
}

struct TempFolder {
  fs::path path = fs::temp_directory_path() / ("pw-rle-bench-" + std::to_string(getpid()));
  TempFolder() { fs::create_directories(path); }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

const TempFolder& Temp() {
  static const TempFolder folder;
  return folder;
}

fs::path PlainFile() {
  static const fs::path file = [] {
    fs::path p = Temp().path / "plain.bmp";
    TFileStream out(p.string(), TFileMode::fmCreate);
    Picture().SaveToStream(out);
    out.Flush();
    return p;
  }();
  return file;
}

// Encodes source to RLE8 in every iteration; the bytes processed are the source's pixels.
void EncodeRle8(benchmark::State& state, const TQvDIBInfos& source) {
  std::size_t length = 0;
  for (auto _ : state) {
    TQvDIBInfos rle = Convert8BitRGBTo8BitRLE(source, false, TQvConvertContext{});
    length = rle.BitsSize();
    benchmark::DoNotOptimize(rle.Bits());
  }
  state.counters["encoded_bytes"] = static_cast<double>(length);
  state.SetBytesProcessed(state.iterations() * source.BitsSize());
}

void BM_Rle8Encode(benchmark::State& state) { EncodeRle8(state, Picture().Internal().DIBInfos); }
BENCHMARK(BM_Rle8Encode)->Unit(benchmark::kMillisecond);

// Noise over seven eighths of every row (literals), a flat run in the rest: RLE only just fits.
const TQvDIBInfos& NoisyPicture() {
  static const std::unique_ptr<TQvDIB> image = [] {
    auto made = std::make_unique<TQvDIB>();
    TQvDIB& d = *made;
    d.SetWidth(kSize);
    d.SetHeight(kSize);
    d.SetPalette(Picture().GetPalette());
    std::uint32_t seed = 777;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        seed = seed * 1664525u + 1013904223u;
        d.SetPixels(x, y, x % 512 < 448 ? static_cast<int>(seed >> 24) : 9);
      }
    return made;
  }();
  return image->Internal().DIBInfos;
}

void BM_Rle8EncodeNoisy(benchmark::State& state) { EncodeRle8(state, NoisyPicture()); }
BENCHMARK(BM_Rle8EncodeNoisy)->Unit(benchmark::kMillisecond);

void BM_Rle8Decode(benchmark::State& state) {
  const TQvDIBInfos rle = Convert8BitRGBTo8BitRLE(Picture().Internal().DIBInfos, false, TQvConvertContext{});
  for (auto _ : state) {
    TQvDIBInfos plain = Convert8BitRLETo8BitRGB(rle, false, TQvConvertContext{});
    benchmark::DoNotOptimize(plain.Bits());
  }
  state.SetBytesProcessed(state.iterations() * kSize * kSize);
}
BENCHMARK(BM_Rle8Decode)->Unit(benchmark::kMillisecond);

// Our whole road from a plain BMP file to an RLE8 BMP file.
void BM_Rle8FileToFile(benchmark::State& state) {
  const std::string in = PlainFile().string();
  const std::string out = (Temp().path / "ours-rle.bmp").string();
  for (auto _ : state) {
    TQvDIB image;
    image.LoadFromFile(in);
    image.SetPixelFormat(qvPf8BitRLE);
    TFileStream file(out, TFileMode::fmCreate);
    image.SaveToStream(file);
    file.Flush();
  }
  state.counters["file_bytes"] = static_cast<double>(fs::file_size(out));
}
BENCHMARK(BM_Rle8FileToFile)->Unit(benchmark::kMillisecond);

double ChildCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_ImageMagickRle8(benchmark::State& state) {
  if (std::system("command -v convert >/dev/null 2>&1") != 0) {
    state.SkipWithError("ImageMagick's convert is not installed");
    return;
  }
  const fs::path out = Temp().path / "magick-rle.bmp";
  const std::string command = "convert '" + PlainFile().string() + "' -compress RLE BMP3:'" + out.string() + "'";
  const double cpuBefore = ChildCpuSeconds();
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("convert failed");
      return;
    }
  // The CPU column counts this process only; the program's own time is measured here, so
  // that a busy machine does not skew the comparison.
  state.counters["convert_cpu_ms"] =
      (ChildCpuSeconds() - cpuBefore) * 1000.0 / static_cast<double>(state.iterations());
  state.counters["file_bytes"] = static_cast<double>(fs::file_size(out));
}
BENCHMARK(BM_ImageMagickRle8)->Unit(benchmark::kMillisecond);

}  // namespace
