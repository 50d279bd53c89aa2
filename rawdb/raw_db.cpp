#include "rawdb/raw_db.h"

#include <cstring>
#include <limits>
#include <string>

#include "engine/palm_time.h"
#include "foundation/byte_order.h"
#include "foundation/codepage.h"
#include "foundation/errors.h"

namespace kd {

namespace {

constexpr std::uint32_t kRecordLimit = pdb::kRecordSizeLimit;

// Narrow text of an automation string, up to its first zero character.
std::string NarrowText(const std::u16string& value) {
  std::string narrow = ToAnsi(value);
  narrow.resize(std::strlen(narrow.c_str()));
  return narrow;
}

}  // namespace

CRawDB::CRawDB() = default;

CRawDB::~CRawDB() {
  Close();
}

// ---- state -------------------------------------------------------------------

CPdbDatabase& CRawDB::Engine() const {
  if (!engine_) throw CErrX(kMsgRecordsetNotOpened);
  return *engine_;
}

void CRawDB::RefreshBuffer() {
  const CPdbRecord* current = Engine().GetCurrentRecord();
  if (current == nullptr) {
    BlankBuffer();
    return;
  }
  runningOffset_ = 0;
  Buffer().CopyFrom(*current);
}

void CRawDB::BlankBuffer() {
  runningOffset_ = 0;
  Buffer().Blank();
}

void CRawDB::Move(std::int32_t position, bool strict) {
  Engine().MoveTo(position, strict);
  RefreshBuffer();
}

// ---- opening and closing ---------------------------------------------------------

HRESULT CRawDB::OpenTable(const std::u16string& pdbFile) {
  return ErrorBoundary([&] {
    Close();
    try {
      engine_ = std::make_unique<CPdbDatabase>(ToAnsi(pdbFile).c_str());
      engine_->Load();
      Move(0, false);
    } catch (...) {
      engine_.reset();
      throw;
    }
  });
}

HRESULT CRawDB::Close() {
  engine_.reset();
  runningOffset_ = 0;
  return hr::kOk;
}

HRESULT CRawDB::CreateTable(const std::u16string& pdbFile, const std::u16string& databaseName,
                            const std::u16string& databaseType, const std::u16string& creator) {
  return ErrorBoundary([&] {
    Close();
    try {
      engine_ = std::make_unique<CPdbDatabase>(ToAnsi(pdbFile).c_str());
      engine_->CreateTable(NarrowText(databaseName).c_str(), NarrowText(databaseType).c_str(),
                           NarrowText(creator).c_str());
      Move(0, false);
      engine_->Save();  // the last step: a failure leaves no file behind
    } catch (...) {
      engine_.reset();
      throw;
    }
  });
}

// ---- cursor --------------------------------------------------------------------

HRESULT CRawDB::MoveFirst() {
  return ErrorBoundary([&] { Move(0, false); });
}

HRESULT CRawDB::MoveLast() {
  return ErrorBoundary([&] { Move(Engine().GetLiveCount() - 1, false); });
}

HRESULT CRawDB::MoveNext() {
  return ErrorBoundary([&] { Move(Engine().GetCurrent() + 1, false); });
}

HRESULT CRawDB::MovePrevious() {
  return ErrorBoundary([&] { Move(Engine().GetCurrent() - 1, false); });
}

HRESULT CRawDB::LookupUniqueID(std::int32_t uniqueID) {
  return ErrorBoundary([&] {
    Engine().LookupUniqueID(static_cast<std::uint32_t>(uniqueID));
    RefreshBuffer();
  });
}

HRESULT CRawDB::get_AbsolutePosition(std::int32_t* index) {
  return PropertyBoundary(index, [&] { return Engine().GetCurrent(); });
}

HRESULT CRawDB::put_AbsolutePosition(std::int32_t index) {
  return ErrorBoundary([&] { Move(index, true); });
}

HRESULT CRawDB::get_BOF(std::int16_t* value) {
  return PropertyBoundary(value, [&] { return VariantBool(Engine().IsBOF()); });
}

HRESULT CRawDB::get_EOF(std::int16_t* value) {
  return PropertyBoundary(value, [&] { return VariantBool(Engine().IsEOF()); });
}

HRESULT CRawDB::get_RecordCount(std::int32_t* count) {
  return PropertyBoundary(count, [&] { return Engine().GetLiveCount(); });
}

// ---- editing ---------------------------------------------------------------------

HRESULT CRawDB::AddNew() {
  return ErrorBoundary([&] {
    Engine().AddNew();
    BlankBuffer();
  });
}

HRESULT CRawDB::Edit() {
  return ErrorBoundary([&] { Engine().Edit(); });
}

HRESULT CRawDB::Update() {
  return ErrorBoundary([&] { Engine().Update(nullptr); });
}

HRESULT CRawDB::CancelUpdate() {
  return ErrorBoundary([&] {
    if (Engine().CancelUpdate()) RefreshBuffer();
  });
}

HRESULT CRawDB::Delete(std::int32_t mode) {
  return ErrorBoundary([&] { Engine().Delete(mode); });
}

HRESULT CRawDB::Blank() {
  return ErrorBoundary([&] {
    Engine();
    BlankBuffer();
  });
}

// ---- whole buffers -----------------------------------------------------------------

HRESULT CRawDB::get_AppInfoBlock(CVariant* byteArray) {
  return PropertyBoundary(byteArray, [&] { return Engine().GetBlock(InfoBlock::kAppInfo); });
}

HRESULT CRawDB::put_AppInfoBlock(const CVariant& value) {
  return ErrorBoundary([&] { Engine().SetBlock(InfoBlock::kAppInfo, value); });
}

HRESULT CRawDB::get_SortInfoBlock(CVariant* byteArray) {
  return PropertyBoundary(byteArray, [&] { return Engine().GetBlock(InfoBlock::kSortInfo); });
}

HRESULT CRawDB::put_SortInfoBlock(const CVariant& value) {
  return ErrorBoundary([&] { Engine().SetBlock(InfoBlock::kSortInfo, value); });
}

HRESULT CRawDB::get_RecordData(CVariant* byteArray) {
  return PropertyBoundary(byteArray, [&] {
    const CPdbRecord& buffer = Buffer();
    return CVariant::Array(CSafeArray::Bytes(buffer.GetBuffer(), buffer.Size()));
  });
}

HRESULT CRawDB::put_RecordData(const CVariant& value) {
  return ErrorBoundary([&] {
    CPdbRecord& buffer = Buffer();
    VarType type = value.GetType();
    if (type == VT_EMPTY || type == VT_NULL) {
      buffer.Seek(0);
      buffer.Truncate();
      return;
    }
    if (!value.IsByteArray()) throw CErrX(kMsgInvalidFieldValue);
    const CSafeArray& array = value.GetArray();
    if (array.GetDimensions() != 1 || array.GetElementCount() >= kRecordLimit) {
      throw CErrX(kMsgNotByteArray);
    }
    // The bytes past the new end stay in the buffer, cut off.
    auto count = static_cast<std::uint32_t>(array.GetElementCount());
    buffer.Seek(0);
    buffer.Write(array.GetData().data(), count);
    buffer.Truncate();
  });
}

HRESULT CRawDB::Truncate(std::int32_t offset) {
  return ErrorBoundary([&] {
    CPdbRecord& buffer = Buffer();
    buffer.Seek(ResolveOffset(offset));  // extends with zeros or bytes cut off earlier
    buffer.Truncate();
  });
}

// ---- offsets and the reading and writing rules ---------------------------------------

std::uint32_t CRawDB::ResolveOffset(std::int32_t offset) const {
  return static_cast<std::uint32_t>(offset < 0 ? runningOffset_ : offset);
}

void CRawDB::Advance(std::uint64_t count) {
  std::uint64_t next = static_cast<std::uint64_t>(runningOffset_) + count;
  runningOffset_ = next > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())
                       ? std::numeric_limits<std::int32_t>::max()
                       : static_cast<std::int32_t>(next);
}

const std::uint8_t* CRawDB::ReadBytes(std::int32_t offset, std::uint32_t count) {
  const CPdbRecord& buffer = Buffer();
  std::uint32_t at = ResolveOffset(offset);
  if (static_cast<std::uint64_t>(at) + count > buffer.Size()) throw CErrX(kMsgReadOutsideRecord);
  Advance(count);
  return buffer.GetBuffer() + at;
}

void CRawDB::WriteBytesAt(std::uint32_t at, const void* data, std::uint32_t count) {
  if (static_cast<std::uint64_t>(at) + count > kRecordLimit) throw CErrX(kMsgRecordTooLarge);
  CPdbRecord& buffer = Buffer();
  buffer.Seek(at);  // a gap before `at` gets zeros, or bytes cut off earlier
  buffer.Write(data, count);
  Advance(count);
}

void CRawDB::WriteBytes(std::int32_t offset, const void* data, std::uint32_t count) {
  WriteBytesAt(ResolveOffset(offset), data, count);
}

void CRawDB::WriteUnsigned(std::int32_t offset, std::uint32_t value, std::uint32_t width) {
  std::uint8_t bytes[4];
  StoreBigEndianN(bytes, value, width);  // the low `width` bytes
  WriteBytes(offset, bytes, width);
}

// ---- typed accessors ------------------------------------------------------------------

HRESULT CRawDB::get_Int8At(std::int32_t offset, std::int32_t* value) {
  return PropertyBoundary(
      value, [&] { return std::int32_t{static_cast<std::int8_t>(*ReadBytes(offset, 1))}; });
}

HRESULT CRawDB::put_Int8At(std::int32_t offset, std::int32_t value) {
  return ErrorBoundary([&] { WriteUnsigned(offset, static_cast<std::uint32_t>(value), 1); });
}

HRESULT CRawDB::get_UInt8At(std::int32_t offset, std::int32_t* value) {
  return PropertyBoundary(value, [&] { return std::int32_t{*ReadBytes(offset, 1)}; });
}

HRESULT CRawDB::put_UInt8At(std::int32_t offset, std::int32_t value) {
  return put_Int8At(offset, value);
}

HRESULT CRawDB::get_Int16At(std::int32_t offset, std::int32_t* value) {
  return PropertyBoundary(value, [&] {
    return std::int32_t{static_cast<std::int16_t>(LoadBigEndian16(ReadBytes(offset, 2)))};
  });
}

HRESULT CRawDB::put_Int16At(std::int32_t offset, std::int32_t value) {
  return ErrorBoundary([&] { WriteUnsigned(offset, static_cast<std::uint32_t>(value), 2); });
}

HRESULT CRawDB::get_UInt16At(std::int32_t offset, std::int32_t* value) {
  return PropertyBoundary(value,
                          [&] { return std::int32_t{LoadBigEndian16(ReadBytes(offset, 2))}; });
}

HRESULT CRawDB::put_UInt16At(std::int32_t offset, std::int32_t value) {
  return put_Int16At(offset, value);
}

HRESULT CRawDB::get_Int32At(std::int32_t offset, std::int32_t* value) {
  return PropertyBoundary(
      value, [&] { return static_cast<std::int32_t>(LoadBigEndian32(ReadBytes(offset, 4))); });
}

HRESULT CRawDB::put_Int32At(std::int32_t offset, std::int32_t value) {
  return ErrorBoundary([&] { WriteUnsigned(offset, static_cast<std::uint32_t>(value), 4); });
}

HRESULT CRawDB::get_UInt32At(std::int32_t offset, std::int32_t* value) {
  return get_Int32At(offset, value);  // the same 32 bits, read as signed
}

HRESULT CRawDB::put_UInt32At(std::int32_t offset, std::int32_t value) {
  return put_Int32At(offset, value);
}

HRESULT CRawDB::get_DoubleAt(std::int32_t offset, double* value) {
  return PropertyBoundary(value,
                          [&] { return DoubleOfBits(LoadBigEndian64(ReadBytes(offset, 8))); });
}

HRESULT CRawDB::put_DoubleAt(std::int32_t offset, double value) {
  return ErrorBoundary([&] {
    std::uint8_t bytes[8];
    StoreBigEndian64(bytes, BitsOfDouble(value));
    WriteBytes(offset, bytes, 8);
  });
}

HRESULT CRawDB::get_SingleAt(std::int32_t offset, float* value) {
  return PropertyBoundary(value,
                          [&] { return FloatOfBits(LoadBigEndian32(ReadBytes(offset, 4))); });
}

HRESULT CRawDB::put_SingleAt(std::int32_t offset, float value) {
  return ErrorBoundary([&] {
    std::uint8_t bytes[4];
    StoreBigEndian32(bytes, BitsOfFloat(value));
    WriteBytes(offset, bytes, 4);
  });
}

HRESULT CRawDB::get_DateAt(std::int32_t offset, CVariant* value) {
  return PropertyBoundary(value, [&] {
    return CVariant::Date(DateFromPalmTime(LoadBigEndian32(ReadBytes(offset, 4))));
  });
}

HRESULT CRawDB::put_DateAt(std::int32_t offset, const CVariant& value) {
  return ErrorBoundary([&] {
    Engine();
    if (value.GetType() != VT_DATE) throw CErrX(kMsgNotDate);  // no conversion, no reference
    std::uint8_t bytes[4];
    StoreBigEndian32(bytes, PalmTimeFromDate(value.GetDate()));
    WriteBytes(offset, bytes, 4);
  });
}

HRESULT CRawDB::get_BooleanAt(std::int32_t offset, std::int16_t* value) {
  return PropertyBoundary(value, [&] { return VariantBool(*ReadBytes(offset, 1) != 0); });
}

HRESULT CRawDB::put_BooleanAt(std::int32_t offset, std::int16_t value) {
  return ErrorBoundary([&] {
    std::uint8_t byte = value != 0 ? 0xFF : 0x00;
    WriteBytes(offset, &byte, 1);
  });
}

HRESULT CRawDB::get_StringAt(std::int32_t offset, std::u16string* value) {
  return PropertyBoundary(value, [&] {
    const CPdbRecord& buffer = Buffer();
    std::uint32_t at = ResolveOffset(offset);
    if (at > buffer.Size()) throw CErrX(kMsgReadOutsideRecord);
    const std::uint8_t* start = buffer.GetBuffer() + at;
    const void* zero = at < buffer.Size() ? std::memchr(start, 0, buffer.Size() - at) : nullptr;
    if (zero == nullptr) throw CErrX(kMsgNoStringTerminator);
    auto length = static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(zero) - start);
    std::u16string text = ToWide(std::string(reinterpret_cast<const char*>(start), length));
    Advance(std::uint64_t{length} + 1);
    return text;
  });
}

HRESULT CRawDB::put_StringAt(std::int32_t offset, const std::u16string& value) {
  return ErrorBoundary([&] {
    Engine();
    std::string narrow = NarrowText(value);
    if (narrow.size() > kRecordLimit) throw CErr(kMsgRecordTooLarge);
    if (narrow.empty()) return;  // nothing written, the running offset stays
    WriteBytes(offset, narrow.c_str(), static_cast<std::uint32_t>(narrow.size() + 1));
  });
}

HRESULT CRawDB::get_FixedLengthStringAt(std::int32_t offset, std::int32_t length,
                                        std::u16string* value) {
  return PropertyBoundary(value, [&] {
    Engine();
    if (length < 0) throw CErrX(kMsgReadOutsideRecord);  // no region has a negative length
    if (length == 0) return std::u16string();
    const std::uint8_t* bytes = ReadBytes(offset, static_cast<std::uint32_t>(length));
    const void* zero = std::memchr(bytes, 0, static_cast<std::size_t>(length));
    std::size_t size = zero != nullptr ? static_cast<const std::uint8_t*>(zero) - bytes
                                       : static_cast<std::size_t>(length);
    return ToWide(std::string(reinterpret_cast<const char*>(bytes), size));
  });
}

HRESULT CRawDB::put_FixedLengthStringAt(std::int32_t offset, std::int32_t length,
                                        const std::u16string& value) {
  return ErrorBoundary([&] {
    Engine();
    std::string narrow = NarrowText(value);
    auto size = static_cast<std::int64_t>(narrow.size());
    if (size > kRecordLimit || length > static_cast<std::int32_t>(kRecordLimit)) {
      throw CErr(kMsgRecordTooLarge);
    }
    if (size > length) throw CErr(kMsgFixedStringTooLong);
    if (size == 0) return;
    // The string bytes first, then the zeros that fill the field: when only the
    // zeros cross the record size limit, the string bytes stay written.
    std::uint32_t at = ResolveOffset(offset);
    WriteBytesAt(at, narrow.data(), static_cast<std::uint32_t>(size));
    std::string zeros(static_cast<std::size_t>(length - size), '\0');
    WriteBytesAt(at + static_cast<std::uint32_t>(size), zeros.data(),
                 static_cast<std::uint32_t>(zeros.size()));
  });
}

// ---- record attributes --------------------------------------------------------------------

HRESULT CRawDB::get_UniqueID(std::int32_t* value) {
  return PropertyBoundary(value, [&] { return static_cast<std::int32_t>(Buffer().uniqueID); });
}

HRESULT CRawDB::put_UniqueID(std::int32_t value) {
  return ErrorBoundary([&] { Buffer().uniqueID = static_cast<std::uint32_t>(value); });
}

HRESULT CRawDB::get_Category(std::int32_t* value) {
  return PropertyBoundary(value, [&] { return std::int32_t{Buffer().category}; });
}

HRESULT CRawDB::put_Category(std::int32_t value) {
  return ErrorBoundary(
      [&] { Buffer().category = static_cast<std::uint8_t>(value & pdb::kAttrCategoryMask); });
}

HRESULT CRawDB::get_Dirty(std::int16_t* value) {
  return PropertyBoundary(value, [&] { return VariantBool(Buffer().dirty); });
}

HRESULT CRawDB::get_Secret(std::int16_t* value) {
  return PropertyBoundary(value, [&] { return VariantBool(Buffer().secret); });
}

HRESULT CRawDB::put_Secret(std::int16_t value) {
  return ErrorBoundary([&] { Buffer().secret = value != 0; });
}

}  // namespace kd
