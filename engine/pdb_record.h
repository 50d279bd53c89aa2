// One record in memory.
#ifndef KDDAO_ENGINE_PDB_RECORD_H_
#define KDDAO_ENGINE_PDB_RECORD_H_

#include <cstdint>
#include <memory>

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

  bool dirty = false;     // attribute bit 0x40
  bool archived = false;  // deleted, its data kept in the file
  bool deleted = false;   // deleted, without data
  bool secret = false;    // attribute bit 0x10
  std::uint32_t uniqueID = 0;
  std::uint8_t category = 0;  // 0 to 15
  std::int32_t index = 0;     // position among the live records

 private:
  friend class CRecordIndex;
  CPdbRecord* nextInIndex_ = nullptr;  // the next record of its index slot
};

}  // namespace kd

#endif  // KDDAO_ENGINE_PDB_RECORD_H_
