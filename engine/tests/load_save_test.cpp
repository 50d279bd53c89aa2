// Loading and saving database files: layout, attributes, blocks, corrupt
// files, and the durability of saving.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/pdb_database.h"
#include "foundation/clock.h"
#include "foundation/fault_injection.h"
#include "foundation/platform.h"
#include "testing/outcomes.h"
#include "testing/pdb_image.h"
#include "testing/temp_dir.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kd {
namespace {

using testing::Bytes;
using testing::CannotAccess;
using testing::Get16;
using testing::Get32;
using testing::PdbImage;
using testing::Raised;
using testing::RecordSpec;

// 2026-12-08 10:00:00, as Palm time.
const CalendarTime kFixedNow = {2026, 12, 2, 8, 10, 0, 0, 0};
constexpr std::uint32_t kFixedNowPalm = 3879568800u;

class LoadSaveTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFixedLocalClock(kFixedNow); }
  void TearDown() override {
    ClearFixedLocalClock();
    ClearFaults();
  }

  std::string Write(const Bytes& bytes, const std::string& name = "db.pdb") {
    std::string path = dir_.File(name);
    testing::WriteFileBytes(path, bytes);
    return path;
  }

  std::unique_ptr<CPdbDatabase> Open(const std::string& path) {
    auto db = std::make_unique<CPdbDatabase>(path.c_str());
    db->Load();
    return db;
  }

  std::unique_ptr<CPdbDatabase> Open(const Bytes& bytes) { return Open(Write(bytes)); }

  static PdbImage ThreeRecords() {
    PdbImage image;
    image.records = {
        {0x000101, 0x40 | 0x03, {1, 2, 3}}, {0x000102, 0x10, {4, 5}}, {0xABCDEF, 0x2F, {6}}};
    return image;
  }

  // Files in the test directory, to check that no temporary file is left.
  std::vector<std::string> Listing() const { return testing::ListDirectory(dir_.path()); }

  testing::TempDir dir_;
};

TEST_F(LoadSaveTest, NewDatabaseSavedRightAfterCreation) {
  std::string path = dir_.File("new.pdb");
  CPdbDatabase db(path.c_str());
  db.CreateTable("Fresh", "DATA", "KdTs");
  db.Save();
  Bytes bytes = testing::ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 80u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.data())), "Fresh");
  for (std::size_t i = 5; i < 32; ++i)
    EXPECT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(Get16(bytes, 32), 0);  // attributes
  EXPECT_EQ(Get16(bytes, 34), 1);  // version
  EXPECT_EQ(Get32(bytes, 36), kFixedNowPalm);
  EXPECT_EQ(Get32(bytes, 40), kFixedNowPalm);
  EXPECT_EQ(Get32(bytes, 44), kFixedNowPalm);
  EXPECT_EQ(Get32(bytes, 48), 1u);  // modificationNumber
  EXPECT_EQ(Get32(bytes, 52), 0u);
  EXPECT_EQ(Get32(bytes, 56), 0u);
  EXPECT_EQ(std::string(bytes.begin() + 60, bytes.begin() + 68), "DATAKdTs");
  EXPECT_EQ(Get32(bytes, 68), 0u);
  EXPECT_EQ(Get32(bytes, 72), 0u);
  EXPECT_EQ(Get16(bytes, 76), 0);
  EXPECT_EQ(Get16(bytes, 78), 0);
}

TEST_F(LoadSaveTest, LoadReadsHeaderRecordsAndAttributes) {
  PdbImage image = ThreeRecords();
  image.appInfo = {0xA1, 0xA2};
  image.sortInfo = {0x51};
  image.uniqueIDSeed = 0x200;
  auto db = Open(image.Build());
  EXPECT_EQ(db->GetName(), "Test");
  EXPECT_EQ(db->GetType(), "DATA");
  EXPECT_EQ(db->GetCreator(), "KdTs");
  EXPECT_EQ(db->GetModificationNumber(), 7u);
  EXPECT_EQ(db->GetUniqueIDSeed(), 0x200u);
  ASSERT_EQ(db->GetLiveCount(), 3);
  EXPECT_EQ(db->GetCurrent(), -1);
  struct Expected {
    std::uint32_t id;
    bool dirty, secret;
    std::uint8_t category;
    Bytes data;
  } expected[] = {{0x101, true, false, 3, {1, 2, 3}},
                  {0x102, false, true, 0, {4, 5}},
                  {0xABCDEF, false, false, 15, {6}}};  // the busy bit is dropped
  for (int i = 0; i < 3; ++i) {
    const CPdbRecord* record = db->GetLiveRecord(i);
    EXPECT_EQ(record->uniqueID, expected[i].id);
    EXPECT_EQ(record->dirty, expected[i].dirty);
    EXPECT_EQ(record->secret, expected[i].secret);
    EXPECT_EQ(record->category, expected[i].category);
    EXPECT_EQ(record->index, i);
    EXPECT_EQ(Bytes(record->GetBuffer(), record->GetBuffer() + record->Size()), expected[i].data);
  }
  EXPECT_EQ(db->GetBlock(InfoBlock::kAppInfo), CVariant::Bytes({0xA1, 0xA2}));
  EXPECT_EQ(db->GetBlock(InfoBlock::kSortInfo), CVariant::Bytes({0x51}));
}

TEST_F(LoadSaveTest, DeleteBitWithDataIsArchivedWithoutIsDeleted) {
  PdbImage image;
  image.records = {{1, 0x80, {}}, {2, 0x00, {9}}, {3, 0x80, {7, 7}}, {4, 0x00, {}}};
  auto db = Open(image.Build());
  ASSERT_EQ(db->GetLiveCount(), 2);
  EXPECT_EQ(db->GetLiveRecord(0)->uniqueID, 2u);
  EXPECT_EQ(db->GetLiveRecord(1)->uniqueID, 4u);
  EXPECT_EQ(db->GetLiveRecord(1)->Size(), 0u);  // a live record without data
  ASSERT_EQ(db->GetDeletedCount(), 2);
  EXPECT_TRUE(db->GetDeletedRecord(0)->deleted);
  EXPECT_TRUE(db->GetDeletedRecord(1)->archived);
  EXPECT_EQ(db->GetDeletedRecord(1)->Size(), 2u);
}

// Saved as loaded, and again after every record has been read (a record a
// load never used is written from the file image; one it used, from itself):
// the same file.
TEST_F(LoadSaveTest, SaveWritesLiveRecordsFirstWithOffsetsComputedBeforehand) {
  PdbImage image;
  image.records = {{1, 0x80, {}}, {2, 0x20 | 0x05, {9}}, {3, 0x80, {7, 7}}, {4, 0x00, {}}};
  image.appInfo = {0xAA};
  for (const bool readFirst : {false, true}) {
    SCOPED_TRACE(readFirst ? "every record read before saving" : "saved as loaded");
    std::string path = Write(image.Build());
    auto db = Open(path);
    if (readFirst) {
      for (std::int32_t i = 0; i < db->GetLiveCount(); ++i)
        db->GetLiveRecord(i);
      for (std::int32_t i = 0; i < db->GetDeletedCount(); ++i)
        db->GetDeletedRecord(i);
    }
    db->Save();
    Bytes bytes = testing::ReadFileBytes(path);
    // Header, 4 entries, gap, 1 AppInfo byte, record 2's byte, record 3's two bytes.
    ASSERT_EQ(bytes.size(), 78u + 32 + 2 + 1 + 1 + 2);
    EXPECT_EQ(Get32(bytes, 48), 8u);             // modificationNumber + 1
    EXPECT_EQ(Get32(bytes, 40), kFixedNowPalm);  // modificationDate
    EXPECT_EQ(Get32(bytes, 36), 0xC0000001u);    // creationDate kept
    EXPECT_EQ(Get32(bytes, 52), 112u);           // AppInfo right after the gap
    EXPECT_EQ(Get32(bytes, 56), 0u);
    struct Entry {
      std::uint32_t offset;
      std::uint8_t attributes;
      std::uint32_t id;
    } entries[] = {{113, 0x05, 2},   // live, busy bit written as 0
                   {114, 0x00, 4},   // live, no data: points where the next data begins
                   {114, 0x80, 1},   // deleted: no data
                   {114, 0x80, 3}};  // archived: its data
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(Get32(bytes, testing::EntryOffset(i)), entries[i].offset) << i;
      EXPECT_EQ(bytes[testing::EntryOffset(i) + 4], entries[i].attributes) << i;
      EXPECT_EQ(bytes[testing::EntryOffset(i) + 7], entries[i].id) << i;
    }
    EXPECT_EQ(Get16(bytes, 110), 0);  // gap
    EXPECT_EQ(Bytes(bytes.begin() + 112, bytes.end()), (Bytes{0xAA, 9, 7, 7}));
    // And it loads back the same.
    auto again = Open(path);
    EXPECT_EQ(again->GetLiveCount(), 2);
    EXPECT_EQ(again->GetDeletedCount(), 2);
    EXPECT_TRUE(again->GetDeletedRecord(0)->deleted);
    EXPECT_TRUE(again->GetDeletedRecord(1)->archived);
  }
}

TEST_F(LoadSaveTest, NoRecordsKeepsTheTwoBytesAfterTheHeaderAndBlocksStartAt80) {
  PdbImage image;
  image.appInfo = {1, 2, 3};
  image.sortInfo = {4, 5};
  Bytes bytes = image.Build();
  // Without records the builder still writes its gap; put bytes there.
  bytes[78] = 0x12;
  bytes[79] = 0x34;
  std::string path = Write(bytes);
  auto db = Open(path);
  EXPECT_EQ(db->GetBlock(InfoBlock::kSortInfo), CVariant::Bytes({4, 5}));  // to the end
  db->Save();
  Bytes saved = testing::ReadFileBytes(path);
  EXPECT_EQ(saved, bytes.size() == saved.size() ? saved : Bytes());
  EXPECT_EQ(saved[78], 0x12);
  EXPECT_EQ(saved[79], 0x34);
  EXPECT_EQ(Get32(saved, 52), 80u);
  EXPECT_EQ(Get32(saved, 56), 83u);
}

TEST_F(LoadSaveTest, BlockOffsetsAtOrPastTheEndAreAbsent) {
  PdbImage image = ThreeRecords();
  Bytes bytes = image.Build();
  testing::Set32(bytes, 52, static_cast<std::uint32_t>(bytes.size()));
  testing::Set32(bytes, 56, 0xFFFFFFF0u);
  std::string path = Write(bytes);
  auto db = Open(path);
  EXPECT_EQ(db->GetBlock(InfoBlock::kAppInfo), CVariant::Bytes({}));
  db->Save();
  Bytes saved = testing::ReadFileBytes(path);
  EXPECT_EQ(Get32(saved, 52), 0u);
  EXPECT_EQ(Get32(saved, 56), 0u);
}

TEST_F(LoadSaveTest, FortyThousandRecordsLoadAgain) {
  PdbImage image;
  for (std::uint32_t i = 1; i <= 40000; ++i) {
    image.records.push_back({i, 0, {static_cast<std::uint8_t>(i)}});
  }
  std::string path = Write(image.Build());
  auto db = Open(path);
  db->Save();
  auto again = Open(path);
  ASSERT_EQ(again->GetLiveCount(), 40000);
  EXPECT_EQ(again->GetLiveRecord(39999)->uniqueID, 40000u);
  EXPECT_EQ(again->GetLiveRecord(39999)->GetBuffer()[0], static_cast<std::uint8_t>(40000));
}

// Corrupt files: a valid image with bytes changed, the exact error each
// gives, and the reason, which names the check that fired. The image: header
// and three entries to 0x66, the gap, AppInfo at 0x68 (4 bytes), SortInfo at
// 0x6C (2 bytes), records at 0x6E, 0x71 and 0x73; 0x74 bytes in all.
TEST_F(LoadSaveTest, CorruptFilesAreRefusedWithTheirErrorAndReason) {
  struct Case {
    const char* what;
    void (*corrupt)(Bytes&);
    bool chained;  // 10020 instead of 60002
    const char* reason;
  } cases[] = {
      {"shorter than the header", [](Bytes& b) { b.resize(79); }, false,
       "the file has 79 bytes, fewer than the 80 of a header"},
      {"record list past the end", [](Bytes& b) { testing::Set16(b, 76, 300); }, false,
       "the record list of 300 entries ends at 0x000009AE, past the end of the file (size "
       "0x00000074)"},
      {"chained record list", [](Bytes& b) { testing::Set32(b, 72, 1); }, true,
       "the record list goes on in another list (at 0x00000001)"},
      {"record offset past the end",
       [](Bytes& b) {
         testing::Set32(b, testing::EntryOffset(2), static_cast<std::uint32_t>(b.size() + 1));
       },
       false, "record 2: offset 0x00000075 lies past the end of the file (size 0x00000074)"},
      {"decreasing offsets",
       [](Bytes& b) {
         testing::Set32(b, testing::EntryOffset(1), Get32(b, testing::EntryOffset(0)) - 1);
       },
       false, "record 1: offset 0x0000006D comes before the previous record's (0x0000006E)"},
      {"record offset inside the record list",
       [](Bytes& b) { testing::Set32(b, testing::EntryOffset(0), 80); }, false,
       "record 0: offset 0x00000050 lies inside the header or the record list (which end at "
       "0x00000066)"},
      {"AppInfo past the first record",
       [](Bytes& b) { testing::Set32(b, 52, Get32(b, testing::EntryOffset(1))); }, false,
       "the AppInfo block at 0x00000071 begins after what follows it (at 0x0000006C)"},
      {"SortInfo before AppInfo", [](Bytes& b) { testing::Set32(b, 56, Get32(b, 52) - 1); }, false,
       "the AppInfo block at 0x00000068 begins after what follows it (at 0x00000067)"},
      {"AppInfo inside the header", [](Bytes& b) { testing::Set32(b, 52, 10); }, false,
       "the AppInfo block at 0x0000000A lies inside the header or the record list (which end "
       "at 0x00000066)"},
      {"SortInfo inside the record list, without AppInfo",
       [](Bytes& b) {
         testing::Set32(b, 52, 0);
         testing::Set32(b, 56, 90);
       },
       false,
       "the SortInfo block at 0x0000005A lies inside the header or the record list (which end "
       "at 0x00000066)"},
      {"SortInfo past the first record",
       [](Bytes& b) { testing::Set32(b, 56, Get32(b, testing::EntryOffset(1))); }, false,
       "the SortInfo block at 0x00000071 begins after what follows it (at 0x0000006E)"},
  };
  for (const Case& c : cases) {
    PdbImage image = ThreeRecords();
    image.appInfo = {1, 2, 3, 4};
    image.sortInfo = {5, 6};
    Bytes bytes = image.Build();
    c.corrupt(bytes);
    std::string path = Write(bytes, "corrupt.pdb");
    CPdbDatabase db(path.c_str());
    std::string expected =
        c.chained ? "text: Chained record lists not supported." : CannotAccess(path);
    std::string reason;
    EXPECT_EQ(Raised([&] { db.Load(); }, &reason), expected) << c.what;
    EXPECT_EQ(reason, c.reason) << c.what;
    EXPECT_EQ(db.GetLiveCount(), 0) << c.what;
  }
}

TEST_F(LoadSaveTest, AnEntryWithOffsetZeroHasNoData) {
  PdbImage image = ThreeRecords();
  Bytes bytes = image.Build();
  testing::Set32(bytes, testing::EntryOffset(1), 0);
  auto db = Open(bytes);
  ASSERT_EQ(db->GetLiveCount(), 3);
  EXPECT_EQ(db->GetLiveRecord(0)->Size(), 5u);  // up to the next non-zero offset
  EXPECT_EQ(db->GetLiveRecord(1)->Size(), 0u);
  EXPECT_EQ(db->GetLiveRecord(2)->Size(), 1u);
}

TEST_F(LoadSaveTest, MissingFileAndOverlongPath) {
  std::string missing = dir_.File("none.pdb");
  CPdbDatabase db(missing.c_str());
  std::string reason;
  EXPECT_EQ(Raised([&] { db.Load(); }, &reason), CannotAccess(missing));
  EXPECT_EQ(reason.rfind("cannot open the file: ", 0), 0u) << reason;
  std::string longPath = dir_.path() + "/" + std::string(260, 'x');
  EXPECT_EQ(Raised([&] { CPdbDatabase tooLong(longPath.c_str()); }),
            CannotAccess(longPath).substr(0, 6 + kErrorTextCapacity - 1));
}

// ---- durability of saving ----

class AtomicSaveTest : public LoadSaveTest {
 protected:
  // Whether `reason` is `step` followed by the path of a temporary file in
  // the test directory ("~kd" + 8 hexadecimal digits + ".tmp").
  bool NamesTheTemporaryFile(const std::string& reason, const std::string& step) const {
    const std::string start = step + dir_.File("~kd");
    return reason.size() == start.size() + 12 && reason.rfind(start, 0) == 0 &&
           reason.compare(reason.size() - 4, 4, ".tmp") == 0;
  }
};

// A failed save names the step that failed and the temporary file; the
// engine keeps its changes, the failed save's modification number included,
// and the next save writes them. (The failure sweeps prove that the file and
// the directory stay as they were at every point.)
TEST_F(AtomicSaveTest, AFailedSaveNamesItsStepAndKeepsTheChanges) {
  const struct {
    FaultPoint point;
    const char* step;
  } cases[] = {{FaultPoint::kFileWrite, "cannot write "},
               {FaultPoint::kFileFlush, "cannot write "},
               {FaultPoint::kFileReplace, "cannot replace the file with "}};
  for (const auto& c : cases) {
    std::string path = Write(ThreeRecords().Build());
    auto db = Open(path);
    db->MoveTo(0, true);
    db->Edit();
    db->GetEditRecord().Assign("changed", 7);
    db->GetEditRecord().uniqueID = 0x101;
    std::string reason;
    {
      ScopedFault fault(c.point, 1);
      EXPECT_EQ(Raised([&] { db->Update(nullptr); }, &reason), CannotAccess(path)) << c.step;
    }
    EXPECT_TRUE(NamesTheTemporaryFile(reason, c.step)) << reason;
    db->Save();
    auto again = Open(path);
    EXPECT_EQ(again->GetLiveRecord(0)->Size(), 7u) << c.step;
    EXPECT_EQ(again->GetModificationNumber(), 9u) << c.step;  // the failed save counted too
  }
}

TEST_F(AtomicSaveTest, AReadOnlyDatabaseIsNotReplaced) {
  std::string path = Write(ThreeRecords().Build());
  namespace fs = std::filesystem;
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
#ifndef _WIN32
  if (geteuid() == 0) GTEST_SKIP() << "root may write read-only files";
#endif
  Bytes before = testing::ReadFileBytes(path);
  auto db = Open(path);
  std::string reason;
  EXPECT_EQ(Raised([&] { db->Save(); }, &reason), CannotAccess(path));
  EXPECT_EQ(reason, "the file is read-only");
  EXPECT_EQ(testing::ReadFileBytes(path), before);
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(AtomicSaveTest, SavingOverwritesAnExistingFileOfAnyLength) {
  std::string path = Write(Bytes(5000, 0xEE));
  CPdbDatabase db(path.c_str());
  db.CreateTable("x", "DATA", "KdTs");
  db.Save();
  EXPECT_EQ(testing::ReadFileBytes(path).size(), 80u);
}

#ifndef _WIN32
TEST_F(AtomicSaveTest, PermissionBitsOfTheTargetAreKept) {
  std::string path = Write(ThreeRecords().Build());
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  auto db = Open(path);
  db->Save();
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(AtomicSaveTest, ASymbolicLinkKeepsPointingAtTheDatabase) {
  std::string real = Write(ThreeRecords().Build(), "real.pdb");
  std::string link = dir_.File("link.pdb");
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  auto db = Open(link);
  db->Save();
  struct stat info;
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(testing::FileModificationNumber(real), 8u);
}

// A real limit on file size: a child process saves under RLIMIT_FSIZE smaller
// than the database, so the write fails part-way for real.
TEST_F(AtomicSaveTest, FileSizeLimitInAChildProcessLeavesTheFileIntact) {
  PdbImage image;
  for (std::uint32_t i = 1; i <= 200; ++i)
    image.records.push_back({i, 0, Bytes(100, 0x5A)});
  std::string path = Write(image.Build());
  Bytes before = testing::ReadFileBytes(path);
  ::fflush(nullptr);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {8192, 8192};
    setrlimit(RLIMIT_FSIZE, &limit);
    int status = 3;
    try {
      CPdbDatabase db(path.c_str());
      db.Load();
      db.Save();
      status = 1;  // the save should not have succeeded
    } catch (const CErr& error) {
      const bool text = std::string(error.GetText()) == "Cannot access file '" + path + "'.";
      const bool reason = std::string(error.GetReason()).rfind("cannot write ", 0) == 0;
      status = text && reason ? 0 : 2;
    }
    _exit(status);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(testing::ReadFileBytes(path), before);
  EXPECT_EQ(Listing(), std::vector<std::string>{"db.pdb"});
}
#endif

TEST_F(LoadSaveTest, UniqueIDsAboveTwentyFourBitsAreWrittenAsTheirLowBits) {
  std::string path = dir_.File("ids.pdb");
  {
    CPdbDatabase db(path.c_str());
    db.CreateTable("x", "DATA", "KdTs");
    db.AddNew();
    db.GetEditRecord().uniqueID = 0x12345678;
    db.Update(nullptr);
    EXPECT_EQ(db.GetLiveRecord(0)->uniqueID, 0x345678u);
  }
  auto db = Open(path);
  EXPECT_EQ(db->GetLiveRecord(0)->uniqueID, 0x345678u);
}

}  // namespace
}  // namespace kd
