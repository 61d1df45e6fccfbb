// The animation of a four-line window of 120 characters at speed 1 over the sample skin: its
// frames composed, and the whole animation composed and written as GIF and as animated PNG.
// "frames_per_second" counts the animation's frames made per second of run time.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "compose/animate.h"
#include "gif/gif_writer.h"
#include "png/png_writer.h"
#include "resources/resources.h"
#include "toolkit/stream.h"

namespace {

pw::TBitmap SampleSkin() {
  const auto bytes = pw::resources::SampleSkins().front().bmp;
  pw::TMemoryStream stream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  pw::TBitmap skin;
  skin.LoadFromStream(stream);
  return skin;
}

enum class Output { kNone, kGif, kApng };

void Run(benchmark::State& state, Output output) {
  const pw::TBitmap skin = SampleSkin();
  pw::TFontCache fonts;
  pw::ComposeInput in;
  in.systemGraphic = &skin;
  in.fonts = &fonts;
  const std::string line = "The quick brown fox jumps over";  // 30 characters
  const std::vector<pw::AnimationPage> pages = {{{line, line, line, line}, {}}};
  std::size_t frames = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    const pw::TAnimation animation = pw::ComposeAnimation(in, pages, {});
    frames += animation.frames.size();
    pw::TMemoryStream stream;
    if (output == Output::kGif) pw::WriteGif(animation, pw::AnimationPalette(animation, pw::gif::kMaxColours), stream);
    if (output == Output::kApng) pw::WriteApng(animation, stream);
    bytes = stream.Bytes().size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["frames_per_second"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  state.counters["file_bytes"] = static_cast<double>(bytes);
}

void BM_ComposeFrames(benchmark::State& state) { Run(state, Output::kNone); }
void BM_ComposeAndWriteGif(benchmark::State& state) { Run(state, Output::kGif); }
void BM_ComposeAndWriteApng(benchmark::State& state) { Run(state, Output::kApng); }

BENCHMARK(BM_ComposeFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeAndWriteGif)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeAndWriteApng)->Unit(benchmark::kMillisecond);

}  // namespace
