#include "rawdb/tests/raw_db_test_util.h"

#include <cstdio>

#include "foundation/codepage.h"
#include "foundation/errors.h"

namespace kd::testing {

std::string Result(HRESULT result) {
  if (result == hr::kOk) return "ok";
  char code[16];
  std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(result));
  return std::string(code) + " " + ToAnsi(GetErrorDescription());
}

std::vector<std::uint8_t> RecordBytes(CRawDB& db) {
  CVariant data;
  if (db.get_RecordData(&data) != hr::kOk) return {};
  return data.GetArray().GetData();
}

void SetRecordBytes(CRawDB& db, const std::vector<std::uint8_t>& bytes) {
  db.put_RecordData(CVariant::Bytes(bytes));
}

std::u16string Wide(const std::string& text) {
  return ToWide(text);
}

}  // namespace kd::testing
