// Buffered writing to a CFile: gathers small writes and hands them on in
// blocks, keeping memory bounded by its buffer while a whole file is written.
#ifndef KDDAO_FOUNDATION_BUFFERED_IO_H_
#define KDDAO_FOUNDATION_BUFFERED_IO_H_

#include <cstdint>

#include "foundation/file.h"

namespace kd {

constexpr std::uint32_t kFileBufferSize = 1u << 20;

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
