// A small fixture language for database files: build a valid image in memory,
// then change bytes, and check what the code makes of it. The layout is
// written here from the file format, independently of the engine:
//
//   OFFSET  SIZE  FIELD
//        0    32  name (NUL-padded)       52     4  appInfoID
//       32     2  attributes              56     4  sortInfoID
//       34     2  version                 60     4  type
//       36     4  creationDate            64     4  creator
//       40     4  modificationDate        68     4  uniqueIDSeed
//       44     4  lastBackupDate          72     4  nextRecordListID
//       48     4  modificationNumber      76     2  numRecords
//       78    8n  entries: data offset (4), attributes (1), unique ID (3)
//   78+8n      2  gap, then AppInfo, SortInfo and the data of each record
//
// All integers are big-endian.
#ifndef KDDAO_TESTING_PDB_IMAGE_H_
#define KDDAO_TESTING_PDB_IMAGE_H_

#include <cstddef>
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

// The bytes of a database file: header, record list, gap, AppInfo, SortInfo,
// record data. Every field can be overridden afterwards with the Set helpers.
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

constexpr std::size_t kModificationNumberOffset = 48;

void Set16(Bytes& bytes, std::size_t offset, std::uint16_t value);
void Set32(Bytes& bytes, std::size_t offset, std::uint32_t value);
std::uint16_t Get16(const Bytes& bytes, std::size_t offset);
std::uint32_t Get32(const Bytes& bytes, std::size_t offset);
// Offset of the data offset of entry i; its attributes are at +4, its unique
// ID at +5.
inline std::size_t EntryOffset(std::size_t i) {
  return 78 + 8 * i;
}

// The modification number in the database file at `path`: every save counts.
std::uint32_t FileModificationNumber(const std::string& path);

}  // namespace kd::testing

#endif  // KDDAO_TESTING_PDB_IMAGE_H_
