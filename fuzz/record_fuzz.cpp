// A record decoded with a schema built from the input's first bytes:
//   byte 0        number of fields (low 4 bits)
//   byte 1        the record's attributes (category, dirty 0x40, secret 0x10)
//   bytes 2..4    its unique ID
//   one byte a field: type (low 4 bits, of the 10 types), name (high 4 bits:
//                 15 names a system field, by the type bits; others "f" + a letter)
//   the rest      the record's bytes
// DecodeRecord, then EncodeRecord of what was decoded, whose decoding must
// give the same values.
#include "engine/pdb_record.h"
#include "fuzz/fuzz_support.h"
#include "recordset/db_schema.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kd::fuzz;
  static const char* const kSystemNames[] = {"UniqueID", "Category", "Dirty", "Secret"};
  if (size < 5 || size < 5u + (data[0] & 15)) return 0;
  const std::size_t fieldCount = data[0] & 15;
  kd::CDbSchema schema;
  for (std::size_t i = 0; i < fieldCount; ++i) {
    const std::uint8_t b = data[5 + i];
    const std::string name =
        b >> 4 == 15 ? kSystemNames[b & 3] : std::string("f") + char('a' + (b >> 4));
    schema.AddDeclaredField(
        std::make_unique<kd::CDbField>(name, kd::kDbFieldTypes[(b & 15) % 10].type));
  }
  schema.Complete();
  kd::CPdbRecord record;
  record.category = data[1] & 15;
  record.dirty = (data[1] & 0x40) != 0;
  record.secret = (data[1] & 0x10) != 0;
  record.uniqueID = data[2] << 16 | data[3] << 8 | data[4];
  MustSucceed("a record's bytes",
              [&] { record.Assign(data + 5 + fieldCount, size - 5 - fieldCount); });
  if (!Accepted([&] { schema.DecodeRecord(record); })) return 0;
  const std::vector<kd::CVariant> decoded = FieldValues(schema);
  kd::CPdbRecord encoded;
  MustSucceed("encoding decoded values", [&] { schema.EncodeRecord(encoded); });
  MustSucceed("decoding an encoded record", [&] { schema.DecodeRecord(encoded); });
  const std::vector<kd::CVariant> again = FieldValues(schema);
  for (std::size_t i = 0; i < decoded.size(); ++i) {
    Check(SameValue(decoded[i], again[i]), "an encoded record decodes to other values",
          schema.GetAt(static_cast<std::int32_t>(i))->GetName());
  }
  return 0;
}
