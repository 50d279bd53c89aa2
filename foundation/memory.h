// Heap blocks for the foundation's containers and streams.
#ifndef KDDAO_FOUNDATION_MEMORY_H_
#define KDDAO_FOUNDATION_MEMORY_H_

#include <cstddef>

namespace kd {

// Allocates `size` bytes from the general heap. Raises CErr 60000 "Out of
// memory." on failure.
void* MemAlloc(std::size_t size);

// Resizes a block from MemAlloc/MemRealloc (or null) keeping its content. On
// failure raises CErr 60000 and the old block stays valid and unchanged.
void* MemRealloc(void* block, std::size_t size);

// Returns a block to the heap; null is ignored.
void MemFree(void* block);

}  // namespace kd

#endif  // KDDAO_FOUNDATION_MEMORY_H_
