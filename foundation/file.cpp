// The platform-independent half of CFile.
#include <cstdarg>
#include <cstring>

#include "foundation/errors.h"
#include "foundation/file.h"

namespace kd {

CFile::CFile() : handle_(kInvalidHandle) {
  name_[0] = '\0';
}

CFile::~CFile() {
  Close();
}

void CFile::OpenForReading(const char* name) {
  Open(name, file::kRead, file::kShareRead | file::kShareWrite, file::kOpenExisting,
       file::kSequentialScan);
}

void CFile::OpenForWriting(const char* name) {
  Open(name, file::kWrite, file::kShareRead | file::kShareWrite, file::kOpenAlways,
       file::kSequentialScan);
}

std::vector<std::uint8_t> ReadWholeFile(const char* path) {
  CFile file;
  file.OpenForReading(path);
  std::vector<std::uint8_t> bytes(file.GetSize());
  file.Read(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  file.Close();
  return bytes;
}

void CFile::RaiseAccessError(const char* format, ...) const {
  CErr error(kMsgCannotAccessFile, name_);
  std::va_list args;
  va_start(args, format);
  error.SetReasonV(format, args);
  va_end(args);
  throw error;
}

void CFile::SetName(const char* name) {
  std::size_t length = std::strlen(name);
  std::size_t kept = length > kMaxPathLength ? kMaxPathLength : length;
  std::memcpy(name_, name, kept);
  name_[kept] = '\0';
  if (length > kMaxPathLength || length == 0) {
    CErr error(kMsgCannotAccessFile, name);
    if (length == 0) {
      error.SetReason("the path is empty");
    } else {
      error.SetReason("the path has %zu characters, more than %u", length, kMaxPathLength);
    }
    throw error;
  }
}

}  // namespace kd
