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

}  // namespace kd
