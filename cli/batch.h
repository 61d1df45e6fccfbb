// Running the windows of a batch on several threads while their files are written in order,
// so that the output is exactly that of a run on one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace pw::cli {

using BlockBytes = std::vector<std::uint8_t>;
// Makes block `index` on worker `worker` (0 .. threads - 1); state kept per worker is indexed
// by it, so that no two threads share it.
using MakeBlock = std::function<BlockBytes(std::size_t index, unsigned worker)>;
// Writes block `index`; always called on the calling thread, in order of index.
using CommitBlock = std::function<void(std::size_t index, const BlockBytes& bytes)>;

// Calls make for every block on up to `threads` threads (a few blocks ahead of the writing)
// and commit for each in order. The first exception, from make or commit, ends the run: no
// later block is committed, and it reaches the caller once every worker has stopped.
void RunInOrder(std::size_t count, unsigned threads, const MakeBlock& make, const CommitBlock& commit);

// The number of threads a batch uses by default: one per core.
unsigned DefaultThreads();

}  // namespace pw::cli
