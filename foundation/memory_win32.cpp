// Whole blocks on Windows: committed virtual memory for large blocks (its
// pages arrive zeroed on first touch), the heap for small ones.
#include <windows.h>

#include <cstdlib>

#include "foundation/memory.h"

namespace kd {

namespace {
constexpr std::size_t kVirtualMinimum = std::size_t{1} << 20;
}  // namespace

void* AllocateWholeBlock(std::size_t size) {
  if (size < kVirtualMinimum) return std::malloc(size);
  return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeWholeBlock(void* block, std::size_t size) {
  if (size < kVirtualMinimum) {
    std::free(block);
  } else {
    VirtualFree(block, 0, MEM_RELEASE);
  }
}

}  // namespace kd
