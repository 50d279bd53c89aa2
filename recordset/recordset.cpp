#include "recordset/recordset.h"

#include "bitmap/picture.h"
#include "foundation/codepage.h"
#include "foundation/errors.h"

namespace kd {

namespace {}  // namespace

CRecordset::CRecordset() = default;

CRecordset::~CRecordset() {
  Close();
}

void CRecordset::RequireOpen() const {
  if (!engine_ || !schema_) throw CErrX(kMsgRecordsetNotOpened);
}

void CRecordset::Refresh() {
  const CPdbRecord* current = engine_->GetCurrentRecord();
  if (current != nullptr) {
    schema_->DecodeRecord(*current);
  } else {
    schema_->BlankFields();
  }
}

void CRecordset::Move(std::int32_t position, bool strict) {
  RequireOpen();
  engine_->MoveTo(position, strict);
  Refresh();
}

template <typename Build>
HRESULT CRecordset::Open(const std::u16string& kdxFile, bool save, Build&& buildEngine) {
  return ErrorBoundary([&] {
    Close();
    try {
      schema_ = std::make_unique<CDbSchema>();
      LoadSchema(*schema_, ToAnsi(kdxFile));
      buildEngine();
      Move(0, false);
      if (save) engine_->Save();  // the last step: a failure leaves no file behind
    } catch (...) {
      Close();  // a half-loaded table is never kept
      throw;
    }
  });
}

HRESULT CRecordset::OpenTable(const std::u16string& pdbFile, const std::u16string& kdxFile) {
  return Open(kdxFile, false, [&] {
    engine_ = std::make_unique<CPdbDatabase>(ToAnsi(pdbFile).c_str());
    engine_->Load();
  });
}

HRESULT CRecordset::CreateTable(const std::u16string& pdbFile, const std::u16string& kdxFile,
                                const std::u16string& databaseName,
                                const std::u16string& databaseType, const std::u16string& creator) {
  return Open(kdxFile, true, [&] {
    engine_ = std::make_unique<CPdbDatabase>(ToAnsi(pdbFile).c_str());
    engine_->CreateTable(ToAnsi(databaseName).c_str(), ToAnsi(databaseType).c_str(),
                         ToAnsi(creator).c_str());
  });
}

HRESULT CRecordset::get_CreateOlePicture(const CVariant& byteArrayToConvert, CVariant* value) {
  return PropertyBoundary(value, [&] { return CreateOlePicture(byteArrayToConvert); });
}

HRESULT CRecordset::get_CreateKDBitmap(const CVariant& pictureObjectToConvert, CVariant* value) {
  return PropertyBoundary(value, [&] { return CreateKDBitmap(pictureObjectToConvert); });
}

HRESULT CRecordset::Close() {
  engine_.reset();
  schema_.reset();
  return hr::kOk;
}

HRESULT CRecordset::AddNew() {
  return ErrorBoundary([&] {
    RequireOpen();
    engine_->AddNew();
    schema_->BlankFields();
    // Attributes without a system field start cleared: a fresh ID for each new
    // record, category 0, not secret.
    CPdbRecord& edit = engine_->GetEditRecord();
    if (!schema_->GetSystemField(SystemField::kUniqueID)) edit.uniqueID = 0;
    if (!schema_->GetSystemField(SystemField::kCategory)) edit.category = 0;
    if (!schema_->GetSystemField(SystemField::kDirty)) edit.dirty = false;
    if (!schema_->GetSystemField(SystemField::kSecret)) edit.secret = false;
  });
}

HRESULT CRecordset::CancelUpdate() {
  return ErrorBoundary([&] {
    RequireOpen();
    if (!engine_->IsEditing() && !engine_->IsAdding()) return;
    Refresh();
    engine_->CancelUpdate();
  });
}

HRESULT CRecordset::Delete(std::int32_t mode) {
  return ErrorBoundary([&] {
    RequireOpen();
    engine_->Delete(mode);
  });
}

HRESULT CRecordset::Edit() {
  return ErrorBoundary([&] {
    RequireOpen();
    engine_->Edit();
    // Attributes without a system field keep the current record's values, so
    // an edit neither takes another record's ID nor drops category or secret.
    const CPdbRecord& current = *engine_->GetCurrentRecord();
    CPdbRecord& edit = engine_->GetEditRecord();
    if (!schema_->GetSystemField(SystemField::kUniqueID)) edit.uniqueID = current.uniqueID;
    if (!schema_->GetSystemField(SystemField::kCategory)) edit.category = current.category;
    if (!schema_->GetSystemField(SystemField::kDirty)) edit.dirty = current.dirty;
    if (!schema_->GetSystemField(SystemField::kSecret)) edit.secret = current.secret;
  });
}

HRESULT CRecordset::LookupUniqueID(std::int32_t uniqueID) {
  return ErrorBoundary([&] {
    RequireOpen();
    engine_->LookupUniqueID(static_cast<std::uint32_t>(uniqueID));
    Refresh();
  });
}

HRESULT CRecordset::MoveFirst() {
  return ErrorBoundary([&] { Move(0, false); });
}

HRESULT CRecordset::MoveLast() {
  return ErrorBoundary([&] {
    RequireOpen();
    Move(engine_->GetLiveCount() - 1, false);
  });
}

HRESULT CRecordset::MoveNext() {
  return ErrorBoundary([&] {
    RequireOpen();
    Move(engine_->GetCurrent() + 1, false);
  });
}

HRESULT CRecordset::MovePrevious() {
  return ErrorBoundary([&] {
    RequireOpen();
    Move(engine_->GetCurrent() - 1, false);
  });
}

HRESULT CRecordset::Update() {
  return ErrorBoundary([&] {
    RequireOpen();
    engine_->Update(schema_.get());
  });
}

HRESULT CRecordset::Blank() {
  return ErrorBoundary([&] {
    RequireOpen();
    schema_->BlankFields();
  });
}

HRESULT CRecordset::get_AbsolutePosition(std::int32_t* index) {
  return PropertyBoundary(index, [&] {
    RequireOpen();
    return engine_->GetCurrent();
  });
}

HRESULT CRecordset::put_AbsolutePosition(std::int32_t index) {
  return ErrorBoundary([&] { Move(index, true); });
}

HRESULT CRecordset::get_BOF(std::int16_t* value) {
  return PropertyBoundary(value, [&] {
    RequireOpen();
    return VariantBool(engine_->IsBOF());
  });
}

HRESULT CRecordset::get_EOF(std::int16_t* value) {
  return PropertyBoundary(value, [&] {
    RequireOpen();
    return VariantBool(engine_->IsEOF());
  });
}

HRESULT CRecordset::get_RecordCount(std::int32_t* count) {
  return PropertyBoundary(count, [&] {
    RequireOpen();
    return engine_->GetLiveCount();
  });
}

HRESULT CRecordset::get_AppInfoBlock(CVariant* byteArray) {
  return PropertyBoundary(byteArray, [&] {
    RequireOpen();
    return engine_->GetBlock(InfoBlock::kAppInfo);
  });
}

HRESULT CRecordset::put_AppInfoBlock(const CVariant& value) {
  return ErrorBoundary([&] {
    RequireOpen();
    engine_->SetBlock(InfoBlock::kAppInfo, value);
  });
}

HRESULT CRecordset::get_SortInfoBlock(CVariant* byteArray) {
  return PropertyBoundary(byteArray, [&] {
    RequireOpen();
    return engine_->GetBlock(InfoBlock::kSortInfo);
  });
}

HRESULT CRecordset::put_SortInfoBlock(const CVariant& value) {
  return ErrorBoundary([&] {
    RequireOpen();
    engine_->SetBlock(InfoBlock::kSortInfo, value);
  });
}

HRESULT CRecordset::get_FieldByIndex(std::int32_t fieldIndex, CVariant* value) {
  return PropertyBoundary(value, [&] {
    RequireOpen();
    return schema_->GetFieldValue(schema_->FieldNameAt(fieldIndex));
  });
}

HRESULT CRecordset::put_FieldByIndex(std::int32_t fieldIndex, const CVariant& value) {
  return ErrorBoundary([&] {
    RequireOpen();
    schema_->PutFieldValue(schema_->FieldNameAt(fieldIndex), value);
  });
}

HRESULT CRecordset::get_FieldCount(std::int32_t* count) {
  return PropertyBoundary(count, [&] {
    RequireOpen();
    return schema_->GetCount();
  });
}

HRESULT CRecordset::get_FieldName(std::int32_t fieldIndex, std::u16string* name) {
  return PropertyBoundary(name, [&] {
    RequireOpen();
    return ToWide(schema_->FieldNameAt(fieldIndex));
  });
}

HRESULT CRecordset::get_Field(const std::u16string& fieldName, CVariant* value) {
  return PropertyBoundary(value, [&] {
    RequireOpen();
    return schema_->GetFieldValue(ToAnsi(fieldName).c_str());
  });
}

HRESULT CRecordset::put_Field(const std::u16string& fieldName, const CVariant& value) {
  return ErrorBoundary([&] {
    RequireOpen();
    schema_->PutFieldValue(ToAnsi(fieldName).c_str(), value);
  });
}

}  // namespace kd
