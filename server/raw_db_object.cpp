// KD_RawDB: IKD_RawDB over the portable CRawDB.
#include "server/server_object.h"

#include "rawdb/raw_db.h"
#include "server/objects.h"

namespace kdcom {

namespace {

using kd::CRawDB;

class CRawDBObject final : public CServerObject<CRawDBObject, IKD_RawDB, CRawDB> {
 public:
  explicit CRawDBObject(IUnknown* outer) : CServerObject(outer) {}
  static CTypeInfoHolder& TypeInfo() { return RawDBTypeInfo(); }

  HRESULT STDMETHODCALLTYPE OpenTable(BSTR pdbFile) override {
    return Forward(&CRawDB::OpenTable, pdbFile);
  }
  HRESULT STDMETHODCALLTYPE Close() override { return Forward(&CRawDB::Close); }
  HRESULT STDMETHODCALLTYPE AddNew() override { return Forward(&CRawDB::AddNew); }
  HRESULT STDMETHODCALLTYPE CancelUpdate() override { return Forward(&CRawDB::CancelUpdate); }
  HRESULT STDMETHODCALLTYPE Delete(KD_DeleteMode mode) override {
    return Forward(&CRawDB::Delete, mode);
  }
  HRESULT STDMETHODCALLTYPE Edit() override { return Forward(&CRawDB::Edit); }
  HRESULT STDMETHODCALLTYPE LookupUniqueID(LONG uniqueID) override {
    return Forward(&CRawDB::LookupUniqueID, uniqueID);
  }
  HRESULT STDMETHODCALLTYPE MoveFirst() override { return Forward(&CRawDB::MoveFirst); }
  HRESULT STDMETHODCALLTYPE MoveLast() override { return Forward(&CRawDB::MoveLast); }
  HRESULT STDMETHODCALLTYPE MoveNext() override { return Forward(&CRawDB::MoveNext); }
  HRESULT STDMETHODCALLTYPE MovePrevious() override { return Forward(&CRawDB::MovePrevious); }
  HRESULT STDMETHODCALLTYPE Update() override { return Forward(&CRawDB::Update); }
  HRESULT STDMETHODCALLTYPE Blank() override { return Forward(&CRawDB::Blank); }
  HRESULT STDMETHODCALLTYPE CreateTable(BSTR pdbFile, BSTR databaseName, BSTR databaseType,
                                        BSTR creator) override {
    return Forward(&CRawDB::CreateTable, pdbFile, databaseName, databaseType, creator);
  }
  HRESULT STDMETHODCALLTYPE Truncate(LONG offset) override {
    return Forward(&CRawDB::Truncate, offset);
  }

  HRESULT STDMETHODCALLTYPE get_AbsolutePosition(LONG* index) override {
    return Forward(&CRawDB::get_AbsolutePosition, index);
  }
  HRESULT STDMETHODCALLTYPE put_AbsolutePosition(LONG index) override {
    return Forward(&CRawDB::put_AbsolutePosition, index);
  }
  HRESULT STDMETHODCALLTYPE get_BOF(VARIANT_BOOL* value) override {
    return Forward(&CRawDB::get_BOF, value);
  }
  HRESULT STDMETHODCALLTYPE get_EOF(VARIANT_BOOL* value) override {
    return Forward(&CRawDB::get_EOF, value);
  }
  HRESULT STDMETHODCALLTYPE get_RecordCount(LONG* count) override {
    return Forward(&CRawDB::get_RecordCount, count);
  }
  HRESULT STDMETHODCALLTYPE get_AppInfoBlock(VARIANT* byteArray) override {
    return Forward(&CRawDB::get_AppInfoBlock, byteArray);
  }
  HRESULT STDMETHODCALLTYPE put_AppInfoBlock(VARIANT byteArray) override {
    return Forward(&CRawDB::put_AppInfoBlock, byteArray);
  }
  HRESULT STDMETHODCALLTYPE get_SortInfoBlock(VARIANT* byteArray) override {
    return Forward(&CRawDB::get_SortInfoBlock, byteArray);
  }
  HRESULT STDMETHODCALLTYPE put_SortInfoBlock(VARIANT byteArray) override {
    return Forward(&CRawDB::put_SortInfoBlock, byteArray);
  }
  HRESULT STDMETHODCALLTYPE get_RecordData(VARIANT* byteArray) override {
    return Forward(&CRawDB::get_RecordData, byteArray);
  }
  HRESULT STDMETHODCALLTYPE put_RecordData(VARIANT byteArray) override {
    return Forward(&CRawDB::put_RecordData, byteArray);
  }

  HRESULT STDMETHODCALLTYPE get_Int8At(LONG offset, LONG* value) override {
    return Forward(&CRawDB::get_Int8At, offset, value);
  }
  HRESULT STDMETHODCALLTYPE put_Int8At(LONG offset, LONG value) override {
    return Forward(&CRawDB::put_Int8At, offset, value);
  }
  HRESULT STDMETHODCALLTYPE get_UInt8At(LONG offset, LONG* value) override {
    return Forward(&CRawDB::get_UInt8At, offset, value);
  }
  HRESULT STDMETHODCALLTYPE put_UInt8At(LONG offset, LONG value) override {
    return Forward(&CRawDB::put_UInt8At, offset, value);
  }
  HRESULT STDMETHODCALLTYPE get_Int16At(LONG offset, LONG* value) override {
    return Forward(&CRawDB::get_Int16At, offset, value);
  }
  HRESULT STDMETHODCALLTYPE put_Int16At(LONG offset, LONG value) override {
    return Forward(&CRawDB::put_Int16At, offset, value);
  }
  HRESULT STDMETHODCALLTYPE get_UInt16At(LONG offset, LONG* value) override {
    return Forward(&CRawDB::get_UInt16At, offset, value);
  }
  HRESULT STDMETHODCALLTYPE put_UInt16At(LONG offset, LONG value) override {
    return Forward(&CRawDB::put_UInt16At, offset, value);
  }
  HRESULT STDMETHODCALLTYPE get_Int32At(LONG offset, LONG* value) override {
    return Forward(&CRawDB::get_Int32At, offset, value);
  }
  HRESULT STDMETHODCALLTYPE put_Int32At(LONG offset, LONG value) override {
    return Forward(&CRawDB::put_Int32At, offset, value);
  }
  HRESULT STDMETHODCALLTYPE get_UInt32At(LONG offset, LONG* value) override {
    return Forward(&CRawDB::get_UInt32At, offset, value);
  }
  HRESULT STDMETHODCALLTYPE put_UInt32At(LONG offset, LONG value) override {
    return Forward(&CRawDB::put_UInt32At, offset, value);
  }
  HRESULT STDMETHODCALLTYPE get_DoubleAt(LONG offset, double* value) override {
    return Forward(&CRawDB::get_DoubleAt, offset, value);
  }
  HRESULT STDMETHODCALLTYPE put_DoubleAt(LONG offset, double value) override {
    return Forward(&CRawDB::put_DoubleAt, offset, value);
  }
  HRESULT STDMETHODCALLTYPE get_SingleAt(LONG offset, float* value) override {
    return Forward(&CRawDB::get_SingleAt, offset, value);
  }
  HRESULT STDMETHODCALLTYPE put_SingleAt(LONG offset, float value) override {
    return Forward(&CRawDB::put_SingleAt, offset, value);
  }
  HRESULT STDMETHODCALLTYPE get_DateAt(LONG offset, VARIANT* value) override {
    return Forward(&CRawDB::get_DateAt, offset, value);
  }
  HRESULT STDMETHODCALLTYPE put_DateAt(LONG offset, VARIANT value) override {
    return Forward(&CRawDB::put_DateAt, offset, value);
  }
  HRESULT STDMETHODCALLTYPE get_BooleanAt(LONG offset, VARIANT_BOOL* value) override {
    return Forward(&CRawDB::get_BooleanAt, offset, value);
  }
  HRESULT STDMETHODCALLTYPE put_BooleanAt(LONG offset, VARIANT_BOOL value) override {
    return Forward(&CRawDB::put_BooleanAt, offset, value);
  }
  HRESULT STDMETHODCALLTYPE get_StringAt(LONG offset, BSTR* value) override {
    return Forward(&CRawDB::get_StringAt, offset, value);
  }
  HRESULT STDMETHODCALLTYPE put_StringAt(LONG offset, BSTR value) override {
    return Forward(&CRawDB::put_StringAt, offset, value);
  }
  HRESULT STDMETHODCALLTYPE get_FixedLengthStringAt(LONG offset, LONG length,
                                                    BSTR* value) override {
    return Forward(&CRawDB::get_FixedLengthStringAt, offset, length, value);
  }
  HRESULT STDMETHODCALLTYPE put_FixedLengthStringAt(LONG offset, LONG length, BSTR value) override {
    return Forward(&CRawDB::put_FixedLengthStringAt, offset, length, value);
  }

  HRESULT STDMETHODCALLTYPE get_UniqueID(LONG* value) override {
    return Forward(&CRawDB::get_UniqueID, value);
  }
  HRESULT STDMETHODCALLTYPE put_UniqueID(LONG value) override {
    return Forward(&CRawDB::put_UniqueID, value);
  }
  HRESULT STDMETHODCALLTYPE get_Category(LONG* value) override {
    return Forward(&CRawDB::get_Category, value);
  }
  HRESULT STDMETHODCALLTYPE put_Category(LONG value) override {
    return Forward(&CRawDB::put_Category, value);
  }
  HRESULT STDMETHODCALLTYPE get_Dirty(VARIANT_BOOL* value) override {
    return Forward(&CRawDB::get_Dirty, value);
  }
  HRESULT STDMETHODCALLTYPE get_Secret(VARIANT_BOOL* value) override {
    return Forward(&CRawDB::get_Secret, value);
  }
  HRESULT STDMETHODCALLTYPE put_Secret(VARIANT_BOOL value) override {
    return Forward(&CRawDB::put_Secret, value);
  }
};

}  // namespace

HRESULT CreateRawDB(IUnknown* outer, REFIID iid, void** out) {
  return CRawDBObject::Create(outer, iid, out);
}

}  // namespace kdcom
