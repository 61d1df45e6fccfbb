// Loading helpers shared by the PNG tests.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "png/kropng.h"
#include "tests/png/png_builder.h"
#include "toolkit/stream.h"

namespace pw::test {

// How a datastream reaches the decoder: a caller's memory stream, which must come back
// unchanged; a memory stream whose bytes the decoder may rearrange and release; a file, which is
// decoded as it is read.
enum class Source { kCallersStream, kDisposable, kFile };
inline constexpr Source kAllSources[] = {Source::kCallersStream, Source::kDisposable, Source::kFile};

inline const char* SourceName(Source source) {
  switch (source) {
    case Source::kCallersStream: return "caller's stream";
    case Source::kDisposable: return "disposable stream";
    case Source::kFile: return "file";
  }
  return "";
}

inline void Load(TKroPNG& png, const Bytes& data, Source source = Source::kCallersStream) {
  if (source == Source::kFile) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("pw-png-test-" + std::to_string(::getpid()) + ".png");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                static_cast<std::streamsize>(data.size()));
    struct Remove {
      std::filesystem::path file;
      ~Remove() { std::filesystem::remove(file); }
    } remove{file};
    png.LoadFromFile(file.string());
    return;
  }
  TMemoryStream stream(data);
  if (source == Source::kDisposable) {
    png.LoadFromMemoryStream(stream);
  } else {
    png.LoadFromStream(stream);
    EXPECT_EQ(stream.Bytes(), data) << "a caller's stream was changed";
  }
}

// The EKroPNG message of a failed load, "" when the load succeeds.
inline std::string LoadError(const Bytes& data, Source source = Source::kCallersStream) {
  try {
    TKroPNG png;
    Load(png, data, source);
  } catch (const EKroPNG& e) {
    return e.what();
  }
  return "";
}

// Pixels of depth `bits` (< 8) or `bytesPerPixel` bytes each, varied over x and y.
inline RawImage Pattern(int width, int height, int bits, int bytesPerPixel = 1) {
  RawImage image{width, height, bits < 8 ? bits : 8 * bytesPerPixel, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      Pixel p;
      if (bits < 8) {
        p.push_back(static_cast<std::uint8_t>((x * 3 + y * 5 + x * y) % (1 << bits)));
      } else {
        for (int i = 0; i < bytesPerPixel; ++i) p.push_back(static_cast<std::uint8_t>(x * 7 + y * 13 + i * 31 + x * y));
      }
      image.pixels.push_back(p);
    }
  return image;
}

}  // namespace pw::test
