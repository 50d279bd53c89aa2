// KD_Recordset: IKD_Recordset over the portable CRecordset.
#include "server/server_object.h"

#include "recordset/recordset.h"
#include "server/objects.h"

namespace kdcom {

namespace {

using kd::CRecordset;

class CRecordsetObject final : public CServerObject<CRecordsetObject, IKD_Recordset, CRecordset> {
 public:
  explicit CRecordsetObject(IUnknown* outer) : CServerObject(outer) {}
  static CTypeInfoHolder& TypeInfo() { return RecordsetTypeInfo(); }

  HRESULT STDMETHODCALLTYPE OpenTable(BSTR pdbFile, BSTR kdxFile) override {
    return Forward(&CRecordset::OpenTable, pdbFile, kdxFile);
  }
  HRESULT STDMETHODCALLTYPE Close() override { return Forward(&CRecordset::Close); }
  HRESULT STDMETHODCALLTYPE AddNew() override { return Forward(&CRecordset::AddNew); }
  HRESULT STDMETHODCALLTYPE CancelUpdate() override { return Forward(&CRecordset::CancelUpdate); }
  HRESULT STDMETHODCALLTYPE Delete(KD_DeleteMode mode) override {
    return Forward(&CRecordset::Delete, mode);
  }
  HRESULT STDMETHODCALLTYPE Edit() override { return Forward(&CRecordset::Edit); }
  HRESULT STDMETHODCALLTYPE LookupUniqueID(LONG uniqueID) override {
    return Forward(&CRecordset::LookupUniqueID, uniqueID);
  }
  HRESULT STDMETHODCALLTYPE MoveFirst() override { return Forward(&CRecordset::MoveFirst); }
  HRESULT STDMETHODCALLTYPE MoveLast() override { return Forward(&CRecordset::MoveLast); }
  HRESULT STDMETHODCALLTYPE MoveNext() override { return Forward(&CRecordset::MoveNext); }
  HRESULT STDMETHODCALLTYPE MovePrevious() override { return Forward(&CRecordset::MovePrevious); }
  HRESULT STDMETHODCALLTYPE Update() override { return Forward(&CRecordset::Update); }
  HRESULT STDMETHODCALLTYPE Blank() override { return Forward(&CRecordset::Blank); }
  HRESULT STDMETHODCALLTYPE CreateTable(BSTR pdbFile, BSTR kdxFile, BSTR databaseName,
                                        BSTR databaseType, BSTR creator) override {
    return Forward(&CRecordset::CreateTable, pdbFile, kdxFile, databaseName, databaseType, creator);
  }
  HRESULT STDMETHODCALLTYPE get_CreateOlePicture(VARIANT byteArrayToConvert,
                                                 VARIANT* value) override {
    return Forward(&CRecordset::get_CreateOlePicture, byteArrayToConvert, value);
  }
  HRESULT STDMETHODCALLTYPE get_CreateKDBitmap(VARIANT pictureObjectToConvert,
                                               VARIANT* value) override {
    return Forward(&CRecordset::get_CreateKDBitmap, pictureObjectToConvert, value);
  }

  HRESULT STDMETHODCALLTYPE get_AbsolutePosition(LONG* index) override {
    return Forward(&CRecordset::get_AbsolutePosition, index);
  }
  HRESULT STDMETHODCALLTYPE put_AbsolutePosition(LONG index) override {
    return Forward(&CRecordset::put_AbsolutePosition, index);
  }
  HRESULT STDMETHODCALLTYPE get_BOF(VARIANT_BOOL* value) override {
    return Forward(&CRecordset::get_BOF, value);
  }
  HRESULT STDMETHODCALLTYPE get_EOF(VARIANT_BOOL* value) override {
    return Forward(&CRecordset::get_EOF, value);
  }
  HRESULT STDMETHODCALLTYPE get_RecordCount(LONG* count) override {
    return Forward(&CRecordset::get_RecordCount, count);
  }
  HRESULT STDMETHODCALLTYPE get_AppInfoBlock(VARIANT* byteArray) override {
    return Forward(&CRecordset::get_AppInfoBlock, byteArray);
  }
  HRESULT STDMETHODCALLTYPE put_AppInfoBlock(VARIANT byteArray) override {
    return Forward(&CRecordset::put_AppInfoBlock, byteArray);
  }
  HRESULT STDMETHODCALLTYPE get_SortInfoBlock(VARIANT* byteArray) override {
    return Forward(&CRecordset::get_SortInfoBlock, byteArray);
  }
  HRESULT STDMETHODCALLTYPE put_SortInfoBlock(VARIANT byteArray) override {
    return Forward(&CRecordset::put_SortInfoBlock, byteArray);
  }
  HRESULT STDMETHODCALLTYPE get_FieldByIndex(LONG fieldIndex, VARIANT* value) override {
    return Forward(&CRecordset::get_FieldByIndex, fieldIndex, value);
  }
  HRESULT STDMETHODCALLTYPE put_FieldByIndex(LONG fieldIndex, VARIANT value) override {
    return Forward(&CRecordset::put_FieldByIndex, fieldIndex, value);
  }
  HRESULT STDMETHODCALLTYPE get_FieldCount(LONG* count) override {
    return Forward(&CRecordset::get_FieldCount, count);
  }
  HRESULT STDMETHODCALLTYPE get_FieldName(LONG fieldIndex, BSTR* value) override {
    return Forward(&CRecordset::get_FieldName, fieldIndex, value);
  }
  HRESULT STDMETHODCALLTYPE get_Field(BSTR fieldName, VARIANT* value) override {
    return Forward(&CRecordset::get_Field, fieldName, value);
  }
  HRESULT STDMETHODCALLTYPE put_Field(BSTR fieldName, VARIANT value) override {
    return Forward(&CRecordset::put_Field, fieldName, value);
  }
};

}  // namespace

HRESULT CreateRecordset(IUnknown* outer, REFIID iid, void** out) {
  return CRecordsetObject::Create(outer, iid, out);
}

}  // namespace kdcom
