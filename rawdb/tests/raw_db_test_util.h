// Helpers for tests of the raw database object: results as a caller sees them.
#ifndef KDDAO_RAWDB_TESTS_RAW_DB_TEST_UTIL_H_
#define KDDAO_RAWDB_TESTS_RAW_DB_TEST_UTIL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/hresult.h"
#include "foundation/variant.h"
#include "rawdb/raw_db.h"

namespace kd::testing {

// What a caller reads after an operation: "ok", or the HRESULT in hexadecimal
// and the thread's error description, e.g. "80042720 Recordset not opened.".
std::string Result(HRESULT result);

// The record buffer's bytes.
std::vector<std::uint8_t> RecordBytes(CRawDB& db);
// Replaces the record buffer's bytes.
void SetRecordBytes(CRawDB& db, const std::vector<std::uint8_t>& bytes);

std::u16string Wide(const std::string& text);

}  // namespace kd::testing

#endif  // KDDAO_RAWDB_TESTS_RAW_DB_TEST_UTIL_H_
