// File-system operations over POSIX calls.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "foundation/fault_injection.h"
#include "foundation/file_system.h"

namespace kd {

namespace detail {
extern const char* const kDirectorySeparators;
const char* const kDirectorySeparators = "/";
std::uint32_t ProcessNumber() {
  return static_cast<std::uint32_t>(::getpid());
}
}  // namespace detail

std::string ResolveSaveTarget(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;  // a dangling link
  return resolved;
}

bool CopyPermissionBits(const std::string& target, const std::string& temporary) {
  struct stat info;
  if (::stat(target.c_str(), &info) != 0) return true;  // no target yet: default bits
  return ::chmod(temporary.c_str(), info.st_mode & 07777) == 0;
}

bool MayReplace(const std::string& target) {
  return ::access(target.c_str(), W_OK) == 0 || errno == ENOENT;
}

bool ReplaceFileAtomically(const std::string& temporary, const std::string& target) {
  if (ShouldFail(FaultPoint::kFileReplace)) return false;
  if (::rename(temporary.c_str(), target.c_str()) != 0) return false;
  // Make the new directory entry durable too, naming the directory without
  // allocating: once the file is replaced, nothing may fail.
  char directory[PATH_MAX] = ".";
  const std::size_t slash = target.find_last_of('/');
  if (slash != std::string::npos) {
    if (slash + 1 >= sizeof directory) return true;
    std::memcpy(directory, target.data(), slash + 1);
    directory[slash + 1] = '\0';
  }
  int fd = ::open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  return true;
}

void RemoveFileQuietly(const std::string& path) {
  ::unlink(path.c_str());
}

}  // namespace kd
