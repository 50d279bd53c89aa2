// A table digest: LoadSchema with the digest's text.
#include "fuzz/fuzz_support.h"
#include "recordset/db_schema.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kd::fuzz;
  const std::string digest(reinterpret_cast<const char*>(data), size);
  if (kd::IsDescriptionPath(digest)) return 0;  // a path: the description target's input
  kd::CDbSchema schema;
  if (!Accepted([&] { kd::LoadSchema(schema, digest); })) {
    Check(schema.GetCount() == 0, "a refused digest left fields");
    return 0;
  }
  CheckLoadedSchema(schema);
  return 0;
}
