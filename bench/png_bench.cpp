// PNG decoding speed: TKroPNG beside libpng (classic API, rows in their stored layout) on the
// same files, and zlib's inflate alone on the same image data, the floor of both. PNG writing:
// the PNG writer beside libpng at its default settings on the same pixels, with the size of
// each file ("bytes") and the writer's size over libpng's ("size_vs_libpng").
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "png/kropng.h"
#include "png/png_writer.h"
#include "toolkit/stream.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr int kSize = 2048;

enum class Kind { Rgb, RgbInterlaced, Palette };

// A smooth picture with fine texture and noise, as a photograph has.
Bytes PhotoPixels() {
  Bytes rgb(static_cast<std::size_t>(kSize) * kSize * 3);
  std::uint32_t seed = 12345;
  std::size_t i = 0;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>((seed >> 24) % 9) - 4;
      const double fx = x / 2048.0, fy = y / 2048.0;
      const double base[3] = {128 + 90 * std::sin(6 * fx + 2 * fy), 120 + 80 * std::cos(5 * fy - 3 * fx),
                              110 + 70 * std::sin(9 * fx * fy + 1)};
      for (double c : base) rgb[i++] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(c) + noise, 0, 255));
    }
  return rgb;
}

// An 8-bit palette picture: flat regions and gradients over 256 colours.
Bytes PalettePixels() {
  Bytes indices(static_cast<std::size_t>(kSize) * kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      indices[static_cast<std::size_t>(y) * kSize + x] =
          static_cast<std::uint8_t>(((x / 37) * 7 + (y / 29) * 13 + ((x ^ y) & 3)) & 0xFF);
  return indices;
}

void WriteToBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

const Bytes& Pixels(Kind kind) {
  static const Bytes photo = PhotoPixels();
  static const Bytes palette = PalettePixels();
  return kind == Kind::Palette ? palette : photo;
}

png_color PaletteEntry(int i) {
  return {static_cast<png_byte>(i), static_cast<png_byte>(255 - i), static_cast<png_byte>(i * 7)};
}

// Encodes with libpng's defaults (zlib level 6, adaptive filters; none for palette images).
Bytes Encode(Kind kind) {
  const Bytes& pixels = Pixels(kind);
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, WriteToBytes, nullptr);
  const int colorType = kind == Kind::Palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB;
  const int interlace = kind == Kind::RgbInterlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
  png_set_IHDR(png, info, kSize, kSize, 8, colorType, interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette(256);
  for (int i = 0; i < 256; ++i) palette[static_cast<std::size_t>(i)] = PaletteEntry(i);
  if (kind == Kind::Palette) png_set_PLTE(png, info, palette.data(), 256);
  const std::size_t stride = kind == Kind::Palette ? kSize : kSize * 3;
  std::vector<png_bytep> rows(kSize);
  for (int y = 0; y < kSize; ++y) rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(pixels.data() + stride * y);
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

const Bytes& File(Kind kind) {
  static std::map<Kind, Bytes> files;
  auto it = files.find(kind);
  if (it == files.end()) it = files.emplace(kind, Encode(kind)).first;
  return it->second;
}

// The concatenated IDAT data of a file.
Bytes ImageData(const Bytes& file) {
  Bytes data;
  for (std::size_t at = 8; at + 12 <= file.size();) {
    const std::uint32_t length = (file[at] << 24) | (file[at + 1] << 16) | (file[at + 2] << 8) | file[at + 3];
    if (std::memcmp(&file[at + 4], "IDAT", 4) == 0)
      data.insert(data.end(), file.begin() + static_cast<std::ptrdiff_t>(at + 8), file.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
    at += 12 + length;
  }
  return data;
}

std::size_t RawSize(Kind kind) {
  const std::size_t row = kind == Kind::Palette ? kSize : kSize * 3;
  return (row + 1) * kSize + (kind == Kind::RgbInterlaced ? 7 * kSize : 0);
}

void SetCounters(benchmark::State& state, Kind kind) {
  state.SetItemsProcessed(state.iterations() * kSize * kSize);
  state.counters["MB/s raw"] = benchmark::Counter(static_cast<double>(RawSize(kind)) * state.iterations() / 1e6,
                                                  benchmark::Counter::kIsRate);
}

void BM_KroPNG(benchmark::State& state, Kind kind) {
  pw::TMemoryStream stream(File(kind));
  for (auto _ : state) {
    stream.SetPosition(0);
    pw::TKroPNG png;
    png.LoadFromStream(stream);
    benchmark::DoNotOptimize(png.Bitmap().ScanLine(kSize - 1));
  }
  SetCounters(state, kind);
}

struct MemoryReader {
  const Bytes* data;
  std::size_t at;
};

void ReadFromBytes(png_structp png, png_bytep out, png_size_t length) {
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (r->at + length > r->data->size()) png_error(png, "read past the end");
  std::memcpy(out, r->data->data() + r->at, length);
  r->at += length;
}

// libpng's classic API: no transformations, rows in memory as stored (RGB or indices).
void BM_Libpng(benchmark::State& state, Kind kind) {
  const Bytes& file = File(kind);
  for (auto _ : state) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{&file, 0};
    png_set_read_fn(png, &reader, ReadFromBytes);
    png_read_info(png, info);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t stride = png_get_rowbytes(png, info);
    Bytes pixels(stride * kSize);
    std::vector<png_bytep> rows(kSize);
    for (int y = 0; y < kSize; ++y) rows[static_cast<std::size_t>(y)] = pixels.data() + stride * y;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    benchmark::DoNotOptimize(pixels.data());
  }
  SetCounters(state, kind);
}

// zlib's inflate alone over the same image data, configured as the decoder configures it.
void BM_InflateOnly(benchmark::State& state, Kind kind) {
  const Bytes data = ImageData(File(kind));
  Bytes out(RawSize(kind));
  for (auto _ : state) {
    z_stream z{};
    inflateInit(&z);
    inflateValidate(&z, 0);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
    inflateEnd(&z);
    benchmark::DoNotOptimize(out.data());
  }
  SetCounters(state, kind);
}

// The same pixels as a toolkit bitmap: 24-bit rows hold blue, green, red.
pw::TBitmap Picture(Kind kind) {
  pw::TBitmap b;
  b.SetPixelFormat(kind == Kind::Palette ? pw::TPixelFormat::pf8bit : pw::TPixelFormat::pf24bit);
  if (kind == Kind::Palette) {
    pw::TPaletteEntries palette;
    for (int i = 0; i < 256; ++i) {
      const png_color c = PaletteEntry(i);
      palette.push_back({c.red, c.green, c.blue, 0});
    }
    b.SetPalette(palette);
  }
  b.SetSize(kSize, kSize);
  const Bytes& pixels = Pixels(kind);
  const std::size_t stride = kind == Kind::Palette ? kSize : kSize * 3;
  for (int y = 0; y < kSize; ++y) {
    const std::uint8_t* from = pixels.data() + stride * static_cast<std::size_t>(y);
    std::uint8_t* row = b.ScanLine(y);
    if (kind == Kind::Palette) {
      std::memcpy(row, from, stride);
      continue;
    }
    for (std::size_t i = 0; i < stride; i += 3) row[i] = from[i + 2], row[i + 1] = from[i + 1], row[i + 2] = from[i];
  }
  return b;
}

void BM_WriteLibpng(benchmark::State& state, Kind kind) {
  std::size_t size = 0;
  for (auto _ : state) size = Encode(kind).size();
  state.counters["bytes"] = static_cast<double>(size);
  SetCounters(state, kind);
}

void BM_WritePng(benchmark::State& state, Kind kind) {
  const pw::TBitmap picture = Picture(kind);
  std::size_t size = 0;
  for (auto _ : state) {
    pw::TMemoryStream stream;
    pw::WritePng(picture, stream);
    size = stream.Bytes().size();
  }
  state.counters["bytes"] = static_cast<double>(size);
  state.counters["size_vs_libpng"] = static_cast<double>(size) / static_cast<double>(File(kind).size());
  SetCounters(state, kind);
}

// The filtered rows the PNG writer compresses: the image data of its own file, inflated.
const Bytes& WriterRows(Kind kind) {
  static std::map<Kind, Bytes> rows;
  auto it = rows.find(kind);
  if (it != rows.end()) return it->second;
  pw::TMemoryStream stream;
  pw::WritePng(Picture(kind), stream);
  const Bytes data = ImageData(stream.Bytes());
  Bytes out(RawSize(kind));
  uLongf size = static_cast<uLongf>(out.size());
  uncompress(out.data(), &size, data.data(), static_cast<uLong>(data.size()));
  out.resize(size);
  return rows.emplace(kind, std::move(out)).first->second;
}

// zlib as the writer runs it: the default level, filtered data for adaptive filters.
std::size_t ZlibDeflate(const Bytes& rows, Kind kind, Bytes& out) {
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, MAX_WBITS, 8,
               kind == Kind::Palette ? Z_DEFAULT_STRATEGY : Z_FILTERED);
  out.resize(deflateBound(&z, static_cast<uLong>(rows.size())));
  z.next_in = const_cast<Bytef*>(rows.data());
  z.avail_in = static_cast<uInt>(rows.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  const std::size_t size = z.total_out;
  deflateEnd(&z);
  return size;
}

void BM_DeflateZlib(benchmark::State& state, Kind kind) {
  const Bytes& rows = WriterRows(kind);
  Bytes out;
  std::size_t size = 0;
  for (auto _ : state) size = ZlibDeflate(rows, kind, out);
  state.counters["bytes"] = static_cast<double>(size);
  SetCounters(state, kind);
}

// libdeflate's compressor at level state.range(0) on the same rows, its size over zlib's.
void BM_DeflateLibdeflate(benchmark::State& state, Kind kind) {
  const Bytes& rows = WriterRows(kind);
  Bytes out;
  const double zlibSize = static_cast<double>(ZlibDeflate(rows, kind, out));
  libdeflate_compressor* c = libdeflate_alloc_compressor(static_cast<int>(state.range(0)));
  out.resize(libdeflate_zlib_compress_bound(c, rows.size()));
  std::size_t size = 0;
  for (auto _ : state) size = libdeflate_zlib_compress(c, rows.data(), rows.size(), out.data(), out.size());
  libdeflate_free_compressor(c);
  state.counters["bytes"] = static_cast<double>(size);
  state.counters["size_vs_zlib"] = static_cast<double>(size) / zlibSize;
  SetCounters(state, kind);
}

BENCHMARK_CAPTURE(BM_DeflateZlib, rgb, Kind::Rgb)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DeflateLibdeflate, rgb, Kind::Rgb)->DenseRange(6, 12)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DeflateZlib, palette8, Kind::Palette)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DeflateLibdeflate, palette8, Kind::Palette)->DenseRange(6, 12)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WritePng, rgb, Kind::Rgb)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteLibpng, rgb, Kind::Rgb)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WritePng, palette8, Kind::Palette)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteLibpng, palette8, Kind::Palette)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KroPNG, rgb, Kind::Rgb)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Libpng, rgb, Kind::Rgb)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_InflateOnly, rgb, Kind::Rgb)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KroPNG, rgb_interlaced, Kind::RgbInterlaced)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Libpng, rgb_interlaced, Kind::RgbInterlaced)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_InflateOnly, rgb_interlaced, Kind::RgbInterlaced)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KroPNG, palette8, Kind::Palette)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Libpng, palette8, Kind::Palette)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_InflateOnly, palette8, Kind::Palette)->Unit(benchmark::kMillisecond);

}  // namespace
