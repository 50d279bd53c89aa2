// The test kit's temporary directory: made where asked, and gone with
// everything in it.
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace kd::testing {
namespace {

TEST(TempDirTest, GoesWithItsFiles) {
  TempDir parent;
  std::string path;
  {
    TempDir dir(parent.path());
    path = dir.path();
    EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::path(parent.path()));
    WriteFileBytes(dir.File("a"), {1});
    std::filesystem::create_directory(dir.File("sub"));
    WriteFileBytes((std::filesystem::path(dir.File("sub")) / "b").string(), {2});
    EXPECT_EQ(ListDirectory(path), (std::vector<std::string>{"a", "sub"}));
    EXPECT_EQ(ReadFileBytes(dir.File("a")), std::vector<std::uint8_t>{1});
  }
  EXPECT_FALSE(FileExists(path));
  EXPECT_TRUE(ListDirectory(path).empty());
  EXPECT_THROW(TempDir(parent.File("missing")), std::runtime_error);
  EXPECT_THROW(ReadFileBytes(parent.File("missing")), std::runtime_error);
}

}  // namespace
}  // namespace kd::testing
