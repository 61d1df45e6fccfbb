// panelwright-cli compose --batch on 2,000 windows, on one thread and on one per core, written
// as PNG and as BMP. "windows/s" is the rate of whole runs of the program (reading the skin and
// the text included), measured in wall-clock time. The files go to the temporary folder
// (TMPDIR): on a slow disk, creating and renaming 2,000 files sets the pace, not the composing.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
constexpr int kWindows = 2000;

// Two lines per window, of varying length, with colour codes and a built-in glyph.
fs::path BatchFile(const fs::path& folder) {
  const fs::path file = folder / "batch.txt";
  std::ofstream out(file, std::ios::binary);
  for (int i = 0; i < kWindows; ++i) {
    out << "Window " << i << ": \\C[" << (i % 20) << "]" << std::string(static_cast<std::size_t>(i % 23), 'x')
        << "\\C[0] $" << static_cast<char>('A' + i % 26) << "\n";
    out << "The second line of window " << i << ".\n---\n";
  }
  return file;
}

void BM_Batch(benchmark::State& state, const char* extension) {
  const unsigned jobs = state.range(0) == 0 ? std::max(1u, std::thread::hardware_concurrency())
                                            : static_cast<unsigned>(state.range(0));
  const fs::path folder = fs::temp_directory_path() / ("pw-batch-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder / "out");
  const std::string command = std::string("'") + PW_CLI_PATH + "' compose --batch '" + BatchFile(folder).string() +
                              "' --margin 4 --jobs " + std::to_string(jobs) + " -o '" +
                              (folder / "out" / "win").string() + extension + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("panelwright-cli failed");
  }
  fs::remove_all(folder);
  state.counters["jobs"] = jobs;
  state.counters["windows/s"] =
      benchmark::Counter(static_cast<double>(kWindows) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

// Range 1: serial; range 0: one thread per core.
BENCHMARK_CAPTURE(BM_Batch, png, ".png")->Arg(1)->Arg(0)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Batch, bmp, ".bmp")->Arg(1)->Arg(0)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
