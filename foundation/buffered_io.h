// Buffered access to a CFile for whole-file work: a reader with a window of
// the file in memory, and a writer that gathers small writes. Both keep memory
// bounded by their buffer while reading or writing a file in large blocks.
#ifndef KDDAO_FOUNDATION_BUFFERED_IO_H_
#define KDDAO_FOUNDATION_BUFFERED_IO_H_

#include <cstdint>

#include "foundation/file.h"

namespace kd {

constexpr std::uint32_t kFileBufferSize = 1u << 20;

// Reads ranges of a file at given offsets through a window of the file. Ranges
// that follow each other cost one system call per window.
class CWindowedReader {
 public:
  // `file` is open for reading and outlives the reader.
  explicit CWindowedReader(CFile& file);
  ~CWindowedReader();
  CWindowedReader(const CWindowedReader&) = delete;
  CWindowedReader& operator=(const CWindowedReader&) = delete;

  std::uint32_t GetFileSize() const { return fileSize_; }
  // Copies `count` bytes at `offset` into `out`. A range past the end of the
  // file raises 60002 naming the file, as a short read does.
  void ReadAt(std::uint32_t offset, void* out, std::uint32_t count);

 private:
  CFile& file_;
  std::uint32_t fileSize_;
  std::uint8_t* window_ = nullptr;
  std::uint32_t windowStart_ = 0;
  std::uint32_t windowLength_ = 0;
};

// Gathers writes to a file and hands them on in blocks.
class CBufferedWriter {
 public:
  // `file` is open for writing and outlives the writer. Raises 60000 when the
  // buffer cannot be allocated.
  explicit CBufferedWriter(CFile& file);
  ~CBufferedWriter();
  CBufferedWriter(const CBufferedWriter&) = delete;
  CBufferedWriter& operator=(const CBufferedWriter&) = delete;

  void Write(const void* data, std::uint32_t count);
  void WriteZeros(std::uint32_t count);
  // Hands everything gathered to the file.
  void Flush();
  std::uint64_t GetPosition() const { return written_ + used_; }

 private:
  CFile& file_;
  std::uint8_t* buffer_;
  std::uint32_t used_ = 0;
  std::uint64_t written_ = 0;
};

}  // namespace kd

#endif  // KDDAO_FOUNDATION_BUFFERED_IO_H_
