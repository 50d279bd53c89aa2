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

UniqueIDKey::UniqueIDKey(std::uint32_t uniqueID) {
  static const char kDigits[] = "0123456789abcdef";
  int count = 1;  // hexadecimal digits without leading zeros; "0" for 0
  while (count < 8 && (uniqueID >> (4 * count)) != 0)
    ++count;
  for (int i = count - 1; i >= 0; --i) {
    text[i] = kDigits[uniqueID & 0xF];
    uniqueID >>= 4;
  }
  text[count] = '\0';
}

void RecordDeleter::operator()(CPdbRecord* record) const {
  if (!record->IsPooled()) delete record;
}

CPdbRecordPtr::CPdbRecordPtr(std::uint32_t uniqueID, RecordOwner record, bool pooled)
    : key_(uniqueID), record_(std::move(record)), pooled_(pooled) {}

}  // namespace kd
