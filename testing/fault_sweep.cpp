#include "testing/fault_sweep.h"

#include <filesystem>

#include "testing/temp_dir.h"

namespace kd::testing {

DirectoryImage SnapshotDirectory(const std::string& path) {
  DirectoryImage image;
  for (const std::string& name : ListDirectory(path)) {
    const std::string file = (std::filesystem::path(path) / name).string();
    image[name] =
        std::filesystem::is_regular_file(file) ? ReadFileBytes(file) : std::vector<std::uint8_t>();
  }
  return image;
}

std::string CannotAccessResult(const std::string& path) {
  return "80042710 Generic error: Cannot access file '" + path + "'.";
}

const char* FaultPointName(FaultPoint point) {
  switch (point) {
    case FaultPoint::kAllocation:
      return "allocation";
    case FaultPoint::kFileWrite:
      return "file write";
    case FaultPoint::kFileFlush:
      return "file flush";
    case FaultPoint::kFileReplace:
      return "file replace";
    case FaultPoint::kCount:
      break;
  }
  return "?";
}

}  // namespace kd::testing
