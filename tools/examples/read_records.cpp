// Walks a database with a table description (a .kdx file or a digest) and
// prints the named fields of each record.
//   read_records FILE.pdb DESCRIPTION FIELD...
#include <iostream>

#include "foundation/codepage.h"
#include "foundation/errors.h"
#include "foundation/messages.h"
#include "recordset/recordset.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: read_records FILE.pdb DESCRIPTION FIELD...\n";
    return 1;
  }
  kd::FoundationStart(nullptr, kd::kDefaultSlotSize);

  kd::CRecordset records;
  kd::HRESULT result = records.OpenTable(kd::ToWide(argv[1]), kd::ToWide(argv[2]));
  std::int16_t atEnd = 0;
  while (kd::Succeeded(result) && kd::Succeeded(result = records.get_EOF(&atEnd)) && !atEnd) {
    for (int i = 3; i < argc && kd::Succeeded(result); ++i) {
      kd::CVariant value;
      result = records.get_Field(kd::ToWide(argv[i]), &value);
      if (kd::Succeeded(result)) std::cout << argv[i] << ": " << kd::DescribeVariant(value) << "\n";
    }
    if (kd::Succeeded(result)) result = records.MoveNext();
    std::cout << "\n";
  }
  if (kd::Failed(result)) std::cerr << kd::ToAnsi(kd::GetErrorDescription()) << "\n";

  kd::FoundationStop();
  return kd::Failed(result) ? 1 : 0;
}
