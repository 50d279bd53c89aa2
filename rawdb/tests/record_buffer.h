// The raw database object's record buffer as bytes, for its tests.
#ifndef KDDAO_RAWDB_TESTS_RECORD_BUFFER_H_
#define KDDAO_RAWDB_TESTS_RECORD_BUFFER_H_

#include <cstdint>
#include <vector>

#include "foundation/hresult.h"
#include "foundation/variant.h"
#include "rawdb/raw_db.h"

namespace kd::testing {

// The record buffer's bytes; empty when they cannot be read.
inline std::vector<std::uint8_t> RecordBytes(CRawDB& db) {
  CVariant data;
  if (db.get_RecordData(&data) != hr::kOk) return {};
  return data.GetArray().GetData();
}

// Replaces the record buffer's bytes.
inline void SetRecordBytes(CRawDB& db, const std::vector<std::uint8_t>& bytes) {
  db.put_RecordData(CVariant::Bytes(bytes));
}

}  // namespace kd::testing

#endif  // KDDAO_RAWDB_TESTS_RECORD_BUFFER_H_
