#include "foundation/stream.h"

#include <cstring>

#include "foundation/byte_order.h"
#include "foundation/errors.h"
#include "foundation/memory.h"
#include "foundation/strings.h"

namespace kd {

// ---- CStream typed operators ----------------------------------------------

CStream& CStream::operator<<(std::uint8_t value) {
  Write(&value, 1);
  return *this;
}

CStream& CStream::operator<<(std::uint16_t value) {
  std::uint8_t bytes[2];
  if (bigEndian_) {
    StoreBigEndian16(bytes, value);
  } else {
    StoreLittleEndian16(bytes, value);
  }
  Write(bytes, 2);
  return *this;
}

CStream& CStream::operator<<(std::uint32_t value) {
  std::uint8_t bytes[4];
  if (bigEndian_) {
    StoreBigEndian32(bytes, value);
  } else {
    StoreLittleEndian32(bytes, value);
  }
  Write(bytes, 4);
  return *this;
}

CStream& CStream::operator<<(std::uint64_t value) {
  std::uint8_t bytes[8];
  if (bigEndian_) {
    StoreBigEndian64(bytes, value);
  } else {
    StoreLittleEndian64(bytes, value);
  }
  Write(bytes, 8);
  return *this;
}

CStream& CStream::operator<<(float value) {
  return *this << BitsOfFloat(value);
}
CStream& CStream::operator<<(double value) {
  return *this << BitsOfDouble(value);
}

CStream& CStream::operator<<(const char* text) {
  Write(text, static_cast<std::uint32_t>(std::strlen(text)));
  return *this;
}

CStream& CStream::operator>>(std::uint8_t& value) {
  Read(&value, 1);
  return *this;
}

CStream& CStream::operator>>(std::int8_t& value) {
  std::uint8_t byte;
  *this >> byte;
  value = static_cast<std::int8_t>(byte);
  return *this;
}

CStream& CStream::operator>>(char& value) {
  std::uint8_t byte;
  *this >> byte;
  value = static_cast<char>(byte);
  return *this;
}

CStream& CStream::operator>>(std::uint16_t& value) {
  std::uint8_t bytes[2];
  Read(bytes, 2);
  value = bigEndian_ ? LoadBigEndian16(bytes) : LoadLittleEndian16(bytes);
  return *this;
}

CStream& CStream::operator>>(std::int16_t& value) {
  std::uint16_t bits;
  *this >> bits;
  value = static_cast<std::int16_t>(bits);
  return *this;
}

CStream& CStream::operator>>(std::uint32_t& value) {
  std::uint8_t bytes[4];
  Read(bytes, 4);
  value = bigEndian_ ? LoadBigEndian32(bytes) : LoadLittleEndian32(bytes);
  return *this;
}

CStream& CStream::operator>>(std::int32_t& value) {
  std::uint32_t bits;
  *this >> bits;
  value = static_cast<std::int32_t>(bits);
  return *this;
}

CStream& CStream::operator>>(std::uint64_t& value) {
  std::uint8_t bytes[8];
  Read(bytes, 8);
  value = bigEndian_ ? LoadBigEndian64(bytes) : LoadLittleEndian64(bytes);
  return *this;
}

CStream& CStream::operator>>(float& value) {
  std::uint32_t bits;
  *this >> bits;
  value = FloatOfBits(bits);
  return *this;
}

CStream& CStream::operator>>(double& value) {
  std::uint64_t bits;
  *this >> bits;
  value = DoubleOfBits(bits);
  return *this;
}

CStream& CStream::operator>>(CString& text) {
  for (;;) {
    char c;
    *this >> c;
    if (c == '\0') break;
    text.AppendChar(c);
  }
  return *this;
}

// ---- CMemFile --------------------------------------------------------------

namespace {
constexpr std::int32_t kFirstCapacity = 256;
// Largest capacity a memory stream may reach: positions and sizes are signed
// 32-bit numbers.
constexpr std::uint64_t kMaxCapacity = 0x7FFFFF00u;
}  // namespace

CMemFile::~CMemFile() {
  Close();
}

void CMemFile::Own() {
  if (!borrowed_) return;
  std::uint8_t* copy = nullptr;
  if (capacity_ != 0) {
    copy = static_cast<std::uint8_t*>(MemAlloc(static_cast<std::size_t>(capacity_)));
    std::memcpy(copy, buffer_, static_cast<std::size_t>(capacity_));
  }
  buffer_ = copy;
  borrowed_ = false;
}

void CMemFile::Borrow(const std::uint8_t* data, std::uint32_t count) {
  if (count > kMaxCapacity) throw CErr(kMsgOutOfMemory);
  Close();
  buffer_ = const_cast<std::uint8_t*>(data);  // never written while borrowed
  capacity_ = static_cast<std::int32_t>(count);
  size_ = static_cast<std::int32_t>(count);
  borrowed_ = count != 0;
  if (!borrowed_) buffer_ = nullptr;
}

std::uint8_t* CMemFile::GetBuffer() {
  Own();
  return buffer_;
}

void CMemFile::Reset() {
  if (borrowed_) {  // the content goes: nothing to copy
    buffer_ = nullptr;
    capacity_ = 0;
    borrowed_ = false;
  }
  if (buffer_ == nullptr || capacity_ == 0) {
    buffer_ = static_cast<std::uint8_t*>(MemAlloc(kFirstCapacity));
    capacity_ = kFirstCapacity;
  }
  position_ = 0;
  size_ = 0;
  std::memset(buffer_, 0, static_cast<std::size_t>(capacity_));
}

void CMemFile::Grow(std::uint64_t end) {
  Own();
  if (buffer_ == nullptr || capacity_ == 0) Reset();
  if (end < static_cast<std::uint64_t>(capacity_)) return;
  std::uint64_t newCapacity = ((end + 2) & ~std::uint64_t{255}) + 256;
  if (newCapacity > kMaxCapacity) throw CErr(kMsgOutOfMemory);
  auto* grown = static_cast<std::uint8_t*>(MemRealloc(buffer_, newCapacity));
  std::memset(grown + capacity_, 0, newCapacity - static_cast<std::uint64_t>(capacity_));
  buffer_ = grown;
  capacity_ = static_cast<std::int32_t>(newCapacity);
}

void CMemFile::Read(void* buffer, std::uint32_t count) {
  if (count == 0) return;
  std::uint64_t end = static_cast<std::uint64_t>(position_) + count;
  if (buffer_ == nullptr || end > static_cast<std::uint64_t>(size_)) {
    throw CErrX(kMsgReadOutsideRecord);
  }
  std::memcpy(buffer, buffer_ + position_, count);
  position_ = static_cast<std::int32_t>(end);
}

void CMemFile::Write(const void* buffer, std::uint32_t count) {
  std::uint64_t end = static_cast<std::uint64_t>(position_) + count;
  Grow(end);
  if (count != 0) std::memcpy(buffer_ + position_, buffer, count);
  position_ = static_cast<std::int32_t>(end);
  if (position_ > size_) size_ = position_;
}

void CMemFile::Close() {
  if (buffer_ != nullptr && capacity_ != 0 && !borrowed_) MemFree(buffer_);
  borrowed_ = false;
  buffer_ = nullptr;
  capacity_ = 0;
  position_ = 0;
  size_ = 0;
}

void CMemFile::Seek(std::uint32_t position) {
  Grow(position);
  position_ = static_cast<std::int32_t>(position);
  if (position_ > size_) size_ = position_;
}

void CMemFile::Truncate() {
  size_ = position_;
}

void CMemFile::Assign(const void* data, std::uint32_t count) {
  Grow(count);
  if (count != 0) std::memcpy(buffer_, data, count);
  size_ = static_cast<std::int32_t>(count);
  position_ = 0;
}

std::uint8_t* CMemFile::AllocateExact(std::uint32_t count) {
  if (count > kMaxCapacity) throw CErr(kMsgOutOfMemory);
  std::uint8_t* exact = count == 0 ? nullptr : static_cast<std::uint8_t*>(MemAlloc(count));
  Close();
  buffer_ = exact;
  capacity_ = static_cast<std::int32_t>(count);
  size_ = static_cast<std::int32_t>(count);
  return buffer_;
}

}  // namespace kd
