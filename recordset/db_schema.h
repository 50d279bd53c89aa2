// The field model of a recordset: the declared fields of a table description
// (CDbField), and the loaded description (CDbSchema) with its name index, its
// data fields in record order and the positions of its system fields.
#ifndef KDDAO_RECORDSET_DB_SCHEMA_H_
#define KDDAO_RECORDSET_DB_SCHEMA_H_

#include <cstdint>
#include <memory>
#include <string>

#include "engine/record_encoder.h"
#include "foundation/containers.h"
#include "foundation/variant.h"

namespace kd {

class CPdbRecord;

// Field type codes. Codes 8 to 11 and 13 to 43 are not assigned.
enum class DbFieldType : std::int32_t {
  kByte = 0,
  kBoolean = 1,
  kInteger = 2,
  kLong = 3,
  kSingle = 4,
  kDouble = 5,
  kDate = 6,
  kString = 7,
  kBitmap = 12,
  kStreamMemory = 44,
};

// One row of the type table: the keyword a description file spells, the
// letter a table digest uses.
struct DbFieldTypeInfo {
  DbFieldType type;
  const char* keyword;
  char digestLetter;
};
extern const DbFieldTypeInfo kDbFieldTypes[10];

// The type whose keyword equals `keyword` ignoring case, or null.
const DbFieldTypeInfo* FindFieldTypeByKeyword(const std::string& keyword);
// The type of a digest letter, or null.
const DbFieldTypeInfo* FindFieldTypeByDigestLetter(char letter);

// The longest field name, in bytes.
constexpr std::size_t kMaxFieldNameLength = 31;

// A declared field: its name (also its key in the name index), its type and
// its current value.
class CDbField : public CHashItem {
 public:
  // REQUIRES: name is at most 31 bytes.
  CDbField(const std::string& name, DbFieldType type);

  const char* GetKey() const override { return name_; }
  const char* GetName() const { return name_; }
  DbFieldType GetType() const { return type_; }

  CVariant value;

 private:
  char name_[kMaxFieldNameLength + 1];
  DbFieldType type_;
};

// The four system fields, which stand for record attributes instead of bytes.
enum class SystemField : int { kUniqueID = 0, kCategory = 1, kDirty = 2, kSecret = 3 };
constexpr int kSystemFieldCount = 4;

// A loaded table description. The declared fields are the array's own
// contents, in declaration order; the name index owns the CDbField objects;
// the data-field array refers to the declared fields that are not system
// fields, in record order. As the engine's record encoder, it rebuilds an edit
// record from the field values.
class CDbSchema : public CArray<CDbField*>, public CRecordEncoder {
 public:
  CDbSchema();
  ~CDbSchema() override;

  // Takes `field`, declared next, into the declared fields and the name index.
  void AddDeclaredField(std::unique_ptr<CDbField> field);
  // Deletes every field.
  void Clear();
  // Builds the name index, the data fields in record order and the system
  // field positions from the declared fields.
  void Complete();

  // Lookup by name, ignoring case; the field declared last wins. Null if none.
  CDbField* FindField(const char* name) const;
  std::int32_t GetDataFieldCount() const { return dataFields_.GetCount(); }
  CDbField* GetDataField(std::int32_t i) const { return dataFields_.GetAt(i); }
  // Declared position of a system field, or -1.
  std::int32_t GetSystemFieldPosition(SystemField field) const {
    return systemFields_[static_cast<int>(field)];
  }
  CDbField* GetSystemField(SystemField field) const;

  // ---- the record codec ----
  // Sets every field's value from `record`: system fields from its attributes,
  // data fields from its bytes. Raises 10002 (text) for a bad bitmap header,
  // 10030 and 10031 (coded) when the bytes end before a field does; the fields
  // decoded before keep their new values, the others their old ones.
  void DecodeRecord(const CPdbRecord& record);
  // Rewrites `editRecord`'s bytes from the data fields and its attributes from
  // the declared system fields. Raises coercion errors, and 10003 (text) when
  // the encoding exceeds 65,520 bytes.
  void EncodeRecord(CPdbRecord& editRecord) override;
  // Every field to its blank value.
  void BlankFields();
  // A copy of the named field's value; 10013 when there is no such field.
  CVariant GetFieldValue(const char* name) const;
  // Checks `value` against the field's type (10014) and stores it; 10013 when
  // there is no such field.
  void PutFieldValue(const char* name, const CVariant& value);
  // Name of the declared field number `number` (from 1); 10023 out of range.
  const char* FieldNameAt(std::int32_t number) const;

 private:
  CHash<CDbField> index_;
  CArray<CDbField*> dataFields_;
  std::int32_t systemFields_[kSystemFieldCount];
};

// Fills an empty `schema` from `description`: a table description file when
// the text contains ".", ":", "\" or "/", a table digest otherwise. Raises
// every failure as a text error (10001 for a bad file, 10032 for a bad digest,
// 60002 when the file cannot be read); the schema then holds no fields.
void LoadSchema(CDbSchema& schema, const std::string& description);

// Whether `description` names a file rather than holding a digest.
bool IsDescriptionPath(const std::string& description);

}  // namespace kd

#endif  // KDDAO_RECORDSET_DB_SCHEMA_H_
