// One record in memory, and the hash item that owns it.
#ifndef KDDAO_ENGINE_PDB_RECORD_H_
#define KDDAO_ENGINE_PDB_RECORD_H_

#include <cstdint>
#include <memory>

#include "foundation/containers.h"
#include "foundation/stream.h"

namespace kd {

// A record: its data bytes (a big-endian memory stream) and its attributes.
class CPdbRecord : public CMemFile {
 public:
  CPdbRecord() { SetBigEndian(true); }

  // Attributes and data of `other` (the index included). The whole buffer is
  // cleared first, so bytes cut off earlier cannot come back.
  void CopyFrom(const CPdbRecord& other);
  // No data; every attribute 0 (the stream keeps its buffer).
  void Blank();

  // Whether the record belongs to the arena of a load (record_arena.h), which
  // destroys it, rather than living in a heap block of its own.
  bool IsPooled() const { return pooled_; }

  bool dirty = false;     // attribute bit 0x40
  bool archived = false;  // deleted, its data kept in the file
  bool deleted = false;   // deleted, without data
  bool secret = false;    // attribute bit 0x10
  std::uint32_t uniqueID = 0;
  std::uint8_t category = 0;  // 0 to 15
  std::int32_t index = 0;     // position among the live records

 private:
  friend class CRecordArena;
  bool pooled_ = false;
};

// Destroys a record from the heap; a pooled record is left to its arena.
struct RecordDeleter {
  void operator()(CPdbRecord* record) const;
};
using RecordOwner = std::unique_ptr<CPdbRecord, RecordDeleter>;

// Key of a unique ID in the record index: lower-case hexadecimal digits without
// leading zeros or prefix, from all 32 bits ("abcdef", "0").
struct UniqueIDKey {
  explicit UniqueIDKey(std::uint32_t uniqueID);
  const char* c_str() const { return text; }
  char text[9];
};

// Item of the record index: a unique-ID key and the record it owns. The record
// pointer may be empty (its record was removed or took another ID); the item
// then stays in the table.
class CPdbRecordPtr : public CHashItem {
 public:
  CPdbRecordPtr(std::uint32_t uniqueID, RecordOwner record, bool pooled = false);

  const char* GetKey() const override { return key_.c_str(); }
  CPdbRecord* GetRecord() const { return record_.get(); }
  // Gives up the record without destroying it; the pointer becomes empty.
  RecordOwner Release() { return std::move(record_); }
  // Takes (or drops, with null) the record it points at.
  void Reset(RecordOwner record) { record_ = std::move(record); }
  // Whether the item belongs to the arena of a load, which destroys it.
  bool IsPooled() const { return pooled_; }

 private:
  UniqueIDKey key_;
  RecordOwner record_;
  bool pooled_;
};

}  // namespace kd

#endif  // KDDAO_ENGINE_PDB_RECORD_H_
