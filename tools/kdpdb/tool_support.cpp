#include <algorithm>
#include <cstdio>
#include <iostream>

#include "engine/pdb_record.h"
#include "foundation/codepage.h"
#include "rawdb/raw_db.h"
#include "tools/kdpdb/tool.h"

namespace kdpdb {

namespace {

// Characters in UTF-8 text: bytes that do not continue a sequence.
std::size_t Width(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

}  // namespace

std::string ErrorDescription() {
  return kd::ToAnsi(kd::GetErrorDescription());
}

std::string DescribeFailure(kd::HRESULT result) {
  std::string description = ErrorDescription();
  if (description.empty()) description = "Unknown error.";
  char code[32];
  std::snprintf(code, sizeof code, " (HRESULT 0x%08X)", static_cast<unsigned>(result));
  // Which check refused the input, when the library says: on a line of its own.
  const std::string reason = kd::GetErrorReason();
  return description + code + (reason.empty() ? "" : "\nkdpdb: reason: " + reason);
}

void Check(kd::HRESULT result) {
  if (kd::Failed(result)) throw ToolError(DescribeFailure(result));
}

std::u16string LibraryText(const std::string& path) {
  return kd::ToWide(path);
}

void LoadDescription(kd::CDbSchema& schema, const std::string& description) {
  Check(Guard([&] { kd::LoadSchema(schema, description); }));
}

SystemRole RoleOf(const kd::CDbSchema& schema, const kd::CDbField* field) {
  static const std::pair<kd::SystemField, SystemRole> kRoles[] = {
      {kd::SystemField::kUniqueID, SystemRole::kUniqueID},
      {kd::SystemField::kCategory, SystemRole::kCategory},
      {kd::SystemField::kDirty, SystemRole::kDirty},
      {kd::SystemField::kSecret, SystemRole::kSecret},
  };
  for (const auto& [which, role] : kRoles) {
    if (schema.GetSystemField(which) == field) return role;
  }
  return SystemRole::kNone;
}

kd::HRESULT DecodeRecord(kd::CDbSchema& schema, const kd::CPdbRecord& record) {
  return Guard([&] { schema.DecodeRecord(record); });
}

const kd::CDbField& ReadRecordField(kd::CDbSchema& schema, const std::string& file,
                                    std::uint32_t uniqueID, const std::string& fieldUtf8,
                                    kd::CVariant* value) {
  kd::CRawDB db;
  Check(db.OpenTable(LibraryText(file)));
  Check(db.LookupUniqueID(static_cast<std::int32_t>(uniqueID)));
  Check(DecodeRecord(schema, *db.GetEngine()->GetCurrentRecord()));
  const std::string name = kd::ToAnsi(Utf8ToUtf16(fieldUtf8));
  Check(Guard([&] { *value = schema.GetFieldValue(name.c_str()); }));
  return *schema.FindField(name.c_str());
}

void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (std::size_t c = 0; c < row.size(); ++c)
      widths[c] = std::max(widths[c], Width(row[c]));
  }
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size()) line.append(widths[c] - Width(row[c]) + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ')
      line.pop_back();
    out << line << '\n';
  }
}

void Complain(const std::string& message) {
  std::cerr << "kdpdb: " << message << '\n';
}

}  // namespace kdpdb
