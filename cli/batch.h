// Running the windows of a batch on several threads, each window's file written and flushed on
// its thread, while the files are put in place in order, so that the output is exactly that of
// a run on one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "toolkit/replace_file.h"

namespace pw::cli {

using BlockBytes = std::vector<std::uint8_t>;
// Makes block `index` on worker `worker` (0 .. threads - 1) and writes its file, not yet in
// place; state kept per worker is indexed by it, so that no two threads share it.
using MakeBlock = std::function<TPendingFile(std::size_t index, unsigned worker)>;
// Puts the file of block `index` in place; always called on the calling thread, in order of
// index.
using CommitBlock = std::function<void(std::size_t index, TPendingFile& file)>;

// Calls make for every block on up to `threads` threads (a few blocks ahead of the commits)
// and commit for each in order. The first exception, from make or commit, ends the run: no
// later block is committed (their files are dropped, the targets left as they were), and it
// reaches the caller once every worker has stopped.
void RunInOrder(std::size_t count, unsigned threads, const MakeBlock& make, const CommitBlock& commit);

// The number of threads a batch uses by default: one per core.
unsigned DefaultThreads();

}  // namespace pw::cli
