// Table descriptions: the description file scanner, table digests, and the
// schema built from them (name index, system fields, record order).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "recordset/db_schema.h"
#include "recordset/tests/digest_writer.h"
#include "testing/outcomes.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

using testing::Raised;

// "name:type" for each declared field, in order.
std::vector<std::string> Declared(const CDbSchema& schema) {
  std::vector<std::string> fields;
  for (std::int32_t i = 0; i < schema.GetCount(); ++i) {
    fields.push_back(std::string(schema.GetAt(i)->GetName()) + ":" +
                     std::to_string(static_cast<int>(schema.GetAt(i)->GetType())));
  }
  return fields;
}

std::vector<std::string> RecordOrder(const CDbSchema& schema) {
  std::vector<std::string> names;
  for (std::int32_t i = 0; i < schema.GetDataFieldCount(); ++i) {
    names.push_back(schema.GetDataField(i)->GetName());
  }
  return names;
}

std::string Entry(const std::string& name, const std::string& type,
                  const std::string& synchro = "<synchro>0</synchro>") {
  return "<field><name>" + name + "</name><type>" + type + "</type>" + synchro + "</field>\n";
}

class DescriptionFileTest : public ::testing::Test {
 protected:
  std::string WriteText(const std::string& text, const std::string& name = "t.kdx") {
    std::string path = dir_.File(name);
    testing::WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    return path;
  }

  testing::TempDir dir_;
};

TEST_F(DescriptionFileTest, WorkedExampleDeclaresFourFields) {
  std::string path = WriteText("<?xml version=\"1.0\"?>\n<table>\n" + Entry("UniqueID", "Long") +
                               Entry("Title", "String") + Entry("Done", "boolean") +
                               Entry("Due", "Date") + "</table>\n");
  CDbSchema schema;
  LoadSchema(schema, path);
  EXPECT_EQ(Declared(schema),
            (std::vector<std::string>{"UniqueID:3", "Title:7", "Done:1", "Due:6"}));
  EXPECT_EQ(schema.GetSystemFieldPosition(SystemField::kUniqueID), 0);
  EXPECT_EQ(schema.GetSystemFieldPosition(SystemField::kCategory), -1);
  EXPECT_EQ(RecordOrder(schema), (std::vector<std::string>{"Done", "Due", "Title"}));
}

TEST_F(DescriptionFileTest, ScannerCases) {
  struct Case {
    const char* what;
    std::string text;
    std::string outcome;  // "ok" or the error
    std::vector<std::string> fields;
  } cases[] = {
      {"no entries at all", "<table></table>", "ok", {}},
      {"empty file", "", "ok", {}},
      {"type keywords ignore case",
       Entry("a", "INTEGER") + Entry("b", "long") + Entry("c", "sTrInG"),
       "ok",
       {"a:2", "b:3", "c:7"}},
      {"every type",
       Entry("t1", "Byte") + Entry("t2", "Boolean") + Entry("t3", "Integer") + Entry("t4", "Long") +
           Entry("t5", "Single") + Entry("t6", "Double") + Entry("t7", "Date") +
           Entry("t8", "String") + Entry("t9", "Bitmap") + Entry("t10", "StreamMemory"),
       "ok",
       {"t1:0", "t2:1", "t3:2", "t4:3", "t5:4", "t6:5", "t7:6", "t8:7", "t9:12", "t10:44"}},
      {"names are taken exactly", Entry(" Spaced name ", "Byte"), "ok", {" Spaced name :0"}},
      {"a type with a space", Entry("a", " Long"), "text: Invalid .kdx file.", {}},
      {"an unknown type", Entry("a", "Currency"), "text: Invalid .kdx file.", {}},
      {"tags are case-sensitive",
       "<field><Name>a</Name><type>Long</type><synchro/></field>",
       "ok",
       {}},
      {"missing synchro after good entries",
       Entry("a", "Long") + "<field><name>b</name><type>Long</type></field>",
       "text: Invalid .kdx file.",
       {}},
      {"missing type", "<name>a</name><synchro/>", "text: Invalid .kdx file.", {}},
      {"name without an end", "<name>abc", "text: Invalid .kdx file.", {}},
      {"type without an end", "<name>a</name><type>Long", "text: Invalid .kdx file.", {}},
      {"synchro without an end",
       "<name>a</name><type>Long</type><synchro x",
       "text: Invalid .kdx file.",
       {}},
      {"self-closing synchro at the very end",
       "<name>a</name><type>Long</type><synchro/>",
       "ok",
       {"a:3"}},
      {"self-closing synchro then a line break",
       Entry("a", "Long", "<synchro/>") + Entry("b", "Byte", "<synchro/>"),
       "ok",
       {"a:3", "b:0"}},
      // The character after a self-closing synchro is consumed: a "<name>"
      // right there is missed.
      {"self-closing synchro directly followed by the next entry",
       "<name>a</name><type>Long</type><synchro/><name>b</name><type>Byte</type><synchro/>"
       "\n<name>c</name><type>Date</type><synchro/>",
       "ok",
       {"a:3", "c:6"}},
      {"a name of 31 characters",
       Entry(std::string(31, 'n'), "Byte"),
       "ok",
       {std::string(31, 'n') + ":0"}},
      {"a name of 32 characters",
       Entry(std::string(32, 'n'), "Byte"),
       "text: Invalid .kdx file.",
       {}},
      {"a zero byte ends the text",
       Entry("a", "Byte") + std::string(1, '\0') + Entry("b", "Byte"),
       "ok",
       {"a:0"}},
  };
  for (const Case& c : cases) {
    std::string path = WriteText(c.text);
    CDbSchema schema;
    EXPECT_EQ(Raised([&] { LoadSchema(schema, path); }), c.outcome) << c.what;
    EXPECT_EQ(Declared(schema), c.fields) << c.what;
  }
}

TEST_F(DescriptionFileTest, Utf16FilesInBothByteOrdersGiveTheSameFields) {
  std::string text = Entry("Caf\xe9", "Long") + Entry("Name", "string");
  for (bool bigEndian : {false, true}) {
    std::vector<std::uint8_t> bytes =
        bigEndian ? std::vector<std::uint8_t>{0xFE, 0xFF} : std::vector<std::uint8_t>{0xFF, 0xFE};
    for (char c : text) {
      auto unit = static_cast<std::uint8_t>(c);
      if (bigEndian) bytes.push_back(0);
      bytes.push_back(unit);
      if (!bigEndian) bytes.push_back(0);
    }
    std::string path = dir_.File("utf16.kdx");
    testing::WriteFileBytes(path, bytes);
    CDbSchema schema;
    LoadSchema(schema, path);
    EXPECT_EQ(Declared(schema), (std::vector<std::string>{"Caf\xe9:3", "Name:7"})) << bigEndian;
  }
}

TEST_F(DescriptionFileTest, MissingFileNamesThePath) {
  std::string path = dir_.File("none.kdx");
  CDbSchema schema;
  EXPECT_EQ(Raised([&] { LoadSchema(schema, path); }), testing::CannotAccess(path));
}

TEST(DescriptionFormTest, PathOrDigest) {
  struct Case {
    const char* text;
    bool path;
  } cases[] = {
      {"C:\\tables\\todo.kdx", true},
      {"todo.kdx", true},
      {"tables\\todo", true},
      {"/data/tables/todo", true},
      {"tables/todo", true},
      {"c:todo", true},
      {"todo", false},
      {"A_b=9", false},
      {"", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsDescriptionPath(c.text), c.path) << c.text;
}

TEST(DigestTest, WorkedExampleDecodes) {
  CDbSchema schema;
  LoadSchema(schema, "mEaN0bN8j_OBuvoCKBNVSQfu6");
  EXPECT_EQ(Declared(schema), (std::vector<std::string>{"uniqueid:3", "Count:2", "Name:7"}));
  EXPECT_EQ(schema.GetSystemFieldPosition(SystemField::kUniqueID), 0);
  EXPECT_EQ(RecordOrder(schema), (std::vector<std::string>{"Count", "Name"}));
}

TEST(DigestTest, TheDigestWriterAgreesWithTheWorkedExample) {
  // The test's own digest writer, checked against the decoder on the same text.
  CDbSchema schema;
  LoadSchema(schema, testing::WriteDigest("A=aCount=rName=="));
  EXPECT_EQ(Declared(schema), (std::vector<std::string>{"uniqueid:3", "Count:2", "Name:7"}));
}

TEST(DigestTest, Tokens) {
  struct Case {
    std::string text;  // decoded text
    std::vector<std::string> fields;
  } cases[] = {
      {"==", {}},
      {"A=B=C=D==", {"uniqueid:3", "category:2", "dirty:1", "secret:1"}},
      {"Aignored=Bx==", {"uniqueid:3", "category:2"}},
      {"tb=ebo=aI=oL=iS=sD=nDt=rT=hP=lM==",
       {"b:0", "bo:1", "I:2", "L:3", "S:4", "D:5", "Dt:6", "T:7", "P:12", "M:44"}},
      {"a==", {":2"}},  // small a alone: an Integer field with an empty name
      {"=r_9==", {"_9:7"}},
      {"===r_9==", {}},  // decoding stops right after the first "=="
      {"tx=A=a" + std::string(31, 'n') + "==", {"x:0", "uniqueid:3", std::string(31, 'n') + ":2"}},
  };
  for (const Case& c : cases) {
    CDbSchema schema;
    ASSERT_EQ(Raised([&] { LoadSchema(schema, testing::WriteDigest(c.text)); }), "ok") << c.text;
    EXPECT_EQ(Declared(schema), c.fields) << c.text;
  }
}

TEST(DigestTest, InvalidDigests) {
  const std::string invalid = "text: Invalid table digest.";
  struct Case {
    const char* what;
    std::string digest;
  } cases[] = {
      {"empty", ""},
      {"a character outside the alphabet", "mEaN0bN8j_OBuvoCKBNVSQfu6!"},
      {"a space", "mEaN0bN8j OBuvoCKBNVSQfu6"},
      {"bits run out before ==", "mEaN0bN8j_OBuvoCKBNVSQ"},
      {"bits run out inside the tree", "m"},
      {"an unknown token", testing::WriteDigest("x==")},
      {"a capital letter after D", testing::WriteDigest("E==")},
      {"a name of 32 characters", testing::WriteDigest("a" + std::string(32, 'n') + "==")},
      {"a root that is a leaf", testing::WriteDigestWithLeafRoot('=')},
      {"a tree of more than 128 nodes", testing::WriteDigestWithTreeNodes(129)},
  };
  for (const Case& c : cases) {
    CDbSchema schema;
    EXPECT_EQ(Raised([&] { LoadSchema(schema, c.digest); }), invalid) << c.what;
    EXPECT_EQ(schema.GetCount(), 0) << c.what;
  }
  // 127 nodes still fit.
  CDbSchema schema;
  EXPECT_EQ(Raised([&] { LoadSchema(schema, testing::WriteDigestWithTreeNodes(127)); }), "ok");
}

TEST(SchemaTest, RecordOrderAndSystemFields) {
  CDbSchema schema;
  LoadSchema(schema, testing::WriteDigest("ob=oA=lS=tz=rN=hP=e_=eZ=C=oA_B=oAB=oab=rM=D=B=="));
  // Type code first, then the name with a-z as A-Z ("_" after every letter).
  EXPECT_EQ(RecordOrder(schema), (std::vector<std::string>{"z", "Z", "_", "A", "AB", "ab", "A_B",
                                                           "b", "M", "N", "P", "S"}));
  EXPECT_EQ(schema.GetSystemFieldPosition(SystemField::kDirty), 8);
  EXPECT_EQ(schema.GetSystemFieldPosition(SystemField::kSecret), 13);
  EXPECT_EQ(schema.GetSystemFieldPosition(SystemField::kCategory), 14);
  EXPECT_EQ(schema.GetSystemFieldPosition(SystemField::kUniqueID), -1);
}

TEST_F(DescriptionFileTest, NameIndexIgnoresCaseAndTheLastDeclaredWins) {
  std::string path =
      WriteText(Entry("Title", "String") + Entry("TITLE", "Long") + Entry(" uniqueid", "Long") +
                Entry("uniqueID", "Byte") + Entry("UNIQUEID", "Integer"));
  CDbSchema schema;
  LoadSchema(schema, path);
  EXPECT_EQ(schema.FindField("title")->GetType(), DbFieldType::kLong);
  EXPECT_EQ(schema.FindField("Title")->GetType(), DbFieldType::kLong);
  EXPECT_EQ(schema.FindField("missing"), nullptr);
  // Both fields named Title occupy record bytes; " uniqueid" is a data field.
  EXPECT_EQ(RecordOrder(schema), (std::vector<std::string>{" uniqueid", "TITLE", "Title"}));
  EXPECT_EQ(schema.GetSystemFieldPosition(SystemField::kUniqueID), 4);  // the later one
  EXPECT_EQ(std::string(schema.FieldNameAt(4)), "uniqueID");
}

}  // namespace
}  // namespace kd
