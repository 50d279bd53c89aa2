// Round trips with Perl's Palm::PDB, another reader and writer of the same
// files (README.md beside this file describes the set-up and the expectation
// format):
//  - PeerWritesWeRead: every database make_peer_files.pl wrote into
//    $KD_INTEROP_PEER_DIR loads as its expectation says, and saving one
//    unchanged gives back the peer's bytes but for what a save updates.
//  - WeWritePeerReads: databases written with the engine into
//    $KD_INTEROP_OUR_DIR, each with the expectation of what a reader must
//    find; check_our_files.pl then reads them with Palm::PDB. Each is also
//    loaded back here against the same expectation.
//  - ExpectationFormat: the expectation files and the hand-over of a database
//    to check_our_files.pl (expectation.h), which the scenario tests of rawdb
//    and recordset use.
// Without the directories in the environment the tests are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/pdb_database.h"
#include "engine/pdb_format.h"
#include "engine/tests/interop/expectation.h"
#include "foundation/clock.h"
#include "foundation/errors.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr char kPeerDirVariable[] = "KD_INTEROP_PEER_DIR";
constexpr char kOurDirVariable[] = "KD_INTEROP_OUR_DIR";

// Saves run with the local clock fixed at 2026-12-08 10:00:00, which is this
// Palm time (and 1796724000 as Palm::PDB's Unix time).
const CalendarTime kFixedNow = {2026, 12, 2, 8, 10, 0, 0, 0};
constexpr std::uint32_t kFixedNowPalm = 3879568800u;

// ---- expectation files (expectation.h) -----------------------------------------

using interop::Expectation;
using interop::ExpectedRecord;
using interop::Flags;
using interop::FormatExpectation;
using interop::Hex;
using interop::Kind;
using interop::KindName;
using interop::kManifest;
using interop::ParseExpectation;
using interop::ReadText;
using interop::WriteText;

constexpr char kOurOrigin[] = "written by the engine (engine_interop_tests)";

Bytes BytesOf(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes BytesOf(const CMemFile& stream) {
  return Bytes(stream.GetBuffer(), stream.GetBuffer() + stream.Size());
}

// ---- comparing what the engine holds ---------------------------------------------

// Empty when equal; else the sizes and where they part, which stays readable
// for records of 64 KB.
std::string Difference(const Bytes& got, const Bytes& want) {
  if (got == want) return "";
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at])
    ++at;
  auto from = [at](const Bytes& bytes) {
    if (at >= bytes.size()) return std::string("(end)");
    return Hex(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                     bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + 8))));
  };
  return "got " + std::to_string(got.size()) + " bytes, want " + std::to_string(want.size()) +
         "; from byte " + std::to_string(at) + " got " + from(got) + ", want " + from(want);
}

std::string Describe(const ExpectedRecord& record) {
  char text[64];
  std::snprintf(text, sizeof text, "%s %06x category %d %s", KindName(record.kind),
                static_cast<unsigned>(record.uniqueID), record.category,
                Flags(record.dirty, record.secret).c_str());
  return text;
}

std::string Describe(const CPdbRecord& record) {
  const char* kind = record.deleted && record.archived ? "deleted+archived"
                     : record.deleted                  ? "deleted"
                     : record.archived                 ? "archived"
                                                       : "live";
  char text[64];
  std::snprintf(text, sizeof text, "%s %06x category %d %s", kind,
                static_cast<unsigned>(record.uniqueID), record.category,
                Flags(record.dirty, record.secret).c_str());
  return text;
}

void ExpectRecords(const char* list, std::int32_t count,
                   const std::function<const CPdbRecord*(std::int32_t)>& at,
                   const std::vector<ExpectedRecord>& want) {
  ASSERT_EQ(static_cast<std::size_t>(count), want.size()) << list << " records";
  for (std::int32_t i = 0; i < count; ++i) {
    const CPdbRecord& record = *at(i);
    const ExpectedRecord& expected = want[static_cast<std::size_t>(i)];
    EXPECT_EQ(Describe(record), Describe(expected)) << list << " record " << i;
    EXPECT_EQ(Difference(BytesOf(record), expected.data), "")
        << list << " record " << i << " (" << Describe(expected) << ") data";
  }
}

// What `db` holds against `want`.
void ExpectHolds(const CPdbDatabase& db, const Expectation& want) {
  EXPECT_EQ(Hex(BytesOf(db.GetName())), Hex(want.name)) << "name";
  EXPECT_EQ(Hex(BytesOf(db.GetType())), Hex(want.type)) << "type";
  EXPECT_EQ(Hex(BytesOf(db.GetCreator())), Hex(want.creator)) << "creator";
  EXPECT_EQ(db.GetAttributes(), want.attributes) << "attributes";
  EXPECT_EQ(db.GetVersion(), want.version) << "version";
  EXPECT_EQ(db.GetCreationDate(), want.created) << "creation date";
  EXPECT_EQ(db.GetModificationDate(), want.modified) << "modification date";
  EXPECT_EQ(db.GetLastBackupDate(), want.backup) << "backup date";
  EXPECT_EQ(db.GetModificationNumber(), want.modnum) << "modification number";
  EXPECT_EQ(db.GetUniqueIDSeed(), want.seed) << "unique ID seed";
  EXPECT_EQ(Difference(db.GetBlock(InfoBlock::kAppInfo).GetArray().GetData(), want.appInfo), "")
      << "AppInfo block";
  EXPECT_EQ(Difference(db.GetBlock(InfoBlock::kSortInfo).GetArray().GetData(), want.sortInfo), "")
      << "SortInfo block";
  ExpectRecords(
      "live", db.GetLiveCount(), [&](std::int32_t i) { return db.GetLiveRecord(i); }, want.live);
  ExpectRecords(
      "deleted", db.GetDeletedCount(), [&](std::int32_t i) { return db.GetDeletedRecord(i); },
      want.deleted);
}

// ---- directories -------------------------------------------------------------------

std::string DirectoryFrom(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr ? value : "";
}

std::string PathIn(const std::string& directory, const std::string& name) {
  return (fs::path(directory) / name).string();
}

// The names in the manifest of `directory`; a failure when the manifest is
// missing or empty, or when it and the .pdb files there disagree.
std::vector<std::string> ReadManifest(const std::string& directory) {
  std::vector<std::string> names;
  std::istringstream lines(ReadText(PathIn(directory, kManifest)));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) names.push_back(line);
  }
  EXPECT_FALSE(names.empty()) << "empty manifest in " << directory;
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(directory)) {
    if (entry.path().extension() == ".pdb") files.insert(entry.path().stem().string());
  }
  EXPECT_EQ(files, std::set<std::string>(names.begin(), names.end()))
      << "the .pdb files in " << directory << " against its manifest";
  return names;
}

Expectation ReadExpectation(const std::string& path) {
  Expectation expectation;
  std::string error;
  if (!ParseExpectation(ReadText(path), &expectation, &error)) {
    ADD_FAILURE() << path << ": " << error;
  }
  return expectation;
}

// ---- peer writes, we read ---------------------------------------------------------------

class PeerWritesWeRead : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = DirectoryFrom(kPeerDirVariable);
    if (directory_.empty()) GTEST_SKIP() << kPeerDirVariable << " names no directory";
    names_ = ReadManifest(directory_);
  }
  void TearDown() override { ClearFixedLocalClock(); }

  std::string PdbPath(const std::string& name) const { return PathIn(directory_, name + ".pdb"); }

  std::string directory_;
  std::vector<std::string> names_;
};

TEST_F(PeerWritesWeRead, EveryDatabaseLoadsAsItsExpectationSays) {
  for (const std::string& name : names_) {
    SCOPED_TRACE(name);
    Expectation want = ReadExpectation(PathIn(directory_, name + ".expect"));
    CPdbDatabase db(PdbPath(name).c_str());
    try {
      db.Load();
    } catch (const CErr& error) {
      ADD_FAILURE() << "Load raised: " << error.GetText();
      continue;
    }
    ExpectHolds(db, want);
    // What the scenario tests hand over is derived this way: it must say the
    // same as the peer's own expectation.
    EXPECT_EQ(FormatExpectation(interop::ExpectationOf(db), ""), FormatExpectation(want, ""));
  }
}

// Both write the same layout: header, record list with the deleted records
// last, the two gap bytes, AppInfo, SortInfo, record data in list order. So an
// unchanged database saved by the engine has the peer's bytes, except the
// modification date and number, which every save sets, and the busy bits,
// which the engine drops.
TEST_F(PeerWritesWeRead, SavingADatabaseUnchangedKeepsThePeersBytes) {
  SetFixedLocalClock(kFixedNow);
  testing::TempDir scratch;
  for (const std::string& name : names_) {
    SCOPED_TRACE(name);
    const Bytes original = testing::ReadFileBytes(PdbPath(name));
    ASSERT_GE(original.size(), pdb::kHeaderImageSize);
    const std::string copy = scratch.File(name + ".pdb");
    testing::WriteFileBytes(copy, original);
    try {
      CPdbDatabase db(copy.c_str());
      db.Load();
      db.Save();
    } catch (const CErr& error) {
      ADD_FAILURE() << "Load or Save raised: " << error.GetText();
      continue;
    }

    Bytes want = original;
    auto put32 = [&](std::size_t offset, std::uint32_t value) {
      for (int i = 0; i < 4; ++i)
        want[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    };
    auto get32 = [&](std::size_t offset) {
      return std::uint32_t{original[offset]} << 24 | std::uint32_t{original[offset + 1]} << 16 |
             std::uint32_t{original[offset + 2]} << 8 | original[offset + 3];
    };
    put32(pdb::kModificationDateOffset, kFixedNowPalm);
    put32(pdb::kModificationNumberOffset, get32(pdb::kModificationNumberOffset) + 1);
    const std::size_t count =
        std::size_t{original[pdb::kNumRecordsOffset]} << 8 | original[pdb::kNumRecordsOffset + 1];
    for (std::size_t i = 0; i < count; ++i) {
      want[pdb::kRecordListOffset + i * pdb::kRecordEntrySize + pdb::kEntryAttributesOffset] &=
          static_cast<std::uint8_t>(~pdb::kAttrBusy);
    }
    EXPECT_EQ(Difference(testing::ReadFileBytes(copy), want), "");
  }
}

// ---- we write, peer reads ------------------------------------------------------------------

// A database built with the engine, and beside it the expectation of what any
// reader must find in its file: every operation is applied to both. Each
// operation saves the file (modification number + 1, date = the fixed clock).
class ModelledDatabase {
 public:
  // A new database.
  ModelledDatabase(const std::string& path, const std::string& name, const std::string& type,
                   const std::string& creator)
      : db_(path.c_str()) {
    db_.CreateTable(name.c_str(), type.c_str(), creator.c_str());
    db_.Save();
    want_.name = BytesOf(name);
    want_.type = BytesOf(type);
    want_.creator = BytesOf(creator);
    want_.version = 1;  // attributes 0, seed 0
    want_.created = kFixedNowPalm;
    want_.backup = kFixedNowPalm;
    Saved();
  }

  // The existing database at `path`, which holds `loaded`.
  ModelledDatabase(const std::string& path, Expectation loaded)
      : db_(path.c_str()), want_(std::move(loaded)) {
    db_.Load();
  }

  // Adds a record; an ID of 0 is allocated by the engine.
  void Add(const Bytes& data, std::uint32_t id, int category, bool secret = false) {
    db_.AddNew();
    Fill(data, id, category, secret);
    db_.Update(nullptr);
    Saved();
    ExpectedRecord record;
    record.uniqueID = id & pdb::kMaxUniqueID;
    if (record.uniqueID == 0) {
      record.uniqueID = db_.GetLiveRecord(db_.GetLiveCount() - 1)->uniqueID;
      want_.seed = record.uniqueID;  // the seed follows the IDs handed out
    }
    record.category = category;
    record.dirty = true;
    record.secret = secret;
    record.data = data;
    want_.live.push_back(record);
  }

  // Replaces the data and attributes of live record `index`.
  void Edit(int index, const Bytes& data, int category, bool secret) {
    ExpectedRecord& record = want_.live.at(static_cast<std::size_t>(index));
    db_.MoveTo(index, true);
    db_.Edit();
    Fill(data, record.uniqueID, category, secret);
    db_.Update(nullptr);
    Saved();
    record.category = category;
    record.secret = secret;
    record.dirty = true;
    record.data = data;
  }

  void Delete(int index, KD_DeleteMode mode) {
    db_.MoveTo(index, true);
    db_.Delete(mode);
    Saved();
    ExpectedRecord record = want_.live.at(static_cast<std::size_t>(index));
    want_.live.erase(want_.live.begin() + index);
    if (mode == kdRecordRemove) return;
    // An archived record without data is, in the file, a deleted one.
    record.kind =
        mode == kdRecordArchive && !record.data.empty() ? Kind::kArchived : Kind::kDeleted;
    if (mode == kdRecordDelete) record.data.clear();
    want_.deleted.push_back(record);
  }

  void SetBlock(InfoBlock block, const Bytes& bytes) {
    db_.SetBlock(block, CVariant::Bytes(bytes));
    Saved();
    (block == InfoBlock::kAppInfo ? want_.appInfo : want_.sortInfo) = bytes;
  }

  const Expectation& expected() const { return want_; }

 private:
  void Fill(const Bytes& data, std::uint32_t id, int category, bool secret) {
    CPdbRecord& edit = db_.GetEditRecord();
    edit.Assign(data.data(), static_cast<std::uint32_t>(data.size()));
    edit.uniqueID = id;
    edit.category = static_cast<std::uint8_t>(category);
    edit.secret = secret;
  }

  void Saved() {
    ++want_.modnum;
    want_.modified = kFixedNowPalm;
  }

  CPdbDatabase db_;
  Expectation want_;
};

// N bytes of a repeatable pattern that differs with `seed`.
Bytes Pattern(std::size_t n, unsigned seed) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 131 + (i >> 8) + seed * 7);
  }
  return bytes;
}

// A category AppInfo block of the usual 276 bytes.
Bytes CategoryAppInfo() {
  Bytes bytes = {0x00, 0x0E};
  const char* names[16] = {"Unfiled", "Business", "Personal",
                           "Qu\xE9"
                           "bec"};
  for (const char* name : names) {
    Bytes label(16, 0);
    if (name != nullptr) std::copy(name, name + std::strlen(name), label.begin());
    bytes.insert(bytes.end(), label.begin(), label.end());
  }
  for (std::uint8_t id = 0; id < 16; ++id)
    bytes.push_back(id);
  bytes.push_back(15);
  bytes.push_back(0);
  return bytes;
}

struct OurCase {
  const char* file;
  // Builds the database at the path; `peer` is the directory of the peer's files.
  std::function<std::unique_ptr<ModelledDatabase>(const std::string& path, const std::string& peer)>
      build;
};

std::unique_ptr<ModelledDatabase> New(const std::string& path, const std::string& name,
                                      const char* type = "DATA", const char* creator = "KdIo") {
  return std::make_unique<ModelledDatabase>(path, name, type, creator);
}

const OurCase kOurCases[] = {
    // Categories at both ends and across bit 0x08, secret records, explicit
    // and allocated IDs, both blocks, and every delete mode. The deleted and
    // archived records come in categories below and above 8, which is what
    // Palm::PDB reads as its archive flag.
    {"mixed",
     [](const std::string& path, const std::string&) {
       auto m = New(path, "KdDao Mixed");
       m->SetBlock(InfoBlock::kAppInfo, CategoryAppInfo());
       m->SetBlock(InfoBlock::kSortInfo, {0, 1, 2, 3, 0xFE, 0xFF, 0x0D, 0x0A});
       m->Add(BytesOf("zero"), 0x000100, 0);
       m->Add(BytesOf("one"), 0x000101, 1, true);
       m->Add(BytesOf("seven"), 0x000107, 7);
       m->Add(BytesOf("eight"), 0x000108, 8, true);
       m->Add(BytesOf("nine"), 0, 9);
       m->Add(BytesOf("fifteen"), 0x00010F, 15);
       m->Add(BytesOf("three"), 0, 3, true);
       m->Add(BytesOf("twelve"), 0x00010C, 12);
       m->Add(BytesOf("removed"), 0x0001FF, 4);
       m->Add(BytesOf("last"), 0x000200, 2);
       m->Delete(6, kdRecordDelete);   // "three": category 3, secret
       m->Delete(6, kdRecordDelete);   // "twelve": category 12
       m->Delete(4, kdRecordArchive);  // "nine": category 9
       m->Delete(1, kdRecordArchive);  // "one": category 1, secret
       m->Delete(4, kdRecordRemove);   // "removed"
       m->Edit(2, BytesOf("eight, edited"), 11, false);
       return m;
     }},
    {"empty", [](const std::string& path, const std::string&) { return New(path, "E"); }},
    {"blocks_only",
     [](const std::string& path, const std::string&) {
       auto m = New(path, "Blocks Only", "BLKS");
       m->SetBlock(InfoBlock::kAppInfo, Pattern(65519, 1));
       m->SetBlock(InfoBlock::kSortInfo, Pattern(300, 2));
       return m;
     }},
    // A block set and then cleared leaves no block.
    {"sort_only",
     [](const std::string& path, const std::string&) {
       auto m = New(path, "Sort Only");
       m->SetBlock(InfoBlock::kAppInfo, Pattern(20, 3));
       m->SetBlock(InfoBlock::kSortInfo, Pattern(16, 4));
       m->Add(BytesOf("first"), 0x000201, 1);
       m->SetBlock(InfoBlock::kAppInfo, {});
       m->Add(BytesOf("second"), 0x000202, 2, true);
       return m;
     }},
    // Empty records first, between others and last, the largest record, and
    // deleted records after a last empty one: their entries point at the end
    // of the file.
    {"sizes",
     [](const std::string& path, const std::string&) {
       auto m = New(path, "Sizes");
       m->SetBlock(InfoBlock::kAppInfo, {0x01});
       m->Add({}, 0x200001, 0);
       m->Add(Pattern(65519, 5), 0x200002, 1);
       m->Add({}, 0x200003, 2);
       m->Add({0x78}, 0x200004, 3);
       m->Add(BytesOf("deleted"), 0x200005, 4);
       m->Add(BytesOf("archived empty"), 0x200006, 5);
       m->Add({}, 0x200007, 6);
       m->Delete(4, kdRecordDelete);
       m->Edit(4, {}, 5, false);
       m->Delete(4, kdRecordArchive);
       return m;
     }},
    // Bytes outside ASCII in the name (31 bytes, the longest), type, creator
    // and data, and data that text-mode I/O would damage.
    {"bytes",
     [](const std::string& path, const std::string&) {
       const std::string name =
           "Caf\xE9 \xDC"
           "ber \xF1\xE3o \x80\x9F\xA0\xFF \x01\x7F and more!";
       EXPECT_EQ(name.size(), pdb::kMaxNameLength);
       auto m = New(path, name, "\xA9Tp\xFE", "\xE9\x01z\x7F");
       Bytes ascending(256), descending(256);
       for (int i = 0; i < 256; ++i) {
         ascending[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
         descending[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(255 - i);
       }
       m->SetBlock(InfoBlock::kAppInfo, {0x00, 0x00, 0xFF, 0xFF, 0x0D, 0x0A, 0x1A});
       m->Add(ascending, 0x000301, 1);
       m->Add(descending, 0x000302, 2);
       m->Add(BytesOf("\r\n\r\n"), 0x000303, 3);
       m->Add({0x1A, 0x00, 0x1A}, 0x000304, 4);
       m->Add(Bytes(4096, 0), 0x000305, 5);
       m->Add(BytesOf("\n"), 0x000306, 6);
       m->Add(BytesOf("Gr\xFC\xDF"
                      "e \xE0 \xE9t\xE9\r"),
              0x000307, 7, true);
       return m;
     }},
    // Unique IDs across their 24 bits; one above them is cut to its low 24
    // bits, and an allocated one follows the seed.
    {"ids",
     [](const std::string& path, const std::string&) {
       auto m = New(path, "Unique IDs");
       m->Add(BytesOf("largest"), 0xFFFFFF, 0);
       m->Add(BytesOf("high half"), 0x800000, 0);
       m->Add(BytesOf("low half"), 0x7FFFFF, 0);
       m->Add(BytesOf("one"), 0x000001, 0);
       m->Add(BytesOf("cut"), 0x12345678, 0);
       m->Add(BytesOf("allocated"), 0, 0);
       return m;
     }},
    {"many",
     [](const std::string& path, const std::string&) {
       auto m = New(path, "Many Records");
       m->SetBlock(InfoBlock::kSortInfo, Pattern(10, 6));
       for (unsigned i = 0; i < 200; ++i) {
         m->Add(Pattern(i % 97, i), 0x300000 + i * 37, static_cast<int>(i % 16), i % 7 == 0);
       }
       for (int i = 180; i >= 0; i -= 20) {
         m->Delete(i, i % 40 == 0 ? kdRecordDelete : kdRecordArchive);
       }
       return m;
     }},
    // Nothing but deleted and archived records.
    {"all_deleted",
     [](const std::string& path, const std::string&) {
       auto m = New(path, "All Deleted");
       m->Add(BytesOf("archived first"), 0x000401, 9);
       m->Add(BytesOf("deleted"), 0x000402, 2, true);
       m->Add(BytesOf("archived"), 0x000403, 3);
       m->Delete(1, kdRecordDelete);
       m->Delete(0, kdRecordArchive);
       m->Delete(0, kdRecordArchive);
       return m;
     }},
    // A peer's database changed and saved by the engine: its header fields,
    // the records it did not touch (clean ones stay clean, the busy bit goes)
    // and the peer's deleted records stay as they were.
    {"rewritten_peer",
     [](const std::string& path, const std::string& peer) {
       fs::copy_file(PathIn(peer, "deletions.pdb"), path, fs::copy_options::overwrite_existing);
       auto m = std::make_unique<ModelledDatabase>(
           path, ReadExpectation(PathIn(peer, "deletions.expect")));
       m->Edit(0, BytesOf("alive one, edited"), 10, true);
       m->Add(BytesOf("added"), 0, 6);
       m->Delete(1, kdRecordArchive);
       m->Delete(1, kdRecordDelete);
       m->SetBlock(InfoBlock::kSortInfo, {0x53, 0x6F});
       return m;
     }},
};

class WeWritePeerReads : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = DirectoryFrom(kOurDirVariable);
    peer_ = DirectoryFrom(kPeerDirVariable);
    if (directory_.empty() || peer_.empty()) {
      GTEST_SKIP() << kOurDirVariable << " and " << kPeerDirVariable << " name no directories";
    }
    SetFixedLocalClock(kFixedNow);
    // Only the kinds of file written here are removed, so that a stale file
    // cannot pass for a fresh one.
    fs::create_directories(directory_);
    for (const auto& entry : fs::directory_iterator(directory_)) {
      const fs::path& file = entry.path();
      if (file.extension() == ".pdb" || file.extension() == ".expect" ||
          file.filename() == kManifest) {
        fs::remove(file);
      }
    }
  }
  void TearDown() override { ClearFixedLocalClock(); }

  std::string directory_;
  std::string peer_;
};

TEST_F(WeWritePeerReads, WritesDatabasesWithTheirExpectations) {
  std::string manifest;
  for (const OurCase& ourCase : kOurCases) {
    SCOPED_TRACE(ourCase.file);
    const std::string path = PathIn(directory_, std::string(ourCase.file) + ".pdb");
    Expectation want;
    try {
      want = ourCase.build(path, peer_)->expected();
    } catch (const CErr& error) {
      ADD_FAILURE() << "the engine raised: " << error.GetText();
      continue;
    }
    WriteText(PathIn(directory_, std::string(ourCase.file) + ".expect"),
              FormatExpectation(want, kOurOrigin));
    manifest += std::string(ourCase.file) + "\n";

    CPdbDatabase reloaded(path.c_str());
    try {
      reloaded.Load();
    } catch (const CErr& error) {
      ADD_FAILURE() << "Load raised: " << error.GetText();
      continue;
    }
    ExpectHolds(reloaded, want);
    EXPECT_EQ(FormatExpectation(interop::ExpectationOf(reloaded), ""), FormatExpectation(want, ""));
  }
  WriteText(PathIn(directory_, kManifest), manifest);
}

// The expectation format itself: what is written reads back the same, and
// lines that do not fit are refused rather than taken as defaults.
TEST(ExpectationFormat, WrittenExpectationsReadBackAndBadLinesAreRefused) {
  Expectation e;
  e.name = BytesOf("N\xE9");
  e.type = BytesOf("DATA");
  e.creator = BytesOf("KdIo");
  e.attributes = 0x8148;
  e.version = 3;
  e.created = 4294967295u;
  e.seed = 0xABCDEF;
  e.appInfo = {0, 1, 0xFF};
  e.live.push_back({Kind::kLive, 0xFFFFFF, 15, true, true, {0x0D, 0x0A}});
  e.live.push_back({Kind::kLive, 1, 0, false, false, {}});
  e.deleted.push_back({Kind::kArchived, 2, 8, false, true, {7}});
  e.deleted.push_back({Kind::kDeleted, 3, 1, true, false, {}});
  const std::string text = FormatExpectation(e, kOurOrigin);

  Expectation back;
  std::string error;
  ASSERT_TRUE(ParseExpectation(text, &back, &error)) << error;
  EXPECT_EQ(FormatExpectation(back, kOurOrigin), text);

  // Each replaces the first line that starts with its first word.
  const char* const kBadLines[] = {
      "attributes 12345",
      "version x",
      "version 65536",
      "modnum -1",
      "record live 1000000 0 - -",
      "name 4",
      "seed",
      "created 4294967296",
      "backup",
      "record gone 000001 0 - -",
      "record live 000001 16 - -",
      "record live 000001 0 X -",
      "record live 000001 0 - 00 extra",
  };
  for (const std::string bad : kBadLines) {
    SCOPED_TRACE(bad);
    const std::string word = bad.substr(0, bad.find(' ')) + " ";
    std::istringstream lines(text);
    std::string changed;
    bool replaced = false;
    for (std::string line; std::getline(lines, line);) {
      if (!replaced && line.compare(0, word.size(), word) == 0) {
        line = bad;
        replaced = true;
      }
      changed += line + "\n";
    }
    ASSERT_TRUE(replaced);
    Expectation parsed;
    EXPECT_FALSE(ParseExpectation(changed, &parsed, &error));
    EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
  }

  Expectation parsed;
  EXPECT_FALSE(ParseExpectation(text.substr(text.find("type ")), &parsed, &error));
  EXPECT_EQ(error, "no name line");
  EXPECT_FALSE(ParseExpectation(text + "modnum 3\n", &parsed, &error));
}

// The hand-over the scenario tests use: the file is copied, its expectation
// is what the engine loads from it (here against the model's), and the
// manifest lists each name once however often it is handed over.
TEST(ExpectationFormat, HandOverCopiesTheFileWithItsExpectationAndListsItOnce) {
  testing::TempDir scratch;
  const std::string source = scratch.File("source.pdb");
  Expectation want;
  {
    struct FixedClock {
      FixedClock() { SetFixedLocalClock(kFixedNow); }
      ~FixedClock() { ClearFixedLocalClock(); }
    } clock;
    ModelledDatabase m(source, "Hand Over", "DATA", "KdIo");
    m.SetBlock(InfoBlock::kSortInfo, {9, 8});
    m.Add(BytesOf("kept"), 0x000501, 3, true);
    m.Add(BytesOf("archived"), 0x000502, 12);
    m.Add(BytesOf("deleted"), 0x000503, 5);
    m.Add({}, 0x000504, 15);
    m.Delete(2, kdRecordDelete);
    m.Delete(1, kdRecordArchive);
    want = m.expected();
  }
  const std::string directory = scratch.File("check");  // created by the first hand-over
  for (const char* name : {"first", "second", "first"})
    interop::HandOver(source, directory, name);
  EXPECT_EQ(ReadText(PathIn(directory, kManifest)), "first\nsecond\n");
  EXPECT_EQ(testing::ReadFileBytes(PathIn(directory, "second.pdb")),
            testing::ReadFileBytes(source));
  for (const char* name : {"first", "second"}) {
    Expectation written = ReadExpectation(PathIn(directory, std::string(name) + ".expect"));
    EXPECT_EQ(FormatExpectation(written, ""), FormatExpectation(want, "")) << name;
  }

  // A manifest without its last line break, and a file the engine cannot load:
  // refused, and not listed.
  WriteText(PathIn(directory, kManifest), "first");
  interop::AddToManifest(directory, "third");
  EXPECT_EQ(ReadText(PathIn(directory, kManifest)), "first\nthird\n");
  const std::string text = scratch.File("not_a_database.pdb");
  WriteText(text, "too short");
  try {
    interop::HandOver(text, directory, "broken");
    ADD_FAILURE() << "a file the engine cannot load was handed over";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("the engine raised"), std::string::npos)
        << error.what();
  }
  EXPECT_THROW(interop::HandOver(scratch.File("missing.pdb"), directory, "missing"),
               std::runtime_error);
  EXPECT_EQ(ReadText(PathIn(directory, kManifest)), "first\nthird\n");
}

}  // namespace
}  // namespace kd
