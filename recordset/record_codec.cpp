// The record codec: how the data fields of a table description are laid out in
// a record's bytes, and how system fields map to record attributes.
//
// Data fields follow one another in record order, with no header, names or
// counts; multi-byte numbers are big-endian:
//
//   TYPE          BYTES
//   Byte          1, unsigned
//   Boolean       1: 255 true, 0 false (any nonzero reads as true)
//   Integer       2, two's complement
//   Long          4, two's complement
//   Single        4, IEEE 754
//   Double        8, IEEE 754
//   Date          4, Palm time
//   String        the text in the ANSI code page, then one zero byte
//   Bitmap        a device bitmap as stored (bitmap/device_bitmap.h): its
//                 16-byte header, then DeviceBitmapLength - 16 bytes of rows
//   StreamMemory  "s" "m", a 4-byte length n, n bytes
//
// Padding: a running count of one-byte fields (Byte, Boolean); before any
// other field an odd count takes one pad byte and returns to 0; before a
// Bitmap or StreamMemory field an odd position takes one more pad byte.
#include <cstring>
#include <string>

#include "bitmap/device_bitmap.h"
#include "engine/palm_time.h"
#include "engine/pdb_format.h"
#include "engine/pdb_record.h"
#include "foundation/byte_order.h"
#include "foundation/codepage.h"
#include "foundation/coercion.h"
#include "foundation/errors.h"
#include "recordset/db_schema.h"

namespace kd {

namespace {

constexpr std::size_t kMaxEmbeddedArray = 64000;  // longer values are not stored
constexpr std::uint32_t kMaxEncodedRecord = 65520;

// What a Bitmap field stores for a value it cannot: no pixels, rowBytes 2,
// density 72, depth 0.
DeviceBitmapHeader PlaceholderBitmap() {
  DeviceBitmapHeader header;
  header.rowBytes = 2;
  header.density = 72;
  return header;
}

bool IsOneByteType(DbFieldType type) {
  return type == DbFieldType::kByte || type == DbFieldType::kBoolean;
}

bool IsBlockType(DbFieldType type) {
  return type == DbFieldType::kBitmap || type == DbFieldType::kStreamMemory;
}

// Tracks the padding rule while walking the data fields.
class PaddingRule {
 public:
  // Pad bytes needed before a field of `type` at `position`.
  std::uint32_t PadBefore(DbFieldType type, std::uint64_t position) {
    if (IsOneByteType(type)) {
      ++oneByteFields_;
      return 0;
    }
    std::uint32_t pad = 0;
    if (oneByteFields_ % 2 != 0) pad = 1;
    oneByteFields_ = 0;
    if (IsBlockType(type) && (position + pad) % 2 != 0) ++pad;
    return pad;
  }

 private:
  std::uint32_t oneByteFields_ = 0;
};

// Reads a record's bytes, refusing to go past their end.
class RecordReader {
 public:
  explicit RecordReader(const CPdbRecord& record)
      : bytes_(record.GetBuffer()), size_(record.Size()) {}

  std::uint64_t Position() const { return position_; }
  void Skip(std::uint32_t count) { position_ += count; }
  const std::uint8_t* Take(std::uint64_t count) {
    if (position_ + count > size_) throw CErrX(kMsgReadOutsideRecord);
    const std::uint8_t* at = bytes_ + position_;
    position_ += count;
    return at;
  }
  // The text up to the next zero byte, which is consumed.
  std::string TakeString() {
    if (position_ > size_) throw CErrX(kMsgReadOutsideRecord);
    const std::uint8_t* start = bytes_ + position_;
    const void* zero = position_ < size_ ? std::memchr(start, 0, size_ - position_) : nullptr;
    if (zero == nullptr) throw CErrX(kMsgNoStringTerminator);
    std::size_t length = static_cast<const std::uint8_t*>(zero) - start;
    position_ += length + 1;
    return std::string(reinterpret_cast<const char*>(start), length);
  }

 private:
  const std::uint8_t* bytes_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
};

CVariant ByteArray(const std::uint8_t* data, std::size_t count) {
  return CVariant::Array(CSafeArray::Bytes(data, count));
}

CVariant DecodeBitmap(RecordReader& reader) {
  const std::uint8_t* bytes = reader.Take(kDeviceBitmapHeaderSize);
  const DeviceBitmapHeader header = ReadDeviceBitmapHeader(bytes);
  if (header.signature != kDeviceBitmapSignature) throw CErr(kMsgInvalidBitmapHeader, 0);
  if (header.version != kDeviceBitmapVersion) {
    throw CErr(kMsgInvalidBitmapHeader, static_cast<int>(header.version));
  }
  const std::int64_t length = DeviceBitmapLength(header);
  // No bitmap is shorter than its header.
  if (length < std::int64_t{kDeviceBitmapHeaderSize}) throw CErrX(kMsgReadOutsideRecord);
  reader.Take(static_cast<std::uint64_t>(length) - kDeviceBitmapHeaderSize);  // the rows
  return ByteArray(bytes, static_cast<std::size_t>(length));
}

CVariant DecodeStream(RecordReader& reader) {
  reader.Take(2);  // the "sm" mark, not tested
  std::uint32_t length = LoadBigEndian32(reader.Take(4));
  return ByteArray(reader.Take(length), length);
}

CVariant DecodeField(DbFieldType type, RecordReader& reader) {
  switch (type) {
    case DbFieldType::kByte:
      return CVariant::UI1(*reader.Take(1));
    case DbFieldType::kBoolean:
      return CVariant::Bool(*reader.Take(1) != 0);
    case DbFieldType::kInteger:
      return CVariant::I2(static_cast<std::int16_t>(LoadBigEndian16(reader.Take(2))));
    case DbFieldType::kLong:
      return CVariant::I4(static_cast<std::int32_t>(LoadBigEndian32(reader.Take(4))));
    case DbFieldType::kSingle:
      return CVariant::R4(FloatOfBits(LoadBigEndian32(reader.Take(4))));
    case DbFieldType::kDouble:
      return CVariant::R8(DoubleOfBits(LoadBigEndian64(reader.Take(8))));
    case DbFieldType::kDate:
      return CVariant::Date(DateFromPalmTime(LoadBigEndian32(reader.Take(4))));
    case DbFieldType::kString:
      return CVariant::String(ToWide(reader.TakeString()));
    case DbFieldType::kBitmap:
      return DecodeBitmap(reader);
    case DbFieldType::kStreamMemory:
      return DecodeStream(reader);
  }
  return CVariant();
}

// Appends encoded bytes to a record.
class RecordWriter {
 public:
  explicit RecordWriter(CPdbRecord& record) : record_(record) {
    record_.Seek(0);
    record_.Truncate();
  }
  void Bytes(const void* data, std::size_t count) {
    if (static_cast<std::uint64_t>(record_.GetSize()) + count > 0x7FFFFFFFu) {
      throw CErr(kMsgRecordTooLargeKb, 0x7FFFFFFF / 1024);
    }
    record_.Write(data, static_cast<std::uint32_t>(count));
  }
  void Zeros(std::size_t count) {
    static const std::uint8_t kZeros[8] = {};
    Bytes(kZeros, count);
  }
  void Byte(std::uint8_t value) { Bytes(&value, 1); }
  void U16(std::uint16_t value) {
    std::uint8_t bytes[2];
    StoreBigEndian16(bytes, value);
    Bytes(bytes, 2);
  }
  void U32(std::uint32_t value) {
    std::uint8_t bytes[4];
    StoreBigEndian32(bytes, value);
    Bytes(bytes, 4);
  }
  void U64(std::uint64_t value) {
    std::uint8_t bytes[8];
    StoreBigEndian64(bytes, value);
    Bytes(bytes, 8);
  }
  std::uint64_t Position() const { return record_.GetSize(); }

 private:
  CPdbRecord& record_;
};

// Bytes of the zero form of a field type (a Null value).
std::size_t ZeroFormSize(DbFieldType type) {
  switch (type) {
    case DbFieldType::kByte:
    case DbFieldType::kBoolean:
    case DbFieldType::kString:
      return 1;
    case DbFieldType::kInteger:
      return 2;
    case DbFieldType::kDouble:
      return 8;
    default:
      return 4;
  }
}

// A value that can be embedded as a Bitmap or StreamMemory payload.
const CSafeArray* EmbeddableArray(const CVariant& value) {
  if (!value.IsByteArray()) return nullptr;
  const CSafeArray& array = value.GetArray();
  if (array.GetDimensions() != 1 || array.GetElementCount() >= kMaxEmbeddedArray) return nullptr;
  return &array;
}

void EncodeField(DbFieldType type, const CVariant& value, RecordWriter& writer) {
  if (value.GetType() == VT_NULL && !IsBlockType(type)) {
    writer.Zeros(ZeroFormSize(type));
    return;
  }
  switch (type) {
    case DbFieldType::kByte:
      writer.Byte(ChangeType(value, VT_UI1).GetUI1());
      return;
    case DbFieldType::kBoolean:
      writer.Byte(ChangeType(value, VT_I4).GetI4() != 0 ? 0xFF : 0x00);
      return;
    case DbFieldType::kInteger:
      writer.U16(static_cast<std::uint16_t>(ChangeType(value, VT_I2).GetI2()));
      return;
    case DbFieldType::kLong:
      writer.U32(static_cast<std::uint32_t>(ChangeType(value, VT_I4).GetI4()));
      return;
    case DbFieldType::kSingle:
      writer.U32(BitsOfFloat(ChangeType(value, VT_R4).GetR4()));
      return;
    case DbFieldType::kDouble:
      writer.U64(BitsOfDouble(ChangeType(value, VT_R8).GetR8()));
      return;
    case DbFieldType::kDate:
      writer.U32(PalmTimeFromDate(ChangeType(value, VT_R8).GetR8()));
      return;
    case DbFieldType::kString: {
      std::string text = ToAnsi(ChangeType(value, VT_BSTR).GetString());
      writer.Bytes(text.c_str(), std::strlen(text.c_str()) + 1);  // up to a zero, then one
      return;
    }
    case DbFieldType::kBitmap:
      if (const CSafeArray* array = EmbeddableArray(value)) {
        writer.Bytes(array->GetData().data(), array->GetElementCount());
      } else {
        writer.Bytes(DeviceBitmapHeaderBytes(PlaceholderBitmap()).data(), kDeviceBitmapHeaderSize);
      }
      return;
    case DbFieldType::kStreamMemory: {
      const CSafeArray* array = EmbeddableArray(value);
      std::size_t length = array != nullptr ? array->GetElementCount() : 0;
      writer.Bytes("sm", 2);
      writer.U32(static_cast<std::uint32_t>(length));
      if (array != nullptr) writer.Bytes(array->GetData().data(), length);
      return;
    }
  }
}

CVariant BlankValue(DbFieldType type) {
  switch (type) {
    case DbFieldType::kByte:
      return CVariant::UI1(0);
    case DbFieldType::kBoolean:
      return CVariant::Bool(false);
    case DbFieldType::kInteger:
      return CVariant::I2(0);
    case DbFieldType::kLong:
      return CVariant::I4(0);
    case DbFieldType::kSingle:
      return CVariant::R4(0);
    case DbFieldType::kDouble:
      return CVariant::R8(0);
    case DbFieldType::kDate:
      return CVariant::Date(kPalmEpochAsDate);
    case DbFieldType::kString:
      return CVariant::String(u"");
    case DbFieldType::kBitmap:  // the signature and version; every other number 0
      return ByteArray(DeviceBitmapHeaderBytes(DeviceBitmapHeader()).data(),
                       kDeviceBitmapHeaderSize);
    case DbFieldType::kStreamMemory:
      return ByteArray(nullptr, 0);
  }
  return CVariant();
}

}  // namespace

void CDbSchema::DecodeRecord(const CPdbRecord& record) {
  if (CDbField* field = GetSystemField(SystemField::kUniqueID)) {
    field->value = CVariant::I4(static_cast<std::int32_t>(record.uniqueID));
  }
  if (CDbField* field = GetSystemField(SystemField::kCategory)) {
    field->value = CVariant::UI1(record.category);
  }
  if (CDbField* field = GetSystemField(SystemField::kDirty)) {
    field->value = CVariant::Bool(record.dirty);
  }
  if (CDbField* field = GetSystemField(SystemField::kSecret)) {
    field->value = CVariant::Bool(record.secret);
  }
  RecordReader reader(record);
  PaddingRule padding;
  for (std::int32_t i = 0; i < dataFields_.GetCount(); ++i) {
    CDbField* field = dataFields_[i];
    reader.Skip(padding.PadBefore(field->GetType(), reader.Position()));
    field->value = DecodeField(field->GetType(), reader);
  }
}

void CDbSchema::EncodeRecord(CPdbRecord& editRecord) {
  if (const CDbField* field = GetSystemField(SystemField::kUniqueID)) {
    editRecord.uniqueID = static_cast<std::uint32_t>(ChangeType(field->value, VT_I4).GetI4());
  }
  if (const CDbField* field = GetSystemField(SystemField::kCategory)) {
    editRecord.category = ChangeType(field->value, VT_UI1).GetUI1();
  }
  if (const CDbField* field = GetSystemField(SystemField::kDirty)) {
    editRecord.dirty = ChangeType(field->value, VT_BOOL).GetBool() != 0;
  }
  if (const CDbField* field = GetSystemField(SystemField::kSecret)) {
    editRecord.secret = ChangeType(field->value, VT_BOOL).GetBool() != 0;
  }
  RecordWriter writer(editRecord);
  PaddingRule padding;
  for (std::int32_t i = 0; i < dataFields_.GetCount(); ++i) {
    const CDbField* field = dataFields_[i];
    writer.Zeros(padding.PadBefore(field->GetType(), writer.Position()));
    EncodeField(field->GetType(), field->value, writer);
  }
  if (writer.Position() > kMaxEncodedRecord) {
    throw CErr(kMsgRecordTooLargeKb, static_cast<int>(writer.Position() / 1024));
  }
}

void CDbSchema::BlankFields() {
  static const DbFieldType kSystemTypes[kSystemFieldCount] = {
      DbFieldType::kLong, DbFieldType::kByte, DbFieldType::kBoolean, DbFieldType::kBoolean};
  for (std::int32_t i = 0; i < dataFields_.GetCount(); ++i) {
    dataFields_[i]->value = BlankValue(dataFields_[i]->GetType());
  }
  for (int s = 0; s < kSystemFieldCount; ++s) {
    if (CDbField* field = GetSystemField(static_cast<SystemField>(s))) {
      field->value = BlankValue(kSystemTypes[s]);
    }
  }
}

}  // namespace kd
