#include "cli/batch.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace pw::cli {
namespace {

// Blocks each worker may make ahead of the next block to be committed, which bounds the memory
// and the temporary files held by finished blocks.
constexpr std::size_t kAheadPerThread = 4;

// The state the workers and the writing thread share, guarded by one mutex.
class BlockQueue {
 public:
  BlockQueue(std::size_t count, std::size_t ahead) : blocks_(count), ahead_(ahead) {}

  // The next block to make; false when there is none or the run has stopped.
  bool Take(std::size_t& index) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || next_ >= blocks_.size() || next_ < committed_ + ahead_; });
    if (stopped_ || next_ >= blocks_.size()) return false;
    index = next_++;
    return true;
  }

  void Finish(std::size_t index, TPendingFile file, std::exception_ptr failure) {
    {
      std::lock_guard lock(mutex_);
      Block& block = blocks_[index];
      block.file = std::move(file);
      block.failure = std::move(failure);
      block.done = true;
    }
    changed_.notify_all();
  }

  // Waits for block index and hands its file over; rethrows its failure.
  TPendingFile Wait(std::size_t index) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return blocks_[index].done; });
    Block& block = blocks_[index];
    if (block.failure) std::rethrow_exception(block.failure);
    return std::move(block.file);
  }

  void Committed(std::size_t count) {
    {
      std::lock_guard lock(mutex_);
      committed_ = count;
    }
    changed_.notify_all();
  }

  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    changed_.notify_all();
  }

 private:
  struct Block {
    bool done = false;
    TPendingFile file;
    std::exception_ptr failure;
  };
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Block> blocks_;
  std::size_t ahead_;
  std::size_t next_ = 0;
  std::size_t committed_ = 0;
  bool stopped_ = false;
};

void Work(BlockQueue& queue, const MakeBlock& make, unsigned worker) {
  std::size_t index = 0;
  while (queue.Take(index)) {
    TPendingFile file;
    std::exception_ptr failure;
    try {
      file = make(index, worker);
    } catch (...) {
      failure = std::current_exception();
    }
    queue.Finish(index, std::move(file), std::move(failure));
  }
}

// Commits every block in order; the first failure is returned instead of thrown so that the
// workers can be stopped first.
std::exception_ptr CommitAll(BlockQueue& queue, std::size_t count, const CommitBlock& commit) {
  try {
    for (std::size_t i = 0; i < count; ++i) {
      TPendingFile file = queue.Wait(i);
      commit(i, file);
      queue.Committed(i + 1);
    }
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

}  // namespace

unsigned DefaultThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

void RunInOrder(std::size_t count, unsigned threads, const MakeBlock& make, const CommitBlock& commit) {
  threads = static_cast<unsigned>(std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(count, 1)));
  if (threads == 1) {
    for (std::size_t i = 0; i < count; ++i) {
      TPendingFile file = make(i, 0);
      commit(i, file);
    }
    return;
  }
  BlockQueue queue(count, kAheadPerThread * threads);
  std::exception_ptr failure;
  {
    std::vector<std::jthread> workers;
    try {
      for (unsigned w = 0; w < threads; ++w) workers.emplace_back(Work, std::ref(queue), std::cref(make), w);
      failure = CommitAll(queue, count, commit);
    } catch (...) {
      failure = std::current_exception();  // a thread that could not be started
    }
    queue.Stop();
  }  // the workers are joined here; the queue's uncommitted files are dropped with it
  if (failure) std::rethrow_exception(failure);
}

}  // namespace pw::cli
