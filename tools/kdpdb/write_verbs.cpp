// The verbs that change a database: create, add, update, delete, block.
// Every value is read and checked before the first change, so a bad value
// leaves the file as it was.
#include <filesystem>
#include <iostream>
#include <utility>

#include "engine/pdb_database.h"
#include "foundation/codepage.h"
#include "rawdb/raw_db.h"
#include "recordset/recordset.h"
#include "tools/kdpdb/tool.h"

namespace kdpdb {

namespace {

struct Assignment {
  std::u16string field;
  kd::CVariant value;
};

// FIELD=VALUE arguments as values of the schema's fields. A name the schema
// does not declare keeps its text; the recordset refuses it.
std::vector<Assignment> ReadAssignments(const kd::CDbSchema& schema,
                                        const std::vector<std::string>& arguments) {
  std::vector<Assignment> assignments;
  for (const std::string& argument : arguments) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos || equals == 0) {
      throw ToolError("'" + argument + "' is not FIELD=VALUE");
    }
    const std::string name = argument.substr(0, equals);
    const std::string text = argument.substr(equals + 1);
    Assignment assignment;
    assignment.field = Utf8ToUtf16(name);
    const kd::CDbField* field = schema.FindField(kd::ToAnsi(assignment.field).c_str());
    if (field == nullptr) {
      assignment.value = kd::CVariant::String(Utf8ToUtf16(text));
    } else {
      assignment.value = ParseFieldValue(name, field->GetType(), RoleOf(schema, field), text);
    }
    assignments.push_back(std::move(assignment));
  }
  return assignments;
}

void PutFields(kd::CRecordset& recordset, const std::vector<Assignment>& assignments) {
  for (const Assignment& assignment : assignments)
    Check(recordset.put_Field(assignment.field, assignment.value));
}

void PrintCurrentUniqueID(const kd::CRecordset& recordset) {
  std::cout << recordset.GetEngine()->GetCurrentRecord()->uniqueID << '\n';
}

kd::InfoBlock WhichBlock(const std::string& name) {
  if (name == "appinfo") return kd::InfoBlock::kAppInfo;
  if (name == "sortinfo") return kd::InfoBlock::kSortInfo;
  throw ToolError("'" + name + "' is not appinfo or sortinfo");
}

}  // namespace

int Create(const CreateOptions& options) {
  std::error_code error;
  if (!options.force && std::filesystem::exists(options.file, error)) {
    throw ToolError("'" + options.file + "' exists; --force overwrites it");
  }
  kd::CRawDB db;
  Check(db.CreateTable(LibraryText(options.file), Utf8ToUtf16(options.name),
                       Utf8ToUtf16(options.type), Utf8ToUtf16(options.creator)));
  return 0;
}

int Add(const AddOptions& options) {
  kd::CRecordset recordset;
  Check(recordset.OpenTable(LibraryText(options.file), LibraryText(options.description)));
  const std::vector<Assignment> assignments =
      ReadAssignments(*recordset.GetSchema(), options.assignments);
  Check(recordset.AddNew());
  PutFields(recordset, assignments);
  Check(recordset.Update());
  PrintCurrentUniqueID(recordset);
  return 0;
}

int Update(const UpdateOptions& options) {
  const std::uint32_t uniqueID = ParseUniqueID(options.uniqueID);
  kd::CRecordset recordset;
  Check(recordset.OpenTable(LibraryText(options.file), LibraryText(options.description)));
  const std::vector<Assignment> assignments =
      ReadAssignments(*recordset.GetSchema(), options.assignments);
  Check(recordset.LookupUniqueID(static_cast<std::int32_t>(uniqueID)));
  Check(recordset.Edit());
  PutFields(recordset, assignments);
  Check(recordset.Update());
  PrintCurrentUniqueID(recordset);
  return 0;
}

int Delete(const DeleteOptions& options) {
  const std::uint32_t uniqueID = ParseUniqueID(options.uniqueID);
  std::int32_t mode;
  if (options.mode == "delete") {
    mode = kd::kdRecordDelete;
  } else if (options.mode == "archive") {
    mode = kd::kdRecordArchive;
  } else if (options.mode == "remove") {
    mode = kd::kdRecordRemove;
  } else {
    throw ToolError("'" + options.mode + "' is not delete, archive or remove");
  }
  kd::CRawDB db;
  Check(db.OpenTable(LibraryText(options.file)));
  Check(db.LookupUniqueID(static_cast<std::int32_t>(uniqueID)));
  Check(db.Delete(mode));
  return 0;
}

int Block(const BlockOptions& options) {
  const kd::InfoBlock block = WhichBlock(options.block);
  kd::CVariant value;
  if (!options.set.empty()) value = kd::CVariant::Bytes(ReadFileBytes(options.set));

  kd::CRawDB db;
  Check(db.OpenTable(LibraryText(options.file)));
  const bool appInfo = block == kd::InfoBlock::kAppInfo;
  if (!options.set.empty() || options.clear) {
    Check(appInfo ? db.put_AppInfoBlock(value) : db.put_SortInfoBlock(value));
    return 0;
  }
  kd::CVariant bytes;
  Check(appInfo ? db.get_AppInfoBlock(&bytes) : db.get_SortInfoBlock(&bytes));
  const Bytes data = bytes.IsByteArray() ? bytes.GetArray().GetData() : Bytes();
  if (!options.out.empty()) {
    WriteFileBytes(options.out, data);
  } else {
    std::cout << ToHex(data) << '\n';
  }
  return 0;
}

}  // namespace kdpdb
