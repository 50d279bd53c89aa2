#include "foundation/buffered_io.h"

#include <cstring>

#include "foundation/errors.h"
#include "foundation/memory.h"

namespace kd {

CWindowedReader::CWindowedReader(CFile& file) : file_(file), fileSize_(file.GetSize()) {}

CWindowedReader::~CWindowedReader() {
  MemFree(window_);
}

void CWindowedReader::ReadAt(std::uint32_t offset, void* out, std::uint32_t count) {
  if (count == 0) return;
  std::uint64_t end = static_cast<std::uint64_t>(offset) + count;
  if (end > fileSize_) throw CErr(kMsgCannotAccessFile, file_.GetName());
  auto* target = static_cast<std::uint8_t*>(out);
  if (offset >= windowStart_ && end <= static_cast<std::uint64_t>(windowStart_) + windowLength_) {
    std::memcpy(target, window_ + (offset - windowStart_), count);
    return;
  }
  if (count >= kFileBufferSize) {  // larger than a window: straight into place
    file_.Seek(offset);
    file_.Read(target, count);
    return;
  }
  if (window_ == nullptr) window_ = static_cast<std::uint8_t*>(MemAlloc(kFileBufferSize));
  std::uint32_t length =
      fileSize_ - offset < kFileBufferSize ? fileSize_ - offset : kFileBufferSize;
  windowLength_ = 0;
  file_.Seek(offset);
  file_.Read(window_, length);
  windowStart_ = offset;
  windowLength_ = length;
  std::memcpy(target, window_, count);
}

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
