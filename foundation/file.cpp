// The platform-independent half of CFile.
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

void CFile::RaiseAccessError() const {
  throw CErr(kMsgCannotAccessFile, name_);
}

void CFile::SetName(const char* name) {
  std::size_t length = std::strlen(name);
  std::size_t kept = length > kMaxPathLength ? kMaxPathLength : length;
  std::memcpy(name_, name, kept);
  name_[kept] = '\0';
  if (length > kMaxPathLength || length == 0) throw CErr(kMsgCannotAccessFile, name);
}

}  // namespace kd
