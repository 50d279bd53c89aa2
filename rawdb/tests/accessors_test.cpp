// The typed accessors of the raw database object: golden bytes, the running
// offset, the reading and writing rules at the record size limit, strings.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "foundation/errors.h"
#include "rawdb/raw_db.h"
#include "rawdb/tests/record_buffer.h"
#include "testing/outcomes.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::RecordBytes;
using testing::Result;
using testing::SetRecordBytes;

const char* const kReadOutside = "8004272E Attempt to read outside record buffer.";
const char* const kTooLarge = "80042722 Record size exceeds 64 kb.";
using testing::kNoTerminator;

// An open database with a blank record buffer (a new record being added).
class AccessorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(
        Result(db_.CreateTable(testing::Wide(dir_.File("a.pdb")), u"Accessors", u"DATA", u"KdTs")),
        "ok");
    ASSERT_EQ(Result(db_.AddNew()), "ok");
  }

  std::int32_t RunningOffset() const { return db_.GetRunningOffset(); }

  testing::TempDir dir_;
  CRawDB db_;
};

TEST_F(AccessorsTest, RunningOffsetWalksFieldByField) {
  SetRecordBytes(db_, {0x00, 0x01, 0xFF, 0xFF, 0x80, 0x00});
  std::int32_t value = 0;
  const std::int32_t expected[] = {1, -1, -32768};
  for (std::int32_t e : expected) {
    ASSERT_EQ(Result(db_.get_Int16At(-1, &value)), "ok");
    EXPECT_EQ(value, e);
  }
  EXPECT_EQ(Result(db_.get_Int16At(-1, &value)), kReadOutside);
  EXPECT_EQ(RunningOffset(), 6);  // the failed read left it
}

TEST_F(AccessorsTest, ExplicitOffsetsStillAdvanceTheRunningOffsetFromItsOwnValue) {
  SetRecordBytes(db_, {0, 1, 0, 2, 0, 3, 0, 4});
  db_.MoveFirst();  // refresh: running offset 0 (EOF: blank buffer)
  db_.AddNew();
  SetRecordBytes(db_, {0, 1, 0, 2, 0, 3, 0, 4});
  std::int32_t value = 0;
  db_.get_Int16At(4, &value);
  EXPECT_EQ(value, 3);
  db_.get_Int16At(-1, &value);
  EXPECT_EQ(value, 2);  // offset 2, not 6
}

struct GetCase {
  const char* name;
  Bytes bytes;
  std::function<HRESULT(CRawDB&, std::int32_t, double*)> get;
  double expected;
  std::int32_t consumed;
};

double AsDouble(double value) {
  return value;
}
double AsDouble(const CVariant& value) {
  return value.GetType() == VT_DATE ? value.GetDate() : -1;
}

// A getter of any accessor, its value as a double; the value starts as 5, so
// that a getter that writes nothing cannot pass for one that reads 0.
template <typename T>
std::function<HRESULT(CRawDB&, std::int32_t, double*)> Getter(
    HRESULT (CRawDB::*getter)(std::int32_t, T*)) {
  return [getter](CRawDB& db, std::int32_t offset, double* out) {
    T value = T();
    if constexpr (std::is_arithmetic_v<T>) value = 5;
    HRESULT result = (db.*getter)(offset, &value);
    *out = AsDouble(value);
    return result;
  };
}

TEST_F(AccessorsTest, GetsOfEveryNumericAccessor) {
  const GetCase cases[] = {
      {"Int8 FF", {0xFF}, Getter(&CRawDB::get_Int8At), -1, 1},
      {"UInt8 FF", {0xFF}, Getter(&CRawDB::get_UInt8At), 255, 1},
      {"Int16 8000", {0x80, 0x00}, Getter(&CRawDB::get_Int16At), -32768, 2},
      {"UInt16 FFFF", {0xFF, 0xFF}, Getter(&CRawDB::get_UInt16At), 65535, 2},
      {"Int32", {0x12, 0x34, 0x56, 0x78}, Getter(&CRawDB::get_Int32At), 0x12345678, 4},
      {"UInt32 FFFFFFFF", {0xFF, 0xFF, 0xFF, 0xFF}, Getter(&CRawDB::get_UInt32At), -1, 4},
      {"UInt32 80000000", {0x80, 0, 0, 0}, Getter(&CRawDB::get_UInt32At), -2147483648.0, 4},
      {"Single 1.0", {0x3F, 0x80, 0, 0}, Getter(&CRawDB::get_SingleAt), 1.0, 4},
      {"Double -2.5", {0xC0, 0x04, 0, 0, 0, 0, 0, 0}, Getter(&CRawDB::get_DoubleAt), -2.5, 8},
      {"Date 0", {0, 0, 0, 0}, Getter(&CRawDB::get_DateAt), 1462.0, 4},
      {"Date 1 day 12 h", {0x00, 0x01, 0xFA, 0x40}, Getter(&CRawDB::get_DateAt), 1463.5, 4},
      {"Boolean 01", {0x01}, Getter(&CRawDB::get_BooleanAt), -1, 1},
      {"Boolean 00", {0x00}, Getter(&CRawDB::get_BooleanAt), 0, 1},
  };
  for (const GetCase& c : cases) {
    // At offset 3, after three filler bytes, and then once more past the end.
    Bytes bytes(3 + c.bytes.size(), 9);
    std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + 3);
    db_.Blank();
    SetRecordBytes(db_, bytes);
    double value = 0;
    EXPECT_EQ(Result(c.get(db_, 3, &value)), "ok") << c.name;
    EXPECT_EQ(value, c.expected) << c.name;
    EXPECT_EQ(RunningOffset(), c.consumed) << c.name;
    EXPECT_EQ(Result(c.get(db_, 4, &value)), kReadOutside) << c.name;
    EXPECT_EQ(RunningOffset(), c.consumed) << c.name;
  }
}

struct PutCase {
  const char* name;
  std::function<HRESULT(CRawDB&)> put;
  Bytes expected;  // the record buffer afterwards, starting from empty
  std::int32_t runningOffset;
};

TEST_F(AccessorsTest, PutsOfEveryAccessorGiveGoldenBytes) {
  const PutCase cases[] = {
      {"Int8 -1", [](CRawDB& db) { return db.put_Int8At(0, -1); }, {0xFF}, 1},
      {"UInt8 300 keeps the low bits",
       [](CRawDB& db) { return db.put_UInt8At(0, 300); },
       {0x2C},
       1},
      {"Int16 70000 keeps the low bits",
       [](CRawDB& db) { return db.put_Int16At(0, 70000); },
       {0x11, 0x70},
       2},
      {"UInt16 65535", [](CRawDB& db) { return db.put_UInt16At(0, 65535); }, {0xFF, 0xFF}, 2},
      {"Int32 at 10 on an empty buffer",
       [](CRawDB& db) { return db.put_Int32At(10, 0x01020304); },
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4},
       4},
      {"UInt32 -1", [](CRawDB& db) { return db.put_UInt32At(0, -1); }, {0xFF, 0xFF, 0xFF, 0xFF}, 4},
      {"Double 1.0",
       [](CRawDB& db) { return db.put_DoubleAt(0, 1.0); },
       {0x3F, 0xF0, 0, 0, 0, 0, 0, 0},
       8},
      {"Single 1.0", [](CRawDB& db) { return db.put_SingleAt(0, 1.0f); }, {0x3F, 0x80, 0, 0}, 4},
      {"Date 1904-01-01",
       [](CRawDB& db) { return db.put_DateAt(0, CVariant::Date(1462.0)); },
       {0, 0, 0, 0},
       4},
      {"Date 1904-01-02 12:00",
       [](CRawDB& db) { return db.put_DateAt(0, CVariant::Date(1463.5)); },
       {0x00, 0x01, 0xFA, 0x40},
       4},
      {"Boolean true", [](CRawDB& db) { return db.put_BooleanAt(0, -1); }, {0xFF}, 1},
      {"Boolean any nonzero", [](CRawDB& db) { return db.put_BooleanAt(0, 1); }, {0xFF}, 1},
      {"Boolean false", [](CRawDB& db) { return db.put_BooleanAt(0, 0); }, {0x00}, 1},
      {"String abc", [](CRawDB& db) { return db.put_StringAt(0, u"abc"); }, {'a', 'b', 'c', 0}, 4},
      {"String in the ANSI code page",
       [](CRawDB& db) { return db.put_StringAt(0, u"\u00e9\u20ac"); },
       {0xE9, 0x80, 0},
       3},
      {"String empty writes nothing", [](CRawDB& db) { return db.put_StringAt(0, u""); }, {}, 0},
      {"Fixed ab in 4",
       [](CRawDB& db) { return db.put_FixedLengthStringAt(0, 4, u"ab"); },
       {'a', 'b', 0, 0},
       4},
      {"Fixed abcd in 4: no terminator",
       [](CRawDB& db) { return db.put_FixedLengthStringAt(0, 4, u"abcd"); },
       {'a', 'b', 'c', 'd'},
       4},
      {"Fixed empty writes nothing",
       [](CRawDB& db) { return db.put_FixedLengthStringAt(0, 4, u""); },
       {},
       0},
  };
  for (const PutCase& c : cases) {
    db_.Blank();
    EXPECT_EQ(Result(c.put(db_)), "ok") << c.name;
    EXPECT_EQ(RecordBytes(db_), c.expected) << c.name;
    EXPECT_EQ(RunningOffset(), c.runningOffset) << c.name;
  }
}

TEST_F(AccessorsTest, RefusedPutsChangeNothing) {
  struct Case {
    const char* name;
    std::function<HRESULT(CRawDB&)> put;
    const char* result;
  } cases[] = {
      {"Date from a string",
       [](CRawDB& db) { return db.put_DateAt(0, CVariant::String(u"1/1/2000")); },
       "8004272C Variant must be of 'Date' type."},
      {"Date from a number", [](CRawDB& db) { return db.put_DateAt(0, CVariant::R8(1462.0)); },
       "8004272C Variant must be of 'Date' type."},
      {"Date by reference",
       [](CRawDB& db) { return db.put_DateAt(0, CVariant::Date(1462.0).AsByRef()); },
       "8004272C Variant must be of 'Date' type."},
      {"Fixed string too long",
       [](CRawDB& db) { return db.put_FixedLengthStringAt(0, 4, u"abcde"); },
       "80042710 Generic error: String doesn't fit in fixed length string field."},
      {"Fixed length over the limit",
       [](CRawDB& db) { return db.put_FixedLengthStringAt(0, 65521, u"a"); },
       "80042710 Generic error: Record size exceeds 64 kb."},
      {"String over the limit",
       [](CRawDB& db) { return db.put_StringAt(0, std::u16string(65521, u'x')); },
       "80042710 Generic error: Record size exceeds 64 kb."},
      {"Int32 crossing the limit", [](CRawDB& db) { return db.put_Int32At(65517, 1); }, kTooLarge},
      {"String crossing the limit", [](CRawDB& db) { return db.put_StringAt(65517, u"abc"); },
       kTooLarge},
      {"Double at a huge offset", [](CRawDB& db) { return db.put_DoubleAt(0x7FFFFFFF, 1.0); },
       kTooLarge},
  };
  for (const Case& c : cases) {
    SetRecordBytes(db_, {1, 2});
    EXPECT_EQ(Result(c.put(db_)), c.result) << c.name;
    EXPECT_EQ(RecordBytes(db_), (Bytes{1, 2})) << c.name;
    EXPECT_EQ(RunningOffset(), 0) << c.name;
  }
}

TEST_F(AccessorsTest, WritesMayFillTheBufferUpToTheLimitWhichUpdateRefuses) {
  EXPECT_EQ(Result(db_.put_Int32At(65516, 1)), "ok");
  EXPECT_EQ(RecordBytes(db_).size(), 65520u);
  EXPECT_EQ(Result(db_.Update()), kTooLarge);
  EXPECT_EQ(Result(db_.Truncate(65519)), "ok");
  EXPECT_EQ(Result(db_.Update()), "ok");
}

TEST_F(AccessorsTest, FixedStringWhoseZerosCrossTheLimitKeepsItsStringBytes) {
  EXPECT_EQ(Result(db_.put_FixedLengthStringAt(65518, 4, u"ab")), kTooLarge);
  Bytes bytes = RecordBytes(db_);
  ASSERT_EQ(bytes.size(), 65520u);
  EXPECT_EQ(bytes[65518], 'a');
  EXPECT_EQ(bytes[65519], 'b');
  EXPECT_EQ(RunningOffset(), 2);  // the string's share of the running offset
}

TEST_F(AccessorsTest, StringReads) {
  db_.put_StringAt(0, u"abc");
  std::u16string text;
  EXPECT_EQ(Result(db_.get_StringAt(0, &text)), "ok");
  EXPECT_EQ(text, u"abc");
  EXPECT_EQ(Result(db_.get_StringAt(4, &text)), kNoTerminator);  // at the end
  EXPECT_EQ(Result(db_.get_StringAt(5, &text)), kReadOutside);   // past the end
  SetRecordBytes(db_, {'x', 'y'});
  EXPECT_EQ(Result(db_.get_StringAt(0, &text)), kNoTerminator);
  // A shorter string over a longer one leaves the old tail behind its zero.
  SetRecordBytes(db_, {});
  db_.put_StringAt(0, u"long text");
  db_.put_StringAt(0, u"ab");
  EXPECT_EQ(RecordBytes(db_), (Bytes{'a', 'b', 0, 'g', ' ', 't', 'e', 'x', 't', 0}));
  db_.Blank();
  db_.put_StringAt(-1, u"one");
  db_.put_StringAt(-1, u"\u00e9");
  db_.Blank();
  SetRecordBytes(db_, {'o', 'n', 'e', 0, 0xE9, 0});
  EXPECT_EQ(Result(db_.get_StringAt(-1, &text)), "ok");
  EXPECT_EQ(text, u"one");
  EXPECT_EQ(Result(db_.get_StringAt(-1, &text)), "ok");
  EXPECT_EQ(text, u"\u00e9");
  EXPECT_EQ(RunningOffset(), 6);
}

TEST_F(AccessorsTest, FixedLengthStringReads) {
  SetRecordBytes(db_, {'a', 'b', 0, 'c', 'd', 'e', 'f', 'g'});
  std::u16string text;
  EXPECT_EQ(Result(db_.get_FixedLengthStringAt(-1, 4, &text)), "ok");
  EXPECT_EQ(text, u"ab");
  EXPECT_EQ(Result(db_.get_FixedLengthStringAt(-1, 4, &text)), "ok");
  EXPECT_EQ(text, u"defg");  // all four bytes when none is zero
  EXPECT_EQ(RunningOffset(), 8);
  EXPECT_EQ(Result(db_.get_FixedLengthStringAt(5, 4, &text)), kReadOutside);
  // A length of 0 reads nothing; a negative length is refused.
  text = u"unchanged";
  EXPECT_EQ(Result(db_.get_FixedLengthStringAt(0, 0, &text)), "ok");
  EXPECT_EQ(text, u"");
  EXPECT_EQ(Result(db_.get_FixedLengthStringAt(0, -1, &text)), kReadOutside);
  EXPECT_EQ(Result(db_.get_FixedLengthStringAt(0, INT32_MIN, &text)), kReadOutside);
  EXPECT_EQ(Result(db_.get_FixedLengthStringAt(0x7FFFFFFF, 0x7FFFFFFF, &text)), kReadOutside);
}

TEST_F(AccessorsTest, TruncateCutsAndCutBytesComeBack) {
  SetRecordBytes(db_, {1, 2, 3, 4});
  EXPECT_EQ(Result(db_.Truncate(2)), "ok");
  EXPECT_EQ(RecordBytes(db_), (Bytes{1, 2}));
  EXPECT_EQ(Result(db_.Truncate(4)), "ok");
  EXPECT_EQ(RecordBytes(db_), (Bytes{1, 2, 3, 4}));
  // A shorter RecordData put cuts too: writing past the end brings them back.
  SetRecordBytes(db_, {9});
  db_.put_UInt8At(3, 7);
  EXPECT_EQ(RecordBytes(db_), (Bytes{9, 2, 3, 7}));
  // Blank clears the whole buffer: nothing comes back.
  db_.Blank();
  db_.put_UInt8At(3, 7);
  EXPECT_EQ(RecordBytes(db_), (Bytes{0, 0, 0, 7}));
  // With a negative offset, the running offset is the new length.
  db_.Blank();
  SetRecordBytes(db_, {1, 2, 3, 4, 5});
  std::int32_t value;
  db_.get_Int16At(-1, &value);
  EXPECT_EQ(Result(db_.Truncate(-1)), "ok");
  EXPECT_EQ(RecordBytes(db_), (Bytes{1, 2}));
}

TEST_F(AccessorsTest, RecordDataPuts) {
  struct Case {
    const char* name;
    CVariant value;
    const char* result;
    std::size_t size;  // afterwards
  } cases[] = {
      {"bytes", CVariant::Bytes({1, 2, 3}), "ok", 3},
      {"lower bound plays no part", CVariant::Bytes({1, 2}, 7), "ok", 2},
      {"65519 elements", CVariant::Bytes(Bytes(65519, 1)), "ok", 65519},
      {"empty", CVariant(), "ok", 0},
      {"null", CVariant::Null(), "ok", 0},
      {"65520 elements", CVariant::Bytes(Bytes(65520, 1)), testing::kNotByteArray, 5},
      {"two dimensions", CVariant::Array(CSafeArray(VT_UI1, {{2, 0}, {2, 0}})),
       testing::kNotByteArray, 5},
      {"by reference", CVariant::Bytes({1}).AsByRef(), testing::kInvalidValue, 5},
      {"string", CVariant::String(u"abc"), testing::kInvalidValue, 5},
      {"array of shorts", CVariant::Array(CSafeArray(VT_I2, {{1, 0}})), testing::kInvalidValue, 5},
  };
  for (const Case& c : cases) {
    db_.Blank();
    SetRecordBytes(db_, {5, 5, 5, 5, 5});
    std::int32_t value;
    db_.get_UInt8At(-1, &value);
    EXPECT_EQ(Result(db_.put_RecordData(c.value)), c.result) << c.name;
    EXPECT_EQ(RecordBytes(db_).size(), c.size) << c.name;
    EXPECT_EQ(RunningOffset(), 1) << c.name;  // a RecordData put leaves it
  }
}

TEST_F(AccessorsTest, Attributes) {
  std::int32_t value = 0;
  std::int16_t flag = 0;
  db_.put_Category(18);
  db_.get_Category(&value);
  EXPECT_EQ(value, 2);
  db_.put_Category(-1);
  db_.get_Category(&value);
  EXPECT_EQ(value, 15);
  db_.put_UniqueID(-2);
  db_.get_UniqueID(&value);
  EXPECT_EQ(value, -2);
  db_.put_Secret(5);
  db_.get_Secret(&flag);
  EXPECT_EQ(flag, -1);
  db_.put_Secret(0);
  db_.get_Secret(&flag);
  EXPECT_EQ(flag, 0);
  db_.get_Dirty(&flag);
  EXPECT_EQ(flag, 0);
}

}  // namespace
}  // namespace kd
