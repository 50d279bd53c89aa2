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
// Without the directories in the environment the tests are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/pdb_database.h"
#include "engine/pdb_format.h"
#include "foundation/clock.h"
#include "foundation/errors.h"
#include "foundation/testing/temp_dir.h"

namespace kd {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr char kPeerDirVariable[] = "KD_INTEROP_PEER_DIR";
constexpr char kOurDirVariable[] = "KD_INTEROP_OUR_DIR";
constexpr char kManifest[] = "manifest.txt";

// Saves run with the local clock fixed at 2026-12-08 10:00:00, which is this
// Palm time (and 1796724000 as Palm::PDB's Unix time).
const CalendarTime kFixedNow = {2026, 12, 2, 8, 10, 0, 0, 0};
constexpr std::uint32_t kFixedNowPalm = 3879568800u;

// ---- expectation files ---------------------------------------------------------

enum class Kind { kLive, kDeleted, kArchived };

struct ExpectedRecord {
  Kind kind = Kind::kLive;
  std::uint32_t uniqueID = 0;
  int category = 0;
  bool dirty = false;
  bool secret = false;
  Bytes data;  // none for a deleted record
};

struct Expectation {
  Bytes name;
  Bytes type;
  Bytes creator;
  std::uint32_t attributes = 0;
  std::uint32_t version = 0;
  std::uint32_t created = 0;
  std::uint32_t modified = 0;
  std::uint32_t backup = 0;
  std::uint32_t modnum = 0;
  std::uint32_t seed = 0;
  Bytes appInfo;
  Bytes sortInfo;
  std::vector<ExpectedRecord> live;     // in file order
  std::vector<ExpectedRecord> deleted;  // deleted and archived, in file order
};

Bytes BytesOf(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes BytesOf(const CMemFile& stream) {
  return Bytes(stream.GetBuffer(), stream.GetBuffer() + stream.Size());
}

std::string Hex(const Bytes& bytes) {
  if (bytes.empty()) return "-";
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

bool FromHex(const std::string& text, Bytes* bytes) {
  bytes->clear();
  if (text == "-") return true;
  if (text.empty() || text.size() % 2 != 0) return false;
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < text.size(); i += 2) {
    int high = digit(text[i]);
    int low = digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes->push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return true;
}

// A number of at most `max`, all of `text` in `base`.
bool ParseNumber(const std::string& text, int base, std::uint32_t max, std::uint32_t* value) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  char* end = nullptr;
  unsigned long long parsed = std::strtoull(text.c_str(), &end, base);
  if (*end != '\0' || parsed > max) return false;
  *value = static_cast<std::uint32_t>(parsed);
  return true;
}

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kLive:
      return "live";
    case Kind::kDeleted:
      return "deleted";
    case Kind::kArchived:
      return "archived";
  }
  return "?";
}

std::string Flags(bool dirty, bool secret) {
  std::string flags = std::string(dirty ? "D" : "") + (secret ? "S" : "");
  return flags.empty() ? "-" : flags;
}

bool ParseRecord(std::istringstream& fields, ExpectedRecord* record) {
  std::string kind, id, category, flags, data, extra;
  if (!(fields >> kind >> id >> category >> flags >> data) || (fields >> extra)) return false;
  if (kind == "live") {
    record->kind = Kind::kLive;
  } else if (kind == "deleted") {
    record->kind = Kind::kDeleted;
  } else if (kind == "archived") {
    record->kind = Kind::kArchived;
  } else {
    return false;
  }
  std::uint32_t number = 0;
  if (!ParseNumber(id, 16, pdb::kMaxUniqueId, &record->uniqueID) ||
      !ParseNumber(category, 10, pdb::kAttrCategoryMask, &number)) {
    return false;
  }
  record->category = static_cast<int>(number);
  if (flags.find_first_not_of(flags == "-" ? "-" : "DS") != std::string::npos) return false;
  record->dirty = flags.find('D') != std::string::npos;
  record->secret = flags.find('S') != std::string::npos;
  return FromHex(data, &record->data);
}

// Reads an expectation; `error` names the first line it cannot use.
bool ParseExpectation(const std::string& text, Expectation* out, std::string* error) {
  struct Field {
    const char* key;
    Bytes* bytes;           // a byte string, or
    std::uint32_t* number;  // a number in `base` of at most `max`
    int base;
    std::uint32_t max;
  } fields[] = {
      {"name", &out->name, nullptr, 0, 0},
      {"type", &out->type, nullptr, 0, 0},
      {"creator", &out->creator, nullptr, 0, 0},
      {"attributes", nullptr, &out->attributes, 16, 0xFFFF},
      {"version", nullptr, &out->version, 10, 0xFFFF},
      {"created", nullptr, &out->created, 10, 0xFFFFFFFF},
      {"modified", nullptr, &out->modified, 10, 0xFFFFFFFF},
      {"backup", nullptr, &out->backup, 10, 0xFFFFFFFF},
      {"modnum", nullptr, &out->modnum, 10, 0xFFFFFFFF},
      {"seed", nullptr, &out->seed, 16, 0xFFFFFFFF},
      {"appinfo", &out->appInfo, nullptr, 0, 0},
      {"sortinfo", &out->sortInfo, nullptr, 0, 0},
  };
  std::set<std::string> seen;
  std::istringstream lines(text);
  std::string line;
  int lineNumber = 0;
  while (std::getline(lines, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string key, value, extra;
    words >> key;
    bool ok = false;
    if (key == "record") {
      ExpectedRecord record;
      ok = ParseRecord(words, &record);
      (record.kind == Kind::kLive ? out->live : out->deleted).push_back(std::move(record));
    } else {
      for (const Field& field : fields) {
        if (key != field.key) continue;
        ok = (words >> value) && !(words >> extra) && seen.insert(key).second &&
             (field.bytes != nullptr ? FromHex(value, field.bytes)
                                     : ParseNumber(value, field.base, field.max, field.number));
      }
    }
    if (!ok) {
      *error = "line " + std::to_string(lineNumber) + ": " + line.substr(0, 80);
      return false;
    }
  }
  for (const Field& field : fields) {
    if (seen.count(field.key) == 0) {
      *error = std::string("no ") + field.key + " line";
      return false;
    }
  }
  return true;
}

std::string FormatRecord(const ExpectedRecord& record) {
  char head[64];
  std::snprintf(head, sizeof head, "record %s %06x %d %s ", KindName(record.kind),
                static_cast<unsigned>(record.uniqueID), record.category,
                Flags(record.dirty, record.secret).c_str());
  return head + Hex(record.data) + "\n";
}

std::string FormatExpectation(const Expectation& e) {
  char numbers[256];
  std::snprintf(numbers, sizeof numbers,
                "attributes %04x\nversion %u\ncreated %u\nmodified %u\nbackup %u\nmodnum %u\n"
                "seed %06x\n",
                static_cast<unsigned>(e.attributes), static_cast<unsigned>(e.version),
                static_cast<unsigned>(e.created), static_cast<unsigned>(e.modified),
                static_cast<unsigned>(e.backup), static_cast<unsigned>(e.modnum),
                static_cast<unsigned>(e.seed));
  std::string text = "# written by the engine (engine_interop_tests)\n";
  text += "name " + Hex(e.name) + "\ntype " + Hex(e.type) + "\ncreator " + Hex(e.creator) + "\n";
  text += numbers;
  text += "appinfo " + Hex(e.appInfo) + "\nsortinfo " + Hex(e.sortInfo) + "\n";
  for (const ExpectedRecord& record : e.live)
    text += FormatRecord(record);
  for (const ExpectedRecord& record : e.deleted)
    text += FormatRecord(record);
  return text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
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
  EXPECT_EQ(db.GetUniqueIdSeed(), want.seed) << "unique ID seed";
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
    record.uniqueID = id & pdb::kMaxUniqueId;
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
    WriteText(PathIn(directory_, std::string(ourCase.file) + ".expect"), FormatExpectation(want));
    manifest += std::string(ourCase.file) + "\n";

    CPdbDatabase reloaded(path.c_str());
    try {
      reloaded.Load();
    } catch (const CErr& error) {
      ADD_FAILURE() << "Load raised: " << error.GetText();
      continue;
    }
    ExpectHolds(reloaded, want);
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
  const std::string text = FormatExpectation(e);

  Expectation back;
  std::string error;
  ASSERT_TRUE(ParseExpectation(text, &back, &error)) << error;
  EXPECT_EQ(FormatExpectation(back), text);

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

}  // namespace
}  // namespace kd
