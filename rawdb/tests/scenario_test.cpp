// A scenario in the manner of a late-bound script: create a database, add
// records with typed values, close, reopen, walk each record with the running
// offset, edit, and delete in each mode; then check the file's bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/tests/interop/expectation.h"
#include "rawdb/raw_db.h"
#include "testing/outcomes.h"
#include "testing/pdb_image.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Result;
using testing::Wide;

struct Contact {
  std::u16string name;
  std::int32_t age;
  double balance;
  double born;  // automation date
  bool member;
  std::u16string code;  // fixed length 4
};

const Contact kContacts[] = {
    {u"Ann", 31, 12.5, 30000.5, true, u"AB"},
    {u"B\u00e9a", -7, -1e10, 1462.0, false, u"WXYZ"},
    {u"Carl", 65535, 0.1, 40000.25, true, u"CD"},
    {u"Dee", 0, 3.0, 45000.0, false, u"Q"},
};

// Writes one contact with the running offset, as a script would.
void WriteContact(CRawDB& db, const Contact& c) {
  ASSERT_EQ(Result(db.put_StringAt(-1, c.name)), "ok");
  ASSERT_EQ(Result(db.put_Int32At(-1, c.age)), "ok");
  ASSERT_EQ(Result(db.put_DoubleAt(-1, c.balance)), "ok");
  ASSERT_EQ(Result(db.put_DateAt(-1, CVariant::Date(c.born))), "ok");
  ASSERT_EQ(Result(db.put_BooleanAt(-1, c.member ? -1 : 0)), "ok");
  ASSERT_EQ(Result(db.put_FixedLengthStringAt(-1, 4, c.code)), "ok");
}

void ExpectContact(CRawDB& db, const Contact& c) {
  std::u16string text;
  std::int32_t number = 0;
  double real = 0;
  CVariant date;
  std::int16_t flag = 0;
  ASSERT_EQ(Result(db.get_StringAt(-1, &text)), "ok");
  EXPECT_EQ(text, c.name);
  db.get_Int32At(-1, &number);
  EXPECT_EQ(number, c.age);
  db.get_DoubleAt(-1, &real);
  EXPECT_EQ(real, c.balance);
  db.get_DateAt(-1, &date);
  EXPECT_EQ(date.GetDate(), c.born);
  db.get_BooleanAt(-1, &flag);
  EXPECT_EQ(flag, c.member ? -1 : 0);
  EXPECT_EQ(Result(db.get_FixedLengthStringAt(-1, 4, &text)), "ok");
  EXPECT_EQ(text, c.code);
  EXPECT_EQ(db.GetRunningOffset(),
            static_cast<std::int32_t>(c.name.size()) + 1 + 4 + 8 + 4 + 1 + 4);
}

TEST(RawDbScenarioTest, ScriptLikeLifeOfADatabase) {
  testing::TempDir dir;
  std::string path = dir.File("contacts.pdb");
  {
    CRawDB db;
    ASSERT_EQ(Result(db.CreateTable(Wide(path), u"Contacts", u"DATA", u"KdSc")), "ok");
    for (std::size_t i = 0; i < 4; ++i) {
      ASSERT_EQ(Result(db.AddNew()), "ok");
      WriteContact(db, kContacts[i]);
      db.put_Category(static_cast<std::int32_t>(i));
      db.put_Secret(i == 1 ? -1 : 0);
      ASSERT_EQ(Result(db.Update()), "ok");
    }
    ASSERT_EQ(Result(db.Close()), "ok");
  }

  CRawDB db;
  ASSERT_EQ(Result(db.OpenTable(Wide(path))), "ok");
  std::int32_t count = 0;
  db.get_RecordCount(&count);
  ASSERT_EQ(count, 4);
  std::int16_t eof = 0;
  for (std::size_t i = 0; db.get_EOF(&eof) == hr::kOk && !eof; ++i) {
    ExpectContact(db, kContacts[i]);
    std::int32_t id = 0, category = 0;
    db.get_UniqueID(&id);
    db.get_Category(&category);
    EXPECT_EQ(id, static_cast<std::int32_t>(i + 1));
    EXPECT_EQ(category, static_cast<std::int32_t>(i));
    ASSERT_EQ(Result(db.MoveNext()), "ok");
  }

  // Edit the first record: a new age, in place.
  db.MoveFirst();
  ASSERT_EQ(Result(db.Edit()), "ok");
  ASSERT_EQ(Result(db.put_Int32At(4, 32)), "ok");
  ASSERT_EQ(Result(db.Update()), "ok");

  // Delete the second in each mode, one after the other.
  db.MoveNext();
  ASSERT_EQ(Result(db.Delete(0)), "ok");  // kdRecordDelete: Béa
  ASSERT_EQ(Result(db.Delete(1)), "ok");  // kdRecordArchive: Carl (now current)
  ASSERT_EQ(Result(db.Delete(2)), "ok");  // kdRecordRemove: Dee
  db.get_RecordCount(&count);
  EXPECT_EQ(count, 1);
  db.Close();

  // The file: one live record, then the deleted one without data and the
  // archived one with its data; the removed one is gone.
  testing::Bytes file = testing::ReadFileBytes(path);
  ASSERT_EQ(testing::Get16(file, 76), 3);
  struct Entry {
    std::uint8_t attributes;
    std::uint32_t id;
  } expected[] = {{0x40 | 0, 1}, {0x80 | 0x40 | 0x10 | 1, 2}, {0x80 | 0x40 | 2, 3}};
  std::uint32_t offsets[3];
  for (std::size_t i = 0; i < 3; ++i) {
    std::size_t at = testing::EntryOffset(i);
    offsets[i] = testing::Get32(file, at);
    EXPECT_EQ(file[at + 4], expected[i].attributes) << i;
    EXPECT_EQ(file[at + 7], expected[i].id) << i;
  }
  const std::uint32_t annSize = 4 + 4 + 8 + 4 + 1 + 4;
  const std::uint32_t carlSize = 5 + 4 + 8 + 4 + 1 + 4;
  EXPECT_EQ(offsets[0], 78u + 24 + 2);
  EXPECT_EQ(offsets[1], offsets[0] + annSize);  // deleted: no data
  EXPECT_EQ(offsets[2], offsets[1]);
  EXPECT_EQ(file.size(), offsets[2] + carlSize);
  EXPECT_EQ(std::string(file.begin() + offsets[0], file.begin() + offsets[0] + 4),
            std::string("Ann\0", 4));
  EXPECT_EQ(testing::Get32(file, offsets[0] + 4), 32u);  // the edited age
  EXPECT_EQ(std::string(file.begin() + offsets[2], file.begin() + offsets[2] + 5),
            std::string("Carl\0", 5));

  // With KD_PALM_CHECK_DIR set (CTest rawdb_scenario_for_palm), Palm::PDB reads
  // the final file too: engine/tests/interop/README.md.
  EXPECT_EQ(interop::HandOverIfAsked(path, "raw_scenario"), "");
}

}  // namespace
}  // namespace kd
