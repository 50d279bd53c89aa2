// Layout of a Palm OS record database file (".pdb"). All integers are
// big-endian.
//
// Header (the engine keeps the first 80 bytes as one image in file byte order):
//
//   OFFSET  SIZE  FIELD               MEANING
//        0    32  name                NUL-terminated, at most 31 characters
//       32     2  attributes          database flags, kept as loaded; 0 when new
//       34     2  version             application version, kept; 1 when new
//       36     4  creationDate        Palm time
//       40     4  modificationDate    Palm time, set by every save
//       44     4  lastBackupDate      Palm time, kept; the creation time when new
//       48     4  modificationNumber  incremented by every save (wraps)
//       52     4  appInfoID           file offset of the AppInfo block, 0 if none
//       56     4  sortInfoID          file offset of the SortInfo block, 0 if none
//       60     4  type                four characters in reading order
//       64     4  creator             four characters in reading order
//       68     4  uniqueIDSeed        the last unique ID handed out
//       72     4  nextRecordListID    0: chained record lists are not supported
//       76     2  numRecords          n, unsigned
//       78    8n  record list         one entry per record (below)
//   78+8n      2  gap                 two zero bytes, written when n > 0
//   80+8n      *  AppInfo, SortInfo, then the data of each record in list order
//
// Record list entry:
//
//   OFFSET  SIZE  FIELD         MEANING
//        0     4  localChunkID  file offset of the record's data
//        4     1  attributes    0x80 delete, 0x40 dirty, 0x20 busy (dropped),
//                               0x10 secret, 0x0F category
//        5     3  uniqueID      24 bits
#ifndef KDDAO_ENGINE_PDB_FORMAT_H_
#define KDDAO_ENGINE_PDB_FORMAT_H_

#include <cstdint>

namespace kd::pdb {

constexpr std::uint32_t kNameOffset = 0;
constexpr std::uint32_t kNameSize = 32;
constexpr std::uint32_t kAttributesOffset = 32;
constexpr std::uint32_t kVersionOffset = 34;
constexpr std::uint32_t kCreationDateOffset = 36;
constexpr std::uint32_t kModificationDateOffset = 40;
constexpr std::uint32_t kLastBackupDateOffset = 44;
constexpr std::uint32_t kModificationNumberOffset = 48;
constexpr std::uint32_t kAppInfoIdOffset = 52;
constexpr std::uint32_t kSortInfoIdOffset = 56;
constexpr std::uint32_t kTypeOffset = 60;
constexpr std::uint32_t kCreatorOffset = 64;
constexpr std::uint32_t kUniqueIDSeedOffset = 68;
constexpr std::uint32_t kNextRecordListIdOffset = 72;
constexpr std::uint32_t kNumRecordsOffset = 76;
constexpr std::uint32_t kRecordListOffset = 78;

// The header image: the 78 header bytes and the two bytes after them.
constexpr std::uint32_t kHeaderImageSize = 80;
constexpr std::uint32_t kRecordEntrySize = 8;
constexpr std::uint32_t kGapSize = 2;

// Record entry fields.
constexpr std::uint32_t kEntryLocalChunkIdOffset = 0;
constexpr std::uint32_t kEntryAttributesOffset = 4;
constexpr std::uint32_t kEntryUniqueIDOffset = 5;

// Record attribute bits.
constexpr std::uint8_t kAttrDelete = 0x80;
constexpr std::uint8_t kAttrDirty = 0x40;
constexpr std::uint8_t kAttrBusy = 0x20;
constexpr std::uint8_t kAttrSecret = 0x10;
constexpr std::uint8_t kAttrCategoryMask = 0x0F;

// Limits shared by the engine and the objects.
constexpr std::int32_t kMaxRecords = 65535;        // live plus deleted and archived
constexpr std::uint32_t kRecordSizeLimit = 65520;  // a record holds fewer bytes
constexpr std::uint32_t kMaxNameLength = 31;
constexpr std::uint32_t kTypeLength = 4;
constexpr std::uint32_t kMaxUniqueID = 0xFFFFFF;  // unique IDs have 24 bits in the file

}  // namespace kd::pdb

#endif  // KDDAO_ENGINE_PDB_FORMAT_H_
