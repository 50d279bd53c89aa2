#include "foundation/buffered_io.h"

#include <cstring>

#include "foundation/errors.h"
#include "foundation/memory.h"

namespace kd {

CBufferedWriter::CBufferedWriter(CFile& file)
    : file_(file), buffer_(static_cast<std::uint8_t*>(MemAlloc(kFileBufferSize))) {}

CBufferedWriter::~CBufferedWriter() {
  MemFree(buffer_);
}

void CBufferedWriter::Write(const void* data, std::uint32_t count) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (count > 0) {
    if (used_ == 0 && count >= kFileBufferSize) {  // nothing gathered: straight through
      file_.Write(bytes, count);
      written_ += count;
      return;
    }
    std::uint32_t room = kFileBufferSize - used_;
    std::uint32_t part = count < room ? count : room;
    std::memcpy(buffer_ + used_, bytes, part);
    used_ += part;
    bytes += part;
    count -= part;
    if (used_ == kFileBufferSize) Flush();
  }
}

void CBufferedWriter::WriteZeros(std::uint32_t count) {
  static const std::uint8_t kZeros[64] = {};
  while (count > 0) {
    std::uint32_t part = count < sizeof kZeros ? count : sizeof kZeros;
    Write(kZeros, part);
    count -= part;
  }
}

void CBufferedWriter::Flush() {
  if (used_ == 0) return;
  file_.Write(buffer_, used_);
  written_ += used_;
  used_ = 0;
}

}  // namespace kd
