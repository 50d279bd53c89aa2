// The benchmark's support code: the fixture image must be a database file the
// engine reads back record for record and writes back byte for byte, and the
// summaries, status parsing and file helpers must report what happened.
#include "bench/bench_support.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/pdb_database.h"
#include "engine/pdb_format.h"
#include "testing/temp_dir.h"

namespace kd::bench {
namespace {

bool Exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

// ---- fixture ----------------------------------------------------------------

struct FixtureCase {
  std::uint32_t count;
  std::uint32_t size;
};

class FixtureImageTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(FixtureImageTest, EngineReadsEveryRecordAndWritesTheSameImage) {
  const FixtureCase c = GetParam();
  const std::uint64_t seed = 0x1234;
  std::vector<std::uint8_t> image = BuildFixtureImage(c.count, c.size, seed);
  ASSERT_EQ(image.size(),
            c.count == 0 ? pdb::kHeaderImageSize
                         : FixtureDataOffset(c.count, c.size, 0) + std::size_t{c.count} * c.size);

  testing::TempDir dir;
  const std::string path = dir.File("fixture.pdb");
  WriteNewFile(path, image.data(), image.size(), false);
  CPdbDatabase db(path.c_str());
  db.Load();
  EXPECT_EQ(db.GetName(), "BenchData");
  EXPECT_EQ(db.GetType(), "DATA");
  EXPECT_EQ(db.GetCreator(), "KdBn");
  EXPECT_EQ(db.GetUniqueIDSeed(), c.count);
  ASSERT_EQ(db.GetLiveCount(), static_cast<std::int32_t>(c.count));
  EXPECT_EQ(db.GetDeletedCount(), 0);
  for (std::uint32_t i = 0; i < c.count; ++i) {
    const CPdbRecord* record = db.GetLiveRecord(static_cast<std::int32_t>(i));
    ASSERT_EQ(record->uniqueID, i + 1) << "record " << i;
    ASSERT_EQ(record->Size(), c.size) << "record " << i;
    std::vector<std::uint8_t> expected = FixtureRecordBytes(seed, i, c.size);
    ASSERT_TRUE(c.size == 0 || std::memcmp(record->GetBuffer(), expected.data(), c.size) == 0)
        << "record " << i;
    ASSERT_EQ(
        std::memcmp(image.data() + FixtureDataOffset(c.count, c.size, i), expected.data(), c.size),
        0)
        << "record " << i;
  }

  // The engine's own image differs only in the fields every save sets.
  db.Save();
  FileBytes saved = ReadWholeFile(path);
  ASSERT_EQ(saved.size, image.size());
  std::vector<std::uint8_t> savedBytes(saved.data.get(), saved.data.get() + saved.size);
  for (std::uint32_t offset : {pdb::kModificationDateOffset, pdb::kModificationNumberOffset}) {
    std::memcpy(savedBytes.data() + offset, image.data() + offset, 4);
  }
  EXPECT_EQ(savedBytes, image);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FixtureImageTest,
                         ::testing::Values(FixtureCase{0, 100}, FixtureCase{1, 100},
                                           FixtureCase{3, 13}, FixtureCase{2, 0},
                                           FixtureCase{300, 100}));

TEST(FixtureImageTest, RefusesWhatTheFormatCannotHold) {
  EXPECT_THROW(BuildFixtureImage(65536, 1, 0), std::invalid_argument);
  EXPECT_THROW(BuildFixtureImage(1, pdb::kRecordSizeLimit, 0), std::invalid_argument);
}

TEST(FixtureRecordBytesTest, DependsOnSeedAndIndexOnly) {
  const std::vector<std::uint8_t> base = FixtureRecordBytes(7, 3, 21);
  ASSERT_EQ(base.size(), 21u);
  EXPECT_EQ(FixtureRecordBytes(7, 3, 21), base);
  EXPECT_NE(FixtureRecordBytes(8, 3, 21), base);
  EXPECT_NE(FixtureRecordBytes(7, 4, 21), base);
  // A longer record starts with the same bytes: the size only cuts.
  std::vector<std::uint8_t> longer = FixtureRecordBytes(7, 3, 40);
  EXPECT_TRUE(std::equal(base.begin(), base.end(), longer.begin()));
  // The tail of a size that is not a multiple of 8 is filled, not left zero.
  int zeros = 0;
  for (std::size_t i = 16; i < 21; ++i)
    zeros += base[i] == 0;
  EXPECT_LT(zeros, 5);
}

// ---- summaries and status lines ---------------------------------------------------

TEST(SummarizeTest, MedianAndBest) {
  struct Case {
    std::vector<double> samples;
    double median;
    double best;
  } cases[] = {
      {{5.0}, 5.0, 5.0},
      {{3.0, 1.0, 2.0}, 2.0, 1.0},
      {{4.0, 1.0, 3.0, 2.0}, 2.5, 1.0},
      {{9.0, 9.0, 1.0, 9.0, 100.0}, 9.0, 1.0},
  };
  for (const Case& c : cases) {
    Summary s = Summarize(c.samples);
    EXPECT_DOUBLE_EQ(s.median, c.median);
    EXPECT_DOUBLE_EQ(s.best, c.best);
  }
  EXPECT_THROW(Summarize({}), std::invalid_argument);
}

TEST(StatusFieldTest, ReadsTheNumberOfTheNamedLine) {
  const std::string status =
      "Name:\tengine_bench\nVmHWMx:\t99 kB\nVmHWM:\t   1234 kB\nVmRSS:\t17 kB\nEmpty:\t\n"
      "Text:\tabc\nLast:\t42";
  struct Case {
    const char* field;
    std::int64_t expected;
  } cases[] = {
      {"VmHWM", 1234},                // not the longer name before it
      {"VmRSS", 17},   {"Last", 42},  // the last line has no newline
      {"VmSwap", -1},                 // missing
      {"Empty", -1},   {"Text", -1},  // no number
      {"HWM", -1},                    // only whole names at the start of a line
  };
  for (const Case& c : cases)
    EXPECT_EQ(StatusField(status, c.field), c.expected) << c.field;
}

TEST(ProcessMemoryTest, CountersMoveWithAllocations) {
  std::string status = ReadProcSelfStatus();
  EXPECT_GT(StatusField(status, "VmRSS"), 0);
  EXPECT_GE(StatusField(status, "VmHWM"), StatusField(status, "VmRSS"));

  const std::uint64_t before = HeapBytesInUse();
  void* block = std::malloc(4 << 20);
  ASSERT_NE(block, nullptr);
  EXPECT_GE(HeapBytesInUse(), before + (4u << 20));
  std::free(block);
  EXPECT_LT(HeapBytesInUse(), before + (4u << 20));
}

TEST(ProcessMemoryTest, PeakResetForgetsMemoryGivenBack) {
  constexpr std::size_t kBlock = 32u << 20;
  void* block = ::mmap(nullptr, kBlock, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(block, MAP_FAILED);
  std::memset(block, 1, kBlock);
  const std::int64_t peakWithBlock = StatusField(ReadProcSelfStatus(), "VmHWM");
  ::munmap(block, kBlock);
  if (!ResetPeakResidentSize()) GTEST_SKIP() << "the kernel refuses to reset the peak";
  const std::int64_t peakAfterReset = StatusField(ReadProcSelfStatus(), "VmHWM");
  EXPECT_LT(peakAfterReset, peakWithBlock - static_cast<std::int64_t>(kBlock / 2048));
}

// ---- files ----------------------------------------------------------------------

TEST(FilesTest, WriteThenReadRoundTripsAndNewFilesAreNew) {
  testing::TempDir dir;
  const std::string data = "some bytes for the floor";
  for (bool sync : {false, true}) {
    const std::string path = dir.File(sync ? "synced" : "plain");
    WriteNewFile(path, data.data(), data.size(), sync);
    FileBytes read = ReadWholeFile(path);
    ASSERT_EQ(read.size, data.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(read.data.get()), read.size), data);
    EXPECT_THROW(WriteNewFile(path, data.data(), data.size(), sync), std::runtime_error);
  }
  EXPECT_THROW(ReadWholeFile(dir.File("missing")), std::runtime_error);

  RenameFile(dir.File("plain"), dir.File("synced"));
  EXPECT_FALSE(Exists(dir.File("plain")));
  EXPECT_TRUE(Exists(dir.File("synced")));
  SyncDirectory(dir.path());
  RemoveFile(dir.File("synced"));
  RemoveFile(dir.File("synced"));  // already gone: not an error
  EXPECT_FALSE(Exists(dir.File("synced")));
}

}  // namespace
}  // namespace kd::bench
