#include "engine/record_arena.h"

#include <new>

#include "foundation/memory.h"

namespace kd {

std::uint8_t* CRecordArena::NewImage(std::uint32_t size) {
  Clear();
  image_ = CWholeBlock(size);
  return image_.get();
}

void CRecordArena::Reserve(std::uint32_t count) {
  records_ = CWholeBlock(count * sizeof(CPdbRecord));
  items_ = CWholeBlock(count * sizeof(CPdbRecordPtr));
}

CPdbRecord* CRecordArena::NewRecord() {
  auto* record = new (records_.get() + recordCount_ * sizeof(CPdbRecord)) CPdbRecord();
  ++recordCount_;
  record->pooled_ = true;
  return record;
}

CPdbRecordPtr* CRecordArena::NewItem(std::uint32_t uniqueID, RecordOwner record) {
  auto* item = new (items_.get() + itemCount_ * sizeof(CPdbRecordPtr))
      CPdbRecordPtr(uniqueID, std::move(record), true);
  ++itemCount_;
  return item;
}

void CRecordArena::Clear() {
  // Items first: an item may own a record from the heap, which goes with it.
  auto* items = reinterpret_cast<CPdbRecordPtr*>(items_.get());
  for (std::uint32_t i = 0; i < itemCount_; ++i)
    items[i].~CPdbRecordPtr();
  auto* records = reinterpret_cast<CPdbRecord*>(records_.get());
  for (std::uint32_t i = 0; i < recordCount_; ++i)
    records[i].~CPdbRecord();
  itemCount_ = recordCount_ = 0;
  items_ = CWholeBlock();
  records_ = CWholeBlock();
  image_ = CWholeBlock();
}

}  // namespace kd
