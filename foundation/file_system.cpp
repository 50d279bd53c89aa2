// The platform-independent half of the file-system operations.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "foundation/file_system.h"

namespace kd {

namespace detail {
// Supplied by the platform half.
extern const char* const kDirectorySeparators;
std::uint32_t ProcessNumber();
}  // namespace detail

using detail::kDirectorySeparators;
using detail::ProcessNumber;

std::string TemporaryPathBeside(const std::string& target) {
  std::size_t slash = target.find_last_of(kDirectorySeparators);
  std::string directory = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  static std::atomic<std::uint32_t> counter{0};
  auto clock =
      static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::uint32_t unique = clock * 2654435761u + counter.fetch_add(1) * 40503u + ProcessNumber();
  char name[24];
  std::snprintf(name, sizeof name, "~kd%08x.tmp", static_cast<unsigned>(unique));
  return directory + name;
}

}  // namespace kd
