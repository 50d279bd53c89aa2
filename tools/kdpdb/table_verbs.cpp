// The verbs that move a whole table: export (every live record as a row of a
// CSV file or a line of JSON) and import (a record for each row, saved once).
//
// Both files hold UTF-8 text and one field per column (CSV) or key (JSONL), named
// as the description declares it. Values are written as `list` shows them, but
// text whole (no escapes): numbers, true/false, dates as local ISO-8601 text,
// Bitmap and StreamMemory values as hexadecimal digits; a Bitmap field's blank
// value (no picture) as an empty cell or null. Import reads each value by the
// rules of `add`; an empty cell, null or "" leaves the field blank, as `add`
// does a field it is not given.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <memory>

#include "bitmap/device_bitmap.h"
#include "bitmap/picture.h"
#include "engine/pdb_database.h"
#include "engine/pdb_record.h"
#include "foundation/codepage.h"
#include "rawdb/raw_db.h"
#include "recordset/recordset.h"
#include "tools/kdpdb/csv.h"
#include "tools/kdpdb/picture_files.h"
#include "tools/kdpdb/progress.h"
#include "tools/kdpdb/tool.h"

namespace kdpdb {

namespace {

enum class Format { kCsv, kJsonl };

struct Chosen {
  Format format;
  std::string path;
};

Chosen ChooseFormat(const std::string& csv, const std::string& jsonl) {
  if (csv.empty() == jsonl.empty()) throw ToolError("give one of --csv FILE and --jsonl FILE");
  return csv.empty() ? Chosen{Format::kJsonl, jsonl} : Chosen{Format::kCsv, csv};
}

// A field name of the library (its code page) as UTF-8.
std::string NameOf(const kd::CDbField& field) {
  return Utf16ToUtf8(kd::ToWide(field.GetName()));
}

// ---- export ----

// Where an export writes: a file, or standard output for "-". A file that an
// export does not finish is removed.
class Output {
 public:
  explicit Output(const std::string& path) : path_(path) {
    if (path == "-") {
      out_ = &std::cout;
      return;
    }
    file_.open(path, std::ios::binary | std::ios::trunc);
    if (!file_) throw ToolError("cannot write '" + path + "': " + std::strerror(errno));
    out_ = &file_;
  }
  ~Output() {
    if (!finished_ && out_ == &file_) {
      file_.close();
      std::remove(path_.c_str());
    }
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Write(const std::string& text) {
    out_->write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!*out_) Fail();
  }
  void Finish() {
    out_->flush();
    if (out_ == &file_) file_.close();
    if (!*out_) Fail();
    finished_ = true;
  }

 private:
  [[noreturn]] void Fail() const {
    throw ToolError(path_ == "-" ? std::string("cannot write to standard output")
                                 : "cannot write '" + path_ + "'");
  }

  std::string path_;
  std::ofstream file_;
  std::ostream* out_ = nullptr;
  bool finished_ = false;
};

bool IsBlankBitmap(const Bytes& bytes) {
  static const auto kBlank = kd::DeviceBitmapHeaderBytes(kd::DeviceBitmapHeader());
  return bytes.size() == kBlank.size() && std::equal(bytes.begin(), bytes.end(), kBlank.begin());
}

// Infinities and NaN, which neither JSON nor `add` has numbers for: as text,
// which an import refuses by name rather than reading as something else.
std::string NonFiniteText(double value) {
  if (std::isnan(value)) return "NaN";
  return value > 0 ? "Infinity" : "-Infinity";
}

// A Single value as text that `add` reads back as the same value: its
// shortest text, except for the largest floats, whose shortest text reads as a
// double just past the Single range (which `add` refuses); those take the
// double's text.
std::string SingleText(float value) {
  const std::string shortest = FloatText(value);
  if (std::fabs(std::strtod(shortest.c_str(), nullptr)) <= std::numeric_limits<float>::max()) {
    return shortest;
  }
  return DoubleText(value);
}

bool IsNonFinite(const kd::CVariant& value) {
  if (value.GetType() == kd::VT_R4) return !std::isfinite(value.GetR4());
  if (value.GetType() == kd::VT_R8) return !std::isfinite(value.GetR8());
  return false;
}

// Writes the fields of each record as a CSV row or a JSON line.
class RowWriter {
 public:
  // REQUIRES: `out` and `progress` outlive the writer.
  RowWriter(const kd::CDbSchema& schema, Format format, const std::string& pictures, Output& out,
            ProgressLine& progress)
      : schema_(schema), format_(format), pictures_(pictures), out_(out), progress_(progress) {
    for (std::int32_t i = 0; i < schema.GetCount(); ++i) {
      names_.push_back(NameOf(*schema.GetAt(i)));
      bitmapFields_ += schema.GetAt(i)->GetType() == kd::DbFieldType::kBitmap;
    }
    if (!pictures_.empty()) {
      std::error_code error;
      std::filesystem::create_directories(pictures_, error);
      if (error) throw ToolError("cannot make '" + pictures_ + "': " + error.message());
    }
    if (format_ == Format::kCsv) out_.Write(CsvRecord(names_));
  }

  // Writes the schema's current values as the row of the record with
  // `uniqueID`. Returns false when a picture could not be made (reported;
  // its cell then holds the bytes).
  bool Write(std::uint32_t uniqueID) {
    bool complete = true;
    std::vector<std::string> cells;
    Json object = Json::object();
    for (std::int32_t i = 0; i < schema_.GetCount(); ++i) {
      const kd::CDbField& field = *schema_.GetAt(i);
      const kd::CVariant& value = field.value;
      Json json;
      if (value.IsByteArray()) {
        const Bytes& bytes = value.GetArray().GetData();
        if (field.GetType() == kd::DbFieldType::kBitmap && IsBlankBitmap(bytes)) {
          json = nullptr;
        } else if (field.GetType() == kd::DbFieldType::kBitmap && !pictures_.empty()) {
          json = PictureFile(field, uniqueID, value, &complete);
        } else {
          json = ToHex(bytes);
        }
      } else if (IsNonFinite(value)) {
        json = NonFiniteText(value.GetType() == kd::VT_R4 ? value.GetR4() : value.GetR8());
      } else if (value.GetType() == kd::VT_R4) {
        const std::string text = SingleText(value.GetR4());
        json = format_ == Format::kJsonl ? Json(std::strtod(text.c_str(), nullptr)) : Json(text);
      } else if (value.GetType() == kd::VT_BSTR) {
        json = Utf16ToUtf8(value.GetString());
      } else if (format_ == Format::kJsonl) {
        json = ValueToJson(value);
      } else {
        json = ValueToText(value, 0);
      }
      if (format_ == Format::kJsonl) {
        object[names_[i]] = std::move(json);
      } else {
        cells.push_back(json.is_null() ? std::string() : json.get<std::string>());
      }
    }
    if (format_ == Format::kJsonl) {
      out_.Write(object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n");
    } else {
      out_.Write(CsvRecord(cells));
    }
    return complete;
  }

 private:
  // Saves a Bitmap value as a PNG file in the pictures folder; its name, or
  // (when the value is no picture) the value in hexadecimal.
  std::string PictureFile(const kd::CDbField& field, std::uint32_t uniqueID,
                          const kd::CVariant& value, bool* complete) {
    std::string name = std::to_string(uniqueID);
    if (bitmapFields_ > 1) {
      // The field's name as far as it is safe in a file name.
      name += "-";
      for (char c : std::string(field.GetName())) {
        const bool safe = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                          (c >= 'a' && c <= 'z') || c == '_' || c == '-';
        name.push_back(safe ? c : '_');
      }
    }
    name += ".png";
    kd::CVariant picture;
    const kd::HRESULT result = Guard([&] { picture = kd::CreateOlePicture(value); });
    auto held =
        kd::Failed(result) ? nullptr : std::dynamic_pointer_cast<kd::CPicture>(picture.GetObject());
    if (!held) {
      progress_.Clear();
      Complain("record with unique ID " + std::to_string(uniqueID) + ", field '" + NameOf(field) +
               "': no picture, its bytes written instead: " +
               (kd::Failed(result) ? DescribeFailure(result) : "the library made no picture"));
      *complete = false;
      return ToHex(value.GetArray().GetData());
    }
    WriteFileBytes((std::filesystem::path(pictures_) / name).string(),
                   BmpToPng(held->GetBmpImage()));
    return name;
  }

  const kd::CDbSchema& schema_;
  Format format_;
  std::string pictures_;
  Output& out_;
  ProgressLine& progress_;
  std::vector<std::string> names_;  // UTF-8
  int bitmapFields_ = 0;
};

// ---- import ----

// Where an import reads: a file, or standard input for "-"; its size when known.
class Input {
 public:
  explicit Input(const std::string& path) : name_(path == "-" ? "standard input" : path) {
    if (path == "-") {
      in_ = &std::cin;
      return;
    }
    file_.open(path, std::ios::binary);
    if (!file_) throw ToolError("cannot read '" + path + "': " + std::strerror(errno));
    in_ = &file_;
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
      const std::uintmax_t size = std::filesystem::file_size(path, error);
      if (!error) size_ = size;
    }
  }

  std::istream& Stream() { return *in_; }
  const std::string& Name() const { return name_; }
  // Bytes in the input, 0 when unknown.
  std::uint64_t Size() const { return size_; }
  void CheckRead() const {
    if (in_->bad()) throw ToolError("cannot read '" + name_ + "'");
  }

 private:
  std::string name_;
  std::ifstream file_;
  std::istream* in_ = nullptr;
  std::uint64_t size_ = 0;
};

struct Column {
  const kd::CDbField* field;
  std::u16string libraryName;
  std::string name;  // UTF-8
  SystemRole role;
};

// Adds the records of an import to an open recordset, each with the values
// it is given and every other field blank.
class Importer {
 public:
  explicit Importer(kd::CRecordset& recordset) : recordset_(recordset) {}

  // The field that a column or key names, ignoring case. Raises ToolError
  // naming the description's fields when there is none.
  Column ColumnNamed(const std::string& name) const {
    const kd::CDbSchema& schema = *recordset_.GetSchema();
    const kd::CDbField* field = schema.FindField(kd::ToAnsi(Utf8ToUtf16(name)).c_str());
    if (field == nullptr) {
      std::string names;
      for (std::int32_t i = 0; i < schema.GetCount(); ++i)
        names += (i > 0 ? ", " : "") + NameOf(*schema.GetAt(i));
      throw ToolError("'" + name + "' is not a field of the description (its fields: " + names +
                      ")");
    }
    return {field, kd::ToWide(field->GetName()), NameOf(*field), RoleOf(schema, field)};
  }

  // Adds a record. `values` pairs columns with their text; empty text leaves
  // the field blank. Raises ToolError for a value that does not fit and for
  // the library's refusals.
  void Add(const std::vector<std::pair<const Column*, std::string>>& values) {
    std::vector<std::pair<const Column*, kd::CVariant>> parsed;
    for (const auto& [column, text] : values) {
      if (text.empty()) continue;
      if (column->field->GetType() == kd::DbFieldType::kString &&
          text.find('\0') != std::string::npos) {
        // A record's text ends at its first zero byte: the rest would be lost.
        throw ToolError("field '" + column->name + "' (String): text with a zero character " +
                        "cannot be stored");
      }
      parsed.emplace_back(
          column, ParseFieldValue(column->name, column->field->GetType(), column->role, text));
    }
    Check(recordset_.AddNew());
    for (const auto& [column, value] : parsed)
      Check(recordset_.put_Field(column->libraryName, value));
    Check(recordset_.Update());
    ++added_;
  }

  std::uint64_t Added() const { return added_; }

 private:
  kd::CRecordset& recordset_;
  std::uint64_t added_ = 0;
};

// ToolError for `message` at `line` of `input`.
ToolError AtLine(const Input& input, std::uint64_t line, const std::string& message) {
  return ToolError(input.Name() + ", line " + std::to_string(line) + ": " + message);
}

void ShowImportProgress(ProgressLine& progress, const Input& input, std::uint64_t offset,
                        std::uint64_t added) {
  if (!progress.Due()) return;
  const double fraction =
      input.Size() > 0 ? static_cast<double>(offset) / static_cast<double>(input.Size()) : -1;
  progress.Draw(fraction, std::to_string(added) + " records read");
}

void ImportCsv(Input& input, Importer& importer, ProgressLine& progress) {
  CsvReader reader(input.Stream());
  std::vector<std::string> cells;
  try {
    if (!reader.Next(&cells)) throw ToolError("no header row: the input is empty");
  } catch (const ToolError& error) {
    throw ToolError(input.Name() + ", " + error.what());
  }
  // Every column must name a field, once, before the first record is read.
  std::vector<Column> columns;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    try {
      columns.push_back(importer.ColumnNamed(cells[i]));
    } catch (const ToolError& error) {
      throw AtLine(input, reader.Line(),
                   "column " + std::to_string(i + 1) + ": " + std::string(error.what()));
    }
    for (std::size_t k = 0; k < i; ++k) {
      if (columns[k].field == columns[i].field) {
        throw AtLine(input, reader.Line(),
                     "columns " + std::to_string(k + 1) + " and " + std::to_string(i + 1) +
                         " both name the field '" + columns[i].name + "'");
      }
    }
  }
  std::vector<std::pair<const Column*, std::string>> values;
  for (;;) {
    try {
      if (!reader.Next(&cells)) break;
    } catch (const ToolError& error) {
      throw ToolError(input.Name() + ", " + error.what());
    }
    try {
      if (cells.size() != columns.size()) {
        throw ToolError(std::to_string(cells.size()) + " cells; the header has " +
                        std::to_string(columns.size()));
      }
      values.clear();
      for (std::size_t i = 0; i < cells.size(); ++i)
        values.emplace_back(&columns[i], std::move(cells[i]));
      importer.Add(values);
    } catch (const ToolError& error) {
      throw AtLine(input, reader.Line(), error.what());
    }
    ShowImportProgress(progress, input, reader.Offset(), importer.Added());
  }
  input.CheckRead();
}

// The text of a JSON value as `add` reads it; "" for null.
std::string JsonValueText(const Json& value, const std::string& key) {
  if (value.is_null()) return "";
  if (value.is_string()) return value.get<std::string>();
  if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
  if (value.is_number()) return value.dump();
  throw ToolError("the value of '" + key + "' is a JSON " + value.type_name() +
                  ", not a number, text, true, false or null");
}

void ImportJsonl(Input& input, Importer& importer, ProgressLine& progress) {
  std::map<std::string, Column> columns;  // by key as written
  std::vector<std::pair<const Column*, std::string>> values;
  std::uint64_t line = 0;
  std::uint64_t offset = 0;
  for (std::string text; std::getline(input.Stream(), text);) {
    ++line;
    offset += text.size() + 1;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.find_first_not_of(" \t") == std::string::npos) continue;
    try {
      Json object;
      try {
        object = Json::parse(text);
      } catch (const Json::parse_error& error) {
        throw ToolError(std::string("not JSON: ") + error.what());
      }
      if (!object.is_object()) {
        throw ToolError(std::string("a JSON ") + object.type_name() + ", not an object");
      }
      values.clear();
      for (const auto& [key, value] : object.items()) {
        auto found = columns.find(key);
        if (found == columns.end()) found = columns.emplace(key, importer.ColumnNamed(key)).first;
        const Column* column = &found->second;
        for (const auto& [other, unused] : values) {
          if (other->field == column->field) {
            throw ToolError("two keys name the field '" + column->name + "'");
          }
        }
        values.emplace_back(column, JsonValueText(value, key));
      }
      importer.Add(values);
    } catch (const ToolError& error) {
      throw AtLine(input, line, error.what());
    }
    ShowImportProgress(progress, input, offset, importer.Added());
  }
  input.CheckRead();
}

}  // namespace

int Export(const ExportOptions& options) {
  const Chosen chosen = ChooseFormat(options.csv, options.jsonl);
  kd::CDbSchema schema;
  LoadDescription(schema, options.description);
  kd::CRawDB db;
  Check(db.OpenTable(LibraryText(options.file)));
  const kd::CPdbDatabase& engine = *db.GetEngine();

  std::error_code error;
  if (chosen.path != "-" && std::filesystem::equivalent(chosen.path, options.file, error)) {
    throw ToolError("'" + chosen.path + "' is the database itself; name another file to write");
  }
  Output out(chosen.path);
  ProgressLine progress("exporting");
  RowWriter writer(schema, chosen.format, options.pictures, out, progress);
  int status = 0;
  const std::int32_t count = engine.GetLiveCount();
  // Each record is decoded and written in turn: nothing is gathered.
  for (std::int32_t i = 0; i < count; ++i) {
    const kd::CPdbRecord& record = *engine.GetLiveRecord(i);
    const kd::HRESULT result = DecodeRecord(schema, record);
    if (kd::Failed(result)) {
      progress.Clear();
      Complain("record with unique ID " + std::to_string(record.uniqueID) +
               " left out: " + DescribeFailure(result));
      status = 1;
    } else if (!writer.Write(record.uniqueID)) {
      status = 1;
    }
    if (progress.Due()) {
      progress.Draw(static_cast<double>(i + 1) / count,
                    std::to_string(i + 1) + " of " + std::to_string(count) + " records");
    }
  }
  out.Finish();
  return status;
}

int Import(const ImportOptions& options) {
  const Chosen chosen = ChooseFormat(options.csv, options.jsonl);
  kd::CRecordset recordset;
  Check(recordset.OpenTable(LibraryText(options.file), LibraryText(options.description)));
  Input input(chosen.path);
  Importer importer(recordset);
  // The records go into the database in memory; the one save comes after
  // the last of them, so a refused row leaves the file as it was.
  kd::CPdbBatch batch(*recordset.GetEngine());
  {
    ProgressLine progress("importing");
    if (chosen.format == Format::kCsv) {
      ImportCsv(input, importer, progress);
    } else {
      ImportJsonl(input, importer, progress);
    }
  }
  Check(Guard([&] { batch.Commit(); }));
  std::cout << importer.Added() << " records added\n";
  return 0;
}

}  // namespace kdpdb
