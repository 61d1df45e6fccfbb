// libFuzzer target of the composer's text path: the bytes after a small header are window text,
// read as code page 932 or as UTF-8 in either letters; the header chooses the options, the extras and a skin whose
// few colours make the transparent colour meet frame, swatch, shadow and face pixels. Any input
// must compose or fail with a library exception, and a composed window has the size its
// options promise.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "compose/compose.h"
#include "compose/extras.h"
#include "toolkit/letters.h"

namespace {

constexpr std::size_t kHeader = 12;
constexpr std::size_t kMaxText = 256;  // keeps every window small
constexpr std::size_t kMaxLines = 6;

void Check(bool condition) {
  if (!condition) std::abort();
}

// A picture of the given size whose pixels come from four colours, in a pattern drawn from seed.
pw::TBitmap Pattern(int width, int height, const std::uint8_t* colours, std::uint32_t seed) {
  pw::TBitmap bitmap;
  bitmap.SetPixelFormat(pw::TPixelFormat::pf24bit);
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed ^= seed << 13;
      seed ^= seed >> 17;
      seed ^= seed << 5;
      const std::uint8_t* c = colours + 3 * (seed % 4);
      bitmap.SetPixelColor(x, y, pw::RGB(c[0], c[1], c[2]));
    }
  }
  return bitmap;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  static pw::TFontCache fonts;  // rasterising a face once per run keeps the fuzzer fast
  const std::uint8_t flags = data[0];
  // Colours: black, white and two from the input, so that ink, paper and the key all occur.
  const std::uint8_t colours[12] = {0, 0, 0, 255, 255, 255, data[4], data[5], data[6], data[7], data[8], data[9]};
  const std::uint32_t seed = 1u + (data[10] | static_cast<std::uint32_t>(data[11]) << 8);
  const pw::TBitmap skin = Pattern(160, 80, colours, seed);
  const pw::TBitmap builtIn = Pattern(156, 48, colours, seed * 3);
  const pw::TBitmap user = Pattern(120, 12, colours, seed * 5);
  const pw::TBitmap faces = Pattern(96, 96, colours, seed * 7);

  std::string text(reinterpret_cast<const char*>(data + kHeader), std::min(size - kHeader, kMaxText));
  pw::ComposeInput in;
  in.systemGraphic = &skin;
  in.transColor = pw::RGB(colours[3 * (data[3] % 4)], colours[3 * (data[3] % 4) + 1], colours[3 * (data[3] % 4) + 2]);
  in.fontFace = flags & 0x02 ? "RM2000" : "RMG2000";
  in.wallMode = flags >> 2 & 1;
  in.padRound = data[1] % 17;
  in.padLine = data[2] % 33;
  in.gaizi = &builtIn;
  in.myGaizi = &user;
  in.fonts = &fonts;

  pw::WindowExtras extras;
  extras.faceSheet = flags & 0x08 ? &faces : nullptr;
  extras.faceSheetName = "faces";
  extras.faceIndex = data[3] % 8;  // 2, 3, 6 and 7 lie outside the sheet
  extras.faceRight = flags & 0x10;
  extras.faceFlip = flags & 0x20;
  extras.pauseArrow = flags & 0x40;
  extras.gameCodes = flags & 0x80;
  extras.gameValues.names = {{0, "A\\"}, {1, "$"}, {2, "\x82"}, {3, ""}};  // a lone lead byte too
  extras.gameValues.values = {{1, "42"}, {7, "\\C[3]$A"}};
  try {
    const auto letters = data[11] & 1 ? pw::TLetters::International : pw::TLetters::Japanese;
    if (flags & 0x01) text = pw::ToWindowText(text, letters);
    in.lines = pw::SplitLines(text);
    if (in.lines.size() > kMaxLines) in.lines.resize(kMaxLines);
    const std::optional<pw::TBitmap> window = pw::ComposeWindow(in, extras);
    Check(window.has_value());
    Check(window->GetWidth() >= 16 + 2 * in.padRound);
    if (extras.faceSheet != nullptr) {
      Check(window->GetWidth() >= 16 + 56 + 2 * in.padRound);
      Check(window->GetHeight() >= 64 + 2 * in.padRound);
    }
  } catch (const pw::Exception&) {
  }
  return 0;
}
