// The verbs that only read: info, list, schema, get.
#include <cstdio>
#include <iostream>
#include <memory>

#include "engine/pdb_database.h"
#include "engine/pdb_record.h"
#include "foundation/codepage.h"
#include "rawdb/raw_db.h"
#include "tools/kdpdb/tool.h"

namespace kdpdb {

namespace {

// Table cells show at most this many bytes of a byte array.
constexpr std::size_t kTableBytes = 16;

// Database attribute bits and their names.
const std::pair<std::uint16_t, const char*> kAttributeNames[] = {
    {0x0001, "resource"},       {0x0002, "readOnly"},         {0x0004, "appInfoDirty"},
    {0x0008, "backup"},         {0x0010, "okToInstallNewer"}, {0x0020, "resetAfterInstall"},
    {0x0040, "copyPrevention"}, {0x0080, "stream"},           {0x0100, "hidden"},
    {0x0200, "launchableData"}, {0x0400, "recyclable"},       {0x0800, "bundle"},
    {0x8000, "open"},
};

std::string Narrow(const std::string& text) {
  return Utf16ToUtf8(kd::ToWide(text));
}

std::string Hex16(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

Json DateJson(std::uint32_t palmTime) {
  Json date;
  date["palmTime"] = palmTime;
  date["local"] = FormatPalmTime(palmTime);
  return date;
}

std::string Flag(bool value) {
  return value ? "yes" : "no";
}

// The records a listing shows: the live ones in cursor order, then (with
// --all) the deleted and archived ones.
struct Listed {
  const kd::CPdbRecord* record;
  std::int32_t position;  // -1 for a deleted or archived record
};

std::vector<Listed> RecordsToList(const kd::CPdbDatabase& engine, bool all) {
  std::vector<Listed> records;
  for (std::int32_t i = 0; i < engine.GetLiveCount(); ++i)
    records.push_back({engine.GetLiveRecord(i), i});
  if (all) {
    for (std::int32_t i = 0; i < engine.GetDeletedCount(); ++i)
      records.push_back({engine.GetDeletedRecord(i), -1});
  }
  return records;
}

std::string Status(const kd::CPdbRecord& record) {
  if (record.archived) return "archived";
  if (record.deleted) return "deleted";
  return "live";
}

Json ErrorJson(kd::HRESULT result) {
  Json error;
  error["description"] = ErrorDescription();
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
  error["hresult"] = code;
  return error;
}

}  // namespace

int Info(const InfoOptions& options) {
  kd::CRawDB db;
  Check(db.OpenTable(LibraryText(options.file)));
  const kd::CPdbDatabase& engine = *db.GetEngine();

  std::int32_t deleted = 0;
  std::int32_t archived = 0;
  for (std::int32_t i = 0; i < engine.GetDeletedCount(); ++i) {
    (engine.GetDeletedRecord(i)->archived ? archived : deleted) += 1;
  }
  std::vector<std::string> attributeNames;
  for (const auto& [bit, name] : kAttributeNames) {
    if ((engine.GetAttributes() & bit) != 0) attributeNames.push_back(name);
  }
  const std::uint32_t appInfoSize = engine.GetBlockStream(kd::InfoBlock::kAppInfo).Size();
  const std::uint32_t sortInfoSize = engine.GetBlockStream(kd::InfoBlock::kSortInfo).Size();

  if (options.json) {
    Json info;
    info["file"] = options.file;
    info["name"] = Narrow(engine.GetName());
    info["attributes"] = engine.GetAttributes();
    info["attributeNames"] = attributeNames;
    info["version"] = engine.GetVersion();
    info["creationDate"] = DateJson(engine.GetCreationDate());
    info["modificationDate"] = DateJson(engine.GetModificationDate());
    info["lastBackupDate"] = DateJson(engine.GetLastBackupDate());
    info["modificationNumber"] = engine.GetModificationNumber();
    info["type"] = Narrow(engine.GetType());
    info["creator"] = Narrow(engine.GetCreator());
    info["uniqueIDSeed"] = engine.GetUniqueIDSeed();
    info["appInfoSize"] = appInfoSize;
    info["sortInfoSize"] = sortInfoSize;
    info["records"] = engine.GetLiveCount();
    info["deleted"] = deleted;
    info["archived"] = archived;
    std::cout << info.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
    return 0;
  }

  std::string attributes = Hex16(engine.GetAttributes());
  if (!attributeNames.empty()) {
    attributes += " (";
    for (std::size_t i = 0; i < attributeNames.size(); ++i)
      attributes += (i > 0 ? ", " : "") + attributeNames[i];
    attributes += ")";
  }
  auto date = [](std::uint32_t palmTime) {
    return FormatPalmTime(palmTime) + "  (Palm time " + std::to_string(palmTime) + ")";
  };
  PrintTable(std::cout, {
                            {"Name", Narrow(engine.GetName())},
                            {"Attributes", attributes},
                            {"Version", std::to_string(engine.GetVersion())},
                            {"Created", date(engine.GetCreationDate())},
                            {"Modified", date(engine.GetModificationDate())},
                            {"Last backup", date(engine.GetLastBackupDate())},
                            {"Modification number", std::to_string(engine.GetModificationNumber())},
                            {"Type", Narrow(engine.GetType())},
                            {"Creator", Narrow(engine.GetCreator())},
                            {"Unique ID seed", std::to_string(engine.GetUniqueIDSeed())},
                            {"AppInfo block", std::to_string(appInfoSize) + " bytes"},
                            {"SortInfo block", std::to_string(sortInfoSize) + " bytes"},
                            {"Records", std::to_string(engine.GetLiveCount())},
                            {"Deleted", std::to_string(deleted)},
                            {"Archived", std::to_string(archived)},
                        });
  return 0;
}

int List(const ListOptions& options) {
  std::unique_ptr<kd::CDbSchema> schema;
  if (!options.description.empty()) {
    schema = std::make_unique<kd::CDbSchema>();
    LoadDescription(*schema, options.description);
  }
  kd::CRawDB db;
  Check(db.OpenTable(LibraryText(options.file)));
  const std::vector<Listed> records = RecordsToList(*db.GetEngine(), options.all);

  // Table columns: with a description, its declared fields (the record's
  // unique ID first unless one of them shows it); without, the attributes and
  // the bytes.
  const bool uidColumn = !schema || schema->GetSystemField(kd::SystemField::kUniqueID) == nullptr;
  std::vector<std::vector<std::string>> table;
  std::vector<std::string> heading = {"POS"};
  if (uidColumn) heading.push_back("UID");
  if (options.all) heading.push_back("STATUS");
  if (schema) {
    for (std::int32_t i = 0; i < schema->GetCount(); ++i)
      heading.push_back(Narrow(schema->GetAt(i)->GetName()));
  } else {
    heading.insert(heading.end(), {"CAT", "DIRTY", "SECRET", "SIZE", "DATA"});
  }
  table.push_back(heading);

  Json entries = Json::array();
  int status = 0;
  for (const Listed& listed : records) {
    const kd::CPdbRecord& record = *listed.record;
    Json entry;
    entry["position"] = listed.position >= 0 ? Json(listed.position) : Json(nullptr);
    entry["uniqueID"] = record.uniqueID;
    entry["category"] = record.category;
    entry["dirty"] = record.dirty;
    entry["secret"] = record.secret;
    entry["size"] = record.Size();
    if (options.all) {
      // A record is live, deleted (its data gone) or archived (its data kept).
      entry["status"] = Status(record);
      entry["deleted"] = record.deleted;
      entry["archived"] = record.archived;
    }
    std::vector<std::string> row = {listed.position >= 0 ? std::to_string(listed.position) : "-"};
    if (uidColumn) row.push_back(std::to_string(record.uniqueID));
    if (options.all) row.push_back(Status(record));

    if (!schema) {
      entry["data"] = ToHex(record.GetBuffer(), record.Size());
      row.insert(row.end(), {std::to_string(record.category), Flag(record.dirty),
                             Flag(record.secret), std::to_string(record.Size()),
                             ValueToText(kd::CVariant::Array(kd::CSafeArray::Bytes(
                                             record.GetBuffer(), record.Size())),
                                         kTableBytes)});
    } else if (record.deleted && !record.archived) {
      // A deleted record keeps no data to decode.
      entry["fields"] = nullptr;
    } else {
      kd::HRESULT result = DecodeRecord(*schema, record);
      if (kd::Failed(result)) {
        Complain("record with unique ID " + std::to_string(record.uniqueID) + ": " +
                 DescribeFailure(result));
        entry["error"] = ErrorJson(result);
        row.push_back("(cannot be decoded)");
        status = 1;
      } else {
        Json fields;
        for (std::int32_t i = 0; i < schema->GetCount(); ++i) {
          const kd::CDbField* field = schema->GetAt(i);
          fields[Narrow(field->GetName())] = ValueToJson(field->value);
          row.push_back(ValueToText(field->value, kTableBytes));
        }
        entry["fields"] = fields;
      }
    }
    entries.push_back(entry);
    table.push_back(row);
  }

  if (options.json) {
    std::cout << entries.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
  } else {
    PrintTable(std::cout, table);
  }
  return status;
}

int Schema(const SchemaOptions& options) {
  kd::CDbSchema schema;
  LoadDescription(schema, options.description);
  if (options.json) {
    Json fields = Json::array();
    for (std::int32_t i = 0; i < schema.GetCount(); ++i) {
      const kd::CDbField* field = schema.GetAt(i);
      Json entry;
      entry["number"] = i + 1;
      entry["name"] = Narrow(field->GetName());
      entry["type"] = TypeName(field->GetType());
      entry["typeCode"] = static_cast<std::int32_t>(field->GetType());
      entry["system"] = RoleOf(schema, field) != SystemRole::kNone;
      fields.push_back(entry);
    }
    Json order = Json::array();
    for (std::int32_t i = 0; i < schema.GetDataFieldCount(); ++i)
      order.push_back(Narrow(schema.GetDataField(i)->GetName()));
    Json result;
    result["fields"] = fields;
    result["recordOrder"] = order;
    std::cout << result.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
    return 0;
  }
  std::vector<std::vector<std::string>> table = {{"NO", "NAME", "TYPE", "CODE", "SYSTEM"}};
  for (std::int32_t i = 0; i < schema.GetCount(); ++i) {
    const kd::CDbField* field = schema.GetAt(i);
    table.push_back({std::to_string(i + 1), Narrow(field->GetName()), TypeName(field->GetType()),
                     std::to_string(static_cast<std::int32_t>(field->GetType())),
                     Flag(RoleOf(schema, field) != SystemRole::kNone)});
  }
  PrintTable(std::cout, table);
  std::cout << "\nRecord order:";
  for (std::int32_t i = 0; i < schema.GetDataFieldCount(); ++i)
    std::cout << (i > 0 ? ", " : " ") << Narrow(schema.GetDataField(i)->GetName());
  std::cout << '\n';
  return 0;
}

int Get(const GetOptions& options) {
  const std::uint32_t uniqueID = ParseUniqueID(options.uniqueID);
  kd::CDbSchema schema;
  LoadDescription(schema, options.description);
  kd::CVariant value;
  const kd::CDbField* field =
      &ReadRecordField(schema, options.file, uniqueID, options.field, &value);

  if (options.out.empty()) {
    std::cout << ValueToText(value, 0) << '\n';
    return 0;
  }
  if (!value.IsByteArray()) {
    throw ToolError(std::string("--out writes Bitmap and StreamMemory fields; '") +
                    field->GetName() + "' is a " + TypeName(field->GetType()) + " field");
  }
  WriteFileBytes(options.out, value.GetArray().GetData());
  return 0;
}

}  // namespace kdpdb
