// The shared input of the composer and animation fuzz targets: a 12-byte header chooses the
// options, the extras and a skin whose few colours make the transparent colour meet frame,
// swatch, shadow and face pixels; the bytes after it are window text, read as code page 932 or
// as UTF-8 in either letters.
//
// Header: 0 flags (text conversion, font, tiling, face, face right, face flipped, pause arrow,
// game codes), 1 margin, 2 line gap, 3 transparent colour, face number and a fresh skin,
// 4 and 5 two colours, 6 the pattern, 10 and 11 the animation's speed, opening, hold, letters
// and file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "compose/compose.h"
#include "compose/extras.h"
#include "dib/qvdib.h"
#include "toolkit/letters.h"
#include "toolkit/sjis.h"

namespace pw::fuzz {

inline constexpr std::size_t kHeader = 12;

inline void Check(bool condition) {
  if (!condition) std::abort();
}

// A picture of the given size whose pixels come from four colours, in a pattern drawn from seed.
// The rows are written as blue-green-red bytes directly, and the loop is left out of the coverage
// and sanitizer instrumentation (it is scaffolding, not code under test): a call per pixel took
// most of a run, and the checked writes a tenth of one.
#if defined(__clang__)
__attribute__((no_sanitize("coverage", "address", "undefined")))
#endif
inline TBitmap Pattern(int width, int height, const std::uint8_t* colours, std::uint32_t seed) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      seed ^= seed << 13;
      seed ^= seed >> 17;
      seed ^= seed << 5;
      const std::uint8_t* c = colours + 3 * (seed % 4);
      row[3 * x] = c[2];
      row[3 * x + 1] = c[1];
      row[3 * x + 2] = c[0];
    }
  }
  return bitmap;
}

// The two free colours are chosen from these: black and white again (so that the key can meet
// ink and paper), colours one step from them, and a few others. Equal or unequal is what matters
// to the composer, not the values.
inline constexpr std::array<std::array<std::uint8_t, 3>, 8> kColourChoices = {
    {{0, 0, 0}, {255, 255, 255}, {0, 0, 1}, {254, 255, 255}, {255, 0, 255}, {0, 128, 0}, {32, 64, 128}, {200, 180, 40}}};

// Black, white and the two that header bytes 4 and 5 choose, so that ink, paper and the key all occur.
inline std::array<std::uint8_t, 12> Colours(const std::uint8_t* data) {
  const auto& a = kColourChoices[data[4] % 8];
  const auto& b = kColourChoices[data[5] % 8];
  return {0, 0, 0, 255, 255, 255, a[0], a[1], a[2], b[0], b[1], b[2]};
}

// The skin, glyph sheets and face sheet that header bytes 4..6 describe.
struct Pictures {
  TBitmap skin, builtIn, user, faces;
  TColourImage preparedSkin;  // the skin as the composer reads it: converting it took a third of a window
};

// The pictures of each header, drawn once and kept across runs: there are 256 of them (two
// colours of eight, four patterns), and drawing them afresh took a third of each run.
inline const Pictures& PicturesFor(const std::uint8_t* data) {
  static std::array<std::optional<Pictures>, 256> drawn;
  std::optional<Pictures>& pictures = drawn[data[4] % 8 + 8 * (data[5] % 8) + 64 * (data[6] % 4)];
  if (pictures) return *pictures;
  const std::array<std::uint8_t, 12> colours = Colours(data);
  const std::uint8_t* c = colours.data();
  const std::uint32_t seed = 1u + data[6] % 4;
  pictures = Pictures{Pattern(160, 80, c, seed), Pattern(156, 48, c, seed * 3), Pattern(120, 12, c, seed * 5),
                      Pattern(96, 96, c, seed * 7), {}};
  pictures->preparedSkin = PrepareSkin(pictures->skin);
  return *pictures;
}

// A composition read from an input of at least kHeader bytes.
struct FuzzWindow {
  ComposeInput in;
  WindowExtras extras;
};

// The composition of the header, with the text's first maxText bytes as at most maxLines lines.
// Converting the text may raise a library exception.
inline FuzzWindow ReadWindow(const std::uint8_t* data, std::size_t size, std::size_t maxText,
                             std::size_t maxLines) {
  // Images on the heap rather than in shared mappings: AddressSanitizer then guards their
  // pixels too, and a run makes no system calls for them.
  DefaultUseFMO = false;
  static TFontCache fonts;  // the faces are rasterised once, kept across runs
  const std::uint8_t flags = data[0];
  const Pictures& pictures = PicturesFor(data);
  const std::array<std::uint8_t, 12> colours = Colours(data);
  FuzzWindow w;
  ComposeInput& in = w.in;
  in.systemGraphic = &pictures.skin;
  // The top four bits set convert the skin afresh, as callers without a prepared skin do.
  in.preparedSkin = (data[3] & 0xf0) == 0xf0 ? nullptr : &pictures.preparedSkin;
  const std::uint8_t* key = colours.data() + 3 * (data[3] % 4);
  in.transColor = RGB(key[0], key[1], key[2]);
  in.fontFace = flags & 0x02 ? "RM2000" : "RMG2000";
  in.wallMode = flags >> 2 & 1;
  // Small margins and gaps keep the windows small; a gap of 16 without lines or margin still has no height.
  in.padRound = data[1] % 9;
  in.padLine = (data[2] & 0x3f) % 17;
  in.gaizi = &pictures.builtIn;
  in.myGaizi = &pictures.user;
  in.fonts = &fonts;

  WindowExtras& extras = w.extras;
  extras.faceSheet = flags & 0x08 ? &pictures.faces : nullptr;
  extras.faceSheetName = "faces";
  extras.faceIndex = data[3] % 8;  // 2, 3, 6 and 7 lie outside the sheet
  extras.faceRight = flags & 0x10;
  extras.faceFlip = flags & 0x20;
  extras.pauseArrow = flags & 0x40;
  extras.gameCodes = flags & 0x80;
  extras.gameValues.names = {{0, "A\\"}, {1, "$"}, {2, "\x82"}, {3, ""}};  // a lone lead byte too
  extras.gameValues.values = {{1, "42"}, {7, "\\C[3]$A"}};

  std::string text(reinterpret_cast<const char*>(data + kHeader), std::min(size - kHeader, maxText));
  const auto letters = data[11] & 1 ? TLetters::International : TLetters::Japanese;
  if (flags & 0x01) text = ToWindowText(text, letters);
  in.lines = SplitLines(text);
  if (in.lines.size() > maxLines) in.lines.resize(maxLines);
  return w;
}

// A target's run: body gets the window the input describes. Inputs shorter than the header are
// passed over, and a library exception is an input's own failure.
template <class Body>
int RunOnWindow(const std::uint8_t* data, std::size_t size, std::size_t maxText, std::size_t maxLines, Body body) {
  if (size < kHeader) return 0;
  try {
    body(ReadWindow(data, size, maxText, maxLines));
  } catch (const pw::Exception&) {
  }
  return 0;
}

}  // namespace pw::fuzz
