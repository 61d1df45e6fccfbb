// Large buffers backed by huge pages where the system offers them on request: a buffer of
// megabytes then takes a few page faults instead of one per 4 KiB page, which is most of
// the processor time of reading or writing a big picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace pw {

#if defined(__linux__)
// Advises the system on the whole blocks of `block` bytes inside [data, data + size).
inline void AdviseWholeBlocks(void* data, std::size_t size, std::uintptr_t block, int advice) {
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + block - 1) & ~(block - 1);
  const std::uintptr_t last = (start + size) & ~(block - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, advice);
}
#endif

// Asks for huge pages over the whole 2 MiB blocks of [data, data + size); call it before the
// first write. Only a hint: nothing changes when the system refuses or has no huge pages.
inline void AdviseHugePages(void* data, std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  AdviseWholeBlocks(data, size, std::uintptr_t{1} << 21, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

// Gives the memory of the whole pages inside [data, data + size) back to the system, for bytes
// nothing reads again: a big buffer that is done with part of itself then stops counting it.
// The pages read as zeros afterwards.
inline void ReleasePages(void* data, std::size_t size) {
#if defined(__linux__) && defined(MADV_DONTNEED)
  AdviseWholeBlocks(data, size, static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE)), MADV_DONTNEED);
#else
  (void)data;
  (void)size;
#endif
}

// Room for capacity bytes in bytes, advised for huge pages before anything is written there.
template <class Vector>
void ReserveLarge(Vector& bytes, std::size_t capacity) {
  if (capacity <= bytes.capacity()) return;
  bytes.reserve(capacity);
  AdviseHugePages(bytes.data(), bytes.capacity());
}

}  // namespace pw
