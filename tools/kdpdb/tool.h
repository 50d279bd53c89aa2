// kdpdb: the verbs of the command-line tool and what they share. Each verb
// returns the exit status (0, or 1 when it reported a problem and went on)
// and raises ToolError for a failure that stops it; main prints that on
// standard error and exits with 1.
#ifndef KDDAO_TOOLS_KDPDB_TOOL_H_
#define KDDAO_TOOLS_KDPDB_TOOL_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "foundation/errors.h"
#include "foundation/hresult.h"
#include "recordset/db_schema.h"
#include "tools/kdpdb/values.h"

namespace kd {
class CPdbRecord;
}  // namespace kd

namespace kdpdb {

// ---- verbs ----
struct InfoOptions {
  std::string file;
  bool json = false;
};
struct ListOptions {
  std::string file;
  std::string description;  // .kdx path or digest; empty: bytes as hex
  bool all = false;
  bool json = false;
};
struct SchemaOptions {
  std::string description;
  bool json = false;
};
struct CreateOptions {
  std::string file;
  std::string name;
  std::string type;
  std::string creator;
  bool force = false;
};
struct AddOptions {
  std::string file;
  std::string description;
  std::vector<std::string> assignments;  // FIELD=VALUE
};
struct UpdateOptions {
  std::string file;
  std::string description;
  std::string uniqueID;
  std::vector<std::string> assignments;
};
struct DeleteOptions {
  std::string file;
  std::string uniqueID;
  std::string mode = "delete";
};
struct BlockOptions {
  std::string file;
  std::string block;  // appinfo or sortinfo
  std::string out;
  std::string set;
  bool clear = false;
};
struct GetOptions {
  std::string file;
  std::string description;
  std::string uniqueID;
  std::string field;
  std::string out;
};
struct BitmapOptions {
  std::string file;
  std::string description;
  std::string uniqueID;
  std::string field;
  std::string out;
};
struct ExportOptions {
  std::string file;
  std::string description;
  std::string csv;       // output file, "-" for standard output
  std::string jsonl;     // the same; one of the two is given
  std::string pictures;  // folder for Bitmap fields as PNG files; empty: hex
};
struct ImportOptions {
  std::string file;
  std::string description;
  std::string csv;    // input file, "-" for standard input
  std::string jsonl;  // the same; one of the two is given
};
struct ImportBitmapOptions {
  std::string image;
  std::string out;
  int depth = 0;               // 0: as the encoder chooses
  std::string density = "72";  // 72, 108, 144, 216, 288, or auto (a BMP's resolution)
};

int Info(const InfoOptions& options);
int List(const ListOptions& options);
int Schema(const SchemaOptions& options);
int Create(const CreateOptions& options);
int Add(const AddOptions& options);
int Update(const UpdateOptions& options);
int Delete(const DeleteOptions& options);
int Block(const BlockOptions& options);
int Get(const GetOptions& options);
int Bitmap(const BitmapOptions& options);
int ImportBitmap(const ImportBitmapOptions& options);
int Export(const ExportOptions& options);
int Import(const ImportOptions& options);

// ---- shared by the verbs ----

// The text of a failed library call as an automation caller reads it: the
// thread's error description and the HRESULT in hexadecimal.
std::string DescribeFailure(kd::HRESULT result);
// The thread's error description, in the library's code page: the bytes of
// the paths and names that the library put into it come back unchanged.
std::string ErrorDescription();
// Raises ToolError(DescribeFailure(result)) when `result` is a failure.
void Check(kd::HRESULT result);
// Runs `body` (library calls that raise the library's errors) inside the
// library's error boundary: its HRESULT, the description set on failure.
template <typename Body>
kd::HRESULT Guard(Body&& body) {
  return kd::ErrorBoundary(std::forward<Body>(body));
}

// A file path or table description for the library, which takes narrow text
// in its code page back byte for byte.
std::u16string LibraryText(const std::string& path);

// Loads a table description (a .kdx path or a digest) into `schema`; raises
// ToolError with the library's error.
void LoadDescription(kd::CDbSchema& schema, const std::string& description);

// Which system field the declared field is.
SystemRole RoleOf(const kd::CDbSchema& schema, const kd::CDbField* field);

// Decodes `record` into the schema's field values. Returns S_OK, or the
// failure (its description set).
kd::HRESULT DecodeRecord(kd::CDbSchema& schema, const kd::CPdbRecord& record);

// Opens `file`, decodes the record with `uniqueID` into `schema` and returns
// the field named `fieldUtf8` (owned by `schema`), its value in `*value`.
// Raises ToolError with the library's error.
const kd::CDbField& ReadRecordField(kd::CDbSchema& schema, const std::string& file,
                                    std::uint32_t uniqueID, const std::string& fieldUtf8,
                                    kd::CVariant* value);

// Prints rows as columns separated by two spaces, each as wide as its widest
// cell (in characters); the first row is the heading.
void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows);

// Prints a message on standard error with the tool's name in front.
void Complain(const std::string& message);

}  // namespace kdpdb

#endif  // KDDAO_TOOLS_KDPDB_TOOL_H_
