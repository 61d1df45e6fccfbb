// panelwright-cli compose --batch on 2,000 windows, on one thread, two and one per core, written
// as PNG and as BMP, to a folder on the disk (the build folder, or PW_BENCH_DISK) and to one in
// memory (/dev/shm, when it is a tmpfs). "windows/s" is the rate of whole runs of the program
// (reading the skin and the text included), measured in wall-clock time; "tmpfs" tells whether
// the folder turned out to be in memory. On a disk, flushing 2,000 files sets the pace, which
// the threads share; in memory the composing does. PW_BENCH_CLI names another build of the
// program to run instead, to compare two builds side by side.
#include <benchmark/benchmark.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
constexpr int kWindows = 2000;
constexpr long kTmpfsMagic = 0x01021994;

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

bool IsTmpfs(const fs::path& folder) {
  struct statfs info {};
  return ::statfs(folder.c_str(), &info) == 0 && static_cast<long>(info.f_type) == kTmpfsMagic;
}

fs::path Place(bool disk) {
  if (!disk) return "/dev/shm";
  const char* chosen = std::getenv("PW_BENCH_DISK");
  return chosen != nullptr && *chosen != '\0' ? fs::path(chosen) : fs::path(PW_BENCH_DISK_DIR);
}

void BM_Batch(benchmark::State& state, const char* extension, bool disk) {
  const unsigned jobs = state.range(0) == 0 ? std::max(1u, std::thread::hardware_concurrency())
                                            : static_cast<unsigned>(state.range(0));
  const fs::path place = Place(disk);
  if (!fs::is_directory(place) || (!disk && !IsTmpfs(place))) {
    state.SkipWithError((place.string() + " is not a folder of the kind measured").c_str());
    for (auto _ : state) {
    }
    return;
  }
  const fs::path folder = place / ("pw-batch-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder / "out");
  const char* other = std::getenv("PW_BENCH_CLI");
  const std::string program = other != nullptr && *other != '\0' ? other : PW_CLI_PATH;
  const std::string command = "'" + program + "' compose --batch '" + BatchFile(folder).string() +
                              "' --margin 4 --jobs " + std::to_string(jobs) + " -o '" +
                              (folder / "out" / "win").string() + extension + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("panelwright-cli failed");
  }
  state.counters["tmpfs"] = IsTmpfs(folder) ? 1 : 0;
  fs::remove_all(folder);
  state.counters["jobs"] = jobs;
  state.counters["windows/s"] =
      benchmark::Counter(static_cast<double>(kWindows) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

// Range 1 and 2: that many threads; range 0: one thread per core.
BENCHMARK_CAPTURE(BM_Batch, png_disk, ".png", true)->Arg(1)->Arg(2)->Arg(0)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Batch, bmp_disk, ".bmp", true)->Arg(1)->Arg(2)->Arg(0)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Batch, png_tmpfs, ".png", false)->Arg(1)->Arg(2)->Arg(0)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Batch, bmp_tmpfs, ".bmp", false)->Arg(1)->Arg(2)->Arg(0)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
