#pragma once
// Data built into the program: the glyph sheet gaizi01, the sample skins, and the version and
// licence. The bytes are generated at build time from resources/gaizi01.txt and
// resources/samples/ and live for the whole run; nothing is read from disk.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pw::resources {

inline constexpr std::size_t kGaizi01Size = 1008;

// The glyph sheet as a DIB without file header: 40-byte info header (156x48, 1 bit per pixel),
// colour table black, white, then 48 rows of 20 bytes bottom-up. Ink is black (bit 0).
std::span<const std::uint8_t> Gaizi01();

// A 160x80 skin as a 24-bit BMP file and as a PNG file with the same pixels.
struct SampleSkin {
  std::string_view name;
  std::span<const std::uint8_t> bmp;
  std::span<const std::uint8_t> png;
};

// All sample skins; the first one is the default skin.
std::span<const SampleSkin> SampleSkins();

// The skin with exactly this name, or nullptr.
const SampleSkin* FindSampleSkin(std::string_view name);

// What --version prints for the program: its name and Panelwright's version, the copyright and
// the licence, one line each, ending in a newline.
std::string VersionText(std::string_view program);

}  // namespace pw::resources
