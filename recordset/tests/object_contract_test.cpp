// The contract the raw database object and the recordset share, written once
// and run over both: a closed object, opening and creating a table, the cursor
// and the record it shows, adding, editing, cancelling, deleting, the info
// blocks and the error description. An adapter per object says how a table is
// opened or created and how the value of the record under the cursor is
// written and read: the raw object's record buffer holds it as a string at
// its start, the recordset as its one String field "Name". A record holding
// "one" is the same bytes for both ("one" and a zero).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/codepage.h"
#include "rawdb/raw_db.h"
#include "recordset/recordset.h"
#include "recordset/tests/digest_writer.h"
#include "testing/outcomes.h"
#include "testing/pdb_image.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

using testing::Bytes;
using testing::Result;
using testing::Wide;

struct RawDbAdapter {
  static constexpr const char* kName = "RawDB";
  using Object = CRawDB;

  static HRESULT Open(CRawDB& db, const std::string& path) { return db.OpenTable(Wide(path)); }
  static HRESULT Create(CRawDB& db, const std::string& path, const std::u16string& name,
                        const std::u16string& type, const std::u16string& creator) {
    return db.CreateTable(Wide(path), name, type, creator);
  }
  // Replaces the record buffer with the text and its zero.
  static HRESULT Put(CRawDB& db, const std::string& text) {
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return db.put_RecordData(CVariant::Bytes(bytes));
  }
  // The record buffer up to its first zero: "" for a blank buffer.
  static std::string Value(CRawDB& db) {
    CVariant data;
    if (db.get_RecordData(&data) != hr::kOk) return "(failed)";
    const Bytes& bytes = data.GetArray().GetData();
    return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0));
  }
};

struct RecordsetAdapter {
  static constexpr const char* kName = "Recordset";
  using Object = CRecordset;

  static std::u16string Digest() { return Wide(testing::WriteDigest("rName==")); }
  static HRESULT Open(CRecordset& rs, const std::string& path) {
    return rs.OpenTable(Wide(path), Digest());
  }
  static HRESULT Create(CRecordset& rs, const std::string& path, const std::u16string& name,
                        const std::u16string& type, const std::u16string& creator) {
    return rs.CreateTable(Wide(path), Digest(), name, type, creator);
  }
  static HRESULT Put(CRecordset& rs, const std::string& text) {
    return rs.put_Field(u"Name", CVariant::String(Wide(text)));
  }
  static std::string Value(CRecordset& rs) {
    CVariant value;
    if (rs.get_Field(u"Name", &value) != hr::kOk || value.GetType() != VT_BSTR) return "(failed)";
    return ToAnsi(value.GetString());
  }
};

struct AdapterNames {
  template <typename T>
  static std::string GetName(int) {
    return T::kName;
  }
};

template <typename Adapter>
class ObjectContractTest : public ::testing::Test {
 protected:
  using Object = typename Adapter::Object;

  // A database file of (unique ID, attributes, value) records, opened.
  void Open(const std::vector<std::tuple<std::uint32_t, std::uint8_t, std::string>>& records) {
    testing::PdbImage image;
    for (const auto& [id, attributes, text] : records) {
      Bytes data(text.begin(), text.end());
      data.push_back(0);
      image.records.push_back({id, attributes, data});
    }
    testing::WriteFileBytes(path_, image.Build());
    ASSERT_EQ(Result(Adapter::Open(db_, path_)), "ok");
  }
  void Reopen() {
    db_.Close();
    ASSERT_EQ(Result(Adapter::Open(db_, path_)), "ok");
  }

  HRESULT Put(const std::string& text) { return Adapter::Put(db_, text); }
  std::string Value() { return Adapter::Value(db_); }
  template <typename T>
  T Get(HRESULT (Object::*getter)(T*)) {
    T value = -99;
    (db_.*getter)(&value);
    return value;
  }
  std::int32_t Position() { return Get(&Object::get_AbsolutePosition); }
  std::int16_t Bof() { return Get(&Object::get_BOF); }
  std::int16_t Eof() { return Get(&Object::get_EOF); }
  std::int32_t Count() { return Get(&Object::get_RecordCount); }
  std::uint32_t ModificationNumber() const { return testing::FileModificationNumber(path_); }

  testing::TempDir dir_;
  std::string path_ = dir_.File("contract.pdb");
  Object db_;
};

using Adapters = ::testing::Types<RawDbAdapter, RecordsetAdapter>;
TYPED_TEST_SUITE(ObjectContractTest, Adapters, AdapterNames);

// The operations both objects have; each object's own tests list the rest.
TYPED_TEST(ObjectContractTest, AClosedObjectRefusesEveryOperationButClose) {
  using Object = typename TypeParam::Object;
  std::int32_t i32;
  std::int16_t i16;
  CVariant v;
  const std::vector<std::function<HRESULT(Object&)>> operations = {
      [](Object& db) { return db.AddNew(); },
      [](Object& db) { return db.CancelUpdate(); },
      [](Object& db) { return db.Delete(0); },
      [](Object& db) { return db.Edit(); },
      [](Object& db) { return db.LookupUniqueID(1); },
      [](Object& db) { return db.MoveFirst(); },
      [](Object& db) { return db.MoveLast(); },
      [](Object& db) { return db.MoveNext(); },
      [](Object& db) { return db.MovePrevious(); },
      [](Object& db) { return db.Update(); },
      [](Object& db) { return db.Blank(); },
      [&](Object& db) { return db.get_AbsolutePosition(&i32); },
      [](Object& db) { return db.put_AbsolutePosition(0); },
      [&](Object& db) { return db.get_BOF(&i16); },
      [&](Object& db) { return db.get_EOF(&i16); },
      [&](Object& db) { return db.get_RecordCount(&i32); },
      [&](Object& db) { return db.get_AppInfoBlock(&v); },
      [](Object& db) { return db.put_AppInfoBlock(CVariant()); },
      [&](Object& db) { return db.get_SortInfoBlock(&v); },
      [](Object& db) { return db.put_SortInfoBlock(CVariant()); },
  };
  for (std::size_t i = 0; i < operations.size(); ++i) {
    EXPECT_EQ(Result(operations[i](this->db_)), testing::kNotOpened) << "operation " << i;
  }
  EXPECT_EQ(Result(this->db_.Close()), "ok");
  EXPECT_EQ(Result(this->db_.Close()), "ok");
}

TYPED_TEST(ObjectContractTest, OpeningFailuresLeaveTheObjectClosed) {
  testing::PdbImage image;
  image.records = {{1, 0, {'a', 0}}};
  Bytes chained = image.Build();
  testing::Set32(chained, 72, 5);
  const std::string chainedPath = this->dir_.File("chained.pdb");
  testing::WriteFileBytes(chainedPath, chained);
  const std::string missing = this->dir_.File("missing.pdb");
  const struct {
    std::string path;
    std::string result;
  } cases[] = {
      {missing, "80042710 Generic error: Cannot access file '" + missing + "'."},
      {chainedPath, "80042710 Generic error: Chained record lists not supported."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Result(TypeParam::Open(this->db_, c.path)), c.result);
    EXPECT_FALSE(this->db_.IsOpen());
    EXPECT_EQ(Result(this->db_.MoveFirst()), testing::kNotOpened);
  }
}

TYPED_TEST(ObjectContractTest, CreateTableChecksItsArgumentsInOrderAndWritesNoFileOnFailure) {
  const struct {
    std::u16string name, type, creator;
    std::string result;
  } refused[] = {
      {std::u16string(32, u'n'), u"DAT", u"KdT", "8004271A Database name exceeds 31 characters."},
      {u"x", u"DAT", u"KdT", "8004271C Type string must contain 4 characters."},
      {u"x", u"DATAX", u"KdTs", "8004271C Type string must contain 4 characters."},
      {u"x", u"DATA", u"KdT", "8004271B Creator string must contain 4 characters."},
      {u"x", u"DATA", u"KdTsX", "8004271B Creator string must contain 4 characters."},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(Result(TypeParam::Create(this->db_, this->path_, c.name, c.type, c.creator)),
              c.result);
    EXPECT_FALSE(testing::FileExists(this->path_));
    EXPECT_FALSE(this->db_.IsOpen());
  }
  // An existing file is replaced by a new, empty database, open at EOF.
  for (const std::u16string& name : {std::u16string(31, u'n'), std::u16string()}) {
    this->Open({{1, 0, "one"}});
    this->db_.Close();
    ASSERT_EQ(Result(TypeParam::Create(this->db_, this->path_, name, u"DATA", u"KdTs")), "ok");
    const Bytes file = testing::ReadFileBytes(this->path_);
    ASSERT_EQ(file.size(), 80u);
    EXPECT_EQ(std::u16string(file.begin(), file.begin() + name.size()), name);
    EXPECT_EQ(file[name.size()], 0);
    EXPECT_EQ(this->Eof(), -1);
    EXPECT_EQ(this->Count(), 0);
    EXPECT_EQ(this->Value(), "");
  }
}

TYPED_TEST(ObjectContractTest, ADatabaseWithoutLiveRecordsOpensAtEof) {
  this->Open({{1, 0x80, ""}});
  EXPECT_EQ(this->Position(), 0);
  EXPECT_EQ(this->Eof(), -1);
  EXPECT_EQ(this->Bof(), 0);
  EXPECT_EQ(this->Count(), 0);
  EXPECT_EQ(this->Value(), "");
  EXPECT_EQ(Result(this->db_.MoveFirst()), "ok");
  EXPECT_EQ(this->Position(), 0);
  EXPECT_EQ(Result(this->db_.MoveLast()), "ok");
  EXPECT_EQ(this->Position(), -1);
  EXPECT_EQ(this->Bof(), -1);
  EXPECT_EQ(this->Eof(), 0);
  EXPECT_EQ(Result(this->db_.MovePrevious()), testing::kInvalidCursor);
}

TYPED_TEST(ObjectContractTest, MovesRefreshTheValueAndFailedMovesKeepIt) {
  this->Open({{5, 0, "one"}, {6, 0, "two"}});
  EXPECT_EQ(this->Value(), "one");
  EXPECT_EQ(Result(this->db_.MoveNext()), "ok");
  EXPECT_EQ(this->Value(), "two");
  EXPECT_EQ(Result(this->db_.MoveNext()), "ok");
  EXPECT_EQ(this->Eof(), -1);
  EXPECT_EQ(this->Value(), "");  // blank at EOF
  this->Put("kept");
  EXPECT_EQ(Result(this->db_.MoveNext()), testing::kInvalidCursor);
  EXPECT_EQ(this->Value(), "kept");  // a failed move keeps the value
  this->db_.MoveFirst();
  EXPECT_EQ(Result(this->db_.MovePrevious()), "ok");
  EXPECT_EQ(this->Bof(), -1);
  EXPECT_EQ(this->Position(), -1);
  EXPECT_EQ(this->Value(), "");  // blank at BOF
  EXPECT_EQ(Result(this->db_.put_AbsolutePosition(2)), testing::kInvalidCursor);
  EXPECT_EQ(Result(this->db_.put_AbsolutePosition(1)), "ok");
  EXPECT_EQ(this->Value(), "two");
  EXPECT_EQ(Result(this->db_.put_AbsolutePosition(0)), "ok");
  EXPECT_EQ(this->Value(), "one");
  EXPECT_EQ(Result(this->db_.LookupUniqueID(6)), "ok");
  EXPECT_EQ(this->Position(), 1);
  EXPECT_EQ(this->Value(), "two");
  EXPECT_EQ(Result(this->db_.LookupUniqueID(9)), testing::kNoRecordForID);
}

TYPED_TEST(ObjectContractTest, AddNewUpdateAppendsAndMovesOntoTheNewRecord) {
  this->Open({{7, 0, "one"}});
  ASSERT_EQ(Result(this->db_.AddNew()), "ok");
  EXPECT_EQ(this->Value(), "");  // a blank record
  this->Put("new");
  EXPECT_EQ(Result(this->db_.Update()), "ok");
  EXPECT_EQ(this->Position(), 1);
  EXPECT_EQ(this->Count(), 2);
  // The addition keeps the ID it was given: a second Update meets it.
  EXPECT_EQ(Result(this->db_.Update()), testing::kDuplicateID);
  EXPECT_EQ(this->Count(), 2);
  // A second AddNew starts from a cleared ID: another fresh one.
  this->db_.AddNew();
  this->Put("newer");
  EXPECT_EQ(Result(this->db_.Update()), "ok");
  this->Reopen();
  EXPECT_EQ(this->Count(), 3);
  const std::pair<std::int32_t, const char*> expected[] = {{7, "one"}, {1, "new"}, {2, "newer"}};
  for (const auto& [id, value] : expected) {
    EXPECT_EQ(Result(this->db_.LookupUniqueID(id)), "ok") << id;
    EXPECT_EQ(this->Value(), value);
  }
}

// Deleting the last record (here while editing it) leaves the cursor on EOF,
// where Edit and Delete have no record; the value stays until the next move.
TYPED_TEST(ObjectContractTest, EditAndDeleteNeedACurrentRecord) {
  this->Open({{1, 0, "one"}});
  EXPECT_EQ(Result(this->db_.Edit()), "ok");
  EXPECT_EQ(Result(this->db_.Edit()), "ok");
  EXPECT_EQ(Result(this->db_.Delete(1)), "ok");
  EXPECT_EQ(this->Count(), 0);
  EXPECT_EQ(this->Eof(), -1);
  EXPECT_EQ(this->Value(), "one");
  this->db_.MoveFirst();
  EXPECT_EQ(this->Value(), "");
  EXPECT_EQ(Result(this->db_.Edit()), testing::kNoCurrentRecord);
  EXPECT_EQ(Result(this->db_.Delete(1)), testing::kNoCurrentRecord);
  EXPECT_EQ(Result(this->db_.Update()), "ok");  // the edit ended with the delete
  EXPECT_EQ(this->ModificationNumber(), 8u);
  EXPECT_EQ(Result(this->db_.AddNew()), "ok");  // adding needs no current record
}

// Delete writes at once and moves onto the following record, but the value
// stays until the next move. A deleted or archived record is still known by
// its ID; a removed one is not.
TYPED_TEST(ObjectContractTest, DeleteModes) {
  const struct {
    std::int32_t mode;
    const char* lookup;
  } cases[] = {
      {0, testing::kDeletedOrArchived},  // delete
      {1, testing::kDeletedOrArchived},  // archive
      {2, testing::kNoRecordForID},      // remove
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    this->Open({{1, 0, "one"}, {2, 0, "two"}});
    EXPECT_EQ(Result(this->db_.Delete(c.mode)), "ok");
    EXPECT_EQ(this->ModificationNumber(), 8u);
    EXPECT_EQ(this->Count(), 1);
    EXPECT_EQ(this->Position(), 0);
    EXPECT_EQ(this->Value(), "one");
    this->db_.MoveFirst();
    EXPECT_EQ(this->Value(), "two");
    EXPECT_EQ(Result(this->db_.LookupUniqueID(1)), c.lookup);
    this->Reopen();
    EXPECT_EQ(this->Count(), 1);
    EXPECT_EQ(Result(this->db_.LookupUniqueID(1)), c.lookup);
  }
}

TYPED_TEST(ObjectContractTest, UnknownDeleteModeIsRefusedAndKeepsTheEdit) {
  for (std::int32_t mode : {-1, 3, 7, 1000}) {
    SCOPED_TRACE(mode);
    this->Open({{1, 0, "one"}});
    this->db_.Edit();
    this->Put("draft");
    EXPECT_EQ(Result(this->db_.Delete(mode)), "80042729 Invalid argument.");
    EXPECT_EQ(this->Count(), 1);
    EXPECT_EQ(this->ModificationNumber(), 7u);
    EXPECT_EQ(Result(this->db_.Update()), "ok");  // still editing
    this->Reopen();
    EXPECT_EQ(this->Value(), "draft");
  }
}

// Without AddNew or Edit, CancelUpdate and Update do nothing; after them,
// CancelUpdate reloads the value and leaves nothing for Update to write.
TYPED_TEST(ObjectContractTest, CancelUpdateReloadsTheValueAndClearsTheMarks) {
  this->Open({{1, 0, "one"}});
  this->Put("loose");
  EXPECT_EQ(Result(this->db_.CancelUpdate()), "ok");
  EXPECT_EQ(this->Value(), "loose");
  EXPECT_EQ(Result(this->db_.Update()), "ok");
  EXPECT_EQ(this->ModificationNumber(), 7u);
  this->db_.MoveFirst();
  EXPECT_EQ(this->Value(), "one");
  for (bool adding : {false, true}) {
    SCOPED_TRACE(adding ? "AddNew" : "Edit");
    adding ? this->db_.AddNew() : this->db_.Edit();
    this->Put("draft");
    EXPECT_EQ(Result(this->db_.CancelUpdate()), "ok");
    EXPECT_EQ(this->Value(), "one");
    EXPECT_EQ(Result(this->db_.Update()), "ok");  // no mark left: writes nothing
    EXPECT_EQ(this->ModificationNumber(), 7u);
    EXPECT_EQ(this->Count(), 1);
  }
}

TYPED_TEST(ObjectContractTest, CloseAndDestructionWriteNothingAndDiscardPendingEdits) {
  this->Open({{1, 0, "one"}});
  const Bytes before = testing::ReadFileBytes(this->path_);
  this->db_.Edit();
  this->Put("changed");
  EXPECT_EQ(Result(this->db_.Close()), "ok");
  EXPECT_EQ(testing::ReadFileBytes(this->path_), before);
  {
    typename TypeParam::Object other;
    ASSERT_EQ(Result(TypeParam::Open(other, this->path_)), "ok");
    other.AddNew();
    TypeParam::Put(other, "added");
  }  // destroyed while adding
  EXPECT_EQ(testing::ReadFileBytes(this->path_), before);
}

// Info blocks take byte arrays of at most 65519 elements (empty and Null
// clear them) and are written at once; they come back with lower bound 0.
TYPED_TEST(ObjectContractTest, InfoBlocks) {
  const struct {
    const char* what;
    CVariant value;
    std::string result;
  } cases[] = {
      {"bytes with lower bound 5", CVariant::Bytes({1, 2, 3}, 5), "ok"},
      {"empty", CVariant(), "ok"},
      {"null", CVariant::Null(), "ok"},
      {"65519 elements", CVariant::Bytes(Bytes(65519, 1)), "ok"},
      {"65520 elements", CVariant::Bytes(Bytes(65520, 1)), testing::kNotByteArray},
      {"two dimensions", CVariant::Array(CSafeArray(VT_UI1, {{2, 0}, {2, 0}})),
       testing::kNotByteArray},
      {"a string", CVariant::String(u"abc"), testing::kInvalidValue},
      {"bytes by reference", CVariant::Bytes({1}).AsByRef(), testing::kInvalidValue},
      {"an array of shorts", CVariant::Array(CSafeArray(VT_I2, {{2, 0}})), testing::kInvalidValue},
      {"null by reference", CVariant::Null().AsByRef(), testing::kInvalidValue},
  };
  using Object = typename TypeParam::Object;
  const struct {
    const char* name;
    HRESULT (Object::*put)(const CVariant&);
    HRESULT (Object::*get)(CVariant*);
  } blocks[] = {{"AppInfo", &Object::put_AppInfoBlock, &Object::get_AppInfoBlock},
                {"SortInfo", &Object::put_SortInfoBlock, &Object::get_SortInfoBlock}};
  for (const auto& block : blocks) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(block.name) + ": " + c.what);
      this->Open({{1, 0, "one"}});
      ASSERT_EQ(Result((this->db_.*block.put)(CVariant::Bytes({7, 7}))), "ok");
      EXPECT_EQ(Result((this->db_.*block.put)(c.value)), c.result);
      const bool written = c.result == "ok";
      EXPECT_EQ(this->ModificationNumber(), written ? 9u : 8u);
      this->Reopen();
      CVariant stored;
      ASSERT_EQ(Result((this->db_.*block.get)(&stored)), "ok");
      if (!written) {
        EXPECT_EQ(stored, CVariant::Bytes({7, 7}));
        continue;
      }
      ASSERT_TRUE(stored.IsByteArray());
      EXPECT_EQ(stored.GetArray().GetElementCount(),
                c.value.IsArray() ? c.value.GetArray().GetElementCount() : 0u);
      EXPECT_EQ(stored.GetArray().GetBounds()[0].lowerBound, 0);
    }
  }
}

TYPED_TEST(ObjectContractTest, SuccessLeavesTheErrorDescriptionOfAnEarlierFailure) {
  EXPECT_EQ(Result(this->db_.MoveFirst()), testing::kNotOpened);
  EXPECT_EQ(Result(this->db_.Close()), "ok");
  EXPECT_EQ(Result(TypeParam::Create(this->db_, this->path_, u"e", u"DATA", u"KdTs")), "ok");
  EXPECT_EQ(ToAnsi(GetErrorDescription()), "Recordset not opened.");
}

}  // namespace
}  // namespace kd
