// A fresh directory for a test's (or the benchmark's) files, removed with
// everything in it when the object goes; and whole-file helpers.
#ifndef KDDAO_TESTING_TEMP_DIR_H_
#define KDDAO_TESTING_TEMP_DIR_H_

#include <cstdint>
#include <string>
#include <vector>

namespace kd::testing {

class TempDir {
 public:
  // A new directory in the system's temporary directory.
  TempDir();
  // A new directory in `parent`. Throws std::runtime_error when it cannot be
  // made there.
  explicit TempDir(const std::string& parent);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // `name` inside the directory, with the platform's separator.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// Whole-file helpers for assertions; the first two throw std::runtime_error.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool FileExists(const std::string& path);
// The names in a directory, sorted; empty when it cannot be read.
std::vector<std::string> ListDirectory(const std::string& path);

}  // namespace kd::testing

#endif  // KDDAO_TESTING_TEMP_DIR_H_
