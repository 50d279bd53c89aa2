// What is particular to the recordset object: its fields (their values under
// the cursor, numbers and names, encoding on Update) and its table
// descriptions. The contract it shares with the raw object (cursor, adding,
// editing, deleting, info blocks) is tested over both objects in
// object_contract_test.cpp.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "recordset/recordset.h"
#include "recordset/tests/digest_writer.h"
#include "testing/outcomes.h"
#include "testing/pdb_image.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

using testing::Bytes;
using testing::PdbImage;
using testing::Result;
using testing::Wide;

class RecordsetTest : public ::testing::Test {
 protected:
  // A database of (id, attributes, Count, Name) records, opened with `text`
  // as its digest (Count Integer, Name String, plus whatever `text` adds).
  void Open(const std::vector<std::tuple<std::uint32_t, std::uint8_t, std::int16_t, std::string>>&
                records,
            const std::string& text = "A=aCount=rName==") {
    PdbImage image;
    for (const auto& [id, attributes, count, name] : records) {
      Bytes data = {static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count)};
      data.insert(data.end(), name.begin(), name.end());
      data.push_back(0);
      image.records.push_back({id, attributes, data});
    }
    path_ = dir_.File("r.pdb");
    testing::WriteFileBytes(path_, image.Build());
    digest_ = Wide(testing::WriteDigest(text));
    ASSERT_EQ(Result(rs_.OpenTable(Wide(path_), digest_)), "ok");
  }

  CVariant Field(const std::u16string& name) {
    CVariant value;
    rs_.get_Field(name, &value);
    return value;
  }
  std::int32_t Position() {
    std::int32_t position = -99;
    rs_.get_AbsolutePosition(&position);
    return position;
  }
  std::int32_t Count() {
    std::int32_t count = -99;
    rs_.get_RecordCount(&count);
    return count;
  }

  testing::TempDir dir_;
  std::string path_;
  std::u16string digest_;
  CRecordset rs_;
};

// The field operations need an open table too.
TEST_F(RecordsetTest, ClosedRecordsetRefusesTheFieldOperations) {
  CVariant value;
  std::int32_t i32;
  std::u16string text;
  const std::vector<std::function<HRESULT(CRecordset&)>> operations = {
      [&](CRecordset& rs) { return rs.get_FieldByIndex(1, &value); },
      [](CRecordset& rs) { return rs.put_FieldByIndex(1, CVariant()); },
      [&](CRecordset& rs) { return rs.get_FieldCount(&i32); },
      [&](CRecordset& rs) { return rs.get_FieldName(1, &text); },
      [&](CRecordset& rs) { return rs.get_Field(u"x", &value); },
      [](CRecordset& rs) { return rs.put_Field(u"x", CVariant()); },
  };
  for (std::size_t i = 0; i < operations.size(); ++i) {
    EXPECT_EQ(Result(operations[i](rs_)), testing::kNotOpened) << "operation " << i;
  }
}

// Fields show the record under the cursor, system fields included, and the
// zero of their type where there is none; names ignore case.
TEST_F(RecordsetTest, FieldsFollowTheCursor) {
  Open({{5, 0, 1, "one"}});
  EXPECT_EQ(Field(u"UNIQUEID"), CVariant::I4(5));
  EXPECT_EQ(Field(u"count"), CVariant::I2(1));
  EXPECT_EQ(Field(u"Name"), CVariant::String(u"one"));
  rs_.MoveNext();
  EXPECT_EQ(Field(u"uniqueid"), CVariant::I4(0));
  EXPECT_EQ(Field(u"Count"), CVariant::I2(0));
  EXPECT_EQ(Field(u"Name"), CVariant::String(u""));
}

TEST_F(RecordsetTest, AddNewUpdateKeepsWhatWasPut) {
  Open({{5, 0, 1, "one"}});
  rs_.AddNew();
  rs_.put_Field(u"Count", CVariant::R8(7.0));  // stored as put
  rs_.put_Field(u"Name", CVariant::String(u"new"));
  EXPECT_EQ(Result(rs_.Update()), "ok");
  EXPECT_EQ(Position(), 1);
  EXPECT_EQ(Field(u"Count"), CVariant::R8(7.0));  // not refreshed after Update
  // The declared UniqueID field still holds 0: each Update adds another record.
  EXPECT_EQ(Result(rs_.Update()), "ok");
  EXPECT_EQ(Count(), 3);
  rs_.MoveLast();
  EXPECT_EQ(Field(u"Count"), CVariant::I2(7));
  EXPECT_EQ(Field(u"uniqueid"), CVariant::I4(2));  // fresh IDs after the seed: 1, then 2
  rs_.MovePrevious();
  EXPECT_EQ(Field(u"uniqueid"), CVariant::I4(1));
}

// An edit through a description without system fields keeps the record's
// identity, category and secret flag.
TEST_F(RecordsetTest, EditWithoutSystemFieldsKeepsTheRecordsAttributes) {
  Open({{5, 0x10 | 3, 1, "one"}, {6, 0x00 | 9, 2, "two"}}, "aCount=rName==");
  rs_.MoveNext();  // "two": ID 6, category 9
  rs_.Edit();
  rs_.put_Field(u"Name", CVariant::String(u"TWO"));
  EXPECT_EQ(Result(rs_.Update()), "ok");
  rs_.MoveFirst();  // "one": ID 5, category 3, secret
  rs_.Edit();
  rs_.put_Field(u"Name", CVariant::String(u"ONE"));
  EXPECT_EQ(Result(rs_.Update()), "ok");
  rs_.Close();
  CRecordset check;
  check.OpenTable(Wide(path_), Wide(testing::WriteDigest("A=B=D=rName=aCount==")));
  struct Expected {
    std::int32_t id;
    std::uint8_t category;
    bool secret;
    std::u16string name;
  } expected[] = {{5, 3, true, u"ONE"}, {6, 9, false, u"TWO"}};
  for (const Expected& e : expected) {
    CVariant value;
    check.get_Field(u"uniqueid", &value);
    EXPECT_EQ(value, CVariant::I4(e.id));
    check.get_Field(u"category", &value);
    EXPECT_EQ(value, CVariant::UI1(e.category));
    check.get_Field(u"secret", &value);
    EXPECT_EQ(value, CVariant::Bool(e.secret));
    check.get_Field(u"Name", &value);
    EXPECT_EQ(value, CVariant::String(e.name));
    check.MoveNext();
  }
}

TEST_F(RecordsetTest, FieldNumbersAndNames) {
  Open({{5, 0, 1, "one"}});
  std::int32_t count = 0;
  rs_.get_FieldCount(&count);
  EXPECT_EQ(count, 3);  // system fields count
  std::u16string name;
  EXPECT_EQ(Result(rs_.get_FieldName(1, &name)), "ok");
  EXPECT_EQ(name, u"uniqueid");
  EXPECT_EQ(Result(rs_.get_FieldName(0, &name)), "80042727 Invalid field number.");
  EXPECT_EQ(Result(rs_.get_FieldName(4, &name)), "80042727 Invalid field number.");
  CVariant value;
  EXPECT_EQ(Result(rs_.get_FieldByIndex(3, &value)), "ok");
  EXPECT_EQ(value, CVariant::String(u"one"));
  EXPECT_EQ(Result(rs_.put_FieldByIndex(2, CVariant::String(u"x"))), testing::kInvalidValue);
  EXPECT_EQ(Result(rs_.get_Field(u"nope", &value)), "8004271D Field does not exist.");
}

TEST_F(RecordsetTest, UpdateThatFailsToEncodeStoresNothing) {
  Open({{5, 0, 1, "one"}}, "A=tSmall=rName==");
  rs_.Edit();
  rs_.put_Field(u"Small", CVariant::I4(300));
  EXPECT_EQ(Result(rs_.Update()), "8004271F Generic OLE error: (null).");
  rs_.put_Field(u"Name", CVariant::String(std::u16string(70000, u'x')));
  rs_.put_Field(u"Small", CVariant::I4(3));
  EXPECT_EQ(Result(rs_.Update()), "80042710 Generic error: Record size exceeds 64kb (68 kb).");
  rs_.Close();
  rs_.OpenTable(Wide(path_), digest_);
  EXPECT_EQ(Field(u"Name"), CVariant::String(u"one"));
}

TEST_F(RecordsetTest, BadDescriptionsLeaveTheRecordsetClosed) {
  Open({{5, 0, 1, "one"}});
  EXPECT_EQ(Result(rs_.OpenTable(Wide(path_), u"notadigest")),
            "80042710 Generic error: Invalid table digest.");
  EXPECT_EQ(Result(rs_.MoveFirst()), testing::kNotOpened);
  std::string kdx = dir_.File("bad.kdx");
  testing::WriteFileBytes(kdx, {'<', 'n', 'a', 'm', 'e', '>', 'x'});
  EXPECT_EQ(Result(rs_.OpenTable(Wide(path_), Wide(kdx))),
            "80042710 Generic error: Invalid .kdx file.");
  EXPECT_FALSE(rs_.IsOpen());
}

TEST_F(RecordsetTest, FirstRecordThatCannotBeDecodedFailsTheOpen) {
  PdbImage image;
  image.records.push_back({1, 0, {'n', 'o', 'z', 'e', 'r', 'o'}});
  path_ = dir_.File("bad.pdb");
  testing::WriteFileBytes(path_, image.Build());
  EXPECT_EQ(Result(rs_.OpenTable(Wide(path_), Wide(testing::WriteDigest("rName==")))),
            testing::kNoTerminator);
  EXPECT_FALSE(rs_.IsOpen());
}

}  // namespace
}  // namespace kd
