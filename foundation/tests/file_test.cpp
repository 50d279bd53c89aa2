// The file stream: opening, short reads, truncation, and its error texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/errors.h"
#include "foundation/fault_injection.h"
#include "foundation/file.h"
#include "testing/outcomes.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

using testing::CannotAccess;
using testing::Raised;

class FileTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
};

// The system's words follow what failed: "No such file or directory" here,
// "File not found" on Windows.
TEST_F(FileTest, OpeningAMissingFileNamesThePath) {
  std::string path = dir_.File("missing.pdb");
  CFile file;
  std::string reason;
  EXPECT_EQ(Raised([&] { file.OpenForReading(path.c_str()); }, &reason), CannotAccess(path));
  EXPECT_EQ(reason.rfind("cannot open the file: ", 0), 0u) << reason;
  EXPECT_GT(reason.size(), std::string("cannot open the file: ").size());
  EXPECT_FALSE(file.IsOpen());
  EXPECT_STREQ(file.GetName(), path.c_str());
}

TEST_F(FileTest, ShortReadRaises60002) {
  std::string path = dir_.File("short.bin");
  testing::WriteFileBytes(path, std::vector<std::uint8_t>(50, 7));
  CFile file;
  file.OpenForReading(path.c_str());
  EXPECT_EQ(file.GetSize(), 50u);
  std::vector<std::uint8_t> buffer(80);
  std::string reason;
  EXPECT_EQ(Raised([&] { file.Read(buffer.data(), 80); }, &reason), CannotAccess(path));
  EXPECT_EQ(reason, "the file ends 30 bytes before the 80 asked for");
  file.Seek(10);
  file.Read(buffer.data(), 40);
  EXPECT_EQ(file.GetPosition(), 50u);
}

TEST_F(FileTest, WritingOpensWithoutTruncatingAndTruncateCutsAtThePosition) {
  std::string path = dir_.File("db.pdb");
  testing::WriteFileBytes(path, std::vector<std::uint8_t>(100, 1));
  CFile file;
  file.OpenForWriting(path.c_str());
  EXPECT_EQ(file.GetSize(), 100u);
  file.Seek(10);
  file.Write("xyz", 3);
  file.Flush();
  EXPECT_EQ(testing::ReadFileBytes(path).size(), 100u);
  file.Truncate();
  file.Close();
  std::vector<std::uint8_t> bytes = testing::ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 13u);
  EXPECT_EQ(bytes[10], 'x');
  EXPECT_EQ(bytes[0], 1);
}

TEST_F(FileTest, OpenForWritingCreatesAMissingFile) {
  std::string path = dir_.File("new.pdb");
  CFile file;
  file.OpenForWriting(path.c_str());
  file.Write("a", 1);
  file.Close();
  EXPECT_EQ(testing::ReadFileBytes(path), std::vector<std::uint8_t>{'a'});
}

TEST_F(FileTest, TruncateExtendsWithZeros) {
  std::string path = dir_.File("grow.bin");
  CFile file;
  file.Open(path.c_str(), file::kWrite, file::kShareNone, file::kCreateAlways, file::kNoFlags);
  file.Seek(5);
  file.Truncate();
  file.Close();
  EXPECT_EQ(testing::ReadFileBytes(path), std::vector<std::uint8_t>(5, 0));
}

TEST_F(FileTest, EmptyPathsAndPathsLongerThan259CharactersAreRefusedBeforeOpening) {
  std::string longPath = dir_.path() + "/" + std::string(300, 'n');
  CFile file;
  std::string reason;
  EXPECT_EQ(Raised([&] { file.OpenForWriting(longPath.c_str()); }, &reason),
            CannotAccess(longPath).substr(0, 6 + kErrorTextCapacity - 1));
  EXPECT_EQ(reason,
            "the path has " + std::to_string(longPath.size()) + " characters, more than 259");
  EXPECT_FALSE(testing::FileExists(longPath));
  EXPECT_EQ(std::string(file.GetName()).size(), kMaxPathLength);
  EXPECT_EQ(Raised([&] { file.OpenForReading(""); }, &reason), CannotAccess(""));
  EXPECT_EQ(reason, "the path is empty");
}

// Here the directory opens and is then refused; Windows refuses to open it.
TEST_F(FileTest, DirectoriesAreNotFiles) {
  CFile file;
  std::string reason;
  EXPECT_EQ(Raised([&] { file.OpenForReading(dir_.path().c_str()); }, &reason),
            CannotAccess(dir_.path()));
  EXPECT_TRUE(reason == "the path names no regular file" ||
              reason.rfind("cannot open the file: ", 0) == 0)
      << reason;
}

TEST_F(FileTest, CreateNewRefusesAnExistingFile) {
  std::string path = dir_.File("exists.bin");
  testing::WriteFileBytes(path, {1});
  CFile file;
  EXPECT_THROW(
      file.Open(path.c_str(), file::kWrite, file::kShareNone, file::kCreateNew, file::kNoFlags),
      CErr);
}

TEST_F(FileTest, ClosingTwiceIsHarmlessAndAClosedFileRefusesWork) {
  std::string path = dir_.File("c.bin");
  CFile file;
  file.OpenForWriting(path.c_str());
  file.Close();
  file.Close();
  char byte = 0;
  std::string reason;
  EXPECT_EQ(Raised([&] { file.Write(&byte, 1); }, &reason), CannotAccess(path));
  EXPECT_EQ(reason, "the file is not open");
  EXPECT_EQ(file.GetSize(), 0u);
}

TEST_F(FileTest, InjectedWriteAndFlushFailuresRaise60002) {
  std::string path = dir_.File("faults.bin");
  CFile file;
  file.OpenForWriting(path.c_str());
  std::string reason;
  {
    ScopedFault fault(FaultPoint::kFileWrite, 2);
    file.Write("a", 1);
    EXPECT_EQ(Raised([&] { file.Write("b", 1); }, &reason), CannotAccess(path));
    EXPECT_EQ(reason, "a write failed (fault injection)");
  }
  {
    ScopedFault fault(FaultPoint::kFileFlush, 1);
    EXPECT_EQ(Raised([&] { file.Flush(); }, &reason), CannotAccess(path));
    EXPECT_EQ(reason, "a flush failed (fault injection)");
  }
  file.Flush();
}

TEST_F(FileTest, SeekBeyondTheSigned32BitRangeFails) {
  std::string path = dir_.File("s.bin");
  CFile file;
  file.OpenForWriting(path.c_str());
  std::string reason;
  EXPECT_EQ(Raised([&] { file.Seek(0x80000000u); }, &reason), CannotAccess(path));
  EXPECT_EQ(reason, "position 2147483648 lies past 2 GiB");
}

}  // namespace
}  // namespace kd
