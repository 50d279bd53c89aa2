// Whole blocks on POSIX systems: an anonymous mapping, aligned for large pages
// and populated in one call; small blocks come from the heap.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "foundation/memory.h"

namespace kd {

namespace {

// Below this size the heap serves: a mapping costs more than it saves.
constexpr std::size_t kMappedMinimum = std::size_t{1} << 20;
// The large page size of x86-64 and arm64 systems; a mapping starts on such a
// boundary so that its whole large pages can be backed by them.
constexpr std::size_t kLargePage = std::size_t{2} << 20;

std::uintptr_t RoundUp(std::uintptr_t value, std::uintptr_t unit) {
  return (value + unit - 1) / unit * unit;
}

std::size_t PageSize() {
  static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

// Makes every page of [block, block + length) present: in one call where the
// kernel offers it, else by writing to each page.
void Populate(void* block, std::size_t length) {
#ifdef MADV_POPULATE_WRITE
  if (::madvise(block, length, MADV_POPULATE_WRITE) == 0) return;
#endif
  auto* bytes = static_cast<volatile std::uint8_t*>(block);
  for (std::size_t at = 0; at < length; at += PageSize())
    bytes[at] = 0;
}

}  // namespace

void* AllocateWholeBlock(std::size_t size) {
  if (size < kMappedMinimum) return std::malloc(size);
  const std::size_t length = RoundUp(size, PageSize());
  // Map a large page more, then cut the mapping to start on a boundary.
  const std::size_t mapped = length + kLargePage;
  void* area = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (area == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(area);
  const std::uintptr_t aligned = RoundUp(start, kLargePage);
  if (aligned > start) ::munmap(area, aligned - start);
  const std::uintptr_t end = aligned + length;
  if (start + mapped > end) ::munmap(reinterpret_cast<void*>(end), start + mapped - end);
  void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  ::madvise(block, length, MADV_HUGEPAGE);  // a hint: refused where large pages are off
#endif
  Populate(block, length);
  return block;
}

void FreeWholeBlock(void* block, std::size_t size) {
  if (size < kMappedMinimum) {
    std::free(block);
  } else {
    ::munmap(block, RoundUp(size, PageSize()));
  }
}

}  // namespace kd
