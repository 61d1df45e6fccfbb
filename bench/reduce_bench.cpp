// Colour reduction of a 2048 x 2048 photo-like picture: the Low reduction to 8 and 4 bits, the
// High reduction to 8 and 4 bits and the halftone, next to two external quantisers run on the
// same picture in the same process: ImageMagick (`convert -colors 256 +dither`) and pngquant
// (`--nofs`, 256 colours, no dithering, like ours). Every benchmark reports the peak
// signal-to-noise ratio of its result against the original (counter PSNR_dB, over R, G, B).
//
// BM_SpeedRatios times each way once more and reports how many times slower the external
// tools are than the Low and High reductions (counters imagemagick_over_low8 and so on).
// The external tools are only run when installed (ImageMagick's `convert`, `pngquant`); the
// temporary files live in a private folder removed at exit.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "dib/convert.h"
#include "dib/qvdib.h"

namespace pw {
namespace {

constexpr int kSide = 2048;

// ---------------------------------------------------------------------------------------------
// The picture: fractal value noise for light and shade, slower noise for the hue, a sky-like
// vertical gradient, and a little sensor noise.

std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  return h ^ (h >> 15);
}

double Lattice(std::uint32_t x, std::uint32_t y, std::uint32_t seed) { return (Hash(x, y, seed) & 0xFFFF) / 65535.0; }

double ValueNoise(double x, double y, std::uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const auto ix = static_cast<std::uint32_t>(static_cast<std::int64_t>(fx)), iy = static_cast<std::uint32_t>(static_cast<std::int64_t>(fy));
  auto smooth = [](double t) { return t * t * (3 - 2 * t); };
  const double tx = smooth(x - fx), ty = smooth(y - fy);
  const double top = Lattice(ix, iy, seed) * (1 - tx) + Lattice(ix + 1, iy, seed) * tx;
  const double bottom = Lattice(ix, iy + 1, seed) * (1 - tx) + Lattice(ix + 1, iy + 1, seed) * tx;
  return top * (1 - ty) + bottom * ty;
}

double Fractal(double x, double y, std::uint32_t seed, int octaves) {
  double sum = 0, amplitude = 0.5, frequency = 1;
  for (int o = 0; o < octaves; ++o, amplitude /= 2, frequency *= 2) sum += amplitude * ValueNoise(x * frequency, y * frequency, seed + o);
  return sum;
}

std::uint8_t Clamp(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

TQvDIBInfos MakePhoto() {
  TQvDIBInfos img;
  img.header.biWidth = kSide;
  img.header.biHeight = kSide;
  img.header.biBitCount = 24;
  img.memory = TQvPixelMemory::Get(DIBStride(kSide, 24) * kSide, false);
  for (int y = 0; y < kSide; ++y) {
    std::uint8_t* p = img.Row(y);
    for (int x = 0; x < kSide; ++x, p += 3) {
      const double u = x / 256.0, v = y / 256.0;
      const double light = 40 + 190 * Fractal(u, v, 1, 6) + 40.0 * (kSide - y) / kSide;
      const double warm = 60 * (Fractal(u / 3, v / 3, 11, 3) - 0.5), green = 50 * (Fractal(u / 2, v / 2, 21, 3) - 0.5);
      const double grain = (static_cast<int>(Hash(x, y, 99) % 9) - 4);
      p[2] = Clamp(light + warm + grain);
      p[1] = Clamp(light + green + grain);
      p[0] = Clamp(light - warm - green / 2 + grain + 20.0 * y / kSide);
    }
  }
  return img;
}

const TQvDIBInfos& Photo() {
  static const TQvDIBInfos photo = MakePhoto();
  return photo;
}

// ---------------------------------------------------------------------------------------------
// PSNR and PPM files.

// Colour of storage row r, column x of a result (through its colour table when indexed).
void ColourAt(const TQvDIBInfos& img, int r, int x, int rgb[3]) {
  const std::uint8_t* row = img.Bits() + img.Stride() * static_cast<std::size_t>(r);
  if (img.header.biBitCount == 24) {
    rgb[0] = row[3 * x + 2], rgb[1] = row[3 * x + 1], rgb[2] = row[3 * x];
    return;
  }
  unsigned index = row[x];
  if (img.header.biBitCount == 4) index = x % 2 ? row[x / 2] & 15u : row[x / 2] >> 4u;
  if (img.header.biBitCount == 1) index = (row[x / 8] >> (7 - x % 8)) & 1u;
  const TRGBQuad& c = img.colorTable[index];
  rgb[0] = c.rgbRed, rgb[1] = c.rgbGreen, rgb[2] = c.rgbBlue;
}

// PSNR of a candidate against the photo; candidate(y, x) gives R, G, B of picture row y (top first).
double Psnr(const std::function<void(int y, int x, int rgb[3])>& candidate) {
  const TQvDIBInfos& photo = Photo();
  double squared = 0;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      int a[3], b[3];
      ColourAt(photo, kSide - 1 - y, x, a);
      candidate(y, x, b);
      for (int c = 0; c < 3; ++c) squared += double(a[c] - b[c]) * (a[c] - b[c]);
    }
  const double mse = squared / (3.0 * kSide * kSide);
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

double PsnrOf(const TQvDIBInfos& result) {
  return Psnr([&](int y, int x, int rgb[3]) { ColourAt(result, result.Height() - 1 - y, x, rgb); });
}

void WritePpm(const std::filesystem::path& path, const TQvDIBInfos& img) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << kSide << " " << kSide << "\n255\n";
  std::vector<char> row(3 * kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      int rgb[3];
      ColourAt(img, kSide - 1 - y, x, rgb);
      for (int c = 0; c < 3; ++c) row[3 * x + c] = static_cast<char>(rgb[c]);
    }
    out.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
}

// The pixels of a binary PPM of kSide x kSide with maxval 255; empty when it is anything else.
std::vector<std::uint8_t> ReadPpm(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, maxval = 0;
  in >> magic >> w >> h >> maxval;
  in.get();
  if (magic != "P6" || w != kSide || h != kSide || maxval != 255) return {};
  std::vector<std::uint8_t> pixels(3u * kSide * kSide);
  in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
  return in ? pixels : std::vector<std::uint8_t>{};
}

double PsnrOfPpm(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> pixels = ReadPpm(path);
  if (pixels.empty()) return 0;
  return Psnr([&](int y, int x, int rgb[3]) {
    const std::uint8_t* p = &pixels[3 * (static_cast<std::size_t>(y) * kSide + x)];
    rgb[0] = p[0], rgb[1] = p[1], rgb[2] = p[2];
  });
}

// ---------------------------------------------------------------------------------------------
// External tools on temporary files.

struct TempFolder {
  std::filesystem::path path;
  TempFolder() : path(std::filesystem::temp_directory_path() / ("pw-reduce-bench-" + std::to_string(getpid()))) {
    std::filesystem::create_directories(path);
    WritePpm(path / "photo.ppm", Photo());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string File(const char* name) const { return (path / name).string(); }
};

const TempFolder& Temp() {
  static const TempFolder folder;
  return folder;
}

bool Installed(const char* tool) { return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0; }

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string ImageMagickCommand() {
  return "convert " + Temp().File("photo.ppm") + " -colors 256 +dither " + Temp().File("magick.ppm");
}

std::string PngquantCommand() {
  return "pngquant --force --nofs --output " + Temp().File("quant.png") + " 256 " + Temp().File("photo.png");
}

// pngquant reads PNG only: the input is made once, outside any timing.
bool PreparePngquant() {
  static const bool ready = Run("convert " + Temp().File("photo.ppm") + " " + Temp().File("photo.png"));
  return ready;
}

// ---------------------------------------------------------------------------------------------
// Benchmarks.

void Reduce(benchmark::State& state, TQvConvertRoutine routine) {
  const TQvDIBInfos& photo = Photo();
  int steps = 0;
  const TQvConvertContext context{qvCmLow, clWhite, [&steps] { ++steps; }};
  TQvDIBInfos result;
  for (auto _ : state) {
    result = routine(photo, false, context);
    benchmark::DoNotOptimize(result.Bits());
  }
  state.counters["PSNR_dB"] = PsnrOf(result);
  state.counters["colours"] = result.header.biClrUsed;
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void ExternalTool(benchmark::State& state, const char* tool, bool pngquant) {
  if (!Installed(tool) || (pngquant && !PreparePngquant())) {
    state.SkipWithError("tool not installed");
    return;
  }
  const std::string command = pngquant ? PngquantCommand() : ImageMagickCommand();
  for (auto _ : state)
    if (!Run(command)) {
      state.SkipWithError("tool failed");
      return;
    }
  std::string result = Temp().File("magick.ppm");
  if (pngquant) {
    result = Temp().File("quant.ppm");
    Run("convert " + Temp().File("quant.png") + " " + result);
  }
  state.counters["PSNR_dB"] = PsnrOfPpm(result);
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

// Best of a few runs, in seconds.
double BestTime(const std::function<void()>& work, int runs) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

void BM_SpeedRatios(benchmark::State& state) {
  const TQvDIBInfos& photo = Photo();
  const bool magick = Installed("convert"), quant = Installed("pngquant") && PreparePngquant();
  for (auto _ : state) {
    const double low8 = BestTime([&] { benchmark::DoNotOptimize(ConvertTrueColorTo8BitRGBLow(photo, false, {}).Bits()); }, 5);
    const double low4 = BestTime([&] { benchmark::DoNotOptimize(ConvertTrueColorTo4BitRGBLow(photo, false, {}).Bits()); }, 5);
    const double high8 = BestTime([&] { benchmark::DoNotOptimize(ConvertTrueColorTo8BitRGBHigh(photo, false, {}).Bits()); }, 3);
    state.counters["low8_ms"] = low8 * 1e3;
    state.counters["low4_ms"] = low4 * 1e3;
    state.counters["high8_ms"] = high8 * 1e3;
    if (magick) {
      const double t = BestTime([&] { Run(ImageMagickCommand()); }, 2);
      state.counters["imagemagick_ms"] = t * 1e3;
      state.counters["imagemagick_over_low8"] = t / low8;
      state.counters["imagemagick_over_low4"] = t / low4;
      state.counters["imagemagick_over_high8"] = t / high8;
    }
    if (quant) {
      const double t = BestTime([&] { Run(PngquantCommand()); }, 2);
      state.counters["pngquant_ms"] = t * 1e3;
      state.counters["pngquant_over_low8"] = t / low8;
      state.counters["pngquant_over_high8"] = t / high8;
    }
  }
}

BENCHMARK_CAPTURE(Reduce, Low8, ConvertTrueColorTo8BitRGBLow)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, Low4, ConvertTrueColorTo4BitRGBLow)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, High8, ConvertTrueColorTo8BitRGBHigh)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, High4, ConvertTrueColorTo4BitRGBHigh)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, Halftone, ConvertToHalfTone)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ExternalTool, ImageMagick256, "convert", false)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK_CAPTURE(ExternalTool, Pngquant256, "pngquant", true)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_SpeedRatios)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace pw
