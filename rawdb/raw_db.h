// CRawDB: the raw database object. Each record is an untyped byte buffer (the
// record buffer: the engine's edit record) in which callers read and write
// typed values at byte offsets, walking the record with a running offset, and
// whose attributes they read and set.
//
// The public surface is the automation interface IKD_RawDB, operation for
// operation and in its order: every operation returns an HRESULT and hands its
// results back through out-parameters, in the portable automation types
// (CVariant for VARIANT, std::u16string for BSTR, std::int32_t for long,
// std::int16_t automation booleans -1/0 for VARIANT_BOOL). Property halves are
// named as the generated COM interface names them (get_Int16At, put_Int16At).
// Every operation except Close runs inside the foundation's error boundary, so
// the HRESULT and the thread's error description are exactly what a COM client
// sees. A null out-pointer gives E_POINTER.
//
// While closed, every operation but OpenTable, CreateTable and Close fails with
// 10016 "Recordset not opened.".
#ifndef KDDAO_RAWDB_RAW_DB_H_
#define KDDAO_RAWDB_RAW_DB_H_

#include <cstdint>
#include <memory>
#include <string>

#include "engine/pdb_database.h"
#include "foundation/hresult.h"
#include "foundation/variant.h"

namespace kd {

class CRawDB {
 public:
  CRawDB();
  ~CRawDB();  // closes, writing nothing
  CRawDB(const CRawDB&) = delete;
  CRawDB& operator=(const CRawDB&) = delete;

  // Closes, loads the file and moves to the first record. On failure the object
  // stays closed.
  HRESULT OpenTable(const std::u16string& pdbFile);
  // Drops the open table; writes nothing. Succeeds when closed.
  HRESULT Close();
  // Starts a new record and blanks the record buffer; the cursor stays.
  HRESULT AddNew();
  // With an edit or addition pending: reloads the record buffer from the
  // current record (blank without one) and clears both marks.
  HRESULT CancelUpdate();
  // Deletes the current record in mode `mode` (KD_DeleteMode); rewrites the
  // file. The record buffer keeps the deleted record until the next move.
  HRESULT Delete(std::int32_t mode);
  // Starts editing the current record; the record buffer is not reloaded.
  HRESULT Edit();
  HRESULT LookupUniqueID(std::int32_t uniqueID);
  HRESULT MoveFirst();
  HRESULT MoveLast();
  HRESULT MoveNext();
  HRESULT MovePrevious();
  // Commits the record buffer (limits, unique ID, file rewritten).
  HRESULT Update();
  // Empties the record buffer and clears its attributes.
  HRESULT Blank();
  // Closes, creates (or overwrites) a new empty database file and moves to it.
  HRESULT CreateTable(const std::u16string& pdbFile, const std::u16string& databaseName,
                      const std::u16string& databaseType, const std::u16string& creator);
  // The record buffer's length becomes `offset` (the running offset when
  // negative): cut, or extended with zeros or bytes cut off earlier.
  HRESULT Truncate(std::int32_t offset);

  HRESULT get_AbsolutePosition(std::int32_t* index);
  HRESULT put_AbsolutePosition(std::int32_t index);
  HRESULT get_BOF(std::int16_t* value);
  HRESULT get_EOF(std::int16_t* value);
  HRESULT get_RecordCount(std::int32_t* count);
  HRESULT get_AppInfoBlock(CVariant* byteArray);
  HRESULT put_AppInfoBlock(const CVariant& value);
  HRESULT get_SortInfoBlock(CVariant* byteArray);
  HRESULT put_SortInfoBlock(const CVariant& value);
  HRESULT get_RecordData(CVariant* byteArray);
  HRESULT put_RecordData(const CVariant& value);

  // Typed accessors. A negative offset stands for the running offset, which
  // every successful accessor advances by the bytes it consumed.
  HRESULT get_Int8At(std::int32_t offset, std::int32_t* value);
  HRESULT put_Int8At(std::int32_t offset, std::int32_t value);
  HRESULT get_UInt8At(std::int32_t offset, std::int32_t* value);
  HRESULT put_UInt8At(std::int32_t offset, std::int32_t value);
  HRESULT get_Int16At(std::int32_t offset, std::int32_t* value);
  HRESULT put_Int16At(std::int32_t offset, std::int32_t value);
  HRESULT get_UInt16At(std::int32_t offset, std::int32_t* value);
  HRESULT put_UInt16At(std::int32_t offset, std::int32_t value);
  HRESULT get_Int32At(std::int32_t offset, std::int32_t* value);
  HRESULT put_Int32At(std::int32_t offset, std::int32_t value);
  HRESULT get_UInt32At(std::int32_t offset, std::int32_t* value);
  HRESULT put_UInt32At(std::int32_t offset, std::int32_t value);
  HRESULT get_DoubleAt(std::int32_t offset, double* value);
  HRESULT put_DoubleAt(std::int32_t offset, double value);
  HRESULT get_SingleAt(std::int32_t offset, float* value);
  HRESULT put_SingleAt(std::int32_t offset, float value);
  HRESULT get_DateAt(std::int32_t offset, CVariant* value);
  HRESULT put_DateAt(std::int32_t offset, const CVariant& value);
  HRESULT get_BooleanAt(std::int32_t offset, std::int16_t* value);
  HRESULT put_BooleanAt(std::int32_t offset, std::int16_t value);
  HRESULT get_StringAt(std::int32_t offset, std::u16string* value);
  HRESULT put_StringAt(std::int32_t offset, const std::u16string& value);
  HRESULT get_FixedLengthStringAt(std::int32_t offset, std::int32_t length, std::u16string* value);
  HRESULT put_FixedLengthStringAt(std::int32_t offset, std::int32_t length,
                                  const std::u16string& value);

  // Record attributes of the record buffer; they reach the database through
  // Update.
  HRESULT get_UniqueID(std::int32_t* value);
  HRESULT put_UniqueID(std::int32_t value);
  HRESULT get_Category(std::int32_t* value);
  HRESULT put_Category(std::int32_t value);
  HRESULT get_Dirty(std::int16_t* value);
  HRESULT get_Secret(std::int16_t* value);
  HRESULT put_Secret(std::int16_t value);

  // Beyond the interface, for C++ owners and tests: whether a table is open,
  // and the running offset.
  bool IsOpen() const { return engine_ != nullptr; }
  std::int32_t GetRunningOffset() const { return runningOffset_; }
  // The open table's engine (header fields, deleted records), or null.
  const CPdbDatabase* GetEngine() const { return engine_.get(); }

 private:
  CPdbDatabase& Engine() const;  // raises 10016 while closed
  CPdbRecord& Buffer() const { return Engine().GetEditRecord(); }
  void RefreshBuffer();
  void BlankBuffer();
  void Move(std::int32_t position, bool strict);

  // The offset an accessor works at: `offset`, or the running offset when it
  // is negative.
  std::uint32_t ResolveOffset(std::int32_t offset) const;
  // Checks that `count` bytes at `offset` lie within the record buffer (10030
  // otherwise) and returns them.
  const std::uint8_t* ReadBytes(std::int32_t offset, std::uint32_t count);
  // Writes `count` bytes at `at` under the writing rule (10018 beyond the
  // record size limit).
  void WriteBytesAt(std::uint32_t at, const void* data, std::uint32_t count);
  void WriteBytes(std::int32_t offset, const void* data, std::uint32_t count);
  // Writes the low `width` bytes (1, 2 or 4) of `value`, big-endian.
  void WriteUnsigned(std::int32_t offset, std::uint32_t value, std::uint32_t width);
  void Advance(std::uint64_t count);

  std::unique_ptr<CPdbDatabase> engine_;
  std::int32_t runningOffset_ = 0;
};

}  // namespace kd

#endif  // KDDAO_RAWDB_RAW_DB_H_
