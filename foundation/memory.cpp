#include "foundation/memory.h"

#include <cstdlib>

#include "foundation/errors.h"
#include "foundation/fault_injection.h"

namespace kd {

void* MemAlloc(std::size_t size) {
  void* block = ShouldFail(FaultPoint::kAllocation) ? nullptr : std::malloc(size ? size : 1);
  if (block == nullptr) throw CErr(kMsgOutOfMemory);
  return block;
}

void* MemRealloc(void* block, std::size_t size) {
  void* resized =
      ShouldFail(FaultPoint::kAllocation) ? nullptr : std::realloc(block, size ? size : 1);
  if (resized == nullptr) throw CErr(kMsgOutOfMemory);
  return resized;
}

void MemFree(void* block) {
  std::free(block);
}

void* MemAllocWhole(std::size_t size) {
  void* block = ShouldFail(FaultPoint::kAllocation) ? nullptr : AllocateWholeBlock(size ? size : 1);
  if (block == nullptr) throw CErr(kMsgOutOfMemory);
  return block;
}

void MemFreeWhole(void* block, std::size_t size) {
  if (block != nullptr) FreeWholeBlock(block, size ? size : 1);
}

}  // namespace kd
