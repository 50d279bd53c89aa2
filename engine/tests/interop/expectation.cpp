#include "engine/tests/interop/expectation.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "engine/pdb_database.h"
#include "engine/pdb_format.h"
#include "foundation/errors.h"

namespace kd::interop {
namespace {

namespace fs = std::filesystem;

Bytes BytesOf(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes BytesOf(const CMemFile& stream) {
  return Bytes(stream.GetBuffer(), stream.GetBuffer() + stream.Size());
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
  if (!ParseNumber(id, 16, pdb::kMaxUniqueID, &record->uniqueID) ||
      !ParseNumber(category, 10, pdb::kAttrCategoryMask, &number)) {
    return false;
  }
  record->category = static_cast<int>(number);
  if (flags.find_first_not_of(flags == "-" ? "-" : "DS") != std::string::npos) return false;
  record->dirty = flags.find('D') != std::string::npos;
  record->secret = flags.find('S') != std::string::npos;
  return FromHex(data, &record->data);
}

std::string FormatRecord(const ExpectedRecord& record) {
  char head[64];
  std::snprintf(head, sizeof head, "record %s %06x %d %s ", KindName(record.kind),
                static_cast<unsigned>(record.uniqueID), record.category,
                Flags(record.dirty, record.secret).c_str());
  return head + Hex(record.data) + "\n";
}

// One engine record of the live list (`inLive`) or the deleted one, at
// `index`, as an expected record.
ExpectedRecord RecordOf(const CPdbRecord& record, bool inLive, std::int32_t index) {
  const char* problem = nullptr;
  if (record.deleted && record.archived) {
    problem = "is marked both deleted and archived";
  } else if (inLive && (record.deleted || record.archived)) {
    problem = "is marked deleted or archived";
  } else if (!inLive && !record.deleted && !record.archived) {
    problem = "is marked neither deleted nor archived";
  } else if (record.deleted && record.Size() != 0) {
    problem = "is deleted but has data";
  }
  if (problem != nullptr) {
    throw std::runtime_error(std::string(inLive ? "live" : "deleted") + " record " +
                             std::to_string(index) + " " + problem);
  }
  ExpectedRecord out;
  out.kind = record.deleted ? Kind::kDeleted : record.archived ? Kind::kArchived : Kind::kLive;
  out.uniqueID = record.uniqueID;
  out.category = record.category;
  out.dirty = record.dirty;
  out.secret = record.secret;
  out.data = BytesOf(record);
  return out;
}

std::string PathIn(const std::string& directory, const std::string& name) {
  return (fs::path(directory) / name).string();
}

}  // namespace

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

std::string FormatExpectation(const Expectation& e, const std::string& origin) {
  char numbers[256];
  std::snprintf(numbers, sizeof numbers,
                "attributes %04x\nversion %u\ncreated %u\nmodified %u\nbackup %u\nmodnum %u\n"
                "seed %06x\n",
                static_cast<unsigned>(e.attributes), static_cast<unsigned>(e.version),
                static_cast<unsigned>(e.created), static_cast<unsigned>(e.modified),
                static_cast<unsigned>(e.backup), static_cast<unsigned>(e.modnum),
                static_cast<unsigned>(e.seed));
  std::string text = "# " + origin + "\n";
  text += "name " + Hex(e.name) + "\ntype " + Hex(e.type) + "\ncreator " + Hex(e.creator) + "\n";
  text += numbers;
  text += "appinfo " + Hex(e.appInfo) + "\nsortinfo " + Hex(e.sortInfo) + "\n";
  for (const ExpectedRecord& record : e.live)
    text += FormatRecord(record);
  for (const ExpectedRecord& record : e.deleted)
    text += FormatRecord(record);
  return text;
}

Expectation ExpectationOf(const CPdbDatabase& db) {
  Expectation e;
  e.name = BytesOf(db.GetName());
  e.type = BytesOf(db.GetType());
  e.creator = BytesOf(db.GetCreator());
  e.attributes = db.GetAttributes();
  e.version = db.GetVersion();
  e.created = db.GetCreationDate();
  e.modified = db.GetModificationDate();
  e.backup = db.GetLastBackupDate();
  e.modnum = db.GetModificationNumber();
  e.seed = db.GetUniqueIDSeed();
  e.appInfo = BytesOf(db.GetBlockStream(InfoBlock::kAppInfo));
  e.sortInfo = BytesOf(db.GetBlockStream(InfoBlock::kSortInfo));
  for (std::int32_t i = 0; i < db.GetLiveCount(); ++i)
    e.live.push_back(RecordOf(*db.GetLiveRecord(i), true, i));
  for (std::int32_t i = 0; i < db.GetDeletedCount(); ++i)
    e.deleted.push_back(RecordOf(*db.GetDeletedRecord(i), false, i));
  return e;
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

void WriteExpectationOf(const std::string& directory, const std::string& name,
                        const std::string& origin) {
  const std::string path = PathIn(directory, name + ".pdb");
  Expectation e;
  try {
    CPdbDatabase db(path.c_str());
    db.Load();
    e = ExpectationOf(db);
  } catch (const CErr& error) {
    throw std::runtime_error(path + ": the engine raised: " + error.GetText());
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(path + ": " + error.what());
  }
  WriteText(PathIn(directory, name + ".expect"), FormatExpectation(e, origin));
}

void AddToManifest(const std::string& directory, const std::string& name) {
  const std::string path = PathIn(directory, kManifest);
  std::string text;
  if (fs::exists(path)) text = ReadText(path);
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == name) return;
  }
  if (!text.empty() && text.back() != '\n') text += '\n';
  WriteText(path, text + name + "\n");
}

void HandOver(const std::string& pdbPath, const std::string& directory, const std::string& name) {
  std::error_code error;
  fs::create_directories(directory, error);
  if (error) throw std::runtime_error("cannot create " + directory + ": " + error.message());
  // Copied through memory: the Windows build's fs::copy_file refuses to
  // replace an existing file even when told to.
  WriteText(PathIn(directory, name + ".pdb"), ReadText(pdbPath));
  WriteExpectationOf(directory, name, "as the engine loads " + name + ".pdb");
  AddToManifest(directory, name);
}

std::string HandOverIfAsked(const std::string& pdbPath, const std::string& name) {
  const char* directory = std::getenv(kPalmCheckDirVariable);
  if (directory == nullptr || *directory == '\0') return "";
  try {
    HandOver(pdbPath, directory, name);
  } catch (const std::exception& error) {
    return std::string(kPalmCheckDirVariable) + ": " + error.what();
  }
  return "";
}

}  // namespace kd::interop
