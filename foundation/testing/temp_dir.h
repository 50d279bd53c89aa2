// A fresh directory for a test's files, removed with everything in it when the
// object goes.
#ifndef KDDAO_FOUNDATION_TESTING_TEMP_DIR_H_
#define KDDAO_FOUNDATION_TESTING_TEMP_DIR_H_

#include <cstdint>
#include <string>
#include <vector>

namespace kd::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // `name` inside the directory, with the platform's separator.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// Whole-file helpers for assertions.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool FileExists(const std::string& path);

}  // namespace kd::testing

#endif  // KDDAO_FOUNDATION_TESTING_TEMP_DIR_H_
