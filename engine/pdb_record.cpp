#include "engine/pdb_record.h"

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
  static const char kDigits[] = "0123456789abcdef";
  char reversed[8];
  int count = 0;
  do {
    reversed[count++] = kDigits[uniqueID & 0xF];
    uniqueID >>= 4;
  } while (uniqueID != 0);
  for (int i = 0; i < count; ++i)
    text[i] = reversed[count - 1 - i];
  text[count] = '\0';
}

void RecordDeleter::operator()(CPdbRecord* record) const {
  if (record->IsPooled()) {
    record->~CPdbRecord();  // its memory belongs to the database's block
  } else {
    delete record;
  }
}

CPdbRecordPtr::CPdbRecordPtr(std::uint32_t uniqueID, RecordOwner record, bool pooled)
    : key_(uniqueID), record_(std::move(record)), pooled_(pooled) {}

}  // namespace kd
