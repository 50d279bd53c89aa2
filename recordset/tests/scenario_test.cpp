// A scenario through the recordset with a description of every field type:
// create, add, edit, delete, reopen, compare the values, and check the record
// bytes in the file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/tests/interop/expectation.h"
#include "recordset/recordset.h"
#include "testing/bitmap_images.h"
#include "testing/outcomes.h"
#include "testing/pdb_image.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Result;
using testing::Wide;

const char kDescription[] =
    "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
    "<table name=\"Everything\">\n"
    "  <field><name>UniqueID</name><type>Long</type><synchro>1</synchro></field>\n"
    "  <field><name>Category</name><type>Byte</type><synchro>1</synchro></field>\n"
    "  <field><name>Title</name><type>String</type><synchro>1</synchro></field>\n"
    "  <field><name>Done</name><type>Boolean</type><synchro/></field>\n"
    "  <field><name>Priority</name><type>Byte</type><synchro/></field>\n"
    "  <field><name>Stars</name><type>Boolean</type><synchro/></field>\n"
    "  <field><name>Count</name><type>Integer</type><synchro/></field>\n"
    "  <field><name>Total</name><type>Long</type><synchro/></field>\n"
    "  <field><name>Ratio</name><type>Single</type><synchro/></field>\n"
    "  <field><name>Amount</name><type>Double</type><synchro/></field>\n"
    "  <field><name>Due</name><type>Date</type><synchro/></field>\n"
    "  <field><name>Note</name><type>String</type><synchro/></field>\n"
    "  <field><name>Picture</name><type>Bitmap</type><synchro/></field>\n"
    "  <field><name>Blob</name><type>StreamMemory</type><synchro/></field>\n"
    "</table>\n";

struct Row {
  std::u16string title;
  bool done;
  std::uint8_t priority;
  std::int16_t count;
  std::int32_t total;
  float ratio;
  double amount;
  double due;
  std::u16string note;
};

const Row kRows[] = {
    {u"Buy milk", false, 1, 2, 100000, 0.5f, 1.25, 45351.5, u"odd"},
    {u"Pay \u20ac", true, 255, -1, -5, -0.25f, -1e-3, 1462.0, u"even"},
    {u"Call", true, 0, 32767, 0, 3.0f, 0.0, 50000.25, u""},
};

void PutRow(CRecordset& rs, const Row& row) {
  rs.put_Field(u"Title", CVariant::String(row.title));
  rs.put_Field(u"Done", CVariant::Bool(row.done));
  rs.put_Field(u"Priority", CVariant::UI1(row.priority));
  rs.put_Field(u"Stars", CVariant::I4(row.done ? 5 : 0));  // an integer into a Boolean
  rs.put_Field(u"Count", CVariant::I2(row.count));
  rs.put_Field(u"Total", CVariant::I4(row.total));
  rs.put_Field(u"Ratio", CVariant::R4(row.ratio));
  rs.put_Field(u"Amount", CVariant::R8(row.amount));
  rs.put_Field(u"Due", CVariant::Date(row.due));
  rs.put_Field(u"Note", CVariant::String(row.note));
  rs.put_Field(u"Picture", CVariant::Bytes(testing::SmallDeviceBitmap()));
  rs.put_Field(u"Blob", CVariant::Bytes({1, 2, 3}));
}

void ExpectRow(CRecordset& rs, const Row& row) {
  auto field = [&](const std::u16string& name) {
    CVariant value;
    EXPECT_EQ(Result(rs.get_Field(name, &value)), "ok") << "field";
    return value;
  };
  EXPECT_EQ(field(u"Title"), CVariant::String(row.title));
  EXPECT_EQ(field(u"Done"), CVariant::Bool(row.done));
  EXPECT_EQ(field(u"Priority"), CVariant::UI1(row.priority));
  EXPECT_EQ(field(u"Stars"), CVariant::Bool(row.done));
  EXPECT_EQ(field(u"Count"), CVariant::I2(row.count));
  EXPECT_EQ(field(u"Total"), CVariant::I4(row.total));
  EXPECT_EQ(field(u"Ratio"), CVariant::R4(row.ratio));
  EXPECT_EQ(field(u"Amount"), CVariant::R8(row.amount));
  EXPECT_EQ(field(u"Due").GetType(), VT_DATE);
  EXPECT_NEAR(field(u"Due").GetDate(), row.due, 0.5 / 86400);
  EXPECT_EQ(field(u"Note"), CVariant::String(row.note));
  EXPECT_EQ(field(u"Picture"), CVariant::Bytes(testing::SmallDeviceBitmap()));
  EXPECT_EQ(field(u"Blob"), CVariant::Bytes({1, 2, 3}));
}

TEST(RecordsetScenarioTest, EveryFieldTypeThroughTheFile) {
  testing::TempDir dir;
  std::string kdx = dir.File("everything.kdx");
  testing::WriteFileBytes(kdx, Bytes(std::begin(kDescription), std::end(kDescription) - 1));
  std::string path = dir.File("everything.pdb");
  {
    CRecordset rs;
    ASSERT_EQ(Result(rs.CreateTable(Wide(path), Wide(kdx), u"Everything", u"DATA", u"KdSc")), "ok");
    for (const Row& row : kRows) {
      ASSERT_EQ(Result(rs.AddNew()), "ok");
      PutRow(rs, row);
      rs.put_Field(u"Category", CVariant::UI1(4));
      ASSERT_EQ(Result(rs.Update()), "ok");
    }
  }

  CRecordset rs;
  ASSERT_EQ(Result(rs.OpenTable(Wide(path), Wide(kdx))), "ok");
  for (const Row& row : kRows) {
    ExpectRow(rs, row);
    rs.MoveNext();
  }

  // Edit the second record, delete the first, and read everything back.
  rs.put_AbsolutePosition(1);
  ASSERT_EQ(Result(rs.Edit()), "ok");
  rs.put_Field(u"Note", CVariant::String(u"edited"));
  ASSERT_EQ(Result(rs.Update()), "ok");
  rs.MoveFirst();
  ASSERT_EQ(Result(rs.Delete(1)), "ok");
  rs.Close();
  ASSERT_EQ(Result(rs.OpenTable(Wide(path), Wide(kdx))), "ok");
  std::int32_t count = 0;
  rs.get_RecordCount(&count);
  ASSERT_EQ(count, 2);
  Row edited = kRows[1];
  edited.note = u"edited";
  ExpectRow(rs, edited);
  CVariant value;
  rs.get_Field(u"UniqueID", &value);
  EXPECT_EQ(value, CVariant::I4(2));
  rs.get_Field(u"Category", &value);
  EXPECT_EQ(value, CVariant::UI1(4));
  rs.MoveNext();
  ExpectRow(rs, kRows[2]);
  rs.Close();

  // The bytes of the edited record in the file, in record order: Done,
  // Priority, Stars (one-byte fields, odd count: one pad), Count, Total, Ratio,
  // Amount, Due, Title and Note (strings, by name), a pad to an even offset,
  // Picture, Blob.
  testing::Bytes file = testing::ReadFileBytes(path);
  std::uint32_t start = testing::Get32(file, testing::EntryOffset(0));
  std::uint32_t end = testing::Get32(file, testing::EntryOffset(1));
  Bytes record(file.begin() + start, file.begin() + end);
  Bytes expected = {0xFF, 255,  0xFF, 0,                             // Done, Priority, Stars, pad
                    0xFF, 0xFF,                                      // Count -1
                    0xFF, 0xFF, 0xFF, 0xFB,                          // Total -5
                    0xBE, 0x80, 0x00, 0x00,                          // Ratio -0.25
                    0xBF, 0x50, 0x62, 0x4D, 0xD2, 0xF1, 0xA9, 0xFC,  // Amount -0.001
                    0,    0,    0,    0,                             // Due 1904-01-01
                    'e',  'd',  'i',  't',  'e',  'd',  0,           // Note
                    'P',  'a',  'y',  ' ',  0x80, 0};                // Title
  expected.push_back(0);                                             // pad: offset 39 is odd
  const Bytes& picture = testing::SmallDeviceBitmap();
  expected.insert(expected.end(), picture.begin(), picture.end());
  Bytes blob = {'s', 'm', 0, 0, 0, 3, 1, 2, 3};
  expected.insert(expected.end(), blob.begin(), blob.end());
  EXPECT_EQ(record, expected);
  EXPECT_EQ(file[testing::EntryOffset(0) + 4], 0x40 | 4);         // dirty, category 4
  EXPECT_EQ(file[testing::EntryOffset(2) + 4], 0x80 | 0x40 | 4);  // the archived first record

  // With KD_PALM_CHECK_DIR set (CTest recordset_scenario_for_palm), Palm::PDB reads
  // the final file too: engine/tests/interop/README.md.
  EXPECT_EQ(interop::HandOverIfAsked(path, "recordset_scenario"), "");
}

}  // namespace
}  // namespace kd
