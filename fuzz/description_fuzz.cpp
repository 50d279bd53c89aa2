// A table description file: LoadSchema with its path.
#include "fuzz/fuzz_support.h"
#include "recordset/db_schema.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kd::fuzz;
  const std::string path = WriteScratchFile("input.kdx", data, size);
  kd::CDbSchema schema;
  if (!Accepted([&] { kd::LoadSchema(schema, path); })) {
    Check(schema.GetCount() == 0, "a refused description left fields");
    return 0;
  }
  CheckLoadedSchema(schema);
  return 0;
}
