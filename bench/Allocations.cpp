#include "Allocations.h"

#include <atomic>
#include <cstdlib>
#include <new>

// Every allocation of the process goes through these, the libraries' included, so that a
// benchmark can report the bytes one operation allocates.
namespace {
std::atomic<std::uint64_t> AllocatedBytes{0};
std::atomic<std::uint64_t> AllocatedBlocks{0};

void* Allocate(std::size_t Size) {
  AllocatedBytes.fetch_add(Size, std::memory_order_relaxed);
  AllocatedBlocks.fetch_add(1, std::memory_order_relaxed);
  if (void* P = std::malloc(Size ? Size : 1))
    return P;
  throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t Size) {
  return Allocate(Size);
}
void* operator new[](std::size_t Size) {
  return Allocate(Size);
}
void operator delete(void* P) noexcept {
  std::free(P);
}
void operator delete[](void* P) noexcept {
  std::free(P);
}
void operator delete(void* P, std::size_t) noexcept {
  std::free(P);
}
void operator delete[](void* P, std::size_t) noexcept {
  std::free(P);
}

namespace bench {

std::uint64_t BytesAllocated() {
  return AllocatedBytes.load(std::memory_order_relaxed);
}
std::uint64_t BlocksAllocated() {
  return AllocatedBlocks.load(std::memory_order_relaxed);
}

} // namespace bench
