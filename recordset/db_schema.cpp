#include "recordset/db_schema.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/coercion.h"
#include "foundation/errors.h"

namespace kd {

const DbFieldTypeInfo kDbFieldTypes[10] = {
    {DbFieldType::kByte, "Byte", 't'},       {DbFieldType::kBoolean, "Boolean", 'e'},
    {DbFieldType::kInteger, "Integer", 'a'}, {DbFieldType::kLong, "Long", 'o'},
    {DbFieldType::kSingle, "Single", 'i'},   {DbFieldType::kDouble, "Double", 's'},
    {DbFieldType::kDate, "Date", 'n'},       {DbFieldType::kString, "String", 'r'},
    {DbFieldType::kBitmap, "Bitmap", 'h'},   {DbFieldType::kStreamMemory, "StreamMemory", 'l'},
};

namespace {

constexpr std::int32_t kNameIndexBuckets = 127;

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (UpperAscii(*a) != UpperAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

// Record order among fields of one type: names compared byte by byte after
// turning a-z into A-Z, every other byte by its unsigned value.
bool NameBefore(const char* a, const char* b) {
  for (;; ++a, ++b) {
    auto x = static_cast<unsigned char>(UpperAscii(*a));
    auto y = static_cast<unsigned char>(UpperAscii(*b));
    if (x != y) return x < y;
    if (x == 0) return false;
  }
}

const char* const kSystemFieldNames[kSystemFieldCount] = {"UniqueID", "Category", "Dirty",
                                                          "Secret"};

}  // namespace

const DbFieldTypeInfo* FindFieldTypeByKeyword(const std::string& keyword) {
  for (const DbFieldTypeInfo& info : kDbFieldTypes) {
    if (EqualNoCase(info.keyword, keyword.c_str())) return &info;
  }
  return nullptr;
}

const DbFieldTypeInfo* FindFieldTypeByDigestLetter(char letter) {
  for (const DbFieldTypeInfo& info : kDbFieldTypes) {
    if (info.digestLetter == letter) return &info;
  }
  return nullptr;
}

CDbField::CDbField(const std::string& name, DbFieldType type) : type_(type) {
  std::size_t length = name.size() < kMaxFieldNameLength ? name.size() : kMaxFieldNameLength;
  std::memcpy(name_, name.data(), length);
  name_[length] = '\0';
}

CDbSchema::CDbSchema() {
  index_.SetNoCase(true);
  index_.InitHashTable(kNameIndexBuckets);
  std::fill(std::begin(systemFields_), std::end(systemFields_), -1);
}

CDbSchema::~CDbSchema() {
  Clear();
}

void CDbSchema::AddDeclaredField(std::unique_ptr<CDbField> field) {
  Add(field.get());
  index_.Add(field.release());
}

void CDbSchema::Clear() {
  index_.RemoveAll();  // deletes the fields
  RemoveAll();
  dataFields_.RemoveAll();
  std::fill(std::begin(systemFields_), std::end(systemFields_), -1);
}

void CDbSchema::Complete() {
  std::vector<CDbField*> data;
  for (std::int32_t i = 0; i < GetCount(); ++i) {
    CDbField* field = GetAt(i);
    bool system = false;
    for (int s = 0; s < kSystemFieldCount; ++s) {
      if (EqualNoCase(field->GetName(), kSystemFieldNames[s])) {
        systemFields_[s] = i;  // a later field of the same name wins
        system = true;
      }
    }
    if (!system) data.push_back(field);
  }
  std::stable_sort(data.begin(), data.end(), [](const CDbField* a, const CDbField* b) {
    if (a->GetType() != b->GetType()) return a->GetType() < b->GetType();
    return NameBefore(a->GetName(), b->GetName());
  });
  dataFields_.RemoveAll();
  dataFields_.Reserve(static_cast<std::int32_t>(data.size()));
  for (CDbField* field : data)
    dataFields_.Add(field);
}

CDbField* CDbSchema::FindField(const char* name) const {
  return index_.Lookup(name);
}

CDbField* CDbSchema::GetSystemField(SystemField field) const {
  std::int32_t position = systemFields_[static_cast<int>(field)];
  return position < 0 ? nullptr : GetAt(position);
}

CVariant CDbSchema::GetFieldValue(const char* name) const {
  const CDbField* field = FindField(name);
  if (field == nullptr) throw CErrX(kMsgFieldDoesNotExist);
  return field->value;
}

void CDbSchema::PutFieldValue(const char* name, const CVariant& value) {
  CDbField* field = FindField(name);
  if (field == nullptr) throw CErrX(kMsgFieldDoesNotExist);
  // The exact type, by value: a reference counts as another type.
  const VarType type = value.GetType();
  switch (field->GetType()) {
    case DbFieldType::kByte:
    case DbFieldType::kInteger:
    case DbFieldType::kLong:
    case DbFieldType::kSingle:
    case DbFieldType::kDouble:
      if (!IsNumberVarType(type)) break;
      field->value = value;
      return;
    case DbFieldType::kBoolean:
      if (type == VT_BOOL) {
        field->value = value;
        return;
      }
      if (!IsIntegerVarType(type)) break;
      field->value = CVariant::Bool(ChangeType(value, VT_I4).GetI4() != 0);
      return;
    case DbFieldType::kDate:
      if (type != VT_DATE) break;
      field->value = value;
      return;
    case DbFieldType::kString:
      if (type != VT_BSTR) break;
      field->value = value;
      return;
    case DbFieldType::kBitmap:
    case DbFieldType::kStreamMemory:
      if (!value.IsByteArray() && type != VT_NULL && type != VT_EMPTY) break;
      field->value = value;
      return;
  }
  throw CErrX(kMsgInvalidFieldValue);
}

const char* CDbSchema::FieldNameAt(std::int32_t number) const {
  if (number < 1 || number > GetCount()) throw CErrX(kMsgInvalidFieldNumber);
  return GetAt(number - 1)->GetName();
}

}  // namespace kd
