#include "engine/tests/pdb_builder.h"

#include <cstring>

namespace kd::testing {

void Set16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<std::uint8_t>(value >> 8);
  bytes[offset + 1] = static_cast<std::uint8_t>(value);
}

void Set32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

std::uint16_t Get16(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

std::uint32_t Get32(const Bytes& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i)
    value = (value << 8) | bytes[offset + i];
  return value;
}

std::uint32_t PdbImage::DataOffset(std::size_t i) const {
  std::uint32_t offset =
      static_cast<std::uint32_t>(78 + 8 * records.size() + 2 + appInfo.size() + sortInfo.size());
  for (std::size_t j = 0; j < i; ++j)
    offset += static_cast<std::uint32_t>(records[j].data.size());
  return offset;
}

Bytes PdbImage::Build() const {
  Bytes bytes(78, 0);
  std::memcpy(bytes.data(), name.data(), name.size() < 31 ? name.size() : 31);
  Set16(bytes, 32, attributes);
  Set16(bytes, 34, version);
  Set32(bytes, 36, creationDate);
  Set32(bytes, 40, modificationDate);
  Set32(bytes, 44, lastBackupDate);
  Set32(bytes, 48, modificationNumber);
  std::uint32_t running = static_cast<std::uint32_t>(78 + 8 * records.size() + 2);
  Set32(bytes, 52, appInfo.empty() ? 0 : running);
  running += static_cast<std::uint32_t>(appInfo.size());
  Set32(bytes, 56, sortInfo.empty() ? 0 : running);
  std::memcpy(bytes.data() + 60, type.data(), 4);
  std::memcpy(bytes.data() + 64, creator.data(), 4);
  Set32(bytes, 68, uniqueIDSeed);
  Set32(bytes, 72, 0);
  Set16(bytes, 76, static_cast<std::uint16_t>(records.size()));
  std::uint32_t dataOffset = DataOffset(0);
  for (std::size_t i = 0; i < records.size(); ++i) {
    std::size_t at = bytes.size();
    bytes.resize(at + 8);
    Set32(bytes, at, dataOffset);
    dataOffset += static_cast<std::uint32_t>(records[i].data.size());
    bytes[at + 4] = records[i].attributes;
    bytes[at + 5] = static_cast<std::uint8_t>(records[i].uniqueID >> 16);
    bytes[at + 6] = static_cast<std::uint8_t>(records[i].uniqueID >> 8);
    bytes[at + 7] = static_cast<std::uint8_t>(records[i].uniqueID);
  }
  bytes.push_back(0);
  bytes.push_back(0);
  bytes.insert(bytes.end(), appInfo.begin(), appInfo.end());
  bytes.insert(bytes.end(), sortInfo.begin(), sortInfo.end());
  for (const RecordSpec& record : records) {
    bytes.insert(bytes.end(), record.data.begin(), record.data.end());
  }
  return bytes;
}

}  // namespace kd::testing
