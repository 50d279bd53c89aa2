// States of the raw database object, its errors as callers see them, and the
// effects of its operations on the file.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "foundation/codepage.h"
#include "foundation/errors.h"
#include "rawdb/raw_db.h"
#include "rawdb/tests/record_buffer.h"
#include "testing/outcomes.h"
#include "testing/pdb_image.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::PdbImage;
using testing::RecordBytes;
using testing::Result;
using testing::SetRecordBytes;
using testing::Wide;

const char* const kNotOpened = "80042720 Recordset not opened.";
const char* const kInvalidCursor = "80042717 Invalid cursor operation.";
const char* const kNoCurrent = "80042715 No current record.";

class RawDbStateTest : public ::testing::Test {
 protected:
  std::string WriteDatabase(const PdbImage& image, const std::string& name = "s.pdb") {
    std::string path = dir_.File(name);
    testing::WriteFileBytes(path, image.Build());
    return path;
  }

  static PdbImage Records(std::vector<testing::RecordSpec> records) {
    PdbImage image;
    image.records = std::move(records);
    return image;
  }

  std::uint32_t ModificationNumber(const std::string& path) {
    return testing::Get32(testing::ReadFileBytes(path), 48);
  }

  std::int32_t Position() {
    std::int32_t position = -99;
    db_.get_AbsolutePosition(&position);
    return position;
  }
  std::int16_t Bof() {
    std::int16_t value = 99;
    db_.get_BOF(&value);
    return value;
  }
  std::int16_t Eof() {
    std::int16_t value = 99;
    db_.get_EOF(&value);
    return value;
  }
  std::int32_t Count() {
    std::int32_t value = -99;
    db_.get_RecordCount(&value);
    return value;
  }

  testing::TempDir dir_;
  CRawDB db_;
};

// Every operation but OpenTable, CreateTable and Close needs an open table.
TEST_F(RawDbStateTest, ClosedObjectRefusesEveryOtherOperation) {
  std::int32_t i32;
  std::int16_t i16;
  double r8;
  float r4;
  CVariant v;
  std::u16string s;
  const std::vector<std::function<HRESULT(CRawDB&)>> operations = {
      [](CRawDB& db) { return db.AddNew(); },
      [](CRawDB& db) { return db.CancelUpdate(); },
      [](CRawDB& db) { return db.Delete(0); },
      [](CRawDB& db) { return db.Edit(); },
      [](CRawDB& db) { return db.LookupUniqueID(1); },
      [](CRawDB& db) { return db.MoveFirst(); },
      [](CRawDB& db) { return db.MoveLast(); },
      [](CRawDB& db) { return db.MoveNext(); },
      [](CRawDB& db) { return db.MovePrevious(); },
      [](CRawDB& db) { return db.Update(); },
      [](CRawDB& db) { return db.Blank(); },
      [](CRawDB& db) { return db.Truncate(0); },
      [&](CRawDB& db) { return db.get_AbsolutePosition(&i32); },
      [](CRawDB& db) { return db.put_AbsolutePosition(0); },
      [&](CRawDB& db) { return db.get_BOF(&i16); },
      [&](CRawDB& db) { return db.get_EOF(&i16); },
      [&](CRawDB& db) { return db.get_RecordCount(&i32); },
      [&](CRawDB& db) { return db.get_AppInfoBlock(&v); },
      [](CRawDB& db) { return db.put_AppInfoBlock(CVariant()); },
      [&](CRawDB& db) { return db.get_SortInfoBlock(&v); },
      [](CRawDB& db) { return db.put_SortInfoBlock(CVariant()); },
      [&](CRawDB& db) { return db.get_RecordData(&v); },
      [](CRawDB& db) { return db.put_RecordData(CVariant()); },
      [&](CRawDB& db) { return db.get_Int8At(0, &i32); },
      [](CRawDB& db) { return db.put_Int8At(0, 0); },
      [&](CRawDB& db) { return db.get_UInt8At(0, &i32); },
      [](CRawDB& db) { return db.put_UInt8At(0, 0); },
      [&](CRawDB& db) { return db.get_Int16At(0, &i32); },
      [](CRawDB& db) { return db.put_Int16At(0, 0); },
      [&](CRawDB& db) { return db.get_UInt16At(0, &i32); },
      [](CRawDB& db) { return db.put_UInt16At(0, 0); },
      [&](CRawDB& db) { return db.get_Int32At(0, &i32); },
      [](CRawDB& db) { return db.put_Int32At(0, 0); },
      [&](CRawDB& db) { return db.get_UInt32At(0, &i32); },
      [](CRawDB& db) { return db.put_UInt32At(0, 0); },
      [&](CRawDB& db) { return db.get_DoubleAt(0, &r8); },
      [](CRawDB& db) { return db.put_DoubleAt(0, 0); },
      [&](CRawDB& db) { return db.get_SingleAt(0, &r4); },
      [](CRawDB& db) { return db.put_SingleAt(0, 0); },
      [&](CRawDB& db) { return db.get_DateAt(0, &v); },
      [](CRawDB& db) { return db.put_DateAt(0, CVariant::String(u"x")); },  // closed first
      [&](CRawDB& db) { return db.get_BooleanAt(0, &i16); },
      [](CRawDB& db) { return db.put_BooleanAt(0, 0); },
      [&](CRawDB& db) { return db.get_StringAt(0, &s); },
      [](CRawDB& db) { return db.put_StringAt(0, std::u16string(70000, u'x')); },
      [&](CRawDB& db) { return db.get_FixedLengthStringAt(0, -1, &s); },
      [](CRawDB& db) { return db.put_FixedLengthStringAt(0, 1, u"toolong"); },
      [&](CRawDB& db) { return db.get_UniqueID(&i32); },
      [](CRawDB& db) { return db.put_UniqueID(0); },
      [&](CRawDB& db) { return db.get_Category(&i32); },
      [](CRawDB& db) { return db.put_Category(0); },
      [&](CRawDB& db) { return db.get_Dirty(&i16); },
      [&](CRawDB& db) { return db.get_Secret(&i16); },
      [](CRawDB& db) { return db.put_Secret(0); },
  };
  for (std::size_t i = 0; i < operations.size(); ++i) {
    EXPECT_EQ(Result(operations[i](db_)), kNotOpened) << "operation " << i;
  }
  EXPECT_EQ(Result(db_.Close()), "ok");
  EXPECT_EQ(Result(db_.Close()), "ok");
}

TEST_F(RawDbStateTest, NullOutPointersAreRefused) {
  db_.CreateTable(Wide(dir_.File("n.pdb")), u"n", u"DATA", u"KdTs");
  EXPECT_EQ(db_.get_RecordCount(nullptr), hr::kPointer);
  EXPECT_EQ(db_.get_StringAt(0, nullptr), hr::kPointer);
}

TEST_F(RawDbStateTest, OpeningAMissingFileLeavesTheObjectClosed) {
  std::string path = dir_.File("missing.pdb");
  EXPECT_EQ(Result(db_.OpenTable(Wide(path))),
            "80042710 Generic error: Cannot access file '" + path + "'.");
  EXPECT_FALSE(db_.IsOpen());
  EXPECT_EQ(Result(db_.MoveFirst()), kNotOpened);
}

TEST_F(RawDbStateTest, OpeningAChainedFileReportsItAsATextError) {
  Bytes bytes = Records({{1, 0, {1}}}).Build();
  testing::Set32(bytes, 72, 5);
  std::string path = dir_.File("chained.pdb");
  testing::WriteFileBytes(path, bytes);
  EXPECT_EQ(Result(db_.OpenTable(Wide(path))),
            "80042710 Generic error: Chained record lists not supported.");
  EXPECT_FALSE(db_.IsOpen());
}

TEST_F(RawDbStateTest, ADatabaseWithoutLiveRecordsOpensAtEof) {
  std::string path = WriteDatabase(Records({{1, 0x80, {}}}));
  ASSERT_EQ(Result(db_.OpenTable(Wide(path))), "ok");
  EXPECT_EQ(Position(), 0);
  EXPECT_EQ(Eof(), -1);
  EXPECT_EQ(Bof(), 0);
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(RecordBytes(db_), Bytes{});
  EXPECT_EQ(Result(db_.MoveLast()), "ok");
  EXPECT_EQ(Position(), -1);
  EXPECT_EQ(Bof(), -1);
  EXPECT_EQ(Eof(), 0);
  EXPECT_EQ(Result(db_.MovePrevious()), kInvalidCursor);
}

TEST_F(RawDbStateTest, MovesRefreshTheRecordBufferAndFailedMovesKeepIt) {
  std::string path = WriteDatabase(Records({{1, 0x43, {1, 1}}, {2, 0x10, {2}}}));
  db_.OpenTable(Wide(path));
  EXPECT_EQ(RecordBytes(db_), (Bytes{1, 1}));
  std::int32_t value = 0;
  std::int16_t flag = 0;
  db_.get_Category(&value);
  EXPECT_EQ(value, 3);
  db_.get_Dirty(&flag);
  EXPECT_EQ(flag, -1);
  db_.MoveNext();
  EXPECT_EQ(RecordBytes(db_), (Bytes{2}));
  db_.get_Secret(&flag);
  EXPECT_EQ(flag, -1);
  db_.get_UniqueID(&value);
  EXPECT_EQ(value, 2);
  db_.MoveNext();
  EXPECT_EQ(Eof(), -1);
  EXPECT_EQ(RecordBytes(db_), Bytes{});  // blank at EOF
  db_.put_UInt8At(0, 9);
  EXPECT_EQ(Result(db_.MoveNext()), kInvalidCursor);
  EXPECT_EQ(RecordBytes(db_), Bytes{9});  // a failed move keeps the buffer
  EXPECT_EQ(Result(db_.put_AbsolutePosition(2)), kInvalidCursor);
  EXPECT_EQ(Result(db_.put_AbsolutePosition(0)), "ok");
  EXPECT_EQ(RecordBytes(db_), (Bytes{1, 1}));
  EXPECT_EQ(Result(db_.LookupUniqueID(2)), "ok");
  EXPECT_EQ(Position(), 1);
  EXPECT_EQ(Result(db_.LookupUniqueID(3)), "80042718 No record found for this UniqueId.");
}

TEST_F(RawDbStateTest, CreateTableChecksItsArgumentsInOrderAndWritesNoFileOnFailure) {
  struct Case {
    std::u16string name, type, creator;
    std::string result;
  } cases[] = {
      {std::u16string(32, u'n'), u"DAT", u"KdT", "8004271A Database name exceeds 31 characters."},
      {u"x", u"DAT", u"KdT", "8004271C Type string must contain 4 characters."},
      {u"x", u"DATA", u"KdT", "8004271B Creator string must contain 4 characters."},
  };
  for (const Case& c : cases) {
    std::string path = dir_.File("c.pdb");
    EXPECT_EQ(Result(db_.CreateTable(Wide(path), c.name, c.type, c.creator)), c.result);
    EXPECT_FALSE(testing::FileExists(path));
    EXPECT_FALSE(db_.IsOpen());
  }
  // An existing file is overwritten by a new, empty database.
  std::string path = WriteDatabase(Records({{1, 0, {1}}}));
  ASSERT_EQ(Result(db_.CreateTable(Wide(path), std::u16string(31, u'n'), u"DATA", u"KdTs")), "ok");
  EXPECT_EQ(testing::ReadFileBytes(path).size(), 80u);
  EXPECT_EQ(Eof(), -1);
  EXPECT_EQ(Count(), 0);
}

TEST_F(RawDbStateTest, UpdateWithoutAnEditWritesNothing) {
  std::string path = WriteDatabase(Records({{1, 0, {1}}}));
  db_.OpenTable(Wide(path));
  db_.put_UInt8At(0, 5);
  EXPECT_EQ(Result(db_.Update()), "ok");
  EXPECT_EQ(ModificationNumber(path), 7u);
}

TEST_F(RawDbStateTest, EditTruncateUpdateCommitsAnEmptyRecord) {
  std::string path = WriteDatabase(Records({{1, 0, {1, 2, 3}}}));
  db_.OpenTable(Wide(path));
  db_.Edit();
  db_.Truncate(0);
  EXPECT_EQ(Result(db_.Update()), "ok");
  db_.Close();
  db_.OpenTable(Wide(path));
  EXPECT_EQ(RecordBytes(db_), Bytes{});
  std::int16_t dirty = 0;
  db_.get_Dirty(&dirty);
  EXPECT_EQ(dirty, -1);  // Update marks the stored record dirty
}

TEST_F(RawDbStateTest, AddNewThenEditOverwritesTheCurrentRecordWithABlankOne) {
  std::string path = WriteDatabase(Records({{7, 0, {1, 2, 3}}}));
  db_.OpenTable(Wide(path));
  db_.AddNew();
  db_.Edit();
  EXPECT_EQ(Result(db_.Update()), "ok");
  EXPECT_EQ(Count(), 1);
  db_.MoveFirst();
  EXPECT_EQ(RecordBytes(db_), Bytes{});
  std::int32_t id = 0;
  db_.get_UniqueID(&id);
  EXPECT_EQ(id, 1);  // newly allocated
}

TEST_F(RawDbStateTest, AddNewUpdateAddsAtTheEndAndMovesOntoIt) {
  std::string path = WriteDatabase(Records({{7, 0, {1}}}));
  db_.OpenTable(Wide(path));
  db_.AddNew();
  db_.put_StringAt(-1, u"new");
  db_.put_Category(4);
  db_.put_Secret(-1);
  EXPECT_EQ(Result(db_.Update()), "ok");
  EXPECT_EQ(Position(), 1);
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(Result(db_.Update()),
            "80042721 Database already contains a record with this UniqueID.");
  db_.put_UniqueID(0);
  EXPECT_EQ(Result(db_.Update()), "ok");  // a second record under a fresh ID
  EXPECT_EQ(Count(), 3);
}

TEST_F(RawDbStateTest, DeleteOfTheOnlyRecordKeepsItsBytesUntilTheNextMove) {
  std::string path = WriteDatabase(Records({{1, 0, {4, 5}}}));
  db_.OpenTable(Wide(path));
  EXPECT_EQ(Result(db_.Delete(0)), "ok");
  EXPECT_EQ(ModificationNumber(path), 8u);
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(Eof(), -1);
  EXPECT_EQ(RecordBytes(db_), (Bytes{4, 5}));
  db_.MoveFirst();
  EXPECT_EQ(RecordBytes(db_), Bytes{});
  EXPECT_EQ(Result(db_.Delete(0)), kNoCurrent);
}

TEST_F(RawDbStateTest, UnknownDeleteModeIsRefused) {
  std::string path = WriteDatabase(Records({{1, 0, {4, 5}}}));
  db_.OpenTable(Wide(path));
  EXPECT_EQ(Result(db_.Delete(7)), "80042729 Invalid argument.");
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(ModificationNumber(path), 7u);
}

TEST_F(RawDbStateTest, CancelUpdateReloadsTheBufferAndClearsTheMarks) {
  std::string path = WriteDatabase(Records({{1, 0, {4, 5}}}));
  db_.OpenTable(Wide(path));
  // Nothing pending: nothing happens, the buffer keeps its changes.
  db_.put_UInt8At(0, 9);
  EXPECT_EQ(Result(db_.CancelUpdate()), "ok");
  EXPECT_EQ(RecordBytes(db_), (Bytes{9, 5}));
  for (auto start : {&CRawDB::Edit, &CRawDB::AddNew}) {
    (db_.*start)();
    db_.put_UInt8At(0, 8);
    EXPECT_EQ(Result(db_.CancelUpdate()), "ok");
    EXPECT_EQ(RecordBytes(db_), (Bytes{4, 5}));
    EXPECT_EQ(Result(db_.Update()), "ok");  // no mark left: writes nothing
    EXPECT_EQ(ModificationNumber(path), 7u);
  }
}

TEST_F(RawDbStateTest, InfoBlocksAreWrittenAtOnce) {
  std::string path = WriteDatabase(Records({{1, 0, {1}}}));
  db_.OpenTable(Wide(path));
  EXPECT_EQ(Result(db_.put_AppInfoBlock(CVariant::Bytes({1, 2}))), "ok");
  EXPECT_EQ(Result(db_.put_SortInfoBlock(CVariant::Bytes({3}))), "ok");
  EXPECT_EQ(ModificationNumber(path), 9u);
  EXPECT_EQ(Result(db_.put_SortInfoBlock(CVariant::String(u"x"))),
            "8004271E Invalid value for this field.");
  CVariant block;
  db_.Close();
  db_.OpenTable(Wide(path));
  db_.get_AppInfoBlock(&block);
  EXPECT_EQ(block, CVariant::Bytes({1, 2}));
  db_.get_SortInfoBlock(&block);
  EXPECT_EQ(block, CVariant::Bytes({3}));
}

TEST_F(RawDbStateTest, CloseWritesNothingAndDiscardsPendingEdits) {
  std::string path = WriteDatabase(Records({{1, 0, {1}}}));
  Bytes before = testing::ReadFileBytes(path);
  {
    CRawDB db;
    db.OpenTable(Wide(path));
    db.Edit();
    db.put_UInt8At(0, 99);
  }  // destroyed while editing
  EXPECT_EQ(testing::ReadFileBytes(path), before);
}

TEST_F(RawDbStateTest, SuccessLeavesTheErrorDescriptionOfAnEarlierFailure) {
  EXPECT_EQ(Result(db_.MoveFirst()), kNotOpened);
  EXPECT_EQ(Result(db_.Close()), "ok");
  EXPECT_EQ(Result(db_.CreateTable(Wide(dir_.File("e.pdb")), u"e", u"DATA", u"KdTs")), "ok");
  EXPECT_EQ(ToAnsi(GetErrorDescription()), "Recordset not opened.");
}

}  // namespace
}  // namespace kd
