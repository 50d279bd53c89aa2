// File-system operations over Windows calls (paths in the ANSI code page).
#include <windows.h>

#include <cstdint>

#include "foundation/fault_injection.h"
#include "foundation/file_system.h"

namespace kd {

namespace detail {
extern const char* const kDirectorySeparators;
const char* const kDirectorySeparators = "\\/:";
std::uint32_t ProcessNumber() {
  return static_cast<std::uint32_t>(GetCurrentProcessId());
}
}  // namespace detail

std::string ResolveSaveTarget(const std::string& path) {
  return path;
}

bool CopyPermissionBits(const std::string&, const std::string&) {
  return true;
}

bool MayReplace(const std::string& target) {
  DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
  return (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

bool ReplaceFileAtomically(const std::string& temporary, const std::string& target) {
  if (ShouldFail(FaultPoint::kFileReplace)) return false;
  return MoveFileExA(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void RemoveFileQuietly(const std::string& path) {
  DeleteFileA(path.c_str());
}

}  // namespace kd
