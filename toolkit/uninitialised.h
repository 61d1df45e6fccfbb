// A byte buffer whose new bytes are left uninitialised, for buffers that are written in full
// (or only read where written) right after they are made: zeroing them first would cost a pass
// over memory and touch pages that may never be used.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace pw {

template <class T>
struct UninitialisedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <class U>
  explicit UninitialisedAllocator(const UninitialisedAllocator<U>&) {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
};

using UninitialisedBytes = std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>>;

}  // namespace pw
