// The records that one load of a database file holds, and the file image whose
// bytes they borrow.
#ifndef KDDAO_ENGINE_RECORD_ARENA_H_
#define KDDAO_ENGINE_RECORD_ARENA_H_

#include <cstdint>

#include "engine/pdb_record.h"
#include "foundation/memory.h"

namespace kd {

// The image of a loaded file, made present in one step (MemAllocWhole), and
// one slot per entry of its record list, in one block. A slot's address is
// known from the load on, but its record is built only when it is first used
// (a load that only reads the header touches no slot, and so no memory for
// them); until then the slot holds nothing.
//
// Ownership: the arena owns the records it holds. Clear, and the destructor,
// destroy every record built in a slot, in place, then free the blocks.
// REQUIRES: nothing that points at a slot is used after Clear.
class CRecordArena {
 public:
  CRecordArena() = default;
  ~CRecordArena() { Clear(); }
  CRecordArena(const CRecordArena&) = delete;
  CRecordArena& operator=(const CRecordArena&) = delete;

  // Clears, then takes room for an image of `size` bytes and returns it, to
  // fill and to borrow from until the next Clear. Raises 60000 when memory
  // runs out.
  std::uint8_t* NewImage(std::uint32_t size);
  // The image NewImage returned.
  const std::uint8_t* Image() const { return image_.get(); }
  // Takes room for `count` slots, all empty. Raises 60000 when memory runs
  // out. REQUIRES: called once after NewImage.
  void Reserve(std::uint32_t count);

  // The address of slot `entry`. REQUIRES: entry < count.
  CPdbRecord* Slot(std::uint32_t entry) const {
    return reinterpret_cast<CPdbRecord*>(slots_) + entry;
  }
  // Whether `record` is a slot of this arena.
  bool Holds(const CPdbRecord* record) const {
    // Addresses compared as numbers: `record` may be a heap record, of no
    // array of this arena.
    const auto address = reinterpret_cast<std::uintptr_t>(record);
    const auto first = reinterpret_cast<std::uintptr_t>(slots_);
    return address >= first && address < first + std::uintptr_t{count_} * sizeof(CPdbRecord);
  }
  // Whether `record` is a slot of this arena whose record is not built yet.
  bool IsEmpty(const CPdbRecord* record) const {
    return Holds(record) && !IsBuilt(static_cast<std::uint32_t>(record - Slot(0)));
  }
  // The entry number of slot `record`. REQUIRES: Holds(record).
  std::uint32_t EntryOf(const CPdbRecord* record) const {
    return static_cast<std::uint32_t>(record - Slot(0));
  }
  // Builds a blank record in the empty slot `entry` and returns it.
  CPdbRecord* Build(std::uint32_t entry);

  // Destroys the records built and frees the blocks.
  void Clear();

 private:
  bool IsBuilt(std::uint32_t entry) const { return (built_[entry / 64] >> (entry % 64)) & 1; }

  CWholeBlock image_;
  std::uint8_t* slots_ = nullptr;   // MemAlloc: its pages are touched only as records are built
  std::uint64_t* built_ = nullptr;  // one bit per slot
  std::uint32_t count_ = 0;
};

}  // namespace kd

#endif  // KDDAO_ENGINE_RECORD_ARENA_H_
