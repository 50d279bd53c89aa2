// A small fixture language for database files: build a valid image in memory,
// then change bytes, and check what the engine makes of it.
#ifndef KDDAO_ENGINE_TESTS_PDB_BUILDER_H_
#define KDDAO_ENGINE_TESTS_PDB_BUILDER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace kd::testing {

using Bytes = std::vector<std::uint8_t>;

struct RecordSpec {
  std::uint32_t uniqueID;
  std::uint8_t attributes;  // delete 0x80, dirty 0x40, busy 0x20, secret 0x10, category
  Bytes data;               // empty for a record without data
};

// Builds the bytes of a database file the way the format lays it out: header,
// record list, gap, AppInfo, SortInfo, record data. Every field can be
// overridden afterwards with the Set helpers.
class PdbImage {
 public:
  std::string name = "Test";
  std::uint16_t attributes = 0;
  std::uint16_t version = 1;
  std::uint32_t creationDate = 0xC0000001;
  std::uint32_t modificationDate = 0xC0000002;
  std::uint32_t lastBackupDate = 0xC0000003;
  std::uint32_t modificationNumber = 7;
  std::string type = "DATA";
  std::string creator = "KdTs";
  std::uint32_t uniqueIDSeed = 0;
  Bytes appInfo;
  Bytes sortInfo;
  std::vector<RecordSpec> records;

  Bytes Build() const;
  // Offset of record i's data in Build().
  std::uint32_t DataOffset(std::size_t i) const;
};

void Set16(Bytes& bytes, std::size_t offset, std::uint16_t value);
void Set32(Bytes& bytes, std::size_t offset, std::uint32_t value);
std::uint16_t Get16(const Bytes& bytes, std::size_t offset);
std::uint32_t Get32(const Bytes& bytes, std::size_t offset);
// Offset of the localChunkID of entry i.
inline std::size_t EntryOffset(std::size_t i) {
  return 78 + 8 * i;
}

}  // namespace kd::testing

#endif  // KDDAO_ENGINE_TESTS_PDB_BUILDER_H_
