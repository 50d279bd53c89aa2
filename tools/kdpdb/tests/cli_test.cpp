// kdpdb as a user runs it: the built program in a child process, on databases
// made for each test; its output parsed back, its exit status and error texts
// checked, and the files it must not touch compared byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "bitmap/device_bitmap.h"
#include "foundation/codepage.h"
#include "foundation/file.h"
#include "rawdb/raw_db.h"
#include "testing/bitmap_images.h"
#include "testing/outcomes.h"
#include "testing/temp_dir.h"
#include "tools/kdpdb/picture_files.h"
#include "tools/kdpdb/tests/tool_runner.h"
#include "tools/kdpdb/values.h"

namespace kdpdb {
namespace {

using testing::FileState;
using testing::RunToolExpecting;
using testing::SnapshotFile;
using testing::ToolRun;

const std::string kSampleKdx = std::string(KDPDB_SAMPLES) + "/sample.kdx";

std::string SampleDigest() {
  std::ifstream in(std::string(KDPDB_SAMPLES) + "/sample.digest");
  std::string digest;
  std::getline(in, digest);
  return digest;
}

// A 16 x 2 device bitmap at 1 bit per pixel.
const Bytes& kDeviceBitmap = kd::testing::SmallDeviceBitmap();

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

class KdpdbTest : public ::testing::Test {
 protected:
  std::string File(const std::string& name) const { return dir_.File(name); }

  // Runs kdpdb, expecting `exitCode`.
  ToolRun Run(const std::vector<std::string>& arguments, int exitCode = 0) {
    return RunToolExpecting(arguments, exitCode);
  }

  Json RunJson(const std::vector<std::string>& arguments, int exitCode = 0) {
    ToolRun run = Run(arguments, exitCode);
    try {
      return Json::parse(run.out);
    } catch (const std::exception& error) {
      ADD_FAILURE() << "not JSON: " << error.what() << "\n" << run.out;
      return Json();
    }
  }

  void CreateSample() {
    Run({"create", db_, "--name", "Sample", "--type", "DATA", "--creator", "KdTs"});
  }

  // Adds a record through kdpdb; its unique ID.
  std::uint32_t Add(const std::vector<std::string>& assignments) {
    std::vector<std::string> arguments = {"add", db_, "--kdx", kSampleKdx};
    arguments.insert(arguments.end(), assignments.begin(), assignments.end());
    ToolRun run = Run(arguments);
    return static_cast<std::uint32_t>(std::stoul(run.out));
  }

  Json ListFields() { return RunJson({"list", db_, "--kdx", kSampleKdx, "--json"}); }

  kd::testing::TempDir dir_;
  std::string db_ = dir_.File("sample.pdb");
};

// ---- create and info ----

TEST_F(KdpdbTest, CreateMakesAnEmptyDatabaseThatInfoDescribes) {
  CreateSample();
  Json info = RunJson({"info", db_, "--json"});
  EXPECT_EQ(info["name"], "Sample");
  EXPECT_EQ(info["type"], "DATA");
  EXPECT_EQ(info["creator"], "KdTs");
  EXPECT_EQ(info["records"], 0);
  EXPECT_EQ(info["deleted"], 0);
  EXPECT_EQ(info["archived"], 0);
  EXPECT_EQ(info["appInfoSize"], 0);
  EXPECT_EQ(info["sortInfoSize"], 0);
  EXPECT_TRUE(info["attributes"].is_number());
  EXPECT_TRUE(info["version"].is_number());
  EXPECT_TRUE(info["modificationNumber"].is_number());
  EXPECT_TRUE(info["uniqueIDSeed"].is_number());
  for (const char* date : {"creationDate", "modificationDate", "lastBackupDate"}) {
    SCOPED_TRACE(date);
    ASSERT_TRUE(info[date]["palmTime"].is_number_unsigned());
    EXPECT_EQ(info[date]["local"], FormatPalmTime(info[date]["palmTime"].get<std::uint32_t>()));
  }
  // Created now: a date of this century.
  EXPECT_GT(info["creationDate"]["local"].get<std::string>(), "2020");

  Add({"Title=one"});
  Add({"Title=two"});
  ToolRun table = Run({"info", db_});
  EXPECT_TRUE(Contains(table.out, "Name                 Sample\n")) << table.out;
  EXPECT_TRUE(Contains(table.out, "Records              2\n")) << table.out;
  EXPECT_TRUE(Contains(table.out, "Type                 DATA\n")) << table.out;
}

TEST_F(KdpdbTest, CreateRefusesToOverwriteWithoutForce) {
  CreateSample();
  Add({"Title=kept"});
  const FileState before = SnapshotFile(db_);
  ToolRun run = Run({"create", db_, "--name", "New", "--type", "DATA", "--creator", "KdTs"}, 1);
  EXPECT_TRUE(Contains(run.err, "exists; --force overwrites it")) << run.err;
  EXPECT_EQ(SnapshotFile(db_), before);

  Run({"create", db_, "--name", "New", "--type", "DATA", "--creator", "KdTs", "--force"});
  Json info = RunJson({"info", db_, "--json"});
  EXPECT_EQ(info["name"], "New");
  EXPECT_EQ(info["records"], 0);
}

TEST_F(KdpdbTest, CreateReportsTheLibrarysChecksOfNameTypeAndCreator) {
  const struct {
    std::vector<std::string> options;
    const char* error;
  } kCases[] = {
      {{"--name", std::string(32, 'n'), "--type", "DATA", "--creator", "KdTs"},
       "kdpdb: Database name exceeds 31 characters. (HRESULT 0x8004271A)\n"},
      {{"--name", "x", "--type", "DAT", "--creator", "KdTs"},
       "kdpdb: Type string must contain 4 characters. (HRESULT 0x8004271C)\n"},
      {{"--name", "x", "--type", "DATA", "--creator", "KdTst"},
       "kdpdb: Creator string must contain 4 characters. (HRESULT 0x8004271B)\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.error);
    std::vector<std::string> arguments = {"create", db_};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    ToolRun run = Run(arguments, 1);
    EXPECT_EQ(run.err, c.error);
    EXPECT_FALSE(SnapshotFile(db_).exists);
  }
}

// ---- add, list, update ----

struct SampleRow {
  std::vector<std::string> assignments;
  Json fields;  // what list --json shows
};

TEST_F(KdpdbTest, AddedValuesOfEveryTypeComeBackFromList) {
  CreateSample();
  const std::string notes = File("notes.bin");
  kd::testing::WriteFileBytes(notes, {0, 1, 2, 0xFE, 0xFF});
  const std::string picture = File("picture.raw");
  kd::testing::WriteFileBytes(picture, kDeviceBitmap);
  const SampleRow kRows[] = {
      {{"Title=Buy milk", "Category=3", "Level=255", "Done=yes", "Count=-32768", "Total=100000",
        "Ratio=0.1", "Amount=-1234.5", "Due=2024-05-01T12:30", "Picture=@" + picture,
        "Notes=@" + notes},
       {{"Category", 3},
        {"Title", "Buy milk"},
        {"Level", 255},
        {"Done", true},
        {"Count", -32768},
        {"Total", 100000},
        {"Ratio", 0.1},
        {"Amount", -1234.5},
        {"Due", "2024-05-01T12:30:00"},
        {"Picture", ToHex(kDeviceBitmap)},
        {"Notes", "000102feff"}}},
      {{"Title=Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC", "Done=false", "Total=-2147483648",
        "Due=1904-01-01", "Notes=cafe", "UniqueID=500"},
       {{"UniqueID", 500},
        {"Category", 0},
        {"Title", "Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC"},
        {"Level", 0},
        {"Done", false},
        {"Total", -2147483648LL},
        {"Due", "1904-01-01T00:00:00"},
        {"Notes", "cafe"}}},
      {{}, {{"Title", ""}, {"Count", 0}, {"Notes", ""}, {"Ratio", 0.0}}},
  };
  std::vector<std::uint32_t> uids;
  for (const SampleRow& row : kRows)
    uids.push_back(Add(row.assignments));
  EXPECT_EQ(uids[1], 500u);
  EXPECT_NE(uids[0], uids[2]);

  Json list = ListFields();
  ASSERT_EQ(list.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const Json& entry = list[i];
    EXPECT_EQ(entry["position"], i);
    EXPECT_EQ(entry["uniqueID"], uids[i]);
    EXPECT_EQ(entry["fields"]["UniqueID"], uids[i]);
    EXPECT_EQ(entry["fields"].size(), 12u);  // every declared field, system fields too
    for (const auto& [name, value] : kRows[i].fields.items()) {
      EXPECT_EQ(entry["fields"][name], value) << name;
    }
  }
  EXPECT_EQ(list[0]["category"], 3);

  // The same records through the digest of the description.
  Json byDigest = RunJson({"list", db_, "--kdx", SampleDigest(), "--json"});
  ASSERT_EQ(byDigest.size(), 3u);
  EXPECT_EQ(byDigest[0]["fields"]["Title"], "Buy milk");
  EXPECT_EQ(byDigest[1]["fields"]["uniqueid"], 500);
}

TEST_F(KdpdbTest, ListWithoutDescriptionShowsTheRecordBytes) {
  CreateSample();
  Add({"Title=A", "Count=258"});
  Add({"Level=7"});

  kd::CRawDB raw;
  ASSERT_EQ(raw.OpenTable(kd::ToWide(db_)), 0);
  std::vector<Bytes> bytes;
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(raw.put_AbsolutePosition(i), 0);
    kd::CVariant data;
    ASSERT_EQ(raw.get_RecordData(&data), 0);
    bytes.push_back(data.GetArray().GetData());
  }
  raw.Close();

  Json list = RunJson({"list", db_, "--json"});
  ASSERT_EQ(list.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(list[i]["data"], ToHex(bytes[i]));
    EXPECT_EQ(list[i]["size"], bytes[i].size());
    EXPECT_EQ(list[i]["dirty"], true);
    EXPECT_EQ(list[i]["secret"], false);
    EXPECT_FALSE(list[i].contains("fields"));
    EXPECT_FALSE(list[i].contains("deleted"));
  }
  // Record order: Level and Done (one byte each), then Count 258 as 01 02.
  EXPECT_EQ(list[0]["data"].get<std::string>().rfind("00000102", 0), 0u) << list[0]["data"];

  // The table: a heading and a row per record, in aligned columns.
  std::vector<std::string> lines = Lines(Run({"list", db_}).out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("POS  UID  CAT  DIRTY  SECRET  SIZE  DATA", 0), 0u) << lines[0];
  const std::size_t dataColumn = lines[0].find("DATA");
  for (std::size_t i = 1; i < 3; ++i) {
    ASSERT_GT(lines[i].size(), dataColumn);
    EXPECT_EQ(lines[i][dataColumn - 1], ' ');
    EXPECT_EQ(lines[i].substr(dataColumn, 8), ToHex(bytes[i - 1]).substr(0, 8));
  }
}

TEST_F(KdpdbTest, ListTableShowsDecodedFieldsByName) {
  CreateSample();
  Add({"Title=Tea\tcup", "Due=2030-12-31T23:59:59", "Notes=" + std::string(40, 'a')});
  std::vector<std::string> lines = Lines(Run({"list", db_, "--kdx", kSampleKdx}).out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("POS  UniqueID  Category  Title", 0), 0u) << lines[0];
  EXPECT_TRUE(Contains(lines[0], "Picture")) << lines[0];
  EXPECT_TRUE(Contains(lines[1], "Tea\\tcup")) << lines[1];
  EXPECT_TRUE(Contains(lines[1], "2030-12-31T23:59:59")) << lines[1];
  EXPECT_TRUE(Contains(lines[1], "... (20 bytes)")) << lines[1];  // long values are cut
}

TEST_F(KdpdbTest, UpdateChangesOnlyTheFieldsGiven) {
  CreateSample();
  const std::uint32_t first = Add({"Title=first", "Count=1", "Amount=2.5"});
  const std::uint32_t second = Add({"Title=second", "Count=2"});
  ToolRun run = Run(
      {"update", db_, "--kdx", kSampleKdx, "--uid", std::to_string(second), "Count=20", "Done=on"});
  EXPECT_EQ(run.out, std::to_string(second) + "\n");
  // A unique ID in hexadecimal.
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%x", first);
  Run({"update", db_, "--kdx", kSampleKdx, "--uid", hex, "Title=first, edited"});

  Json list = ListFields();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]["uniqueID"], first);
  EXPECT_EQ(list[0]["fields"]["Title"], "first, edited");
  EXPECT_EQ(list[0]["fields"]["Count"], 1);
  EXPECT_EQ(list[0]["fields"]["Amount"], 2.5);
  EXPECT_EQ(list[1]["uniqueID"], second);
  EXPECT_EQ(list[1]["fields"]["Title"], "second");
  EXPECT_EQ(list[1]["fields"]["Count"], 20);
  EXPECT_EQ(list[1]["fields"]["Done"], true);
}

// ---- delete and --all ----

TEST_F(KdpdbTest, DeleteModesShowInListAllAndInfo) {
  CreateSample();
  const std::uint32_t deleted = Add({"Title=deleted"});
  const std::uint32_t archived = Add({"Title=archived"});
  const std::uint32_t removed = Add({"Title=removed"});
  const std::uint32_t live = Add({"Title=live"});
  Run({"delete", db_, "--uid", std::to_string(deleted)});  // delete is the default mode
  Run({"delete", db_, "--uid", std::to_string(archived), "--mode", "archive"});
  Run({"delete", db_, "--uid", std::to_string(removed), "--mode", "remove"});

  Json info = RunJson({"info", db_, "--json"});
  EXPECT_EQ(info["records"], 1);
  EXPECT_EQ(info["deleted"], 1);
  EXPECT_EQ(info["archived"], 1);

  EXPECT_EQ(ListFields().size(), 1u);  // live records only without --all
  Json all = RunJson({"list", db_, "--kdx", kSampleKdx, "--all", "--json"});
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0]["uniqueID"], live);  // the live records first
  EXPECT_EQ(all[0]["position"], 0);
  // One status a record; the flags as the engine keeps them: deleted without
  // data, or archived with it, never both.
  const struct {
    std::uint32_t uniqueID;
    const char* status;
    bool deleted, archived;
    Json title;  // null: no data to decode
  } kExpected[] = {
      {live, "live", false, false, "live"},
      {archived, "archived", false, true, "archived"},
      {deleted, "deleted", true, false, nullptr},
  };
  for (const auto& e : kExpected) {
    SCOPED_TRACE(e.status);
    const auto entry = std::find_if(all.begin(), all.end(),
                                    [&](const Json& j) { return j["uniqueID"] == e.uniqueID; });
    ASSERT_NE(entry, all.end());
    EXPECT_EQ((*entry)["status"], e.status);
    EXPECT_EQ((*entry)["deleted"], e.deleted);
    EXPECT_EQ((*entry)["archived"], e.archived);
    EXPECT_EQ((*entry)["position"].is_null(), e.uniqueID != live);
    if (e.title.is_null()) {
      EXPECT_TRUE((*entry)["fields"].is_null());
      EXPECT_EQ((*entry)["size"], 0);
    } else {
      EXPECT_EQ((*entry)["fields"]["Title"], e.title);
    }
  }
  std::vector<std::string> table = Lines(Run({"list", db_, "--all"}).out);
  ASSERT_EQ(table.size(), 4u);
  EXPECT_TRUE(Contains(table[0], "STATUS"));
  EXPECT_TRUE(Contains(table[2] + table[3], "archived"));
  EXPECT_TRUE(Contains(table[2] + table[3], "deleted"));

  // A deleted record cannot be deleted again.
  ToolRun again = Run({"delete", db_, "--uid", std::to_string(archived)}, 1);
  EXPECT_EQ(again.err,
            "kdpdb: Record exists in database, but with a deleted or archived status. "
            "(HRESULT 0x80042719)\n");
}

// ---- blocks ----

TEST_F(KdpdbTest, BlocksArePrintedSavedReplacedAndCleared) {
  CreateSample();
  Bytes content;
  for (int i = 0; i < 100; ++i)
    content.push_back(static_cast<std::uint8_t>(i * 7));
  const std::string source = File("block.bin");
  kd::testing::WriteFileBytes(source, content);
  const struct {
    const char* block;
    const char* size;
    const char* other;
  } kBlocks[] = {{"appinfo", "appInfoSize", "sortInfoSize"},
                 {"sortinfo", "sortInfoSize", "appInfoSize"}};
  for (const auto& b : kBlocks) {
    SCOPED_TRACE(b.block);
    Run({"block", db_, b.block, "--set", source});
    EXPECT_EQ(Run({"block", db_, b.block}).out, ToHex(content) + "\n");
    const std::string saved = File(std::string(b.block) + ".out");
    Run({"block", db_, b.block, "--out", saved});
    EXPECT_EQ(kd::testing::ReadFileBytes(saved), content);
    Json info = RunJson({"info", db_, "--json"});
    EXPECT_EQ(info[b.size], 100);
    EXPECT_EQ(info[b.other], 0);

    Run({"block", db_, b.block, "--clear"});
    EXPECT_EQ(Run({"block", db_, b.block}).out, "\n");
    EXPECT_EQ(RunJson({"info", db_, "--json"})[b.size], 0);
  }
  // The library refuses a block of 65520 bytes or more.
  kd::testing::WriteFileBytes(source, Bytes(65520, 1));
  const FileState before = SnapshotFile(db_);
  ToolRun run = Run({"block", db_, "appinfo", "--set", source}, 1);
  EXPECT_EQ(run.err, "kdpdb: Value must be a single dimension Byte array. (HRESULT 0x80042725)\n");
  EXPECT_EQ(SnapshotFile(db_), before);
  Run({"block", db_, "appinfo", "--set", source, "--clear"}, 1);  // one action at a time
  Run({"block", db_, "header"}, 1);
}

// ---- schema and get ----

TEST_F(KdpdbTest, SchemaListsDeclaredFieldsAndRecordOrder) {
  Json schema = RunJson({"schema", kSampleKdx, "--json"});
  const struct {
    const char* name;
    const char* type;
    int code;
    bool system;
  } kFields[] = {
      {"UniqueID", "Long", 3, true},    {"Category", "Integer", 2, true},
      {"Title", "String", 7, false},    {"Level", "Byte", 0, false},
      {"Done", "Boolean", 1, false},    {"Count", "Integer", 2, false},
      {"Total", "Long", 3, false},      {"Ratio", "Single", 4, false},
      {"Amount", "Double", 5, false},   {"Due", "Date", 6, false},
      {"Picture", "Bitmap", 12, false}, {"Notes", "StreamMemory", 44, false},
  };
  ASSERT_EQ(schema["fields"].size(), std::size(kFields));
  for (std::size_t i = 0; i < std::size(kFields); ++i) {
    const Json& field = schema["fields"][i];
    SCOPED_TRACE(kFields[i].name);
    EXPECT_EQ(field["number"], i + 1);
    EXPECT_EQ(field["name"], kFields[i].name);
    EXPECT_EQ(field["type"], kFields[i].type);
    EXPECT_EQ(field["typeCode"], kFields[i].code);
    EXPECT_EQ(field["system"], kFields[i].system);
  }
  // Data fields by type code, then by name.
  EXPECT_EQ(schema["recordOrder"], Json::parse(R"(["Level", "Done", "Count", "Total", "Ratio",
      "Amount", "Due", "Title", "Picture", "Notes"])"));

  // The digest declares the same fields (its system fields in lower case).
  Json digest = RunJson({"schema", SampleDigest(), "--json"});
  EXPECT_EQ(digest["recordOrder"], schema["recordOrder"]);
  EXPECT_EQ(digest["fields"][0]["name"], "uniqueid");

  ToolRun table = Run({"schema", kSampleKdx});
  EXPECT_TRUE(Contains(table.out, "12  Notes     StreamMemory  44    no\n")) << table.out;
  EXPECT_TRUE(Contains(table.out, "Record order: Level, Done, Count")) << table.out;
}

TEST_F(KdpdbTest, GetPrintsOneFieldOrSavesItsBytes) {
  CreateSample();
  const std::uint32_t uid = Add({"Title=hello", "Notes=00ff10", "Due=2001-02-03T04:05:06"});
  const std::string id = std::to_string(uid);
  EXPECT_EQ(Run({"get", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "title"}).out, "hello\n");
  EXPECT_EQ(Run({"get", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Due"}).out,
            "2001-02-03T04:05:06\n");
  const std::string out = File("notes.out");
  Run({"get", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Notes", "--out", out});
  EXPECT_EQ(kd::testing::ReadFileBytes(out), (Bytes{0x00, 0xFF, 0x10}));
  ToolRun refused =
      Run({"get", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Title", "--out", out}, 1);
  EXPECT_TRUE(Contains(refused.err, "'Title' is a String field")) << refused.err;
}

// What get and list print for a Bitmap field without a picture goes back in
// through add and update: the blank value, and the placeholder that a record
// holds for a missing picture.
TEST_F(KdpdbTest, PrintedBitmapValuesWithoutPictureGoBackIn) {
  CreateSample();
  const std::string id = std::to_string(Add({"Title=no picture"}));
  auto get = [&](const std::string& uid) {
    return Run({"get", db_, "--kdx", kSampleKdx, "--uid", uid, "--field", "Picture"}).out;
  };
  const std::string blank = "626d0000000000000002000000000000";
  EXPECT_EQ(get(id), blank + "\n");
  EXPECT_EQ(ListFields()[0]["fields"]["Picture"], blank);
  for (const std::string& value : {blank, std::string("626d0000000000020002004800000000")}) {
    SCOPED_TRACE(value);
    const std::string added = std::to_string(Add({"Picture=" + value}));
    Run({"update", db_, "--kdx", kSampleKdx, "--uid", id, "Picture=" + value});
    EXPECT_EQ(get(added), value + "\n");
    EXPECT_EQ(get(id), value + "\n");
  }
}

// ---- pictures ----

TEST_F(KdpdbTest, PicturesGoInAndComeOutWithTheirPixels) {
  CreateSample();
  // 4 x 2 pixels of colours that the device's 256 colours hold exactly.
  const Bytes rgb = {255, 0, 0, 0,   255, 0, 0, 0,   255, 255, 255, 255,
                     0,   0, 0, 255, 255, 0, 0, 255, 255, 255, 0,   255};
  const std::string png = File("in.png");
  kd::testing::WriteFileBytes(png, testing::WritePng(4, 2, rgb, false));

  const std::string raw8 = File("in8.raw");
  Run({"import-bitmap", png, "--out", raw8, "--depth", "8"});
  const Bytes device8 = kd::testing::ReadFileBytes(raw8);
  ASSERT_GE(device8.size(), 16u);
  EXPECT_EQ(device8[8], 8);  // depth
  EXPECT_EQ(CheckDeviceBitmap(device8), "");
  const std::string raw16 = File("in16.raw");
  Run({"import-bitmap", png, "--out", raw16});
  EXPECT_EQ(kd::testing::ReadFileBytes(raw16)[8], 16);  // the default for PNG

  // A BMP picture as it is: 24-bit pixels give 16-bit device pixels.
  RgbImage image{4, 2, rgb};
  const std::string bmp = File("in.bmp");
  kd::testing::WriteFileBytes(bmp, EncodeBmp24(image));
  const std::string rawBmp = File("bmp.raw");
  Run({"import-bitmap", bmp, "--out", rawBmp});
  EXPECT_EQ(kd::testing::ReadFileBytes(rawBmp), kd::testing::ReadFileBytes(raw16));

  // 16-bit device pixels keep 5, 6 and 5 bits of red, green and blue.
  Bytes rgb16 = rgb;
  for (std::size_t i = 0; i < rgb16.size(); ++i)
    rgb16[i] = static_cast<std::uint8_t>(rgb16[i] & (i % 3 == 1 ? 0xFC : 0xF8));
  for (const auto& [raw, expected] : {std::pair(raw8, rgb), std::pair(raw16, rgb16)}) {
    SCOPED_TRACE(raw);
    const std::string id = std::to_string(Add({"Title=picture", "Picture=@" + raw}));
    const std::string outPng = File("out.png");
    const std::string outBmp = File("out.BMP");
    Run({"bitmap", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Picture", "--out", outPng});
    Run({"bitmap", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "picture", "--out", outBmp});
    RgbImage fromPng = DecodePng(kd::testing::ReadFileBytes(outPng));
    EXPECT_EQ(fromPng.width, 4u);
    EXPECT_EQ(fromPng.height, 2u);
    EXPECT_EQ(fromPng.rgb, expected);
    EXPECT_EQ(DecodeBmp(kd::testing::ReadFileBytes(outBmp)).rgb, expected);
    // The field's bytes are the device bitmap that went in.
    const std::string back = File("back.raw");
    Run({"get", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Picture", "--out", back});
    EXPECT_EQ(kd::testing::ReadFileBytes(back), kd::testing::ReadFileBytes(raw));
  }
}

// The longest bitmap a field holds, 16 x 31,991 pixels at 1 bit (63,998
// bytes), comes out as a PNG and a BMP picture, and each goes back in as the
// same device bitmap.
TEST_F(KdpdbTest, TheLargestBitmapsOfAFieldComeOutAsPictures) {
  CreateSample();
  Bytes rows(2 * 31991);
  for (std::size_t i = 0; i < rows.size(); ++i)
    rows[i] = static_cast<std::uint8_t>(i % 251);
  const Bytes tall = kd::testing::DeviceBitmap(16, 31991, 2, 1, 72, rows, 0xFFFFFFFF);
  ASSERT_EQ(tall.size(), 63998u);
  const std::string raw = File("tall.raw");
  kd::testing::WriteFileBytes(raw, tall);
  const std::string id = std::to_string(Add({"Picture=@" + raw}));
  for (const char* name : {"tall.png", "tall.bmp"}) {
    SCOPED_TRACE(name);
    const std::string picture = File(name);
    Run({"bitmap", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Picture", "--out", picture});
    const std::string back = File("back.raw");
    Run({"import-bitmap", picture, "--out", back, "--depth", "1"});
    EXPECT_EQ(kd::testing::ReadFileBytes(back), tall);
  }
  // Few enough pixels, but taller than a device bitmap can be.
  const std::string taller = File("taller.png");
  kd::testing::WriteFileBytes(taller, testing::WritePng(1, 70000, Bytes(3 * 70000), false));
  EXPECT_EQ(Run({"import-bitmap", taller, "--out", File("x.raw"), "--depth", "1"}, 1).err,
            "kdpdb: a picture of 1 x 70000 pixels has a side longer than the 65535 pixels of a "
            "device bitmap\n");
}

// import-bitmap --density keeps the pixels and counts the sides in standard
// units; bitmap --out writes the density into the BMP picture's resolution as
// dots per inch, and --density auto takes it back from there.
TEST_F(KdpdbTest, DensityGoesIntoTheBitmapAndComesBackThroughItsBmpPicture) {
  CreateSample();
  // 12 x 24 pixels: whole standard units at every density.
  Bytes rgb(3 * 12 * 24);
  for (std::size_t i = 0; i < rgb.size(); ++i)
    rgb[i] = static_cast<std::uint8_t>(i * 37);
  const std::string png = File("in.png");
  kd::testing::WriteFileBytes(png, testing::WritePng(12, 24, rgb, false));
  const std::string raw = File("in.raw");
  const std::string bmp = File("out.bmp");
  const std::string back = File("back.raw");
  const struct {
    const char* density;
    const char* depth;
    std::uint32_t pixelsPerMetre;
  } kCases[] = {
      {"72", "1", 2835},  {"108", "2", 4252},   {"144", "4", 5669},
      {"216", "8", 8504}, {"288", "16", 11339},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.density);
    Run({"import-bitmap", png, "--out", raw, "--depth", c.depth, "--density", c.density});
    const Bytes device = kd::testing::ReadFileBytes(raw);
    ASSERT_EQ(CheckDeviceBitmap(device), "");
    const kd::DeviceBitmapHeader header = kd::ReadDeviceBitmapHeader(device.data());
    const int density = std::stoi(c.density);
    EXPECT_EQ(header.density, density);
    EXPECT_EQ(header.width, 12 * 72 / density);
    EXPECT_EQ(header.height, 24 * 72 / density);
    EXPECT_EQ(header.rowBytes, kd::testing::DeviceRowBytes(12, header.depth));

    const std::string id = std::to_string(Add({"Picture=@" + raw}));
    Run({"bitmap", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Picture", "--out", bmp});
    const Bytes picture = kd::testing::ReadFileBytes(bmp);
    EXPECT_EQ(kd::testing::Bmp32(picture, 38), c.pixelsPerMetre);
    EXPECT_EQ(kd::testing::Bmp32(picture, 42), c.pixelsPerMetre);
    Run({"import-bitmap", bmp, "--out", back, "--density", "auto"});
    EXPECT_EQ(kd::testing::ReadFileBytes(back), device);
  }

  // The resolutions of other programs give the nearest density, the lower of
  // two as near; a picture that states none is at 72.
  const struct {
    std::uint32_t pixelsPerMetre;
    int density;
  } kResolutions[] = {{0, 72}, {3543, 72}, {3780, 108}, {7087, 216}, {11811, 288}};
  const Bytes rows(36 * 24, 0x80);  // 12 x 24 at 24 bits
  for (const auto& c : kResolutions) {
    SCOPED_TRACE(c.pixelsPerMetre);
    kd::testing::WriteFileBytes(bmp, kd::testing::BmpImage(12, 24, 24, {}, rows, c.pixelsPerMetre));
    Run({"import-bitmap", bmp, "--out", back, "--density", "auto"});
    EXPECT_EQ(kd::ReadDeviceBitmapHeader(kd::testing::ReadFileBytes(back).data()).density,
              c.density);
  }

  // Sides that are no whole number of units would lose pixels.
  kd::testing::WriteFileBytes(png, testing::WritePng(13, 24, Bytes(3 * 13 * 24), false));
  ToolRun odd = Run({"import-bitmap", png, "--out", raw, "--density", "144"}, 1);
  EXPECT_EQ(odd.err,
            "kdpdb: a picture of 13 x 24 pixels is no whole number of standard units at density "
            "144: its sides must be multiples of 2 pixels\n");
  ToolRun noResolution = Run({"import-bitmap", png, "--out", raw, "--density", "auto"}, 1);
  EXPECT_TRUE(Contains(noResolution.err, "--density auto reads a BMP picture's resolution"))
      << noResolution.err;
}

TEST_F(KdpdbTest, PictureVerbsReportWhatTheyCannotDo) {
  CreateSample();
  const std::string id = std::to_string(Add({"Title=no picture"}));
  const std::string out = File("out.png");
  const struct {
    std::vector<std::string> arguments;
    std::string error;
  } kCases[] = {
      {{"bitmap", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Title", "--out", out},
       "kdpdb: 'Title' is a String field, not a Bitmap field\n"},
      {{"bitmap", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Picture", "--out",
        File("out.gif")},
       "does not end in .png or .bmp\n"},
      // A blank Bitmap field holds a header without pixels.
      {{"bitmap", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Picture", "--out", out},
       "kdpdb: Generic error: bitmap error. (HRESULT 0x80042710)\n"},
      {{"bitmap", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Nope", "--out", out},
       "kdpdb: Field does not exist. (HRESULT 0x8004271D)\n"},
      {{"import-bitmap", kSampleKdx + ".png", "--out", File("x.raw")}, "cannot read '"},
      {{"import-bitmap", File("in.png"), "--out", File("x.raw"), "--depth", "3"}, "--depth"},
      {{"import-bitmap", File("in.png"), "--out", File("x.raw"), "--density", "100"}, "--density"},
  };
  kd::testing::WriteFileBytes(File("in.png"), {1, 2, 3});
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.error);
    ToolRun run = Run(c.arguments, 1);
    EXPECT_TRUE(Contains(run.err, c.error)) << run.err;
    EXPECT_FALSE(SnapshotFile(out).exists);
    EXPECT_FALSE(SnapshotFile(File("x.raw")).exists);
  }
  ToolRun notPng = Run({"import-bitmap", File("in.png"), "--out", File("x.raw")}, 1);
  EXPECT_TRUE(Contains(notPng.err, "kdpdb: not a PNG image this tool reads")) << notPng.err;
  kd::testing::WriteFileBytes(File("in.bmp"), {'B', 'M', 0, 0});
  ToolRun notBmp = Run({"import-bitmap", File("in.bmp"), "--out", File("x.raw")}, 1);
  EXPECT_EQ(notBmp.err,
            "kdpdb: Generic error: Error occured while converting bitmap. (HRESULT 0x80042710)\n"
            "kdpdb: reason: no image file header (\"BM\")\n");
}

// ---- errors ----

TEST_F(KdpdbTest, ErrorsGiveTheLibrarysDescriptionAndHresult) {
  CreateSample();
  const std::string uid = std::to_string(Add({"Title=x"}));
  const std::string badKdx = File("bad.kdx");
  kd::testing::WriteFileBytes(badKdx,
                              {'<', 'n', 'a', 'm', 'e', '>', 'A', '<', 't', 'y', 'p', 'e', '>', 'N',
                               'o', 'p', 'e', '<', 's', 'y', 'n', 'c', 'h', 'r', 'o', '/', '>'});
  const std::string missing = File("missing.pdb");
  // The system's words for a missing file differ between platforms: taken
  // from the library's own attempt to open one.
  std::string notFound;
  kd::testing::Raised([&] { kd::CFile().OpenForReading(missing.c_str()); }, &notFound);
  ASSERT_EQ(notFound.rfind("cannot open the file: ", 0), 0u) << notFound;
  const std::string notFoundLine = "kdpdb: reason: " + notFound + "\n";
  const struct {
    std::vector<std::string> arguments;
    std::string error;  // the whole of standard error
  } kCases[] = {
      {{"info", missing},
       "kdpdb: Generic error: Cannot access file '" + missing + "'. (HRESULT 0x80042710)\n" +
           notFoundLine},
      {{"list", missing},
       "kdpdb: Generic error: Cannot access file '" + missing + "'. (HRESULT 0x80042710)\n" +
           notFoundLine},
      {{"list", db_, "--kdx", badKdx},
       "kdpdb: Generic error: Invalid .kdx file. (HRESULT 0x80042710)\n"
       "kdpdb: reason: line 1: field \"A\" has no <type>\n"},
      {{"schema", "not-a-digest!"},
       "kdpdb: Generic error: Invalid table digest. (HRESULT 0x80042710)\n"
       "kdpdb: reason: character 4 (code 45) is not a digest character\n"},
      {{"schema", File("missing.kdx")},
       "kdpdb: Generic error: Cannot access file '" + File("missing.kdx") +
           "'. (HRESULT 0x80042710)\n" + notFoundLine},
      {{"update", db_, "--kdx", kSampleKdx, "--uid", "999", "Title=y"},
       "kdpdb: No record found for this UniqueId. (HRESULT 0x80042718)\n"},
      {{"delete", db_, "--uid", "999"},
       "kdpdb: No record found for this UniqueId. (HRESULT 0x80042718)\n"},
      {{"get", db_, "--kdx", kSampleKdx, "--uid", "999", "--field", "Title"},
       "kdpdb: No record found for this UniqueId. (HRESULT 0x80042718)\n"},
      {{"delete", db_, "--uid", "twelve"},
       "kdpdb: 'twelve' is not a unique ID (a number, decimal or 0x hexadecimal)\n"},
      {{"add", db_, "--kdx", kSampleKdx, "Count=abc"},
       "kdpdb: field 'Count' (Integer): 'abc' is not a number\n"},
      {{"add", db_, "--kdx", kSampleKdx, "Title=ok", "Level=256"},
       "kdpdb: field 'Level' (Byte): '256' is out of range (0 to 255)\n"},
      {{"add", db_, "--kdx", kSampleKdx, "Category=16"},
       "kdpdb: field 'Category' (Integer): '16' is out of range (0 to 15)\n"},
      {{"add", db_, "--kdx", kSampleKdx, "Done=maybe"},
       "kdpdb: field 'Done' (Boolean): 'maybe' is not true or false\n"},
      {{"add", db_, "--kdx", kSampleKdx, "Due=2024-02-30"},
       "kdpdb: field 'Due' (Date): '2024-02-30' is not a valid date or time\n"},
      {{"add", db_, "--kdx", kSampleKdx, "Picture=00"},
       "kdpdb: field 'Picture' (Bitmap): not a device bitmap: 1 bytes, shorter than its 16-byte "
       "header\n"},
      {{"add", db_, "--kdx", kSampleKdx, "Title=ok", "Nope=1"},
       "kdpdb: Field does not exist. (HRESULT 0x8004271D)\n"},
      {{"add", db_, "--kdx", kSampleKdx, "Title"}, "kdpdb: 'Title' is not FIELD=VALUE\n"},
      {{"update", db_, "--kdx", kSampleKdx, "--uid", uid, "Total=1.5"},
       "kdpdb: field 'Total' (Long): '1.5' is not a whole number\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.arguments[0] + " " + c.arguments.back());
    const FileState before = SnapshotFile(db_);
    ToolRun run = Run(c.arguments, 1);
    EXPECT_EQ(run.err, c.error);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(SnapshotFile(db_), before) << "the database changed";
  }
  EXPECT_FALSE(SnapshotFile(missing).exists);
  EXPECT_EQ(ListFields().size(), 1u);
}

TEST_F(KdpdbTest, ListGoesOnPastRecordsThatCannotBeDecoded) {
  // Title (String) then Picture (Bitmap); records written byte for byte.
  const std::string kdx = File("two.kdx");
  const std::string text =
      "<table><field><name>Title</name><type>String</type><synchro/></field>"
      "<field><name>Picture</name><type>Bitmap</type><synchro/></field></table>";
  kd::testing::WriteFileBytes(kdx, Bytes(text.begin(), text.end()));
  auto record = [](char title, const Bytes& picture) {
    Bytes bytes = {static_cast<std::uint8_t>(title), 0};
    bytes.insert(bytes.end(), picture.begin(), picture.end());
    return bytes;
  };
  Bytes badVersion = kDeviceBitmap;
  badVersion[9] = 3;
  const std::vector<Bytes> records = {
      record('A', badVersion),  // the first record: the recordset could not open the table
      record('B', kDeviceBitmap),
      {'C'},  // the title's terminating zero is missing
      record('D', kDeviceBitmap),
  };
  {
    kd::CRawDB raw;
    ASSERT_EQ(raw.CreateTable(kd::ToWide(db_), u"Broken", u"DATA", u"KdTs"), 0);
    for (const Bytes& bytes : records) {
      ASSERT_EQ(raw.AddNew(), 0);
      ASSERT_EQ(raw.put_RecordData(kd::CVariant::Bytes(bytes)), 0);
      ASSERT_EQ(raw.Update(), 0);
    }
  }
  Json list = RunJson({"list", db_, "--kdx", kdx, "--json"}, 1);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0]["error"]["description"], "Generic error: Invalid bitmap header: version 3.");
  EXPECT_EQ(list[0]["error"]["hresult"], "0x80042710");
  EXPECT_FALSE(list[0].contains("fields"));
  EXPECT_EQ(list[1]["fields"]["Title"], "B");
  EXPECT_EQ(list[1]["fields"]["Picture"], ToHex(kDeviceBitmap));
  EXPECT_EQ(list[2]["error"]["description"], "No string termination character found in record.");
  EXPECT_EQ(list[2]["error"]["hresult"], "0x8004272F");
  EXPECT_EQ(list[3]["fields"]["Title"], "D");

  ToolRun table = Run({"list", db_, "--kdx", kdx}, 1);
  const std::vector<std::string> lines = Lines(table.out);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_TRUE(Contains(lines[1], "(cannot be decoded)")) << lines[1];
  EXPECT_TRUE(Contains(lines[4], "D")) << lines[4];
  const std::string id1 = std::to_string(list[0]["uniqueID"].get<std::uint32_t>());
  const std::string id3 = std::to_string(list[2]["uniqueID"].get<std::uint32_t>());
  EXPECT_EQ(table.err, "kdpdb: record with unique ID " + id1 +
                           ": Generic error: Invalid bitmap header: version 3. "
                           "(HRESULT 0x80042710)\n"
                           "kdpdb: record with unique ID " +
                           id3 +
                           ": No string termination character found in record. "
                           "(HRESULT 0x8004272F)\n");
  // Without a description every record lists.
  EXPECT_EQ(RunJson({"list", db_, "--json"}).size(), 4u);
  // A record's own verbs report its error.
  ToolRun bitmap = Run(
      {"bitmap", db_, "--kdx", kdx, "--uid", id1, "--field", "Picture", "--out", File("x.png")}, 1);
  EXPECT_EQ(bitmap.err,
            "kdpdb: Generic error: Invalid bitmap header: version 3. (HRESULT 0x80042710)\n");
}

TEST_F(KdpdbTest, ReadingVerbsWriteNothing) {
  CreateSample();
  const std::string raw = File("picture.raw");
  kd::testing::WriteFileBytes(raw, kDeviceBitmap);
  const std::string id = std::to_string(Add({"Title=a", "Picture=@" + raw, "Notes=0102"}));
  Add({"Title=b"});
  Run({"delete", db_, "--uid", std::to_string(Add({"Title=c"})), "--mode", "archive"});
  kd::testing::WriteFileBytes(File("block.bin"), {9, 8, 7});
  Run({"block", db_, "appinfo", "--set", File("block.bin")});

  kd::testing::TempDir outputs;
  const std::vector<std::vector<std::string>> kReads = {
      {"info", db_},
      {"info", db_, "--json"},
      {"list", db_},
      {"list", db_, "--all", "--json"},
      {"list", db_, "--kdx", kSampleKdx},
      {"list", db_, "--kdx", kSampleKdx, "--all", "--json"},
      {"schema", kSampleKdx},
      {"get", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Title"},
      {"get", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Notes", "--out",
       outputs.File("notes")},
      {"block", db_, "appinfo"},
      {"block", db_, "appinfo", "--out", outputs.File("block")},
      {"bitmap", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Picture", "--out",
       outputs.File("p.png")},
      {"bitmap", db_, "--kdx", kSampleKdx, "--uid", id, "--field", "Picture", "--out",
       outputs.File("p.bmp")},
  };
  const FileState before = SnapshotFile(db_);
  const std::vector<std::string> names = kd::testing::ListDirectory(dir_.path());
  for (const auto& arguments : kReads) {
    SCOPED_TRACE(arguments[0] + " " + arguments.back());
    Run(arguments);
    EXPECT_EQ(SnapshotFile(db_), before);
    EXPECT_EQ(kd::testing::ListDirectory(dir_.path()), names);  // no new or temporary files
  }
  EXPECT_EQ(kd::testing::ListDirectory(outputs.path()),
            (std::vector<std::string>{"block", "notes", "p.bmp", "p.png"}));
}

// ---- the command line ----

TEST_F(KdpdbTest, EveryVerbHasHelpAndUsageErrorsExitWithOne) {
  for (const char* verb : {"info", "list", "schema", "create", "add", "update", "delete", "block",
                           "get", "bitmap", "import-bitmap"}) {
    SCOPED_TRACE(verb);
    ToolRun help = Run({verb, "--help"});
    EXPECT_TRUE(Contains(help.out, "Usage: kdpdb " + std::string(verb))) << help.out;
    EXPECT_EQ(help.err, "");
    ToolRun bare = Run({verb}, 1);  // every verb needs an argument
    EXPECT_FALSE(bare.err.empty());
  }
  ToolRun help = Run({"--help"});
  EXPECT_TRUE(Contains(help.out, "import-bitmap")) << help.out;
  ToolRun none = Run({}, 1);
  EXPECT_TRUE(Contains(none.err, "Usage: kdpdb")) << none.err;
  EXPECT_TRUE(Contains(Run({"--version"}).out, "kdpdb "));
  Run({"frobnicate"}, 1);
  Run({"delete", db_, "--uid", "1", "--mode", "shred"}, 1);
}

}  // namespace
}  // namespace kdpdb
