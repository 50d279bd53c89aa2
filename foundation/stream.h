// Byte streams: the abstract CStream with typed insertion and extraction, and
// CMemFile, a growable stream over a heap buffer. CFile (file.h) is the stream
// over an operating-system file.
#ifndef KDDAO_FOUNDATION_STREAM_H_
#define KDDAO_FOUNDATION_STREAM_H_

#include <cstdint>

#include "foundation/object.h"

namespace kd {

class CString;

// Abstract byte stream. The typed operators store and load multi-byte values
// most significant byte first when big-endian mode is on, least significant
// first (the hosts' order) when it is off. 16- and 32-bit values are their raw
// bytes (signedness belongs to the caller); a float travels as its 32 bits, a
// double as its 64.
class CStream : public CObject {
 public:
  CStream() = default;
  CStream(const CStream&) = delete;
  CStream& operator=(const CStream&) = delete;
  ~CStream() override = default;

  // Copies `count` bytes from the current position into `buffer` and advances.
  virtual void Read(void* buffer, std::uint32_t count) = 0;
  // Copies `count` bytes to the current position and advances.
  virtual void Write(const void* buffer, std::uint32_t count) = 0;
  // Releases the underlying resource.
  virtual void Close() = 0;
  // Sets the current position, counted from the start.
  virtual void Seek(std::uint32_t position) { (void)position; }
  // Makes the current position the end of the stream.
  virtual void Truncate() {}
  virtual std::uint32_t GetSize() { return 0; }
  virtual std::uint32_t GetPosition() { return 0; }

  bool IsBigEndian() const { return bigEndian_; }
  void SetBigEndian(bool bigEndian) { bigEndian_ = bigEndian; }

  CStream& operator<<(std::uint8_t value);
  CStream& operator<<(std::int8_t value) { return *this << static_cast<std::uint8_t>(value); }
  CStream& operator<<(char value) { return *this << static_cast<std::uint8_t>(value); }
  CStream& operator<<(std::uint16_t value);
  CStream& operator<<(std::int16_t value) { return *this << static_cast<std::uint16_t>(value); }
  CStream& operator<<(std::uint32_t value);
  CStream& operator<<(std::int32_t value) { return *this << static_cast<std::uint32_t>(value); }
  CStream& operator<<(std::uint64_t value);
  CStream& operator<<(float value);
  CStream& operator<<(double value);
  // The characters of a zero-terminated string, without the terminator.
  CStream& operator<<(const char* text);

  CStream& operator>>(std::uint8_t& value);
  CStream& operator>>(std::int8_t& value);
  CStream& operator>>(char& value);
  CStream& operator>>(std::uint16_t& value);
  CStream& operator>>(std::int16_t& value);
  CStream& operator>>(std::uint32_t& value);
  CStream& operator>>(std::int32_t& value);
  CStream& operator>>(std::uint64_t& value);
  CStream& operator>>(float& value);
  CStream& operator>>(double& value);
  // Reads one byte at a time, appending each to `text`, until a zero byte has
  // been read (consumed, not appended). `text` is appended to, not cleared.
  CStream& operator>>(CString& text);

 private:
  bool bigEndian_ = false;
};

// Growable stream over a heap buffer, owned by the stream. The buffer grows in
// steps of 256 bytes and never shrinks; Truncate keeps the bytes it cuts off,
// and a later Seek or Write past them brings them back as content.
class CMemFile : public CStream {
 public:
  CMemFile() = default;
  ~CMemFile() override;

  // Allocates the first 256 bytes if there is no buffer yet; then, always,
  // position and size 0 and the whole buffer zero. Raises 60000 when the first
  // buffer cannot be allocated (the stream then stays without one).
  void Reset();

  // Copies `count` bytes from the current position. A read that would run
  // past the end raises the coded error 10030 "Attempt to read outside record
  // buffer." and reads nothing.
  void Read(void* buffer, std::uint32_t count) override;
  // Grows the buffer if needed, copies, advances, raises the size to the new
  // end. A stream without a buffer is reset first.
  void Write(const void* buffer, std::uint32_t count) override;
  // Returns the buffer to the heap; buffer, capacity, position and size 0.
  void Close() override;
  // Grows the buffer if needed, sets the position and raises the size to it.
  void Seek(std::uint32_t position) override;
  // size = position; the buffer, the bytes past the new end and the capacity
  // stay.
  void Truncate() override;
  // Replaces the content by `count` bytes from `data`; position 0. The buffer
  // grows first, so a failure (60000) leaves the content as it was.
  void Assign(const void* data, std::uint32_t count);
  // Replaces the content by `count` bytes that the caller writes into the
  // returned buffer, which holds exactly `count` bytes (null for 0): for
  // content that is mostly read, such as records loaded from a file. Position
  // 0. Raises 60000, the content then staying as it was.
  std::uint8_t* AllocateExact(std::uint32_t count);
  // Makes the content `count` bytes at `data`, without copying them: the
  // caller keeps them alive and unchanged while the stream refers to them. The
  // stream copies them into a buffer of its own before its first change.
  // Position 0.
  void Borrow(const std::uint8_t* data, std::uint32_t count);
  bool IsBorrowing() const { return borrowed_; }
  std::uint32_t GetSize() override { return static_cast<std::uint32_t>(size_); }
  std::uint32_t GetPosition() override { return static_cast<std::uint32_t>(position_); }

  // The buffer, for callers that fill or read content in place; it moves
  // whenever the buffer grows. Null while there is none. The non-const form
  // first gives a borrowing stream a copy of its own (raising 60000 when
  // memory runs out).
  std::uint8_t* GetBuffer();
  const std::uint8_t* GetBuffer() const { return buffer_; }
  std::int32_t GetCapacity() const { return capacity_; }

  // Content as it stands: size bytes from the start of the buffer.
  std::uint32_t Size() const { return static_cast<std::uint32_t>(size_); }

 private:
  // Grows the buffer so that `end` fits, by the 256-byte rule.
  void Grow(std::uint64_t end);
  // Replaces borrowed content by a copy of its own.
  void Own();

  std::uint8_t* buffer_ = nullptr;
  std::int32_t capacity_ = 0;
  std::int32_t position_ = 0;
  std::int32_t size_ = 0;
  bool borrowed_ = false;  // buffer_ belongs to someone else
};

}  // namespace kd

#endif  // KDDAO_FOUNDATION_STREAM_H_
