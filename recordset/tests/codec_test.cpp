// The record codec: golden record bytes, padding, limits, the Bitmap and
// StreamMemory rules, the put type table, and records that end too soon.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/pdb_record.h"
#include "foundation/errors.h"
#include "recordset/db_schema.h"
#include "recordset/tests/digest_writer.h"
#include "testing/bitmap_images.h"
#include "testing/outcomes.h"

namespace kd {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Raised;

// A schema from a decoded digest text such as "ta=oc==".
std::unique_ptr<CDbSchema> Schema(const std::string& text) {
  auto schema = std::make_unique<CDbSchema>();
  LoadSchema(*schema, testing::WriteDigest(text));
  return schema;
}

Bytes Encode(CDbSchema& schema, CPdbRecord& record) {
  schema.EncodeRecord(record);
  return Bytes(record.GetBuffer(), record.GetBuffer() + record.Size());
}

Bytes Encode(CDbSchema& schema) {
  CPdbRecord record;
  record.Reset();
  return Encode(schema, record);
}

void Put(CDbSchema& schema, const char* name, const CVariant& value) {
  schema.PutFieldValue(name, value);
}

// A record holding `bytes` (valid until the next call).
const CPdbRecord& RecordOf(const Bytes& bytes) {
  static CPdbRecord record;
  record.Reset();
  record.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  return record;
}

TEST(CodecTest, GoldenBytesOfEveryType) {
  struct Case {
    std::string field;  // digest token
    CVariant value;
    Bytes bytes;
  } cases[] = {
      {"tf", CVariant::UI1(200), {200}},
      {"ef", CVariant::Bool(true), {0xFF}},
      {"ef", CVariant::Bool(false), {0x00}},
      {"af", CVariant::I2(-2), {0xFF, 0xFE}},
      {"of", CVariant::I4(0x01020304), {1, 2, 3, 4}},
      {"if", CVariant::R4(1.0f), {0x3F, 0x80, 0, 0}},
      {"sf", CVariant::R8(1.0), {0x3F, 0xF0, 0, 0, 0, 0, 0, 0}},
      {"nf", CVariant::Date(1462.0), {0, 0, 0, 0}},
      {"nf", CVariant::Date(1463.5), {0x00, 0x01, 0xFA, 0x40}},
      {"rf", CVariant::String(u"ab\u00e9"), {'a', 'b', 0xE9, 0}},
      {"rf", CVariant::String(u""), {0}},
      {"hf", CVariant::Bytes({'b', 'm', 0, 1}), {'b', 'm', 0, 1}},  // stored unchecked
      {"lf", CVariant::Bytes({7, 8, 9}), {'s', 'm', 0, 0, 0, 3, 7, 8, 9}},
      {"lf", CVariant::Bytes({}), {'s', 'm', 0, 0, 0, 0}},
      // Null writes the zero form of the type.
      {"tf", CVariant::Null(), {0}},
      {"af", CVariant::Null(), {0, 0}},
      {"nf", CVariant::Null(), {0, 0, 0, 0}},
      {"sf", CVariant::Null(), Bytes(8, 0)},
      {"rf", CVariant::Null(), {0}},
      // Bitmap values that cannot be embedded become the placeholder bitmap.
      {"hf", CVariant::Null(), testing::PlaceholderBitmap()},
      {"hf", CVariant(), testing::PlaceholderBitmap()},
      {"lf", CVariant::Null(), {'s', 'm', 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    auto schema = Schema(c.field + "==");
    schema->FindField("f")->value = c.value;
    EXPECT_EQ(Encode(*schema), c.bytes) << c.field << " " << VarTypeName(c.value.GetType());
  }
}

// A device bitmap without rows (height 0).
const Bytes kEmptyBitmap = {'b', 'm', 0, 4, 0, 0, 0, 2, 1, 2, 0, 72, 0, 0, 0, 0};

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(CodecTest, PaddingRule) {
  struct Case {
    std::string text;
    std::vector<std::pair<const char*, CVariant>> values;
    Bytes bytes;
  } cases[] = {
      // An even count of one-byte fields takes no pad.
      {"ta=eb=oc==",
       {{"a", CVariant::UI1(1)}, {"b", CVariant::Bool(true)}, {"c", CVariant::I4(2)}},
       {1, 0xFF, 0, 0, 0, 2}},
      {"ta=oc==", {{"a", CVariant::UI1(1)}, {"c", CVariant::I4(2)}}, {1, 0, 0, 0, 0, 2}},
      // Flag, pad, Count, Name "abc", Photo at 8 without a pad.
      {"eFlag=aCount=rName=hPhoto==",
       {{"Flag", CVariant::Bool(true)},
        {"Count", CVariant::I2(3)},
        {"Name", CVariant::String(u"abc")},
        {"Photo", CVariant::Bytes(kEmptyBitmap)}},
       Concat({0xFF, 0, 0, 3, 'a', 'b', 'c', 0}, kEmptyBitmap)},
      // With "ab" the zero ends at 6: one pad byte at 7.
      {"eFlag=aCount=rName=hPhoto==",
       {{"Flag", CVariant::Bool(true)},
        {"Count", CVariant::I2(3)},
        {"Name", CVariant::String(u"ab")},
        {"Photo", CVariant::Bytes(kEmptyBitmap)}},
       Concat({0xFF, 0, 0, 3, 'a', 'b', 0, 0}, kEmptyBitmap)},
      // Strings follow each other unpadded; a stream starts even.
      {"rs1=rs2=lst==",
       {{"s1", CVariant::String(u"a")},
        {"s2", CVariant::String(u"bc")},
        {"st", CVariant::Bytes({5})}},
       {'a', 0, 'b', 'c', 0, 0, 's', 'm', 0, 0, 0, 1, 5}},
      // A lone one-byte field before a stream: one pad for the count.
      {"tb=lst==",
       {{"b", CVariant::UI1(9)}, {"st", CVariant::Bytes({})}},
       {9, 0, 's', 'm', 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    auto schema = Schema(c.text);
    schema->BlankFields();
    for (const auto& value : c.values)
      Put(*schema, value.first, value.second);
    Bytes bytes = Encode(*schema);
    EXPECT_EQ(bytes, c.bytes) << c.text;
    // And back: the same values.
    auto decoded = Schema(c.text);
    decoded->DecodeRecord(RecordOf(bytes));
    for (const auto& value : c.values) {
      CVariant expected = value.second;
      EXPECT_EQ(decoded->GetFieldValue(value.first), expected) << c.text << " " << value.first;
    }
  }
}

TEST(CodecTest, RoundTripOfEveryTypeAtItsEdges) {
  auto schema = Schema("tb=eo=ai=oL=iSg=sDb=nDt=rStr=hp=lm=A=B=C=D==");
  const std::vector<std::pair<const char*, CVariant>> values = {
      {"b", CVariant::UI1(255)},
      {"o", CVariant::Bool(true)},
      {"i", CVariant::I2(-32768)},
      {"L", CVariant::I4(INT32_MIN)},
      {"Sg", CVariant::R4(-1.5e-30f)},
      {"Db", CVariant::R8(3.141592653589793)},
      {"Dt", CVariant::Date(45351.551562500001)},  // 2024-02-29 13:14:15
      {"Str", CVariant::String(u"\u20acuro")},
      {"p", CVariant::Bytes({'b', 'm', 0, 2, 0, 1, 0, 2, 1, 2, 0, 72, 0, 0, 0, 0, 0xAA, 0x55})},
      {"m", CVariant::Bytes(Bytes(63999, 0x42))},
      {"uniqueid", CVariant::I4(0x123456)},
      {"category", CVariant::UI1(7)},
      {"dirty", CVariant::Bool(true)},
      {"secret", CVariant::Bool(true)},
  };
  schema->BlankFields();
  for (const auto& value : values)
    schema->FindField(value.first)->value = value.second;
  CPdbRecord record;
  record.Reset();
  schema->EncodeRecord(record);
  EXPECT_EQ(record.uniqueID, 0x123456u);
  EXPECT_EQ(record.category, 7);
  EXPECT_TRUE(record.dirty);
  EXPECT_TRUE(record.secret);
  auto decoded = Schema("tb=eo=ai=oL=iSg=sDb=nDt=rStr=hp=lm=A=B=C=D==");
  decoded->DecodeRecord(record);
  for (const auto& value : values) {
    CVariant got = decoded->GetFieldValue(value.first);
    if (value.second.GetType() == VT_DATE) {
      // Dates come back to the whole second.
      EXPECT_NEAR(got.GetDate(), value.second.GetDate(), 1.0 / 86400) << value.first;
    } else {
      EXPECT_EQ(got, value.second) << value.first;
    }
  }
}

TEST(CodecTest, RecordSizeLimitIsCheckedAfterEncoding) {
  auto schema = Schema("rs==");
  for (std::size_t length : {65519u, 65520u}) {
    schema->FindField("s")->value = CVariant::String(std::u16string(length, u'x'));
    CPdbRecord record;
    record.Reset();
    std::string outcome = Raised([&] { schema->EncodeRecord(record); });
    EXPECT_EQ(outcome, length == 65519 ? "ok" : "text: Record size exceeds 64kb (63 kb).");
    EXPECT_EQ(record.Size(), length + 1);  // the edit record holds the encoding either way
  }
}

TEST(CodecTest, OversizedArraysAreNotEmbedded) {
  auto bitmap = Schema("hp==");
  bitmap->FindField("p")->value = CVariant::Bytes(Bytes(64000, 1));
  EXPECT_EQ(Encode(*bitmap).size(), 16u);  // the placeholder
  auto stream = Schema("lm==");
  stream->FindField("m")->value = CVariant::Bytes(Bytes(64000, 1));
  EXPECT_EQ(Encode(*stream), (Bytes{'s', 'm', 0, 0, 0, 0}));
  stream->FindField("m")->value = CVariant::Array(CSafeArray(VT_UI1, {{1, 0}, {1, 0}}));
  EXPECT_EQ(Encode(*stream), (Bytes{'s', 'm', 0, 0, 0, 0}));
}

TEST(CodecTest, CoercionAtEncodeTime) {
  auto schema = Schema("tb=ai=eo=nd==");
  schema->BlankFields();
  Put(*schema, "b", CVariant::I4(300));
  EXPECT_THROW(schema->EncodeRecord(*std::make_unique<CPdbRecord>()), CPlatformError);
  Put(*schema, "b", CVariant::R8(2.5));  // rounds half to even
  Put(*schema, "i", CVariant::R8(-3.5));
  Put(*schema, "o", CVariant::I2(0));
  Bytes bytes = Encode(*schema);
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[1], 0);  // the Boolean field
  EXPECT_EQ(bytes[2], 0xFF);
  EXPECT_EQ(bytes[3], 0xFC);
}

TEST(CodecTest, BlankValues) {
  auto schema = Schema("tb=eo=ai=oL=iSg=sDb=nDt=rStr=hp=lm=A=B=C=D==");
  schema->BlankFields();
  struct Case {
    const char* name;
    CVariant value;
  } cases[] = {
      {"b", CVariant::UI1(0)},
      {"o", CVariant::Bool(false)},
      {"i", CVariant::I2(0)},
      {"L", CVariant::I4(0)},
      {"Sg", CVariant::R4(0)},
      {"Db", CVariant::R8(0)},
      {"Dt", CVariant::Date(1462.0)},
      {"Str", CVariant::String(u"")},
      {"p", CVariant::Bytes({'b', 'm', 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0})},
      {"m", CVariant::Bytes({})},
      {"uniqueid", CVariant::I4(0)},
      {"category", CVariant::UI1(0)},  // whatever the declared type (Integer here)
      {"dirty", CVariant::Bool(false)},
      {"secret", CVariant::Bool(false)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(schema->GetFieldValue(c.name), c.value) << c.name;
  // A blank Bitmap encodes with density 0; the placeholder (from Null) with
  // 72. Both decode back to 16-byte arrays.
  auto bitmap = Schema("hp==");
  bitmap->BlankFields();
  Bytes blank = Encode(*bitmap);
  EXPECT_EQ(blank.size(), 16u);
  bitmap->DecodeRecord(RecordOf(blank));
  EXPECT_EQ(bitmap->GetFieldValue("p").GetArray().GetElementCount(), 16u);
  Put(*bitmap, "p", CVariant::Null());
  Bytes placeholder = Encode(*bitmap);
  bitmap->DecodeRecord(RecordOf(placeholder));
  EXPECT_EQ(bitmap->GetFieldValue("p").GetArray().GetData(), placeholder);
}

TEST(CodecTest, PutTypeTable) {
  const CVariant numbers[] = {CVariant::UI1(1), CVariant::I1(1), CVariant::UI2(1), CVariant::I2(1),
                              CVariant::UI4(1), CVariant::I4(1), CVariant::R4(1),  CVariant::R8(1)};
  const CVariant others[] = {CVariant(),
                             CVariant::Null(),
                             CVariant::Bool(true),
                             CVariant::Date(2),
                             CVariant::String(u"1"),
                             CVariant::Bytes({1}),
                             CVariant::I4(1).AsByRef()};
  auto schema = Schema("tb=eo=ai=oL=iSg=sDb=nDt=rStr=hp=lm==");
  const std::string refused = "code 10014: Invalid value for this field.";
  for (const char* field : {"b", "i", "L", "Sg", "Db"}) {
    for (const CVariant& value : numbers) {
      EXPECT_EQ(Raised([&] { Put(*schema, field, value); }), "ok") << field;
      EXPECT_EQ(schema->GetFieldValue(field), value);  // stored unchanged, its type too
    }
    for (const CVariant& value : others) {
      schema->FindField(field)->value = CVariant::I4(77);
      EXPECT_EQ(Raised([&] { Put(*schema, field, value); }), refused)
          << field << " " << VarTypeName(value.GetType());
      EXPECT_EQ(schema->GetFieldValue(field), CVariant::I4(77));  // unchanged
    }
  }
  // Boolean: booleans unchanged, integers as true or false, nothing else.
  EXPECT_EQ(Raised([&] { Put(*schema, "o", CVariant::BoolBits(1)); }), "ok");
  EXPECT_EQ(schema->GetFieldValue("o"), CVariant::BoolBits(1));
  Put(*schema, "o", CVariant::I4(5));
  EXPECT_EQ(schema->GetFieldValue("o"), CVariant::Bool(true));
  Put(*schema, "o", CVariant::UI1(0));
  EXPECT_EQ(schema->GetFieldValue("o"), CVariant::Bool(false));
  EXPECT_EQ(Raised([&] { Put(*schema, "o", CVariant::R8(1)); }), refused);
  EXPECT_EQ(Raised([&] { Put(*schema, "o", CVariant::String(u"True")); }), refused);
  // Dates and strings take exactly their own type.
  EXPECT_EQ(Raised([&] { Put(*schema, "Dt", CVariant::Date(3)); }), "ok");
  EXPECT_EQ(Raised([&] { Put(*schema, "Dt", CVariant::String(u"1/1/2000")); }), refused);
  EXPECT_EQ(Raised([&] { Put(*schema, "Dt", CVariant::R8(3)); }), refused);
  EXPECT_EQ(Raised([&] { Put(*schema, "Str", CVariant::String(u"x")); }), "ok");
  EXPECT_EQ(Raised([&] { Put(*schema, "Str", CVariant::Date(3)); }), refused);
  EXPECT_EQ(Raised([&] { Put(*schema, "Str", CVariant::String(u"x").AsByRef()); }), refused);
  // Bitmap and StreamMemory: byte arrays, Null and Empty.
  for (const char* field : {"p", "m"}) {
    EXPECT_EQ(Raised([&] { Put(*schema, field, CVariant::Bytes({1})); }), "ok");
    EXPECT_EQ(Raised([&] { Put(*schema, field, CVariant::Null()); }), "ok");
    EXPECT_EQ(Raised([&] { Put(*schema, field, CVariant()); }), "ok");
    EXPECT_EQ(Raised([&] { Put(*schema, field, CVariant::Bytes({1}).AsByRef()); }), refused);
    EXPECT_EQ(Raised([&] {
                Put(*schema, field, CVariant::Array(CSafeArray(VT_I2, {{1, 0}})));
              }),
              refused);
    EXPECT_EQ(Raised([&] { Put(*schema, field, CVariant::String(u"x")); }), refused);
  }
  EXPECT_EQ(Raised([&] { Put(*schema, "nope", CVariant::I4(1)); }),
            "code 10013: Field does not exist.");
  EXPECT_EQ(Raised([&] { schema->GetFieldValue("nope"); }), "code 10013: Field does not exist.");
}

TEST(CodecTest, FieldNumbers) {
  auto schema = Schema("A=tb=rs==");
  EXPECT_EQ(Raised([&] { schema->FieldNameAt(0); }), "code 10023: Invalid field number.");
  EXPECT_EQ(Raised([&] { schema->FieldNameAt(4); }), "code 10023: Invalid field number.");
  EXPECT_STREQ(schema->FieldNameAt(1), "uniqueid");
  EXPECT_STREQ(schema->FieldNameAt(3), "s");
}

// Records shorter than their fields need are refused, never read past.
TEST(CodecTest, RecordsThatEndTooSoon) {
  const std::string outside = "code 10030: Attempt to read outside record buffer.";
  const std::string noZero = "code 10031: No string termination character found in record.";
  struct Case {
    const char* what;
    std::string text;
    Bytes bytes;
    std::string outcome;
  } cases[] = {
      {"empty record", "of==", {}, outside},
      {"truncated Long", "of==", {1, 2, 3}, outside},
      {"truncated Double", "sf==", {1, 2, 3, 4, 5, 6, 7}, outside},
      {"string without its zero", "rf==", {'a', 'b'}, noZero},
      {"string at the end", "tb=rf==", {1}, outside},  // past the end after the pad
      {"bitmap header cut", "hf==", {'b', 'm', 0, 1}, outside},
      {"bitmap rows past the end",
       "hf==",
       {'b', 'm', 0, 8, 0, 2, 0, 2, 1, 2, 0, 72, 0, 0, 0, 0, 0xFF, 0xFF},
       outside},
      {"bitmap with a negative length",
       "hf==",
       {'b', 'm', 0, 8, 0xFF, 0xFE, 0, 2, 1, 2, 0, 72, 0, 0, 0, 0},
       outside},
      {"bitmap with a bad signature",
       "hf==",
       {'x', 'm', 0, 0, 0, 0, 0, 0, 0, 2, 0, 72, 0, 0, 0, 0},
       "text: Invalid bitmap header: version 0."},
      {"bitmap with version 3",
       "hf==",
       {'b', 'm', 0, 0, 0, 0, 0, 0, 0, 3, 0, 72, 0, 0, 0, 0},
       "text: Invalid bitmap header: version 3."},
      {"stream length past the end", "lf==", {'s', 'm', 0, 0, 0, 9, 1, 2}, outside},
      {"stream length huge", "lf==", {'s', 'm', 0xFF, 0xFF, 0xFF, 0xFF}, outside},
      {"stream without its length", "lf==", {'s', 'm', 0}, outside},
  };
  for (const Case& c : cases) {
    auto schema = Schema(c.text);
    schema->FindField("f")->value = CVariant::String(u"old");
    EXPECT_EQ(Raised([&] { schema->DecodeRecord(RecordOf(c.bytes)); }), c.outcome) << c.what;
    EXPECT_EQ(schema->GetFieldValue("f"), CVariant::String(u"old")) << c.what;
  }
  // Fields before the failing one hold their new values.
  auto schema = Schema("tb=rf==");
  schema->FindField("b")->value = CVariant::UI1(0);
  EXPECT_EQ(Raised([&] { schema->DecodeRecord(RecordOf({7, 0, 'x'})); }), noZero);
  EXPECT_EQ(schema->GetFieldValue("b"), CVariant::UI1(7));
  // Bytes after the last field are ignored.
  EXPECT_EQ(Raised([&] { schema->DecodeRecord(RecordOf({7, 0, 'x', 0, 1, 2, 3})); }), "ok");
}

TEST(CodecTest, BitmapFieldLengthComesFromItsHeader) {
  auto schema = Schema("hp=tz==");
  // rowBytes 2, height 3, density 144: 2 x 3 x 144 / 72 = 12 bytes of rows.
  Bytes bitmap = {'b', 'm', 0, 8, 0, 3, 0, 2, 1, 2, 0, 144, 0, 0, 0, 0};
  for (int i = 0; i < 12; ++i)
    bitmap.push_back(static_cast<std::uint8_t>(i));
  Bytes record = {9, 0};  // z (Byte) first, one pad before the bitmap
  record.insert(record.end(), bitmap.begin(), bitmap.end());
  record.push_back(0xEE);  // ignored
  schema->DecodeRecord(RecordOf(record));
  EXPECT_EQ(schema->GetFieldValue("p").GetArray().GetData(), bitmap);
  EXPECT_EQ(schema->GetFieldValue("z"), CVariant::UI1(9));
}

}  // namespace
}  // namespace kd
