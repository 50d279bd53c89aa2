// The records of a database by unique ID.
#ifndef KDDAO_ENGINE_RECORD_INDEX_H_
#define KDDAO_ENGINE_RECORD_INDEX_H_

#include <cstdint>

#include "engine/pdb_record.h"
#include "foundation/memory.h"

namespace kd {

// Every record of a database, live, deleted or archived, by its unique ID: a
// table of 2^k slots (at least the number of records), each the head of a
// chain linked through the records themselves, so that a lookup costs the same
// for a thousand records as for 65,535. Several records may share an ID (files
// written by other tools); within a slot the record inserted last comes first.
// The index owns no record. A record's ID must not change while it is indexed:
// remove it, change it, insert it again.
class CRecordIndex {
 public:
  CRecordIndex() = default;
  CRecordIndex(const CRecordIndex&) = delete;
  CRecordIndex& operator=(const CRecordIndex&) = delete;

  // Forgets every record and makes room for `count` without growing. Raises
  // 60000 when memory runs out (the index is then empty).
  void Reset(std::uint32_t count);
  // Forgets every record and frees the table.
  void Clear();
  // Makes room for one record more, so that the next Insert cannot fail.
  // Raises 60000 when memory runs out (nothing changes then).
  void ReserveOneMore();
  // Adds `record` under its unique ID. REQUIRES: room for it (Reset or
  // ReserveOneMore), and `record` not indexed.
  void Insert(CPdbRecord* record);
  // Takes `record` out. REQUIRES: it is indexed under its current ID.
  void Remove(CPdbRecord* record);
  // A record with `uniqueID`: a live one when there is one, else a deleted or
  // archived one, else null.
  CPdbRecord* Find(std::uint32_t uniqueID) const;

 private:
  CPdbRecord*& Slot(std::uint32_t uniqueID) const;
  void SetSlotCount(std::uint32_t slotCount);
  void Rebuild(std::uint32_t slotCount);

  CWholeBlock slots_;
  std::uint32_t slotCount_ = 0;  // a power of two of at least 16, or 0
  std::uint32_t shift_ = 32;     // 32 - log2(slotCount_)
  std::uint32_t count_ = 0;
};

}  // namespace kd

#endif  // KDDAO_ENGINE_RECORD_INDEX_H_
