// A database file image: Load, walk every record with the cursor, read both
// blocks, Save, and load the saved file again, which must give the same
// header, blocks and records.
#include <string>

#include "engine/pdb_database.h"
#include "fuzz/fuzz_support.h"

namespace kd::fuzz {
namespace {

// What a load shows a caller: the header fields that a save keeps, both
// blocks, and every record's attributes and bytes, live ones in cursor order.
std::string Contents(CPdbDatabase& db) {
  std::string text =
      db.GetName() + db.GetType() + db.GetCreator() + '|' + std::to_string(db.GetAttributes()) +
      ',' + std::to_string(db.GetVersion()) + ',' + std::to_string(db.GetCreationDate()) + ',' +
      std::to_string(db.GetLastBackupDate()) + ',' + std::to_string(db.GetUniqueIDSeed()) + '|';
  for (InfoBlock block : {InfoBlock::kAppInfo, InfoBlock::kSortInfo}) {
    const CVariant bytes = db.GetBlock(block);
    const Bytes& data = bytes.GetArray().GetData();
    text.append(data.begin(), data.end()).append("|");
  }
  auto add = [&text](const CPdbRecord& r) {
    text += std::to_string(r.uniqueID) + ',' + std::to_string(r.category) + ',' +
            std::to_string(r.dirty) + std::to_string(r.secret) + std::to_string(r.archived) +
            std::to_string(r.deleted) + ',';
    if (r.Size() != 0) text.append(reinterpret_cast<const char*>(r.GetBuffer()), r.Size());
    text += '|';
  };
  for (std::int32_t i = 0; i < db.GetLiveCount(); ++i) {
    db.MoveTo(i, true);
    add(*db.GetCurrentRecord());
  }
  for (std::int32_t i = 0; i < db.GetDeletedCount(); ++i)
    add(*db.GetDeletedRecord(i));
  return text;
}

}  // namespace
}  // namespace kd::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kd::fuzz;
  const std::string path = WriteScratchFile("input.pdb", data, size);
  kd::CPdbDatabase first(path.c_str());
  if (!Accepted([&] { first.Load(); })) return 0;
  const std::string loaded = Contents(first);
  MustSucceed("saving a loaded database", [&] { first.Save(); });
  kd::CPdbDatabase second(path.c_str());
  MustSucceed("loading a saved database", [&] { second.Load(); });
  Check(Contents(second) == loaded, "the saved database loads with other contents");
  return 0;
}
