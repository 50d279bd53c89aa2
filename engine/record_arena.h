// The records that one load of a database file builds, and the file image whose
// bytes they borrow.
#ifndef KDDAO_ENGINE_RECORD_ARENA_H_
#define KDDAO_ENGINE_RECORD_ARENA_H_

#include <cstdint>

#include "engine/pdb_record.h"
#include "foundation/memory.h"

namespace kd {

// One block for the image and one for the records, so that a load costs two
// allocations however many records it holds, each made present in one step
// (MemAllocWhole).
//
// Ownership: the arena owns everything it built. Its records are marked
// pooled; their other holders (RecordOwner, the database's lists and index)
// never destroy them. Clear, and the destructor, destroy every record built
// here, in place, then free the blocks. REQUIRES: nothing that points at them
// is used after Clear.
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
  // Takes room for `count` records. Raises 60000 when memory runs out.
  // REQUIRES: called once after NewImage.
  void Reserve(std::uint32_t count);

  // A new blank record. REQUIRES: fewer than `count` records built.
  CPdbRecord* NewRecord();

  // Destroys what was built and frees the blocks.
  void Clear();

 private:
  CWholeBlock image_;
  CWholeBlock records_;
  std::uint32_t recordCount_ = 0;
};

}  // namespace kd

#endif  // KDDAO_ENGINE_RECORD_ARENA_H_
