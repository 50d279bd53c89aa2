// CFile over POSIX file descriptors.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "foundation/errors.h"
#include "foundation/fault_injection.h"
#include "foundation/file.h"

namespace kd {

namespace {

int OpenFlags(std::uint32_t access, std::uint32_t creation) {
  int flags;
  if ((access & file::kRead) && (access & file::kWrite)) {
    flags = O_RDWR;
  } else if (access & file::kWrite) {
    flags = O_WRONLY;
  } else {
    flags = O_RDONLY;
  }
  switch (creation) {
    case file::kCreateNew:
      return flags | O_CREAT | O_EXCL;
    case file::kCreateAlways:
      return flags | O_CREAT | O_TRUNC;
    case file::kOpenAlways:
      return flags | O_CREAT;
    case file::kTruncateExisting:
      return flags | O_TRUNC;
    default:
      return flags;
  }
}

}  // namespace

void CFile::Open(const char* name, std::uint32_t access, std::uint32_t /*share*/,
                 std::uint32_t creation, std::uint32_t flags) {
  Close();
  SetName(name);

  int fd;
  do {
    fd = ::open(name, OpenFlags(access, creation), 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) RaiseAccessError();
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    RaiseAccessError();
  }
  if (flags & file::kSequentialScan) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  handle_ = fd;
}

void CFile::Read(void* buffer, std::uint32_t count) {
  if (!IsOpen()) RaiseAccessError();
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::uint32_t done = 0;
  while (done < count) {
    ssize_t got = ::read(static_cast<int>(handle_), bytes + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) RaiseAccessError();
    done += static_cast<std::uint32_t>(got);
  }
}

void CFile::Write(const void* buffer, std::uint32_t count) {
  if (!IsOpen() || ShouldFail(FaultPoint::kFileWrite)) RaiseAccessError();
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  std::uint32_t done = 0;
  while (done < count) {
    ssize_t put = ::write(static_cast<int>(handle_), bytes + done, count - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) RaiseAccessError();
    done += static_cast<std::uint32_t>(put);
  }
}

void CFile::Close() {
  if (IsOpen()) ::close(static_cast<int>(handle_));
  handle_ = kInvalidHandle;
}

void CFile::Seek(std::uint32_t position) {
  if (!IsOpen() || position > 0x7FFFFFFFu) RaiseAccessError();
  if (::lseek(static_cast<int>(handle_), static_cast<off_t>(position), SEEK_SET) < 0) {
    RaiseAccessError();
  }
}

void CFile::Truncate() {
  if (!IsOpen()) RaiseAccessError();
  off_t position = ::lseek(static_cast<int>(handle_), 0, SEEK_CUR);
  if (position < 0 || ::ftruncate(static_cast<int>(handle_), position) != 0) RaiseAccessError();
}

std::uint32_t CFile::GetSize() {
  struct stat info;
  if (!IsOpen() || ::fstat(static_cast<int>(handle_), &info) != 0) return 0;
  if (info.st_size > static_cast<off_t>(0xFFFFFFFFu)) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(info.st_size);
}

std::uint32_t CFile::GetPosition() {
  if (!IsOpen()) RaiseAccessError();
  off_t position = ::lseek(static_cast<int>(handle_), 0, SEEK_CUR);
  if (position < 0 || position > static_cast<off_t>(0xFFFFFFFFu)) RaiseAccessError();
  return static_cast<std::uint32_t>(position);
}

void CFile::Flush() {
  if (!IsOpen() || ShouldFail(FaultPoint::kFileFlush)) RaiseAccessError();
  if (::fsync(static_cast<int>(handle_)) != 0) RaiseAccessError();
}

}  // namespace kd
