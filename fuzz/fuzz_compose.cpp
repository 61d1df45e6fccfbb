// libFuzzer target of the composer's text path: the bytes after a small header are window text,
// read as code page 932 or as UTF-8 in either letters; the header chooses the options, the extras and a skin whose
// few colours make the transparent colour meet frame, swatch, shadow and face pixels. Any input
// must compose or fail with a library exception, and a composed window has the size its
// options promise. Short texts are also animated when the line gap's byte has its top two bits set, as
// pages split at "---" lines: the animation keeps one size, and its still picture is the window of
// its last page. An animation is many windows and a file, so most runs compose one window only.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "compose/animate.h"
#include "compose/compose.h"
#include "compose/extras.h"
#include "gif/gif_writer.h"
#include "png/png_writer.h"
#include "toolkit/letters.h"
#include "toolkit/sjis.h"
#include "toolkit/stream.h"

namespace {

constexpr std::size_t kHeader = 12;
constexpr std::size_t kMaxText = 64;  // keeps every window small: painting its pixels is most of a run
constexpr std::size_t kMaxLines = 4;
constexpr std::size_t kMaxAnimatedText = 10;  // each character is a frame to compose
constexpr std::size_t kMaxPages = 2;

void Check(bool condition) {
  if (!condition) std::abort();
}

// A picture of the given size whose pixels come from four colours, in a pattern drawn from seed.
// The rows are written as blue-green-red bytes directly, and the loop is left out of the coverage
// and sanitizer instrumentation (it is scaffolding, not code under test): a call per pixel took
// most of a run, and the checked writes a tenth of one.
#if defined(__clang__)
__attribute__((no_sanitize("coverage", "address", "undefined")))
#endif
pw::TBitmap Pattern(int width, int height, const std::uint8_t* colours, std::uint32_t seed) {
  pw::TBitmap bitmap;
  bitmap.SetPixelFormat(pw::TPixelFormat::pf24bit);
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

// Animates the lines as pages split at "---" and checks the frames and the files.
void Animate(const pw::ComposeInput& in, pw::WindowExtras extras, const std::uint8_t* data) {
  std::vector<pw::AnimationPage> pages(1);
  for (const std::string& line : in.lines) {
    if (line == "---" && pages.size() < kMaxPages) pages.emplace_back();
    else pages.back().lines.push_back(line);
  }
  for (pw::AnimationPage& page : pages) page.extras = extras;
  pw::AnimationTiming options;
  options.speed = 1 + data[10] % 20;
  options.holdTicks = data[11] % 40;
  options.open = data[10] & 0x80;
  const pw::TAnimation animation = pw::ComposeAnimation(in, pages, options);
  Check(!animation.frames.empty());
  for (const pw::TTimedFrame& frame : animation.frames) {
    Check(frame.image.width == animation.width && frame.image.height == animation.height && frame.ticks > 0);
  }
  if (pages.size() == 1) {
    pw::ComposeInput still = in;
    still.lines = pages[0].lines;
    extras.pauseArrow = false;
    Check(animation.still == pw::ToRgba(*pw::ComposeWindow(still, extras)));
  }
  // One of the two files, and only for some animations: writing one costs more than composing it.
  if (!(data[11] & 4)) return;
  pw::TMemoryStream file;
  if (data[11] & 2) pw::WriteGif(animation, pw::AnimationPalette(animation, pw::gif::kMaxColours), file);
  else pw::WriteApng(animation, file);
}

// The two free colours are chosen from these: black and white again (so that the key can meet
// ink and paper), colours one step from them, and a few others. Equal or unequal is what matters
// to the composer, not the values.
constexpr std::array<std::array<std::uint8_t, 3>, 8> kColourChoices = {{
    {0, 0, 0}, {255, 255, 255}, {0, 0, 1}, {254, 255, 255}, {255, 0, 255}, {0, 128, 0}, {32, 64, 128}, {200, 180, 40}}};

// Colours: black, white and the two that header bytes 4 and 5 choose, so that ink, paper and the key all occur.
std::array<std::uint8_t, 12> Colours(const std::uint8_t* data) {
  const auto& a = kColourChoices[data[4] % 8];
  const auto& b = kColourChoices[data[5] % 8];
  return {0, 0, 0, 255, 255, 255, a[0], a[1], a[2], b[0], b[1], b[2]};
}

// The skin, glyph sheets and face sheet that header bytes 4..6 describe.
struct Pictures {
  pw::TBitmap skin, builtIn, user, faces;
  pw::TColourImage preparedSkin;  // the skin as the composer reads it: converting it took a third of a window
};

// The pictures of each header, drawn once and kept across runs: there are 256 of them (two
// colours of eight, four patterns), and drawing them afresh took a third of each run.
const Pictures& PicturesFor(const std::uint8_t* data) {
  static std::array<std::optional<Pictures>, 256> drawn;
  std::optional<Pictures>& pictures = drawn[data[4] % 8 + 8 * (data[5] % 8) + 64 * (data[6] % 4)];
  if (pictures) return *pictures;
  const std::array<std::uint8_t, 12> colours = Colours(data);
  const std::uint8_t* c = colours.data();
  const std::uint32_t seed = 1u + data[6] % 4;
  pictures = Pictures{Pattern(160, 80, c, seed), Pattern(156, 48, c, seed * 3), Pattern(120, 12, c, seed * 5),
                      Pattern(96, 96, c, seed * 7), {}};
  pictures->preparedSkin = pw::PrepareSkin(pictures->skin);
  return *pictures;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  static pw::TFontCache fonts;  // the faces are rasterised once, kept across runs
  const std::uint8_t flags = data[0];
  const Pictures& pictures = PicturesFor(data);
  const pw::TBitmap& skin = pictures.skin;
  const pw::TBitmap& builtIn = pictures.builtIn;
  const pw::TBitmap& user = pictures.user;
  const pw::TBitmap& faces = pictures.faces;
  const std::array<std::uint8_t, 12> colours = Colours(data);

  std::string text(reinterpret_cast<const char*>(data + kHeader), std::min(size - kHeader, kMaxText));
  pw::ComposeInput in;
  in.systemGraphic = &skin;
  // The top four bits set convert the skin afresh, as callers without a prepared skin do.
  in.preparedSkin = (data[3] & 0xf0) == 0xf0 ? nullptr : &pictures.preparedSkin;
  in.transColor = pw::RGB(colours[3 * (data[3] % 4)], colours[3 * (data[3] % 4) + 1], colours[3 * (data[3] % 4) + 2]);
  in.fontFace = flags & 0x02 ? "RM2000" : "RMG2000";
  in.wallMode = flags >> 2 & 1;
  // Small margins and gaps keep the windows small; a gap of 16 without lines or margin still has no height.
  in.padRound = data[1] % 9;
  in.padLine = (data[2] & 0x3f) % 17;
  const bool animate = (data[2] & 0xc0) == 0xc0;
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
    if (animate && text.size() <= kMaxAnimatedText) Animate(in, extras, data);
  } catch (const pw::Exception&) {
  }
  return 0;
}
