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

// The system's text for an error: strerror_r comes in two forms, of which
// the C library has one.
[[maybe_unused]] const char* ChosenText(int result, const char* buffer) {
  return result == 0 ? buffer : "unknown error";
}
[[maybe_unused]] const char* ChosenText(const char* text, const char*) {
  return text;
}

}  // namespace

void CFile::RaiseSystemError(const char* step) const {
  const int code = errno;
  char buffer[128];
  RaiseAccessError("cannot %s the file: %s", step,
                   ChosenText(::strerror_r(code, buffer, sizeof buffer), buffer));
}

void CFile::Open(const char* name, std::uint32_t access, std::uint32_t /*share*/,
                 std::uint32_t creation, std::uint32_t flags) {
  Close();
  SetName(name);

  int fd;
  do {
    fd = ::open(name, OpenFlags(access, creation), 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) RaiseSystemError("open");
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    const int code = errno;
    ::close(fd);
    errno = code;
    RaiseSystemError("examine");
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    RaiseAccessError("the path names no regular file");
  }
  if (flags & file::kSequentialScan) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  handle_ = fd;
}

void CFile::Read(void* buffer, std::uint32_t count) {
  if (!IsOpen()) RaiseAccessError("the file is not open");
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::uint32_t done = 0;
  while (done < count) {
    ssize_t got = ::read(static_cast<int>(handle_), bytes + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) RaiseSystemError("read");
    if (got == 0)
      RaiseAccessError("the file ends %u bytes before the %u asked for", count - done, count);
    done += static_cast<std::uint32_t>(got);
  }
}

void CFile::Write(const void* buffer, std::uint32_t count) {
  if (!IsOpen()) RaiseAccessError("the file is not open");
  if (ShouldFail(FaultPoint::kFileWrite)) RaiseAccessError("a write failed (fault injection)");
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  std::uint32_t done = 0;
  while (done < count) {
    ssize_t put = ::write(static_cast<int>(handle_), bytes + done, count - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) RaiseSystemError("write");
    done += static_cast<std::uint32_t>(put);
  }
}

void CFile::Close() {
  if (IsOpen()) ::close(static_cast<int>(handle_));
  handle_ = kInvalidHandle;
}

void CFile::Seek(std::uint32_t position) {
  if (!IsOpen()) RaiseAccessError("the file is not open");
  if (position > 0x7FFFFFFFu) RaiseAccessError("position %u lies past 2 GiB", position);
  if (::lseek(static_cast<int>(handle_), static_cast<off_t>(position), SEEK_SET) < 0) {
    RaiseSystemError("seek in");
  }
}

void CFile::Truncate() {
  if (!IsOpen()) RaiseAccessError("the file is not open");
  off_t position = ::lseek(static_cast<int>(handle_), 0, SEEK_CUR);
  if (position < 0 || ::ftruncate(static_cast<int>(handle_), position) != 0) {
    RaiseSystemError("truncate");
  }
}

std::uint32_t CFile::GetSize() {
  struct stat info;
  if (!IsOpen() || ::fstat(static_cast<int>(handle_), &info) != 0) return 0;
  if (info.st_size > static_cast<off_t>(0xFFFFFFFFu)) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(info.st_size);
}

std::uint32_t CFile::GetPosition() {
  if (!IsOpen()) RaiseAccessError("the file is not open");
  off_t position = ::lseek(static_cast<int>(handle_), 0, SEEK_CUR);
  if (position < 0) RaiseSystemError("find the position in");
  if (position > static_cast<off_t>(0xFFFFFFFFu)) RaiseAccessError("the position lies past 4 GiB");
  return static_cast<std::uint32_t>(position);
}

void CFile::Flush() {
  if (!IsOpen()) RaiseAccessError("the file is not open");
  if (ShouldFail(FaultPoint::kFileFlush)) RaiseAccessError("a flush failed (fault injection)");
  if (::fsync(static_cast<int>(handle_)) != 0) RaiseSystemError("flush");
}

}  // namespace kd
