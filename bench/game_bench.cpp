// A game's messages: the free test game (PW_TEST_GAME, skipped where absent) read, listed and
// checked in this process (goal: under 50 ms), and drawn to PNG pictures by whole runs of
// panelwright-cli game with 2 jobs (goal: under 2 s), into a folder in memory (/dev/shm, a
// tmpfs) and one on the disk (the build folder), where flushing every file sets the pace.
#include <benchmark/benchmark.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "game/game_files.h"
#include "io/game_project.h"
#include "io/game_report.h"

namespace {

namespace fs = std::filesystem;
constexpr long kTmpfsMagic = 0x01021994;

bool HaveGame(benchmark::State& state) {
  if (fs::is_directory(PW_TEST_GAME)) return true;
  state.SkipWithError(PW_TEST_GAME " is absent");
  for (auto _ : state) {
  }
  return false;
}

void BM_ListAndCheck(benchmark::State& state) {
  if (!HaveGame(state)) return;
  const pw::game::TGameFiles files = pw::game::FolderFiles(PW_TEST_GAME);
  pw::io::GameOptions options;
  options.encoding = "cp1252";
  std::size_t bytes = 0;
  for (auto _ : state) {
    const pw::io::GameProject project = pw::io::ReadGameProject(files, options);
    for (std::size_t i = 0; i < project.entries.size(); ++i) bytes += pw::io::GameListLine(project, i).size();
    bytes += pw::io::GameCheckReport(project).size();
  }
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_ListAndCheck)->Unit(benchmark::kMillisecond);

bool IsTmpfs(const fs::path& folder) {
  struct statfs info {};
  return ::statfs(folder.c_str(), &info) == 0 && static_cast<long>(info.f_type) == kTmpfsMagic;
}

void BM_DrawPng(benchmark::State& state, bool disk) {
  if (!HaveGame(state)) return;
  const fs::path place = disk ? fs::path(PW_BENCH_DISK_DIR) : fs::path("/dev/shm");
  if (!fs::is_directory(place) || (!disk && !IsTmpfs(place))) {
    state.SkipWithError((place.string() + " is not a folder of the kind measured").c_str());
    for (auto _ : state) {
    }
    return;
  }
  const fs::path out = place / ("pw-game-bench-" + std::to_string(::getpid()));
  const std::string command = "'" + std::string(PW_CLI_PATH) + "' game '" + PW_TEST_GAME +
                              "' --encoding cp1252 --jobs 2 -o '" + out.string() + "' 2>/dev/null";
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(out);
    state.ResumeTiming();
    if (std::system(command.c_str()) != 0) state.SkipWithError("panelwright-cli failed");
  }
  fs::remove_all(out);
}
BENCHMARK_CAPTURE(BM_DrawPng, tmpfs, false)->Iterations(3)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_DrawPng, disk, true)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
