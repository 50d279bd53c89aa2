#include "engine/pdb_record.h"

#include <cstdio>

namespace kd {

void CPdbRecord::CopyFrom(const CPdbRecord& other) {
  Reset();  // clears the whole buffer: no earlier bytes can come back
  Write(other.GetBuffer(), other.Size());
  dirty = other.dirty;
  archived = other.archived;
  deleted = other.deleted;
  secret = other.secret;
  uniqueID = other.uniqueID;
  category = other.category;
  index = other.index;
}

void CPdbRecord::Blank() {
  Reset();
  dirty = archived = deleted = secret = false;
  uniqueID = 0;
  category = 0;
  index = 0;
}

UniqueIdKey::UniqueIdKey(std::uint32_t uniqueID) {
  std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(uniqueID));
}

CPdbRecordPtr::CPdbRecordPtr(std::uint32_t uniqueID, std::unique_ptr<CPdbRecord> record)
    : key_(uniqueID), record_(std::move(record)) {}

}  // namespace kd
