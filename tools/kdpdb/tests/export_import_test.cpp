// export and import: the CSV layout read and written, kdpdb run as a user runs
// it on databases of every field type, and the one save of an import (a refused
// row or a failed save leaves the file byte for byte as it was).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine/pdb_database.h"
#include "foundation/fault_injection.h"
#include "testing/bitmap_images.h"
#include "testing/fault_sweep.h"
#include "testing/temp_dir.h"
#include "tools/kdpdb/csv.h"
#include "tools/kdpdb/picture_files.h"
#include "tools/kdpdb/tests/tool_runner.h"
#include "tools/kdpdb/tool.h"

namespace kdpdb {
namespace {

using testing::RunToolExpecting;
using testing::SnapshotFile;
using testing::ToolRun;

const std::string kSampleKdx = std::string(KDPDB_SAMPLES) + "/sample.kdx";
const std::string kHeader =
    "UniqueID,Category,Title,Level,Done,Count,Total,Ratio,Amount,Due,Picture,Notes";

void WriteText(const std::string& path, const std::string& text) {
  kd::testing::WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
  std::istringstream in(text);
  CsvReader reader(in);
  std::vector<std::vector<std::string>> records;
  for (std::vector<std::string> cells; reader.Next(&cells);)
    records.push_back(cells);
  return records;
}

TEST(CsvTest, WritesRfc4180Quoting) {
  EXPECT_EQ(CsvRecord({"plain", "a,b", "say \"hi\"", "two\r\nlines", "cr\r", "", " x "}),
            "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\",\"cr\r\",, x \r\n");
}

TEST(CsvTest, ReadsWhatItWritesAndOtherLineEndings) {
  const std::vector<std::vector<std::string>> records = {{"plain", "a,b", "say \"hi\""},
                                                         {"two\r\nlines", "lf\nonly", "cr\ronly"},
                                                         {"", "", ""},
                                                         {"\"", ",", "é €"}};
  std::string text;
  for (const auto& record : records)
    text += CsvRecord(record);
  EXPECT_EQ(ReadCsv(text), records);
  // A byte order mark, LF and CR endings, blank lines, no final line break.
  EXPECT_EQ(ReadCsv("\xEF\xBB\xBF"
                    "a,b\n\nc,d\r\re,\"f\"\r\n\r\n"
                    "g,"),
            (std::vector<std::vector<std::string>>{{"a", "b"}, {"c", "d"}, {"e", "f"}, {"g", ""}}));
  // The first bytes of a byte order mark and then others are text.
  EXPECT_EQ(ReadCsv("\xEF\xBBx\n"), (std::vector<std::vector<std::string>>{{"\xEF\xBBx"}}));
}

TEST(CsvTest, CountsLinesInsideQuotedCells) {
  std::istringstream in("h\r\n\"1\r\n2\"\n\"3\n\n4\"\r\n\nlast\n");
  CsvReader reader(in);
  std::vector<std::string> cells;
  std::vector<std::uint64_t> lines;
  while (reader.Next(&cells))
    lines.push_back(reader.Line());
  EXPECT_EQ(lines, (std::vector<std::uint64_t>{1, 2, 4, 8}));
}

TEST(CsvTest, RefusesMalformedQuotingNamingTheLine) {
  const struct {
    const char* text;
    const char* error;
  } kCases[] = {
      {"a,b\nc,d\"e\n", "line 2: a double quote inside cell 2, which does not begin with one"},
      {"\"ab\"c,d\n", "line 1: text after the closing quote of cell 1"},
      {"a\n\"open\n\nmore", "line 2: the quoted cell 1 is not closed before the end"},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.text);
    try {
      ReadCsv(test.text);
      ADD_FAILURE() << "no error";
    } catch (const ToolError& error) {
      EXPECT_TRUE(Contains(error.what(), test.error)) << error.what();
    }
  }
}

class ExportImportTest : public ::testing::Test {
 protected:
  std::string File(const std::string& name) const { return dir_.File(name); }

  ToolRun Run(const std::vector<std::string>& arguments, int exitCode = 0) {
    return RunToolExpecting(arguments, exitCode);
  }
  void Create(const std::string& db) {
    Run({"create", db, "--name", "Sample", "--type", "DATA", "--creator", "KdTs", "--force"});
  }
  void Add(const std::string& db, const std::vector<std::string>& assignments) {
    std::vector<std::string> arguments = {"add", db, "--kdx", kSampleKdx};
    arguments.insert(arguments.end(), assignments.begin(), assignments.end());
    Run(arguments);
  }
  Json Info(const std::string& db) { return Json::parse(Run({"info", db, "--json"}).out); }
  Json Fields(const std::string& db) {
    return Json::parse(Run({"list", db, "--kdx", kSampleKdx, "--json"}).out);
  }

  // A database whose records hold each type's extreme values, text that CSV
  // must quote, a picture, a blank picture and empty bytes.
  void MakeEveryValue(const std::string& db) {
    Create(db);
    Add(db, {"Category=15", "Title=comma, \"quote\"\r\nCRLF, é ü €", "Level=255", "Done=true",
             "Count=-32768", "Total=2147483647", "Ratio=-3.4028234663852886e38",
             "Amount=-1.7976931348623157e308", "Due=2040-02-06T06:28:15",
             "Picture=" + ToHex(kd::testing::SmallDeviceBitmap()), "Notes=0d0a2c2200ff"});
    Add(db, {"Title=", "Count=32767", "Total=-2147483648", "Ratio=1e-45", "Amount=5e-324",
             "Due=1904-01-01"});
    Add(db, {"Title=  spaced\n", "Ratio=0.1", "Amount=0.1", "Due=2024-02-29T23:59:59", "Notes=00"});
  }

  kd::testing::TempDir dir_;
  std::string db_ = dir_.File("every.pdb");
};

TEST_F(ExportImportTest, ExportWritesAHeaderAndARowPerRecord) {
  MakeEveryValue(db_);
  ToolRun csv = Run({"export", db_, "--kdx", kSampleKdx, "--csv", "-"});
  EXPECT_EQ(csv.err, "");
  EXPECT_EQ(csv.out, kHeader + "\r\n" +
                         "1,15,\"comma, \"\"quote\"\"\r\nCRLF, é ü €\",255,true,-32768,2147483647,"
                         "-3.4028234663852886e+38,-1.7976931348623157e+308,2040-02-06T06:28:15," +
                         ToHex(kd::testing::SmallDeviceBitmap()) + ",0d0a2c2200ff\r\n" +
                         "2,0,,0,false,32767,-2147483648,1e-45,5e-324,1904-01-01T00:00:00,,\r\n" +
                         "3,0,\"  spaced\n\",0,false,0,0,0.1,0.1,2024-02-29T23:59:59,,00\r\n");

  ToolRun jsonl = Run({"export", db_, "--kdx", kSampleKdx, "--jsonl", "-"});
  std::istringstream lines(jsonl.out);
  std::vector<Json> objects;
  for (std::string line; std::getline(lines, line);)
    objects.push_back(Json::parse(line));
  ASSERT_EQ(objects.size(), 3u);
  EXPECT_EQ(objects[0]["Title"], "comma, \"quote\"\r\nCRLF, é ü €");
  EXPECT_EQ(objects[0]["Ratio"], -3.4028234663852886e38);
  EXPECT_EQ(objects[1]["Picture"], nullptr);  // no picture
  EXPECT_EQ(objects[1]["Notes"], "");
  EXPECT_EQ(objects[2]["Due"], "2024-02-29T23:59:59");

  // Never written over the database it reads.
  const testing::FileState before = SnapshotFile(db_);
  ToolRun over = Run({"export", db_, "--kdx", kSampleKdx, "--csv", db_}, 1);
  EXPECT_TRUE(Contains(over.err, "is the database itself")) << over.err;
  EXPECT_EQ(SnapshotFile(db_), before);
}

TEST_F(ExportImportTest, PicturesGoToPngFilesNamedByUniqueID) {
  MakeEveryValue(db_);
  const std::string pictures = File("pictures");
  Run({"export", db_, "--kdx", kSampleKdx, "--csv", File("out.csv"), "--pictures", pictures});
  const auto rows =
      ReadCsv(Run({"export", db_, "--kdx", kSampleKdx, "--csv", "-", "--pictures", pictures}).out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1][10], "1.png");
  EXPECT_EQ(rows[2][10], "");
  EXPECT_EQ(kd::testing::ListDirectory(pictures), std::vector<std::string>{"1.png"});
  const RgbImage image = DecodePng(kd::testing::ReadFileBytes(pictures + "/1.png"));
  EXPECT_EQ(image.width, 16u);
  EXPECT_EQ(image.height, 2u);
}

// export, then import into a new database: the same field values, unique IDs
// included, and the same export again; over both formats and two databases.
TEST_F(ExportImportTest, RoundTripKeepsEveryFieldValue) {
  const std::string demo = File("demo.pdb");
  Create(demo);
  Add(demo, {"Title=Hike to the lake", "Category=1", "Level=3", "Count=12", "Total=4200",
             "Ratio=0.75", "Amount=18.5", "Due=2024-05-01T08:30",
             "Picture=" + ToHex(kd::testing::SmallDeviceBitmap()), "Notes=7061636b6564"});
  Add(demo, {"Title=Buy batteries", "Category=2", "Done=true", "Count=-4", "Ratio=0.5",
             "Amount=-19.99", "Due=2024-06-15"});
  MakeEveryValue(db_);
  for (const std::string& source : {demo, db_}) {
    for (const std::string format : {"--csv", "--jsonl"}) {
      SCOPED_TRACE(source + " " + format);
      const std::string text = File("table.txt");
      const std::string copy = File("copy.pdb");
      Run({"export", source, "--kdx", kSampleKdx, format, text});
      Create(copy);
      ToolRun import = Run({"import", copy, "--kdx", kSampleKdx, format, text});
      EXPECT_EQ(import.err, "");
      EXPECT_EQ(import.out, std::to_string(Fields(source).size()) + " records added\n");
      const Json original = Fields(source);
      const Json copied = Fields(copy);
      ASSERT_EQ(copied.size(), original.size());
      for (std::size_t i = 0; i < original.size(); ++i)
        EXPECT_EQ(copied[i]["fields"], original[i]["fields"]) << i;
      EXPECT_EQ(Run({"export", copy, "--kdx", kSampleKdx, format, "-"}).out,
                Run({"export", source, "--kdx", kSampleKdx, format, "-"}).out);
    }
  }
}

TEST_F(ExportImportTest, AnEmptyCellLeavesTheFieldBlankAsAddDoes) {
  Create(db_);
  Add(db_, {"Title=given"});
  const std::string csv = File("in.csv");
  WriteText(csv, "Notes,title,Due,Picture\r\n,given,,\r\n");
  Run({"import", db_, "--kdx", kSampleKdx, "--csv", csv});
  const Json fields = Fields(db_);
  ASSERT_EQ(fields.size(), 2u);
  Json added = fields[0]["fields"];
  Json imported = fields[1]["fields"];
  EXPECT_EQ(imported["UniqueID"], 2);
  imported["UniqueID"] = added["UniqueID"];
  EXPECT_EQ(imported, added);
}

// A refused row, whichever check refuses it, names its line and leaves the
// file byte for byte as it was (modification time included).
TEST_F(ExportImportTest, ARefusedRowWritesNothing) {
  MakeEveryValue(db_);
  const std::string good = "Title,Level\r\none,1\r\n\"two\r\nlines\",2\r\n";
  const struct {
    const char* format;
    std::string text;
    std::string error;
  } kCases[] = {
      {"--csv", "Title,Colour\r\nx,red\r\n",
       "line 1: column 2: 'Colour' is not a field of the description (its fields: UniqueID, "},
      {"--csv", "Title,TITLE\r\n", "line 1: columns 1 and 2 both name the field 'Title'"},
      {"--csv", good + "three,300\r\n",
       "line 5: field 'Level' (Byte): '300' is out of range (0 to 255)"},
      {"--csv", good + "three\r\n", "line 5: 1 cells; the header has 2"},
      {"--csv", good + "th\"ree,3\r\n", "line 5: a double quote inside cell 1"},
      {"--csv", "UniqueID,Title\r\n9,new\r\n3,taken\r\n",
       "line 3: Database already contains a record with this UniqueID."},
      {"--csv", "", "no header row: the input is empty"},
      {"--jsonl", "{\"Title\":\"one\"}\n\n{\"Colour\":1}\n",
       "line 3: 'Colour' is not a field of the description"},
      {"--jsonl", "{\"Title\":\"one\"}\n[1]\n", "line 2: a JSON array, not an object"},
      {"--jsonl", "{\"Done\":\"maybe\"}\n", "line 1: field 'Done' (Boolean): 'maybe' is not"},
      {"--jsonl", "{\"Notes\":[0]}\n", "line 1: the value of 'Notes' is a JSON array"},
      {"--jsonl", "{\"Title\":\"cut\\u0000off\"}\n",
       "line 1: field 'Title' (String): text with a zero character cannot be stored"},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.text);
    const std::string input = File("in.txt");
    WriteText(input, test.text);
    const testing::FileState before = SnapshotFile(db_);
    ToolRun run = Run({"import", db_, "--kdx", kSampleKdx, test.format, input}, 1);
    EXPECT_TRUE(Contains(run.err, "kdpdb: " + input + ", " + test.error)) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(SnapshotFile(db_), before);
  }
}

// The whole import is one commit: the modification number rises by one.
TEST_F(ExportImportTest, TenThousandRowsAreSavedOnce) {
  Create(db_);
  const std::uint32_t before = Info(db_)["modificationNumber"];
  std::string csv = "Title,Count,Due\r\n";
  for (int i = 0; i < 10000; ++i)
    csv += CsvRecord({"row " + std::to_string(i), std::to_string(i % 30000), "2024-01-01"});
  WriteText(File("rows.csv"), csv);
  ToolRun run = Run({"import", db_, "--kdx", kSampleKdx, "--csv", File("rows.csv")});
  EXPECT_EQ(run.out, "10000 records added\n");
  EXPECT_EQ(run.err, "");
  const Json info = Info(db_);
  EXPECT_EQ(info["modificationNumber"], before + 1);
  EXPECT_EQ(info["records"], 10000);
  EXPECT_EQ(info["uniqueIDSeed"], 10000);
  const auto rows = ReadCsv(Run({"export", db_, "--kdx", kSampleKdx, "--csv", "-"}).out);
  ASSERT_EQ(rows.size(), 10001u);
  EXPECT_EQ(rows[10000][2], "row 9999");
  EXPECT_EQ(rows[10000][5], "9999");
}

// The one save failing (here the replacement of the file) leaves the file as
// it was and no temporary file beside it.
TEST_F(ExportImportTest, AFailedSaveLeavesTheDirectoryAsItWas) {
  Create(db_);
  WriteText(File("in.csv"), "Title\none\ntwo\n");
  const kd::testing::DirectoryImage before = kd::testing::SnapshotDirectory(dir_.path());
  ImportOptions options;
  options.file = db_;
  options.description = kSampleKdx;
  options.csv = File("in.csv");
  {
    kd::ScopedFault fault(kd::FaultPoint::kFileReplace, 1);
    try {
      Import(options);
      ADD_FAILURE() << "the import succeeded";
    } catch (const ToolError& error) {
      EXPECT_TRUE(Contains(error.what(), "cannot replace the file")) << error.what();
    }
  }
  EXPECT_EQ(kd::testing::SnapshotDirectory(dir_.path()), before);
}

// The engine's batch under the import: an inner batch's Commit writes
// nothing, and a failed Commit leaves the save owed to the next one.
TEST(PdbBatchTest, OnlyTheOutermostCommitSavesAndAFailedOneStaysOwed) {
  kd::testing::TempDir dir;
  const std::string path = dir.File("batch.pdb");
  kd::CPdbDatabase db(path.c_str());
  db.CreateTable("Batch", "DATA", "KdTs");
  db.Save();
  const testing::FileState saved = SnapshotFile(path);
  {
    kd::CPdbBatch outer(db);
    {
      kd::CPdbBatch inner(db);
      db.AddNew();
      db.Update(nullptr);
      inner.Commit();
    }
    EXPECT_EQ(SnapshotFile(path), saved);
    kd::ScopedFault fault(kd::FaultPoint::kFileReplace, 1);
    EXPECT_THROW(outer.Commit(), kd::CErr);
  }
  EXPECT_EQ(SnapshotFile(path), saved);
  kd::CPdbBatch later(db);
  later.Commit();
  kd::CPdbDatabase reread(path.c_str());
  reread.Load();
  EXPECT_EQ(reread.GetLiveCount(), 1);
}

}  // namespace
}  // namespace kdpdb
