// The record store at the engine's own interface: strict and loose moves, the
// adding and editing marks, unique-ID allocation and checks, the record lists
// and what each deletion mode leaves in the file. What callers see through the
// objects (cursor, editing, deleting, info blocks, new tables) is tested over
// both objects in recordset/tests/object_contract_test.cpp.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/pdb_database.h"
#include "testing/outcomes.h"
#include "testing/pdb_image.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

using testing::Bytes;
using testing::PdbImage;
using testing::Raised;

class RecordStoreTest : public ::testing::Test {
 protected:
  // A database file with these records (ID, attributes, data), loaded.
  std::unique_ptr<CPdbDatabase> Open(const PdbImage& image) {
    path_ = dir_.File("store.pdb");
    testing::WriteFileBytes(path_, image.Build());
    return Reload();
  }

  std::unique_ptr<CPdbDatabase> Reload() {
    auto db = std::make_unique<CPdbDatabase>(path_.c_str());
    db->Load();
    return db;
  }

  std::unique_ptr<CPdbDatabase> Create() {
    path_ = dir_.File("store.pdb");
    auto db = std::make_unique<CPdbDatabase>(path_.c_str());
    db->CreateTable("Store", "DATA", "KdTs");
    db->Save();
    return db;
  }

  static PdbImage Records(std::vector<testing::RecordSpec> records, std::uint32_t seed = 0) {
    PdbImage image;
    image.records = std::move(records);
    image.uniqueIDSeed = seed;
    return image;
  }

  // Sets the edit record's data and unique ID.
  static void Fill(CPdbDatabase& db, const std::string& data, std::uint32_t id) {
    db.GetEditRecord().Assign(data.data(), static_cast<std::uint32_t>(data.size()));
    db.GetEditRecord().uniqueID = id;
  }

  testing::TempDir dir_;
  std::string path_;
};

TEST_F(RecordStoreTest, FirstRecordOfANewDatabase) {
  auto db = Create();
  db->AddNew();
  Fill(*db, "one", 0);
  db->Update(nullptr);
  EXPECT_EQ(db->GetLiveRecord(0)->uniqueID, 1u);
  EXPECT_EQ(db->GetCurrent(), 0);
  EXPECT_EQ(db->GetUniqueIDSeed(), 1u);
  EXPECT_TRUE(db->GetLiveRecord(0)->dirty);
  EXPECT_EQ(Reload()->GetLiveCount(), 1);
}

TEST_F(RecordStoreTest, AllocationSkipsIdsInUse) {
  auto db = Open(Records({{6, 0, {1}}}, 5));
  db->AddNew();
  Fill(*db, "x", 0);
  db->Update(nullptr);
  EXPECT_EQ(db->GetLiveRecord(1)->uniqueID, 7u);
  EXPECT_EQ(db->GetUniqueIDSeed(), 7u);
}

TEST_F(RecordStoreTest, AllocationStaysWithinTwentyFourBits) {
  auto db = Open(Records({{1, 0, {1}}, {2, 0, {2}}}, 0xFFFFFE));
  EXPECT_EQ(db->AllocateUniqueID(), 0xFFFFFFu);
  EXPECT_EQ(db->AllocateUniqueID(), 3u);  // wraps to 1; 1 and 2 are taken
  auto seeded = Open(Records({{5, 0, {1}}}, 0x7FFFFFFF));
  EXPECT_EQ(seeded->AllocateUniqueID(), 1u);
}

TEST_F(RecordStoreTest, EditThenTwoUpdatesWriteTwice) {
  auto db = Open(Records({{1, 0, {1}}}));
  db->MoveTo(0, true);
  db->Edit();
  Fill(*db, "ab", 1);
  db->Update(nullptr);
  db->Update(nullptr);
  EXPECT_EQ(testing::FileModificationNumber(path_), 9u);  // 7 + 2
  EXPECT_TRUE(db->IsEditing());
}

TEST_F(RecordStoreTest, ChangingTheUniqueIDOfAnEdit) {
  struct Case {
    std::uint32_t newId;
    std::string outcome;
  } cases[] = {
      {2, "code 10017: Database already contains a record with this UniqueID."},  // live
      {3, "code 10017: Database already contains a record with this UniqueID."},  // deleted
      {4, "code 10017: Database already contains a record with this UniqueID."},  // archived
      {5, "ok"},                                                                  // removed
      {99, "ok"},                                                                 // unused
  };
  for (const Case& c : cases) {
    auto db = Open(Records({{1, 0, {1}}, {2, 0, {2}}, {3, 0x80, {}}, {4, 0x80, {4}}, {5, 0, {5}}}));
    db->MoveTo(2, true);
    db->Delete(kdRecordRemove);  // record 5 is gone: its ID is free again
    db->MoveTo(0, true);
    db->Edit();
    Fill(*db, "new", c.newId);
    EXPECT_EQ(Raised([&] { db->Update(nullptr); }), c.outcome) << c.newId;
    if (c.outcome != "ok") {
      EXPECT_EQ(db->GetLiveRecord(0)->uniqueID, 1u);
      continue;
    }
    EXPECT_EQ(Raised([&] { db->LookupUniqueID(1); }),
              "code 10008: No record found for this UniqueId.");
    db->LookupUniqueID(c.newId);
    EXPECT_EQ(db->GetCurrent(), 0);
    auto reloaded = Reload();
    EXPECT_EQ(reloaded->GetLiveRecord(0)->uniqueID, c.newId);
  }
}

TEST_F(RecordStoreTest, ALoadedRecordWithIdZeroGetsANewIdWhenEdited) {
  auto db = Open(Records({{0, 0, {1}}}, 41));
  db->MoveTo(0, true);
  db->Edit();
  Fill(*db, "x", 0);
  db->Update(nullptr);
  EXPECT_EQ(db->GetLiveRecord(0)->uniqueID, 42u);
  db->LookupUniqueID(42);
  EXPECT_EQ(Raised([&] { db->LookupUniqueID(0); }),
            "code 10008: No record found for this UniqueId.");
}

TEST_F(RecordStoreTest, CursorMoves) {
  auto db = Open(Records({{1, 0, {1}}, {2, 0, {2}}}));
  struct Case {
    std::int32_t position;
    bool strict;
    bool allowed;
  } cases[] = {{-1, false, true}, {2, false, true},  {0, false, true}, {-2, false, false},
               {3, false, false}, {-1, true, false}, {2, true, false}, {1, true, true}};
  for (const Case& c : cases) {
    db->MoveTo(1, true);
    db->Edit();
    std::string outcome = Raised([&] { db->MoveTo(c.position, c.strict); });
    if (c.allowed) {
      EXPECT_EQ(outcome, "ok");
      EXPECT_EQ(db->GetCurrent(), c.position);
      EXPECT_FALSE(db->IsEditing());
    } else {
      EXPECT_EQ(outcome, "code 10007: Invalid cursor operation.");
      EXPECT_EQ(db->GetCurrent(), 1);  // a rejected move keeps the cursor
      EXPECT_TRUE(db->IsEditing());
    }
  }
  db->MoveTo(2, false);
  EXPECT_EQ(db->GetCurrentRecord(), nullptr);
}

// Deleted and archived records go to the deleted list and are written after
// the live ones (a deleted one without its data); removed ones are gone.
TEST_F(RecordStoreTest, DeleteModesInTheListsAndTheFile) {
  struct Case {
    std::int32_t mode;
    std::int32_t deletedCount;
    std::uint8_t entryAttributes;  // of the deleted record's entry, 0xFF when gone
    std::size_t fileSize;
  } cases[] = {
      {kdRecordDelete, 1, 0x80, 78 + 16 + 2 + 1},
      {kdRecordArchive, 1, 0x80, 78 + 16 + 2 + 1 + 3},
      {kdRecordRemove, 0, 0xFF, 78 + 8 + 2 + 1},
  };
  for (const Case& c : cases) {
    auto db = Open(Records({{1, 0, {1, 1, 1}}, {2, 0, {2}}}));
    db->MoveTo(0, true);
    db->Delete(c.mode);
    EXPECT_EQ(db->GetCurrentRecord()->uniqueID, 2u);
    EXPECT_EQ(db->GetLiveRecord(0)->index, 0);
    EXPECT_EQ(db->GetDeletedCount(), c.deletedCount);
    Bytes file = testing::ReadFileBytes(path_);
    EXPECT_EQ(file.size(), c.fileSize) << c.mode;
    if (c.entryAttributes != 0xFF) {
      EXPECT_EQ(file[testing::EntryOffset(1) + 4], c.entryAttributes);
      EXPECT_EQ(file[testing::EntryOffset(1) + 7], 1);  // written after the live record
    }
  }
}

TEST_F(RecordStoreTest, RecordSizeLimit) {
  auto db = Open(Records({{1, 0, {1}}}));
  db->MoveTo(0, true);
  db->Edit();
  Fill(*db, std::string(65519, 'a'), 1);
  db->Update(nullptr);
  EXPECT_EQ(Reload()->GetLiveRecord(0)->Size(), 65519u);
  Fill(*db, std::string(65520, 'b'), 1);
  EXPECT_EQ(Raised([&] { db->Update(nullptr); }), "code 10018: Record size exceeds 64 kb.");
  EXPECT_EQ(db->GetLiveRecord(0)->Size(), 65519u);
}

TEST_F(RecordStoreTest, RecordCountLimitCountsDeletedRecords) {
  PdbImage image;
  for (std::uint32_t i = 1; i <= 65535; ++i) {
    image.records.push_back({i, static_cast<std::uint8_t>(i % 2 ? 0 : 0x80), {}});
  }
  auto db = Open(image);
  db->AddNew();
  Fill(*db, "x", 0);
  EXPECT_EQ(Raised([&] { db->Update(nullptr); }), "code 10019: Too many records in database.");
  db->MoveTo(0, true);
  db->Edit();
  Fill(*db, "x", 1);
  EXPECT_EQ(Raised([&] { db->Update(nullptr); }), "ok");
}

TEST_F(RecordStoreTest, CancelUpdateClearsBothMarks) {
  auto db = Open(Records({{1, 0, {1}}}));
  EXPECT_FALSE(db->CancelUpdate());
  db->AddNew();
  EXPECT_TRUE(db->CancelUpdate());
  EXPECT_FALSE(db->IsAdding());
  EXPECT_FALSE(db->IsEditing());
  db->Update(nullptr);
  EXPECT_EQ(db->GetLiveCount(), 1);
}

TEST_F(RecordStoreTest, DuplicateIdsFromAFileStayEditable) {
  // Another tool wrote two records with the same ID.
  auto db = Open(Records({{7, 0, {1}}, {7, 0, {2}}, {8, 0x80, {3}}, {8, 0, {4}}}));
  for (std::int32_t i = 0; i < 2; ++i) {
    db->MoveTo(i, true);
    db->Edit();
    Fill(*db, "e", 7);
    EXPECT_EQ(Raised([&] { db->Update(nullptr); }), "ok") << i;
  }
  db->LookupUniqueID(8);  // the live one, not the archived one
  EXPECT_EQ(db->GetCurrentRecord()->GetBuffer()[0], 4);
  db->MoveTo(0, true);
  db->Delete(kdRecordRemove);
  db->LookupUniqueID(7);  // the other record with that ID is still found
  EXPECT_EQ(db->GetCurrent(), 0);
}

TEST_F(RecordStoreTest, AddNewWithACallerIdAboveTwentyFourBitsCannotAlias) {
  auto db = Open(Records({{5, 0, {1}}}));
  db->AddNew();
  Fill(*db, "x", 0x01000005);  // its low 24 bits are record 5's ID
  EXPECT_EQ(Raised([&] { db->Update(nullptr); }),
            "code 10017: Database already contains a record with this UniqueID.");
  Fill(*db, "x", 0x01000000);  // low bits 0: a fresh ID
  db->Update(nullptr);
  EXPECT_EQ(db->GetLiveRecord(1)->uniqueID, 1u);
  auto reloaded = Reload();
  EXPECT_EQ(reloaded->GetLiveRecord(0)->uniqueID, 5u);
  EXPECT_EQ(reloaded->GetLiveRecord(1)->uniqueID, 1u);
}

// Records of a load share the file's bytes and one block of objects; edits,
// changes of ID, removal and additions must leave every other record intact.
TEST_F(RecordStoreTest, LoadedRecordsSurviveEveryKindOfChange) {
  auto db = Open(Records({{1, 0, {1, 1}}, {2, 0, {2, 2}}, {3, 0, {3, 3}}, {4, 0, {4, 4}}}));
  db->MoveTo(1, true);
  db->Edit();
  Fill(*db, "changed", 20);  // a new ID: the record moves in the index
  db->Update(nullptr);
  db->MoveTo(0, true);
  db->Delete(kdRecordRemove);  // destroys a record of the load
  db->MoveTo(1, true);
  db->Delete(kdRecordArchive);
  db->AddNew();
  Fill(*db, "new", 0);
  db->Update(nullptr);
  db->Load();  // a second load on the same engine starts afresh
  ASSERT_EQ(db->GetLiveCount(), 3);
  const char* expected[] = {"changed", "\x04\x04", "new"};
  for (int i = 0; i < 3; ++i) {
    const CPdbRecord* record = db->GetLiveRecord(i);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record->GetBuffer()), record->Size()),
              expected[i]);
  }
  EXPECT_EQ(db->GetLiveRecord(0)->uniqueID, 20u);
  db->LookupUniqueID(20);
  EXPECT_EQ(Raised([&] { db->LookupUniqueID(2); }),
            "code 10008: No record found for this UniqueId.");
  EXPECT_EQ(Raised([&] { db->LookupUniqueID(3); }),
            "code 10009: Record exists in database, but with a deleted or archived status.");
  EXPECT_EQ(db->GetDeletedRecord(0)->Size(), 2u);
}

TEST_F(RecordStoreTest, UpdateCopiesAttributesAndMarksDirty) {
  auto db = Open(Records({{1, 0x80, {}}, {2, 0, {1}}}));
  db->MoveTo(0, true);
  db->Edit();
  Fill(*db, "data", 2);
  db->GetEditRecord().category = 9;
  db->GetEditRecord().secret = true;
  db->GetEditRecord().dirty = false;
  db->Update(nullptr);
  Bytes file = testing::ReadFileBytes(path_);
  EXPECT_EQ(file[testing::EntryOffset(0) + 4], 0x40 | 0x10 | 9);
}

}  // namespace
}  // namespace kd
