// ComposeWindow on a one-line and a thirty-line window of forty full-width characters, and on
// the typical window the live preview recomposes on every pause in typing: four short lines of
// text with colour codes and glyphs, fonts already cached; and that window with a face from the
// largest face sheet taken (4096x4096, 24 bits), as a batch or the page composes it again and again.
// The time per output pixel is reported as "per_pixel". The live-preview window and the
// thirty-line one are also written as PNG, into memory and as a file through the safe save. A text
// far too large for any reader is refused line by line and by the composition.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "compose/compose.h"
#include "compose/extras.h"
#include "png/png_writer.h"
#include "toolkit/letters.h"
#include "toolkit/stream.h"

namespace {

pw::TBitmap Skin() {
  pw::TBitmap skin;
  skin.SetPixelFormat(pw::TPixelFormat::pf24bit);
  skin.SetSize(160, 80);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 160; ++x) skin.SetPixelColor(x, y, pw::RGB(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y * 3), 0x80));
  return skin;
}

// Forty full-width characters: hiragana and kanji, with a colour change and a glyph code.
std::string Line(int n) {
  std::string line = "\\C[" + std::to_string(n % 20) + "]";
  for (int k = 0; k < 38; ++k) {
    line += static_cast<char>(0x82);
    line += static_cast<char>(0x9F + (n * 7 + k) % 80);  // ぁ .. hiragana
  }
  line += "\x8A\xBF$a";
  return line;
}

pw::ComposeInput Input(const pw::TBitmap& skin, const std::vector<std::string>& lines) {
  pw::ComposeInput in;
  in.systemGraphic = &skin;
  in.transColor = pw::RGB(0, 0, 0x80);
  in.padRound = 4;
  in.padLine = 2;
  in.lines = lines;
  return in;
}

const std::vector<std::string> kLivePreview = {
    "\\C[0]Welcome to \\C[2]Panelwright\\C[0]! $A$b", "\\C[4]Skins, text and glyphs in one window.",
    "The innkeeper smiles: \\C[3]50 gold\\C[0] a night.", "Rest here? $Y"};

std::vector<std::string> Lines(int count) {
  std::vector<std::string> lines;
  for (int n = 0; n < count; ++n) lines.push_back(Line(n));
  return lines;
}

void Run(benchmark::State& state, const std::vector<std::string>& lines, bool warmFonts) {
  const pw::TBitmap skin = Skin();
  pw::TFontCache fonts;
  pw::ComposeInput in = Input(skin, lines);
  in.fonts = warmFonts ? &fonts : nullptr;
  const pw::WindowSize size = pw::MeasureWindow(in);
  for (auto _ : state) {
    auto window = pw::ComposeWindow(in);
    benchmark::DoNotOptimize(window);
  }
  state.counters["pixels"] = static_cast<double>(size.width) * size.height;
  state.counters["per_pixel"] = benchmark::Counter(static_cast<double>(size.width) * size.height,
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

void Compose(benchmark::State& state, int lineCount, bool warmFonts) { Run(state, Lines(lineCount), warmFonts); }

// A composed window written as PNG into memory, or saved as a file (written, flushed to the disk
// and renamed, which the disk's speed dominates).
void WriteWindowPng(benchmark::State& state, const std::vector<std::string>& lines, bool toFile) {
  const pw::TBitmap skin = Skin();
  pw::TFontCache fonts;
  pw::ComposeInput in = Input(skin, lines);
  in.fonts = &fonts;
  const pw::TBitmap window = pw::ComposeWindow(in).value();
  const std::string file = (std::filesystem::temp_directory_path() /
                            ("pw-bench-window-" + std::to_string(::getpid()) + ".png")).string();
  for (auto _ : state) {
    if (toFile) {
      pw::SavePngFile(window, file);
    } else {
      pw::TMemoryStream stream;
      pw::WritePng(window, stream);
      benchmark::DoNotOptimize(stream.Memory());
    }
  }
  std::filesystem::remove(file);
  state.counters["pixels"] = static_cast<double>(window.GetWidth()) * window.GetHeight();
}
void BM_WriteLivePreviewWindowPng(benchmark::State& state) { WriteWindowPng(state, kLivePreview, false); }
void BM_WriteThirtyLineWindowPng(benchmark::State& state) { WriteWindowPng(state, Lines(30), false); }
void BM_SaveLivePreviewWindowPngFile(benchmark::State& state) { WriteWindowPng(state, kLivePreview, true); }

void BM_ComposeOneLine(benchmark::State& state) { Compose(state, 1, true); }
// What the live preview composes while the user types: a four-line message of about thirty
// half-width characters a line.
void BM_ComposeLivePreviewFourLines(benchmark::State& state) { Run(state, kLivePreview, true); }
// The same in the scripts of translated games: accented Latin, Cyrillic, hanzi and Hangul, text
// converted beforehand as the preview keeps it.
void BM_ComposeLivePreviewFourLinesWorldScripts(benchmark::State& state) {
  std::vector<std::string> lines;
  for (const char* utf8 : {"\\C[0]¿Qué tal, señor? \\C[2]Ł ő ş ß ø\\C[0] $A", "\\C[4]Съешь же ещё этих мягких булок",
                           "你们好！欢迎光临 \\C[3]50金币\\C[0] 一晚。", "한글 안녕하세요? $Y ✓"}) {
    lines.push_back(pw::ToWindowText(utf8, pw::TLetters::International));
  }
  Run(state, lines, true);
}
void BM_ComposeThirtyLines(benchmark::State& state) { Compose(state, 30, true); }
// Without a font cache: every run opens the font and rasterises its glyphs afresh.
void BM_ComposeOneLineColdFont(benchmark::State& state) { Compose(state, 1, false); }

void BM_ComposeLivePreviewWithFaceFromALargeSheet(benchmark::State& state) {
  const pw::TBitmap skin = Skin();
  pw::TBitmap sheet;
  sheet.SetPixelFormat(pw::TPixelFormat::pf24bit);
  sheet.SetSize(pw::kMaxSheetSide, pw::kMaxSheetSide);
  sheet.Fill(pw::RGB(10, 20, 30));
  pw::TFontCache fonts;
  pw::ComposeInput in;
  in.systemGraphic = &skin;
  in.lines = {"\\C[0]Welcome to \\C[2]Panelwright\\C[0]! $A$b", "Rest here? $Y"};
  in.fonts = &fonts;
  pw::WindowExtras extras;
  extras.faceSheet = &sheet;
  extras.faceIndex = 5;
  for (auto _ : state) {
    auto window = pw::ComposeWindow(in, extras);
    benchmark::DoNotOptimize(window);
  }
}

// A text whose window no reader could take, as a 4.3 MB text file of 84,564 lines of fifty
// letters makes (316x1353040 pixels): refused line by line, at its first line, as the window and
// the page refuse it while the user types, and refused by the composition, which measures every
// line before it refuses.
std::vector<std::string> HugeText() { return std::vector<std::string>(84564, std::string(50, 'x')); }

void BM_RefuseHugeTextLineByLine(benchmark::State& state) {
  const pw::TBitmap skin = Skin();
  const std::vector<std::string> lines = HugeText();
  pw::TFontCache fonts;
  pw::ComposeInput in;
  in.systemGraphic = &skin;
  in.fonts = &fonts;
  for (auto _ : state) {
    try {
      pw::RequireWindowFits(lines.size(), [&](std::size_t i) { return lines[i]; }, in, {});
      state.SkipWithError("not refused");
    } catch (const pw::EComposeError&) {
    }
  }
}

void BM_RefuseHugeTextComposing(benchmark::State& state) {
  const pw::TBitmap skin = Skin();
  pw::TFontCache fonts;
  pw::ComposeInput in;
  in.systemGraphic = &skin;
  in.fonts = &fonts;
  in.lines = HugeText();
  for (auto _ : state) {
    try {
      benchmark::DoNotOptimize(pw::ComposeWindow(in));
      state.SkipWithError("not refused");
    } catch (const pw::EComposeError&) {
    }
  }
}

BENCHMARK(BM_ComposeOneLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeThirtyLines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeOneLineColdFont)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeLivePreviewFourLines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeLivePreviewFourLinesWorldScripts)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeLivePreviewWithFaceFromALargeSheet)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteLivePreviewWindowPng)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteThirtyLineWindowPng)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveLivePreviewWindowPngFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefuseHugeTextLineByLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefuseHugeTextComposing)->Unit(benchmark::kMillisecond);

}  // namespace
