#include "engine/record_index.h"

#include <cstring>

namespace kd {

namespace {

// The smallest power of two of at least `count` (and at least 16).
std::uint32_t SlotCountFor(std::uint32_t count) {
  std::uint32_t slots = 16;
  while (slots < count)
    slots <<= 1;
  return slots;
}

}  // namespace

CPdbRecord*& CRecordIndex::Slot(std::uint32_t uniqueID) const {
  // Fibonacci hashing: the top bits of the product spread neighbouring IDs.
  return reinterpret_cast<CPdbRecord**>(slots_.get())[(uniqueID * 2654435769u) >> shift_];
}

void CRecordIndex::SetSlotCount(std::uint32_t slotCount) {
  slotCount_ = slotCount;
  shift_ = 32;
  for (std::uint32_t n = slotCount; n > 1; n >>= 1)
    --shift_;
}

void CRecordIndex::Clear() {
  slots_ = CWholeBlock();
  slotCount_ = 0;
  shift_ = 32;
  count_ = 0;
}

void CRecordIndex::Reset(std::uint32_t count) {
  Clear();
  const std::uint32_t slotCount = SlotCountFor(count);
  slots_ = CWholeBlock(slotCount * sizeof(CPdbRecord*));
  std::memset(slots_.get(), 0, slotCount * sizeof(CPdbRecord*));
  SetSlotCount(slotCount);
}

void CRecordIndex::Rebuild(std::uint32_t slotCount) {
  CWholeBlock grown(slotCount * sizeof(CPdbRecord*));
  std::memset(grown.get(), 0, slotCount * sizeof(CPdbRecord*));
  CWholeBlock old = std::move(slots_);
  const std::uint32_t oldCount = slotCount_;
  slots_ = std::move(grown);
  SetSlotCount(slotCount);
  // Chains are rebuilt back to front so that records sharing an ID keep their
  // order.
  auto** oldSlots = reinterpret_cast<CPdbRecord**>(old.get());
  for (std::uint32_t i = 0; i < oldCount; ++i) {
    CPdbRecord* reversed = nullptr;
    for (CPdbRecord* record = oldSlots[i]; record != nullptr;) {
      CPdbRecord* next = record->nextInIndex_;
      record->nextInIndex_ = reversed;
      reversed = record;
      record = next;
    }
    while (reversed != nullptr) {
      CPdbRecord* next = reversed->nextInIndex_;
      CPdbRecord*& head = Slot(reversed->uniqueID);
      reversed->nextInIndex_ = head;
      head = reversed;
      reversed = next;
    }
  }
}

void CRecordIndex::ReserveOneMore() {
  if (slotCount_ == 0) {
    Reset(1);
  } else if (count_ + 1 > slotCount_) {
    Rebuild(slotCount_ * 2);
  }
}

void CRecordIndex::Insert(CPdbRecord* record) {
  CPdbRecord*& head = Slot(record->uniqueID);
  record->nextInIndex_ = head;
  head = record;
  ++count_;
}

void CRecordIndex::Remove(CPdbRecord* record) {
  for (CPdbRecord** link = &Slot(record->uniqueID); *link != nullptr;
       link = &(*link)->nextInIndex_) {
    if (*link == record) {
      *link = record->nextInIndex_;
      record->nextInIndex_ = nullptr;
      --count_;
      return;
    }
  }
}

CPdbRecord* CRecordIndex::Find(std::uint32_t uniqueID) const {
  if (slotCount_ == 0) return nullptr;
  CPdbRecord* found = nullptr;
  for (CPdbRecord* record = Slot(uniqueID); record != nullptr; record = record->nextInIndex_) {
    if (record->uniqueID != uniqueID) continue;
    if (!record->deleted && !record->archived) return record;  // a live record first
    if (found == nullptr) found = record;
  }
  return found;
}

}  // namespace kd
