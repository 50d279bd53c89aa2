// Heap blocks for the foundation's containers and streams.
#ifndef KDDAO_FOUNDATION_MEMORY_H_
#define KDDAO_FOUNDATION_MEMORY_H_

#include <cstddef>
#include <cstdint>

namespace kd {

// Allocates `size` bytes from the general heap. Raises CErr 60000 "Out of
// memory." on failure.
void* MemAlloc(std::size_t size);

// Resizes a block from MemAlloc/MemRealloc (or null) keeping its content. On
// failure raises CErr 60000 and the old block stays valid and unchanged.
void* MemRealloc(void* block, std::size_t size);

// Returns a block to the heap; null is ignored.
void MemFree(void* block);

// A large block that is about to be filled from start to end (a file's image,
// the records of a load): all of its pages are made present in one step rather
// than one page fault at a time, in large pages where the system offers them.
// Its content is unspecified. Raises CErr 60000 on failure (the allocation
// fault point counts it). Return it with MemFreeWhole and the same size.
void* MemAllocWhole(std::size_t size);
void MemFreeWhole(void* block, std::size_t size);

// Owns a block from MemAllocWhole (or nothing), and returns it when it goes.
class CWholeBlock {
 public:
  CWholeBlock() = default;
  // Raises CErr 60000 when the block cannot be had.
  explicit CWholeBlock(std::size_t size) : block_(MemAllocWhole(size)), size_(size) {}
  ~CWholeBlock() { MemFreeWhole(block_, size_); }
  CWholeBlock(CWholeBlock&& other) noexcept : block_(other.block_), size_(other.size_) {
    other.block_ = nullptr;
  }
  CWholeBlock& operator=(CWholeBlock&& other) noexcept {
    if (this != &other) {
      MemFreeWhole(block_, size_);
      block_ = other.block_;
      size_ = other.size_;
      other.block_ = nullptr;
    }
    return *this;
  }

  std::uint8_t* get() const { return static_cast<std::uint8_t*>(block_); }

 private:
  void* block_ = nullptr;
  std::size_t size_ = 0;
};

// Platform hooks behind MemAllocWhole and MemFreeWhole (memory_posix.cpp,
// memory_win32.cpp): null on failure; `size` is the same for both.
void* AllocateWholeBlock(std::size_t size);
void FreeWholeBlock(void* block, std::size_t size);

}  // namespace kd

#endif  // KDDAO_FOUNDATION_MEMORY_H_
