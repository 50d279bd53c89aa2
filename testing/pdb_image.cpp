#include "testing/pdb_image.h"

#include <algorithm>

#include "foundation/byte_order.h"
#include "testing/temp_dir.h"

namespace kd::testing {

void Set16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
  StoreBigEndian16(bytes.data() + offset, value);
}

void Set32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  StoreBigEndian32(bytes.data() + offset, value);
}

std::uint16_t Get16(const Bytes& bytes, std::size_t offset) {
  return LoadBigEndian16(bytes.data() + offset);
}

std::uint32_t Get32(const Bytes& bytes, std::size_t offset) {
  return LoadBigEndian32(bytes.data() + offset);
}

std::uint32_t FileModificationNumber(const std::string& path) {
  return Get32(ReadFileBytes(path), kModificationNumberOffset);
}

std::uint32_t PdbImage::DataOffset(std::size_t i) const {
  std::uint32_t offset =
      static_cast<std::uint32_t>(78 + 8 * records.size() + 2 + appInfo.size() + sortInfo.size());
  for (std::size_t j = 0; j < i; ++j)
    offset += static_cast<std::uint32_t>(records[j].data.size());
  return offset;
}

Bytes PdbImage::Build() const {
  std::size_t size = DataOffset(records.size());
  Bytes bytes(size, 0);
  std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 31), bytes.begin());
  Set16(bytes, 32, attributes);
  Set16(bytes, 34, version);
  Set32(bytes, 36, creationDate);
  Set32(bytes, 40, modificationDate);
  Set32(bytes, 44, lastBackupDate);
  Set32(bytes, 48, modificationNumber);
  const std::uint32_t appInfoAt = static_cast<std::uint32_t>(78 + 8 * records.size() + 2);
  Set32(bytes, 52, appInfo.empty() ? 0 : appInfoAt);
  Set32(bytes, 56, sortInfo.empty() ? 0 : appInfoAt + static_cast<std::uint32_t>(appInfo.size()));
  std::copy_n(type.begin(), std::min<std::size_t>(type.size(), 4), bytes.begin() + 60);
  std::copy_n(creator.begin(), std::min<std::size_t>(creator.size(), 4), bytes.begin() + 64);
  Set32(bytes, 68, uniqueIDSeed);
  Set16(bytes, 76, static_cast<std::uint16_t>(records.size()));
  std::copy(appInfo.begin(), appInfo.end(), bytes.begin() + appInfoAt);
  std::copy(sortInfo.begin(), sortInfo.end(), bytes.begin() + appInfoAt + appInfo.size());
  std::uint32_t dataOffset = DataOffset(0);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const RecordSpec& record = records[i];
    const std::size_t entry = EntryOffset(i);
    Set32(bytes, entry, dataOffset);
    bytes[entry + 4] = record.attributes;
    StoreBigEndian24(bytes.data() + entry + 5, record.uniqueID);
    std::copy(record.data.begin(), record.data.end(), bytes.begin() + dataOffset);
    dataOffset += static_cast<std::uint32_t>(record.data.size());
  }
  return bytes;
}

}  // namespace kd::testing
