// Failure sweeps over the objects' operations that allocate, read and write
// files: every allocation (the library's blocks and, through this program's
// operator new, the standard library's), every file write, flush and
// replacement fails in turn, and each failure must give the error the design
// names, leave every file as it was and the object fit for the next call.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/pdb_database.h"
#include "rawdb/raw_db.h"
#include "recordset/recordset.h"
#include "recordset/tests/digest_writer.h"
#include "testing/bitmap_images.h"
#include "testing/fault_sweep.h"
#include "testing/outcomes.h"
#include "testing/pdb_image.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

using testing::Bytes;
using testing::Result;
using testing::Wide;

// A table of four fields (the unique ID, then Count, Name and Picture in
// record order), as a description file and as a digest.
std::string Entry(const char* name, const char* type) {
  return std::string("<field><name>") + name + "</name><type>" + type +
         "</type><synchro/></field>\n";
}
const std::string kDescription = "<table>\n" + Entry("UniqueID", "Long") +
                                 Entry("Count", "Integer") + Entry("Name", "String") +
                                 Entry("Picture", "Bitmap") + "</table>\n";
const std::string kDigestText = "A=aCount=rName=hPicture==";

Bytes RecordOf(std::uint16_t count, const std::string& name) {
  const Bytes& picture = testing::SmallDeviceBitmap();
  Bytes data;
  data.reserve(2 + name.size() + 1 + picture.size());
  data.push_back(static_cast<std::uint8_t>(count >> 8));
  data.push_back(static_cast<std::uint8_t>(count));
  data.insert(data.end(), name.begin(), name.end());
  data.push_back(0);
  data.insert(data.end(), picture.begin(), picture.end());
  return data;
}

// Three live records, an archived and a deleted one, and both blocks.
Bytes SampleDatabase() {
  testing::PdbImage image;
  image.records = {{0x10, 0x01, RecordOf(1, "one")},
                   {0x11, 0x80, RecordOf(2, "archived")},
                   {0x12, 0x10, RecordOf(3, "three")},
                   {0x13, 0x80, {}},
                   {0x14, 0x00, RecordOf(5, "five")}};
  image.appInfo = {1, 2, 3};
  image.sortInfo = {4};
  return image.Build();
}

// The sample and 20 archived records of 60,000 bytes: a file that takes more
// than one write of the saving buffer (1 MiB).
const Bytes& LargeDatabase() {
  static const Bytes database = [] {
    testing::PdbImage image;
    image.records.push_back({0x10, 0x00, RecordOf(1, "one")});
    for (std::uint32_t id = 0x20; id < 0x34; ++id)
      image.records.push_back({id, 0x80, Bytes(60000, static_cast<std::uint8_t>(id))});
    return image.Build();
  }();
  return database;
}

std::string Hex(const std::uint8_t* bytes, std::uint32_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * static_cast<std::size_t>(size));
  for (std::uint32_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

// The records and blocks an engine holds, one line each: what its file must
// give back.
std::string Contents(const CPdbDatabase& db) {
  std::string text;
  auto line = [&](const char* list, const CPdbRecord& r, bool data) {
    text += std::string(list) + " " + std::to_string(r.uniqueID) + " c" +
            std::to_string(r.category) + (r.secret ? " secret" : "") + (r.dirty ? " dirty" : "") +
            (r.archived ? " archived" : "") + " " + (data ? Hex(r.GetBuffer(), r.Size()) : "") +
            "\n";
  };
  for (std::int32_t i = 0; i < db.GetLiveCount(); ++i)
    line("live", *db.GetLiveRecord(i), true);
  for (std::int32_t i = 0; i < db.GetDeletedCount(); ++i)
    line("deleted", *db.GetDeletedRecord(i), db.GetDeletedRecord(i)->archived);
  for (InfoBlock block : {InfoBlock::kAppInfo, InfoBlock::kSortInfo}) {
    const CMemFile& stream = db.GetBlockStream(block);
    text += "block " + Hex(stream.GetBuffer(), stream.Size()) + "\n";
  }
  return text;
}

// The objects of one run, and every argument their operations take, made
// before anything is armed: the sweep fails the operation's allocations only.
struct Objects {
  Objects(const std::string& pdbPath, const std::string& kdxPath, const std::string& createdPath,
          const std::string& digestText)
      : pdbPath(pdbPath),
        pdb(Wide(pdbPath)),
        kdx(Wide(kdxPath)),
        created(Wide(createdPath)),
        digest(Wide(digestText)) {}

  const std::string pdbPath;
  const std::u16string pdb, kdx, created, digest;
  const std::u16string name = u"New", type = u"DATA", creator = u"KdTs";
  const CVariant record = CVariant::Bytes(RecordOf(9, "changed"));
  const CVariant text = CVariant::String(u"changed");
  const CVariant block = CVariant::Bytes(Bytes(300, 0xAB));
  const CVariant bitmap = CVariant::Bytes(testing::SmallDeviceBitmap());
  CRawDB raw;
  CRecordset rs;
  CVariant picture, result;
};

// A closed object: it refuses what needs a table, and opens with `open`.
template <typename Object>
std::string ClosedThenOpens(Object& db, const std::function<HRESULT()>& open) {
  std::int32_t count = 0;
  const std::string closed = Result(db.get_RecordCount(&count));
  if (closed != testing::kNotOpened) return "not closed: " + closed;
  const std::string opened = Result(open());
  return opened == "ok" ? "ok" : "opening again: " + opened;
}

// An open object whose last commit failed: `commit` succeeds, and the file
// then holds what the object holds.
template <typename Object>
std::string CommitWritesWhatItHolds(Object& db, const std::string& path,
                                    const std::function<HRESULT()>& commit) {
  const std::string committed = Result(commit());
  if (committed != "ok") return "the next commit: " + committed;
  CPdbDatabase file(path.c_str());
  const std::string loaded = testing::Raised([&] { file.Load(); });
  if (loaded != "ok") return "the file: " + loaded;
  const std::string held = Contents(*db.GetEngine());
  const std::string written = Contents(file);
  return held == written ? "ok" : "the object holds\n" + held + "the file\n" + written;
}

// Writes the SortInfo block back as it is: a commit that changes no record.
template <typename Object>
HRESULT RewriteSortInfo(Object& db) {
  CVariant block;
  HRESULT result = db.get_SortInfoBlock(&block);
  return result != hr::kOk ? result : db.put_SortInfoBlock(block);
}

enum class Writes { kNothing, kDatabase, kNewDatabase };

struct Sweep {
  const char* name;
  Writes writes;
  std::function<void(Objects&)> arrange;  // with nothing armed
  std::function<HRESULT(Objects&)> act;
  std::function<std::string(Objects&)> recover;
};

void OpenRaw(Objects& o) {
  ASSERT_EQ(Result(o.raw.OpenTable(o.pdb)), "ok");
}
void OpenRecordset(Objects& o) {
  ASSERT_EQ(Result(o.rs.OpenTable(o.pdb, o.digest)), "ok");
}

std::string RawCommitWrites(Objects& o) {
  return CommitWritesWhatItHolds(o.raw, o.pdbPath, [&] { return RewriteSortInfo(o.raw); });
}
std::string RecordsetCommitWrites(Objects& o) {
  return CommitWritesWhatItHolds(o.rs, o.pdbPath, [&] { return RewriteSortInfo(o.rs); });
}

const Sweep kSweeps[] = {
    {"RawDbOpenTable", Writes::kNothing, [](Objects&) {},
     [](Objects& o) { return o.raw.OpenTable(o.pdb); },
     [](Objects& o) { return ClosedThenOpens(o.raw, [&] { return o.raw.OpenTable(o.pdb); }); }},
    {"RecordsetOpenTableWithADescriptionFile", Writes::kNothing, [](Objects&) {},
     [](Objects& o) { return o.rs.OpenTable(o.pdb, o.kdx); },
     [](Objects& o) {
       return ClosedThenOpens(o.rs, [&] { return o.rs.OpenTable(o.pdb, o.kdx); });
     }},
    {"RecordsetOpenTableWithADigest", Writes::kNothing, [](Objects&) {},
     [](Objects& o) { return o.rs.OpenTable(o.pdb, o.digest); },
     [](Objects& o) {
       return ClosedThenOpens(o.rs, [&] { return o.rs.OpenTable(o.pdb, o.digest); });
     }},
    {"RawDbCreateTable", Writes::kNewDatabase, [](Objects&) {},
     [](Objects& o) { return o.raw.CreateTable(o.created, o.name, o.type, o.creator); },
     [](Objects& o) {
       return ClosedThenOpens(
           o.raw, [&] { return o.raw.CreateTable(o.created, o.name, o.type, o.creator); });
     }},
    {"RecordsetCreateTable", Writes::kNewDatabase, [](Objects&) {},
     [](Objects& o) { return o.rs.CreateTable(o.created, o.kdx, o.name, o.type, o.creator); },
     [](Objects& o) {
       return ClosedThenOpens(
           o.rs, [&] { return o.rs.CreateTable(o.created, o.kdx, o.name, o.type, o.creator); });
     }},
    // An edit stays pending after a failed Update: committing it again
    // writes it.
    {"RawDbUpdateAnEdit", Writes::kDatabase,
     [](Objects& o) {
       OpenRaw(o);
       o.raw.MoveNext();
       o.raw.Edit();
       o.raw.put_RecordData(o.record);
     },
     [](Objects& o) { return o.raw.Update(); },
     [](Objects& o) {
       return CommitWritesWhatItHolds(o.raw, o.pdbPath, [&] { return o.raw.Update(); });
     }},
    {"RawDbUpdateAnEditOfALargeDatabase", Writes::kDatabase,
     [](Objects& o) {
       testing::WriteFileBytes(o.pdbPath, LargeDatabase());
       OpenRaw(o);
       o.raw.Edit();
       o.raw.put_RecordData(o.record);
     },
     [](Objects& o) { return o.raw.Update(); },
     [](Objects& o) {
       return CommitWritesWhatItHolds(o.raw, o.pdbPath, [&] { return o.raw.Update(); });
     }},
    {"RawDbUpdateANewRecord", Writes::kDatabase,
     [](Objects& o) {
       OpenRaw(o);
       o.raw.AddNew();
       o.raw.put_RecordData(o.record);
     },
     [](Objects& o) { return o.raw.Update(); }, RawCommitWrites},
    {"RecordsetUpdateAnEditThatChangesTheUniqueID", Writes::kDatabase,
     [](Objects& o) {
       OpenRecordset(o);
       o.rs.MoveLast();
       o.rs.Edit();
       o.rs.put_Field(u"Name", o.text);
       o.rs.put_Field(u"uniqueid", CVariant::I4(0x40));
     },
     [](Objects& o) { return o.rs.Update(); },
     [](Objects& o) {
       return CommitWritesWhatItHolds(o.rs, o.pdbPath, [&] { return o.rs.Update(); });
     }},
    {"RecordsetUpdateANewRecord", Writes::kDatabase,
     [](Objects& o) {
       OpenRecordset(o);
       o.rs.AddNew();
       o.rs.put_Field(u"Name", o.text);
       o.rs.put_Field(u"Count", CVariant::I2(4));
     },
     [](Objects& o) { return o.rs.Update(); }, RecordsetCommitWrites},
    {"RawDbDeleteRemovingTheRecord", Writes::kDatabase,
     [](Objects& o) {
       OpenRaw(o);
       o.raw.MoveNext();
     },
     [](Objects& o) { return o.raw.Delete(kdRecordRemove); }, RawCommitWrites},
    {"RecordsetDeleteArchivingTheRecord", Writes::kDatabase, OpenRecordset,
     [](Objects& o) { return o.rs.Delete(kdRecordArchive); }, RecordsetCommitWrites},
    {"RawDbPutAppInfoBlock", Writes::kDatabase, OpenRaw,
     [](Objects& o) { return o.raw.put_AppInfoBlock(o.block); }, RawCommitWrites},
    {"RecordsetPutSortInfoBlock", Writes::kDatabase, OpenRecordset,
     [](Objects& o) { return o.rs.put_SortInfoBlock(o.block); }, RecordsetCommitWrites},
    {"RecordsetCreateOlePicture", Writes::kNothing, [](Objects&) {},
     [](Objects& o) { return o.rs.get_CreateOlePicture(o.bitmap, &o.picture); },
     [](Objects& o) { return Result(o.rs.get_CreateOlePicture(o.bitmap, &o.picture)); }},
    {"RecordsetCreateKDBitmap", Writes::kNothing,
     [](Objects& o) { ASSERT_EQ(Result(o.rs.get_CreateOlePicture(o.bitmap, &o.picture)), "ok"); },
     [](Objects& o) { return o.rs.get_CreateKDBitmap(o.picture, &o.result); },
     [](Objects& o) {
       const std::string result = Result(o.rs.get_CreateKDBitmap(o.picture, &o.result));
       if (result != "ok") return result;
       Bytes expected = testing::SmallDeviceBitmap();
       for (int i = 12; i < 16; ++i)
         expected[i] = 0xFF;  // the encoder's reserved bytes
       return o.result == CVariant::Bytes(expected) ? std::string("ok")
                                                    : std::string("another bitmap");
     }},
};

void PrintTo(const Sweep& sweep, std::ostream* out) {
  *out << sweep.name;
}

class FailureSweepTest : public ::testing::TestWithParam<Sweep> {
 protected:
  void TearDown() override { ClearFaults(); }

  testing::TempDir dir_;
  const std::string pdb_ = dir_.File("sweep.pdb");
  const std::string kdx_ = dir_.File("sweep.kdx");
  const std::string created_ = dir_.File("created.pdb");
};

TEST_P(FailureSweepTest, EveryFailureKeepsItsPromises) {
  const Sweep& sweep = GetParam();
  const Bytes database = SampleDatabase();
  const std::string digest = testing::WriteDigest(kDigestText);
  std::vector<FaultPoint> points = {FaultPoint::kAllocation};
  if (sweep.writes != Writes::kNothing) {
    points.insert(points.end(),
                  {FaultPoint::kFileWrite, FaultPoint::kFileFlush, FaultPoint::kFileReplace});
  }
  const std::string& written = sweep.writes == Writes::kNewDatabase ? created_ : pdb_;
  std::string visited;
  for (FaultPoint point : points) {
    const std::string expected = point == FaultPoint::kAllocation
                                     ? testing::kOutOfMemory
                                     : testing::CannotAccessResult(written);
    const testing::SweepReport report = testing::SweepFailures(
        point, expected, dir_.path(),
        [&] {
          testing::WriteFileBytes(pdb_, database);
          testing::WriteFileBytes(kdx_, Bytes(kDescription.begin(), kDescription.end()));
          std::remove(created_.c_str());
          auto objects = std::make_unique<Objects>(pdb_, kdx_, created_, digest);
          sweep.arrange(*objects);
          return objects;
        },
        [&](std::unique_ptr<Objects>& o) { return sweep.act(*o); },
        [&](std::unique_ptr<Objects>& o) { return sweep.recover(*o); });
    EXPECT_GT(report.failurePoints, 0) << testing::FaultPointName(point) << ": nothing visited";
    for (const std::string& problem : report.problems)
      ADD_FAILURE() << problem;
    visited += std::string(visited.empty() ? "" : ", ") + testing::FaultPointName(point) + " " +
               std::to_string(report.failurePoints);
  }
  std::printf("[ sweep    ] %s: %s\n", sweep.name, visited.c_str());
}

INSTANTIATE_TEST_SUITE_P(Operations, FailureSweepTest, ::testing::ValuesIn(kSweeps),
                         [](const ::testing::TestParamInfo<Sweep>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace kd
