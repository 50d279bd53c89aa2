#include "engine/record_arena.h"

#include <new>

namespace kd {

std::uint8_t* CRecordArena::NewImage(std::uint32_t size) {
  Clear();
  image_ = CWholeBlock(size);
  return image_.get();
}

void CRecordArena::Reserve(std::uint32_t count) {
  records_ = CWholeBlock(count * sizeof(CPdbRecord));
}

CPdbRecord* CRecordArena::NewRecord() {
  auto* record = new (records_.get() + recordCount_ * sizeof(CPdbRecord)) CPdbRecord();
  ++recordCount_;
  record->pooled_ = true;
  return record;
}

void CRecordArena::Clear() {
  auto* records = reinterpret_cast<CPdbRecord*>(records_.get());
  for (std::uint32_t i = 0; i < recordCount_; ++i)
    records[i].~CPdbRecord();
  recordCount_ = 0;
  records_ = CWholeBlock();
  image_ = CWholeBlock();
}

}  // namespace kd
