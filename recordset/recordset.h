// CRecordset: the schema-driven recordset. It joins a database engine and a
// loaded table description, and shows each record as named, typed fields.
//
// The public surface is the automation interface IKD_Recordset, operation for
// operation and in its order: every operation returns an HRESULT and hands its
// results back through out-parameters, in the portable automation types
// (CVariant for VARIANT, std::u16string for BSTR, std::int32_t for long,
// std::int16_t automation booleans -1/0 for VARIANT_BOOL). Property halves are
// named as the generated COM interface names them; Field is the default
// member. Every operation except Close runs inside the foundation's error
// boundary. A null out-pointer gives E_POINTER.
//
// While closed, every operation but OpenTable, CreateTable, Close and the two
// picture conversions fails with 10016 "Recordset not opened.".
#ifndef KDDAO_RECORDSET_RECORDSET_H_
#define KDDAO_RECORDSET_RECORDSET_H_

#include <cstdint>
#include <memory>
#include <string>

#include "engine/pdb_database.h"
#include "foundation/hresult.h"
#include "foundation/variant.h"
#include "recordset/db_schema.h"

namespace kd {

class CRecordset {
 public:
  CRecordset();
  ~CRecordset();  // closes, writing nothing
  CRecordset(const CRecordset&) = delete;
  CRecordset& operator=(const CRecordset&) = delete;

  // Closes, loads the table description (a .kdx path or a digest) and the
  // database, and moves to the first record. On failure the recordset stays
  // closed.
  HRESULT OpenTable(const std::u16string& pdbFile, const std::u16string& kdxFile);
  // Drops schema and engine; writes nothing. Succeeds when closed.
  HRESULT Close();
  // Starts a new record with blank fields. Record attributes that no system
  // field declares start cleared (unique ID 0, category 0, not secret).
  HRESULT AddNew();
  // With an edit or addition pending: reloads the fields and clears both marks.
  HRESULT CancelUpdate();
  // Deletes the current record; the fields keep showing it until the next move.
  HRESULT Delete(std::int32_t mode);
  // Starts editing the current record. Record attributes that no system field
  // declares are taken from the current record, so an edit keeps them.
  HRESULT Edit();
  HRESULT LookupUniqueID(std::int32_t uniqueID);
  HRESULT MoveFirst();
  HRESULT MoveLast();
  HRESULT MoveNext();
  HRESULT MovePrevious();
  // Encodes the fields and commits them (the file is rewritten).
  HRESULT Update();
  // Every field to its blank value.
  HRESULT Blank();
  // Closes, loads the description, creates (or overwrites) a new empty
  // database file and moves to it.
  HRESULT CreateTable(const std::u16string& pdbFile, const std::u16string& kdxFile,
                      const std::u16string& databaseName, const std::u16string& databaseType,
                      const std::u16string& creator);
  // A picture object (VT_DISPATCH) from a device bitmap held in a byte array:
  // 10021 unless a one-dimensional byte array of at most 64000 elements; a bad
  // bitmap header gives the text error "bitmap error.". No table needed.
  HRESULT get_CreateOlePicture(const CVariant& byteArrayToConvert, CVariant* value);
  // A device bitmap (byte array) from a picture object: 10024 for anything but
  // a picture, 10026 when its pixels cannot be read. No table needed.
  HRESULT get_CreateKDBitmap(const CVariant& pictureObjectToConvert, CVariant* value);

  HRESULT get_AbsolutePosition(std::int32_t* index);
  HRESULT put_AbsolutePosition(std::int32_t index);
  HRESULT get_BOF(std::int16_t* value);
  HRESULT get_EOF(std::int16_t* value);
  HRESULT get_RecordCount(std::int32_t* count);
  HRESULT get_AppInfoBlock(CVariant* byteArray);
  HRESULT put_AppInfoBlock(const CVariant& value);
  HRESULT get_SortInfoBlock(CVariant* byteArray);
  HRESULT put_SortInfoBlock(const CVariant& value);
  // Fields by number, counting from 1 in declaration order.
  HRESULT get_FieldByIndex(std::int32_t fieldIndex, CVariant* value);
  HRESULT put_FieldByIndex(std::int32_t fieldIndex, const CVariant& value);
  HRESULT get_FieldCount(std::int32_t* count);
  HRESULT get_FieldName(std::int32_t fieldIndex, std::u16string* name);
  // Fields by name, ignoring case (the default member).
  HRESULT get_Field(const std::u16string& fieldName, CVariant* value);
  HRESULT put_Field(const std::u16string& fieldName, const CVariant& value);

  // Beyond the interface, for C++ owners and tools.
  bool IsOpen() const { return engine_ != nullptr; }
  const CDbSchema* GetSchema() const { return schema_.get(); }
  const CPdbDatabase* GetEngine() const { return engine_.get(); }
  // For a CPdbBatch over many Updates; the engine stays the recordset's.
  CPdbDatabase* GetEngine() { return engine_.get(); }

 private:
  void RequireOpen() const;
  void Refresh();
  void Move(std::int32_t position, bool strict);
  // Closes, loads the description, builds the engine, moves to the first
  // record and, with `save` (a new database), saves the file last.
  template <typename Build>
  HRESULT Open(const std::u16string& kdxFile, bool save, Build&& buildEngine);

  std::unique_ptr<CDbSchema> schema_;
  std::unique_ptr<CPdbDatabase> engine_;
};

}  // namespace kd

#endif  // KDDAO_RECORDSET_RECORDSET_H_
