#include "engine/record_arena.h"

#include <cstring>
#include <new>

namespace kd {

std::uint8_t* CRecordArena::NewImage(std::uint32_t size) {
  Clear();
  image_ = CWholeBlock(size);
  return image_.get();
}

void CRecordArena::Reserve(std::uint32_t count) {
  const std::size_t words = (std::size_t{count} + 63) / 64;
  built_ = static_cast<std::uint64_t*>(MemAlloc(words * sizeof(std::uint64_t)));
  std::memset(built_, 0, words * sizeof(std::uint64_t));
  try {
    slots_ = static_cast<std::uint8_t*>(MemAlloc(std::size_t{count} * sizeof(CPdbRecord)));
  } catch (...) {
    MemFree(built_);
    built_ = nullptr;
    throw;
  }
  count_ = count;
}

CPdbRecord* CRecordArena::Build(std::uint32_t entry) {
  CPdbRecord* record = new (Slot(entry)) CPdbRecord();
  built_[entry / 64] |= std::uint64_t{1} << (entry % 64);
  return record;
}

void CRecordArena::Clear() {
  for (std::uint32_t entry = 0; entry < count_; ++entry) {
    if (IsBuilt(entry)) Slot(entry)->~CPdbRecord();
  }
  MemFree(slots_);
  MemFree(built_);
  slots_ = nullptr;
  built_ = nullptr;
  count_ = 0;
  image_ = CWholeBlock();
}

}  // namespace kd
