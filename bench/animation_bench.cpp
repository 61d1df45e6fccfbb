// The animation of a four-line window of 120 characters at speed 1 over the sample skin: its
// frames composed, and the whole animation composed and written as GIF and as animated PNG.
// "frames_per_second" counts the animation's frames made per second of run time.
// The long text, 40 lines of 30 full-width characters (goal: under 1 s and 100 MB each), also
// reports the process's peak resident memory: run it alone (--benchmark_filter=Long) to read it.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

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

std::vector<pw::AnimationPage> ShortText() {
  const std::string line = "The quick brown fox jumps over";  // 30 characters
  return {{{line, line, line, line}, {}}};
}

// 40 lines of 30 full-width characters (3.6 kB of Shift-JIS).
std::vector<pw::AnimationPage> LongText() {
  std::string line;
  for (int k = 0; k < 30; ++k) line += std::string{static_cast<char>(0x82), static_cast<char>(0xA0 + 2 * (k % 40))};
  return {{std::vector<std::string>(40, line), {}}};
}

void Run(benchmark::State& state, const std::vector<pw::AnimationPage>& pages, Output output) {
  const pw::TBitmap skin = SampleSkin();
  pw::TFontCache fonts;
  pw::ComposeInput in;
  in.systemGraphic = &skin;
  in.fonts = &fonts;
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
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_mb"] = static_cast<double>(usage.ru_maxrss) / 1024;
}

void BM_ComposeFrames(benchmark::State& state) { Run(state, ShortText(), Output::kNone); }
void BM_ComposeAndWriteGif(benchmark::State& state) { Run(state, ShortText(), Output::kGif); }
void BM_ComposeAndWriteApng(benchmark::State& state) { Run(state, ShortText(), Output::kApng); }
void BM_LongTextGif(benchmark::State& state) { Run(state, LongText(), Output::kGif); }
void BM_LongTextApng(benchmark::State& state) { Run(state, LongText(), Output::kApng); }

BENCHMARK(BM_ComposeFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeAndWriteGif)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeAndWriteApng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongTextGif)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongTextApng)->Unit(benchmark::kMillisecond);

}  // namespace
