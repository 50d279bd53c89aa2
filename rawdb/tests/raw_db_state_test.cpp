// What is particular to the raw database object's states: the operations of
// its record buffer on a closed object, the attributes under the cursor, and
// what the buffer commits. The contract it shares with the recordset (cursor,
// adding, editing, deleting, info blocks) is tested over both objects in
// recordset/tests/object_contract_test.cpp.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "rawdb/raw_db.h"
#include "rawdb/tests/record_buffer.h"
#include "testing/outcomes.h"
#include "testing/pdb_image.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

using testing::Bytes;
using testing::PdbImage;
using testing::Result;
using testing::Wide;

class RawDbStateTest : public ::testing::Test {
 protected:
  // A database of these records, opened.
  void Open(std::vector<testing::RecordSpec> records) {
    PdbImage image;
    image.records = std::move(records);
    path_ = dir_.File("s.pdb");
    testing::WriteFileBytes(path_, image.Build());
    ASSERT_EQ(Result(db_.OpenTable(Wide(path_))), "ok");
  }

  std::int32_t Int(HRESULT (CRawDB::*getter)(std::int32_t*)) {
    std::int32_t value = -99;
    (db_.*getter)(&value);
    return value;
  }
  std::int16_t Flag(HRESULT (CRawDB::*getter)(std::int16_t*)) {
    std::int16_t value = 99;
    (db_.*getter)(&value);
    return value;
  }

  testing::TempDir dir_;
  std::string path_;
  CRawDB db_;
};

// The operations of the record buffer need an open table too.
TEST_F(RawDbStateTest, ClosedObjectRefusesTheRecordBufferOperations) {
  std::int32_t i32;
  std::int16_t i16;
  double r8;
  float r4;
  CVariant v;
  std::u16string s;
  const std::vector<std::function<HRESULT(CRawDB&)>> operations = {
      [](CRawDB& db) { return db.Truncate(0); },
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
    EXPECT_EQ(Result(operations[i](db_)), testing::kNotOpened) << "operation " << i;
  }
}

TEST_F(RawDbStateTest, NullOutPointersAreRefused) {
  db_.CreateTable(Wide(dir_.File("n.pdb")), u"n", u"DATA", u"KdTs");
  EXPECT_EQ(db_.get_RecordCount(nullptr), hr::kPointer);
  EXPECT_EQ(db_.get_StringAt(0, nullptr), hr::kPointer);
}

TEST_F(RawDbStateTest, AttributesFollowTheCursor) {
  Open({{1, 0x43, {1, 1}}, {2, 0x10, {2}}});
  EXPECT_EQ(Int(&CRawDB::get_Category), 3);
  EXPECT_EQ(Flag(&CRawDB::get_Dirty), -1);
  EXPECT_EQ(Flag(&CRawDB::get_Secret), 0);
  EXPECT_EQ(Int(&CRawDB::get_UniqueID), 1);
  db_.MoveNext();
  EXPECT_EQ(Int(&CRawDB::get_Category), 0);
  EXPECT_EQ(Flag(&CRawDB::get_Dirty), 0);
  EXPECT_EQ(Flag(&CRawDB::get_Secret), -1);
  EXPECT_EQ(Int(&CRawDB::get_UniqueID), 2);
}

TEST_F(RawDbStateTest, EditTruncateUpdateCommitsAnEmptyRecord) {
  Open({{1, 0, {1, 2, 3}}});
  db_.Edit();
  db_.Truncate(0);
  EXPECT_EQ(Result(db_.Update()), "ok");
  db_.Close();
  db_.OpenTable(Wide(path_));
  EXPECT_EQ(testing::RecordBytes(db_), Bytes{});
}

// Edit does not reload the buffer: after AddNew it holds the blank addition,
// which Update stores over the current record under a new ID.
TEST_F(RawDbStateTest, AddNewThenEditOverwritesTheCurrentRecordWithABlankOne) {
  Open({{7, 0, {1, 2, 3}}});
  db_.AddNew();
  db_.Edit();
  EXPECT_EQ(Result(db_.Update()), "ok");
  EXPECT_EQ(Int(&CRawDB::get_RecordCount), 1);
  db_.MoveFirst();
  EXPECT_EQ(testing::RecordBytes(db_), Bytes{});
  EXPECT_EQ(Int(&CRawDB::get_UniqueID), 1);  // newly allocated
}

}  // namespace
}  // namespace kd
