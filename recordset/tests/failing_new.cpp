// The global allocation functions of the failure sweep program, and of no
// other: every allocation of the standard library's containers and strings
// passes the allocation fault point, as the library's own blocks do, so that
// a sweep fails them in turn. A failed one raises std::bad_alloc. The nothrow
// forms do not fail: their callers have a way without the block (a stable
// sort without its buffer), which is the standard library's, not ours.
#include <cstdlib>
#include <new>

#include "foundation/fault_injection.h"

namespace {

void* Allocate(std::size_t size) {
  void* block =
      kd::ShouldFail(kd::FaultPoint::kAllocation) ? nullptr : std::malloc(size ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}

void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
