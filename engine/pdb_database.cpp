#include "engine/pdb_database.h"

#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/palm_time.h"
#include "foundation/buffered_io.h"
#include "foundation/byte_order.h"
#include "foundation/errors.h"
#include "foundation/file.h"
#include "foundation/file_system.h"
#include "foundation/memory.h"

namespace kd {

namespace {

bool IsDeleteMode(std::int32_t mode) {
  return mode == kdRecordDelete || mode == kdRecordArchive || mode == kdRecordRemove;
}

}  // namespace

CPdbDatabase::CPdbDatabase(const char* path) {
  std::size_t length = std::strlen(path);
  if (length > kMaxPathLength) throw CErr(kMsgCannotAccessFile, path);
  std::memcpy(path_, path, length + 1);
  std::memset(header_, 0, sizeof header_);
  appInfo_.SetBigEndian(true);
  sortInfo_.SetBigEndian(true);
  appInfo_.Reset();
  sortInfo_.Reset();
  editRecord_.Reset();
}

CPdbDatabase::~CPdbDatabase() {
  DropRecords();
}

void CPdbDatabase::DropRecords() {
  index_.Clear();
  indexed_ = false;
  for (CArray<CPdbRecord*>* list : {&liveRecords_, &deletedRecords_}) {
    for (std::int32_t i = 0; i < list->GetCount(); ++i) {
      if (!loaded_.Holds((*list)[i])) delete (*list)[i];  // the arena's go with it
    }
    list->RemoveAll();
  }
  loaded_.Clear();
  loadedCount_ = 0;
  loadedSize_ = 0;
}

CPdbRecord* CPdbDatabase::Use(CPdbRecord* record) const {
  if (loaded_.IsEmpty(record)) BuildLoaded(record);
  return record;
}

CPdbDatabase::StoredForm CPdbDatabase::LoadedForm(std::uint32_t entry) const {
  const std::uint8_t* image = loaded_.Image();
  const std::uint8_t* entries = image + pdb::kRecordListOffset;
  auto chunkId = [&](std::uint32_t i) {
    return LoadBigEndian32(entries + i * pdb::kRecordEntrySize + pdb::kEntryLocalChunkIdOffset);
  };
  const std::uint32_t offset = chunkId(entry);
  std::uint32_t size = 0;
  if (offset != 0) {
    // The data end at the next non-zero offset, or at the end of the file.
    // (Only the entries without data between two with data are passed over,
    // each by the one entry before them: reading every entry stays linear.)
    std::uint32_t next = entry + 1;
    while (next < loadedCount_ && chunkId(next) == 0)
      ++next;
    size = (next < loadedCount_ ? chunkId(next) : loadedSize_) - offset;
  }
  const std::uint8_t* bytes = entries + entry * pdb::kRecordEntrySize;
  return {bytes[pdb::kEntryAttributesOffset], LoadBigEndian24(bytes + pdb::kEntryUniqueIDOffset),
          image + offset, size};
}

void CPdbDatabase::BuildLoaded(CPdbRecord* slot) const {
  const std::uint32_t entry = loaded_.EntryOf(slot);
  const StoredForm form = LoadedForm(entry);
  const bool deleteBit = (form.attributes & pdb::kAttrDelete) != 0;
  CPdbRecord* record = loaded_.Build(entry);
  record->archived = deleteBit && form.size > 0;
  record->deleted = deleteBit && form.size == 0;
  record->category = form.attributes & pdb::kAttrCategoryMask;
  record->dirty = (form.attributes & pdb::kAttrDirty) != 0;
  record->secret = (form.attributes & pdb::kAttrSecret) != 0;
  record->uniqueID = form.uniqueID;
  if (!record->deleted) record->Borrow(form.data, form.size);
}

CPdbDatabase::StoredForm CPdbDatabase::FormToSave(std::int32_t position) const {
  const std::int32_t liveCount = liveRecords_.GetCount();
  const CPdbRecord* record =
      position < liveCount ? liveRecords_[position] : deletedRecords_[position - liveCount];
  if (loaded_.IsEmpty(record)) {
    // The bits a built record keeps: the delete bit stands for both deleted
    // (no data) and archived (data kept), as in the file.
    StoredForm form = LoadedForm(loaded_.EntryOf(record));
    form.attributes &=
        pdb::kAttrDelete | pdb::kAttrDirty | pdb::kAttrSecret | pdb::kAttrCategoryMask;
    return form;
  }
  std::uint8_t attributes = record->category & pdb::kAttrCategoryMask;
  if (record->archived || record->deleted) attributes |= pdb::kAttrDelete;
  if (record->dirty) attributes |= pdb::kAttrDirty;
  if (record->secret) attributes |= pdb::kAttrSecret;
  return {attributes, record->uniqueID & pdb::kMaxUniqueID, record->GetBuffer(),
          record->deleted ? 0 : record->Size()};
}

CPdbRecord* CPdbDatabase::GetLiveRecord(std::int32_t index) const {
  CPdbRecord* record = Use(liveRecords_.GetAt(index));
  record->index = index;
  return record;
}

CPdbRecord* CPdbDatabase::GetDeletedRecord(std::int32_t index) const {
  return Use(deletedRecords_.GetAt(index));
}

void CPdbDatabase::EnsureIndexed() {
  if (indexed_) return;
  const std::int32_t live = liveRecords_.GetCount();
  const std::int32_t deleted = deletedRecords_.GetCount();
  index_.Reset(static_cast<std::uint32_t>(live + deleted));
  for (std::int32_t i = 0; i < live; ++i)
    index_.Insert(GetLiveRecord(i));
  for (std::int32_t i = 0; i < deleted; ++i)
    index_.Insert(GetDeletedRecord(i));
  indexed_ = true;
}

// ---- header image ---------------------------------------------------------

std::uint16_t CPdbDatabase::Header16(std::uint32_t offset) const {
  return LoadBigEndian16(header_ + offset);
}
std::uint32_t CPdbDatabase::Header32(std::uint32_t offset) const {
  return LoadBigEndian32(header_ + offset);
}
void CPdbDatabase::SetHeader16(std::uint32_t offset, std::uint16_t value) {
  StoreBigEndian16(header_ + offset, value);
}
void CPdbDatabase::SetHeader32(std::uint32_t offset, std::uint32_t value) {
  StoreBigEndian32(header_ + offset, value);
}

std::string CPdbDatabase::GetName() const {
  const char* name = reinterpret_cast<const char*>(header_ + pdb::kNameOffset);
  return std::string(name, strnlen(name, pdb::kNameSize));
}
std::uint16_t CPdbDatabase::GetAttributes() const {
  return Header16(pdb::kAttributesOffset);
}
std::uint16_t CPdbDatabase::GetVersion() const {
  return Header16(pdb::kVersionOffset);
}
std::uint32_t CPdbDatabase::GetCreationDate() const {
  return Header32(pdb::kCreationDateOffset);
}
std::uint32_t CPdbDatabase::GetModificationDate() const {
  return Header32(pdb::kModificationDateOffset);
}
std::uint32_t CPdbDatabase::GetLastBackupDate() const {
  return Header32(pdb::kLastBackupDateOffset);
}
std::uint32_t CPdbDatabase::GetModificationNumber() const {
  return Header32(pdb::kModificationNumberOffset);
}
std::string CPdbDatabase::GetType() const {
  return std::string(reinterpret_cast<const char*>(header_ + pdb::kTypeOffset), pdb::kTypeLength);
}
std::string CPdbDatabase::GetCreator() const {
  return std::string(reinterpret_cast<const char*>(header_ + pdb::kCreatorOffset),
                     pdb::kTypeLength);
}
std::uint32_t CPdbDatabase::GetUniqueIDSeed() const {
  return Header32(pdb::kUniqueIDSeedOffset);
}

// ---- loading ----------------------------------------------------------------

void CPdbDatabase::RaiseFileError(MessageId message, const char* format, ...) const {
  std::va_list args;
  va_start(args, format);
  if (message == kMsgChainedRecordLists) {
    CErrX error(kMsgChainedRecordLists);
    error.SetReasonV(format, args);
    va_end(args);
    throw error;
  }
  CErr error(kMsgCannotAccessFile, path_);
  error.SetReasonV(format, args);
  va_end(args);
  throw error;
}

void CPdbDatabase::Load() {
  DropRecords();  // a second load starts afresh
  saveDeferred_ = false;
  try {
    LoadFromFile();
  } catch (CErr error) {  // by value: a coded error goes on as a text error
    DropRecords();
    throw error;
  }
}

void CPdbDatabase::LoadFromFile() {
  // The whole file in one read; records borrow their bytes from this image
  // and copy them only when they change.
  CFile file;
  file.OpenForReading(path_);
  const std::uint32_t fileSize = file.GetSize();
  if (fileSize > 0x7FFFFFFFu) {
    RaiseFileError(kMsgCannotAccessFile, "the file has %u bytes, more than a database can hold",
                   fileSize);
  }
  if (fileSize < pdb::kHeaderImageSize) {
    RaiseFileError(kMsgCannotAccessFile, "the file has %u bytes, fewer than the %u of a header",
                   fileSize, pdb::kHeaderImageSize);
  }
  std::uint8_t* const image = loaded_.NewImage(fileSize);
  file.Read(image, fileSize);
  file.Close();

  std::memcpy(header_, image, pdb::kHeaderImageSize);
  const std::uint32_t count = Header16(pdb::kNumRecordsOffset);
  std::uint32_t appInfoId = Header32(pdb::kAppInfoIdOffset);
  std::uint32_t sortInfoId = Header32(pdb::kSortInfoIdOffset);
  if (appInfoId >= fileSize) appInfoId = 0;
  if (sortInfoId >= fileSize) sortInfoId = 0;
  if (Header32(pdb::kNextRecordListIdOffset) != 0) {
    RaiseFileError(kMsgChainedRecordLists, "the record list goes on in another list (at 0x%08X)",
                   Header32(pdb::kNextRecordListIdOffset));
  }

  const std::uint32_t listEnd = pdb::kRecordListOffset + count * pdb::kRecordEntrySize;
  if (listEnd > fileSize) {
    RaiseFileError(kMsgCannotAccessFile,
                   "the record list of %u entries ends at 0x%08X, past the end of the file "
                   "(size 0x%08X)",
                   count, listEnd, fileSize);
  }
  const std::uint8_t* entries = image + pdb::kRecordListOffset;
  auto chunkId = [&](std::uint32_t i) {
    return LoadBigEndian32(entries + i * pdb::kRecordEntrySize + pdb::kEntryLocalChunkIdOffset);
  };

  // Offsets must describe regions that follow the record list in order. An
  // entry whose offset is 0 has no data. Anything else is refused rather than
  // read from the wrong place.
  std::uint32_t firstData = fileSize;
  std::uint32_t previous = 0;
  std::uint32_t deletedCount = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    deletedCount +=
        (entries[i * pdb::kRecordEntrySize + pdb::kEntryAttributesOffset] & pdb::kAttrDelete) != 0;
    std::uint32_t offset = chunkId(i);
    if (offset == 0) continue;
    if (offset < listEnd) {
      RaiseFileError(kMsgCannotAccessFile,
                     "record %u: offset 0x%08X lies inside the header or the record list "
                     "(which end at 0x%08X)",
                     i, offset, listEnd);
    }
    if (offset > fileSize) {
      RaiseFileError(kMsgCannotAccessFile,
                     "record %u: offset 0x%08X lies past the end of the file (size 0x%08X)", i,
                     offset, fileSize);
    }
    if (offset < previous) {
      RaiseFileError(kMsgCannotAccessFile,
                     "record %u: offset 0x%08X comes before the previous record's (0x%08X)", i,
                     offset, previous);
    }
    if (previous == 0) firstData = offset;
    previous = offset;
  }
  struct Region {
    const char* name;
    std::uint32_t start;
    std::uint32_t end;
    CMemFile* stream;
  } blocks[] = {{"AppInfo", appInfoId, sortInfoId != 0 ? sortInfoId : firstData, &appInfo_},
                {"SortInfo", sortInfoId, firstData, &sortInfo_}};
  for (const Region& block : blocks) {
    block.stream->Reset();
    if (block.start == 0) continue;
    if (block.start < listEnd) {
      RaiseFileError(kMsgCannotAccessFile,
                     "the %s block at 0x%08X lies inside the header or the record list "
                     "(which end at 0x%08X)",
                     block.name, block.start, listEnd);
    }
    if (block.end < block.start) {
      RaiseFileError(kMsgCannotAccessFile,
                     "the %s block at 0x%08X begins after what follows it (at 0x%08X)", block.name,
                     block.start, block.end);
    }
    block.stream->Assign(image + block.start, block.end - block.start);
  }

  // The records themselves are built when they are first used.
  liveRecords_.Reserve(static_cast<std::int32_t>(count - deletedCount));
  deletedRecords_.Reserve(static_cast<std::int32_t>(deletedCount));
  loaded_.Reserve(count);
  loadedCount_ = count;
  loadedSize_ = fileSize;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t attributes =
        entries[i * pdb::kRecordEntrySize + pdb::kEntryAttributesOffset];
    if ((attributes & pdb::kAttrDelete) != 0) {
      deletedRecords_.Add(loaded_.Slot(i));
    } else {
      liveRecords_.Add(loaded_.Slot(i));
    }
  }
  editing_ = false;
  adding_ = false;
}

// ---- saving -------------------------------------------------------------------

void CPdbDatabase::Save() {
  try {
    SaveToFile();
  } catch (CErr error) {  // by value: every failure goes on as a text error
    throw error;
  }
}

void CPdbDatabase::SaveOrDefer() {
  if (openBatches_ > 0) {
    saveDeferred_ = true;
  } else {
    Save();
  }
}

void CPdbDatabase::SaveToFile() {
  const std::string target = ResolveSaveTarget(path_);
  if (!MayReplace(target)) RaiseFileError(kMsgCannotAccessFile, "the file is read-only");

  const std::int32_t liveCount = liveRecords_.GetCount();
  const std::int32_t count = liveCount + deletedRecords_.GetCount();
  SetHeader32(pdb::kModificationNumberOffset, GetModificationNumber() + 1);
  SetHeader32(pdb::kModificationDateOffset, PalmTimeNow());
  SetHeader32(pdb::kNextRecordListIdOffset, 0);
  SetHeader16(pdb::kNumRecordsOffset, static_cast<std::uint16_t>(count));

  // Every offset is computed before anything is written.
  std::uint64_t running = pdb::kRecordListOffset +
                          static_cast<std::uint64_t>(count) * pdb::kRecordEntrySize + pdb::kGapSize;
  SetHeader32(pdb::kAppInfoIdOffset, appInfo_.Size() ? static_cast<std::uint32_t>(running) : 0);
  running += appInfo_.Size();
  SetHeader32(pdb::kSortInfoIdOffset, sortInfo_.Size() ? static_cast<std::uint32_t>(running) : 0);
  running += sortInfo_.Size();
  std::vector<std::uint8_t> entries(static_cast<std::size_t>(count) * pdb::kRecordEntrySize);
  for (std::int32_t i = 0; i < count; ++i) {
    const StoredForm form = FormToSave(i);
    std::uint8_t* entry = &entries[static_cast<std::size_t>(i) * pdb::kRecordEntrySize];
    StoreBigEndian32(entry + pdb::kEntryLocalChunkIdOffset, static_cast<std::uint32_t>(running));
    entry[pdb::kEntryAttributesOffset] = form.attributes;
    StoreBigEndian24(entry + pdb::kEntryUniqueIDOffset, form.uniqueID);
    running += form.size;
  }
  if (running > 0xFFFFFFFFu) {
    RaiseFileError(kMsgCannotAccessFile,
                   "the database would take %llu bytes, more than offsets of 32 bits reach",
                   static_cast<unsigned long long>(running));
  }

  // The image goes to a new file beside the target, which then replaces the
  // target in one step: a failure at any point leaves the old file as it was.
  CFile temporary;
  CBufferedWriter writer(temporary);
  const std::string temporaryPath = TemporaryPathBeside(target);
  try {
    temporary.Open(temporaryPath.c_str(), file::kWrite, file::kShareRead | file::kShareWrite,
                   file::kCreateNew, file::kSequentialScan);
    WriteImage(writer, entries.data());
    writer.Flush();
    temporary.Flush();
    temporary.Close();
  } catch (const CErr&) {
    temporary.Close();
    RemoveFileQuietly(temporaryPath);
    // Names the database, not the temporary file.
    RaiseFileError(kMsgCannotAccessFile, "cannot write %s", temporaryPath.c_str());
  }
  if (!CopyPermissionBits(target, temporaryPath)) {
    RemoveFileQuietly(temporaryPath);
    RaiseFileError(kMsgCannotAccessFile, "cannot give %s the file's permissions",
                   temporaryPath.c_str());
  }
  if (!ReplaceFileAtomically(temporaryPath, target)) {
    RemoveFileQuietly(temporaryPath);
    RaiseFileError(kMsgCannotAccessFile, "cannot replace the file with %s", temporaryPath.c_str());
  }
}

void CPdbDatabase::WriteImage(CBufferedWriter& writer, const std::uint8_t* entries) {
  const std::int32_t liveCount = liveRecords_.GetCount();
  const std::int32_t count = liveCount + deletedRecords_.GetCount();
  if (count == 0) {
    writer.Write(header_, pdb::kHeaderImageSize);
  } else {
    writer.Write(header_, pdb::kRecordListOffset);
    writer.Write(entries, static_cast<std::uint32_t>(count) * pdb::kRecordEntrySize);
    writer.WriteZeros(pdb::kGapSize);
  }
  writer.Write(appInfo_.GetBuffer(), appInfo_.Size());
  writer.Write(sortInfo_.GetBuffer(), sortInfo_.Size());
  for (std::int32_t i = 0; i < count; ++i) {
    const StoredForm form = FormToSave(i);
    writer.Write(form.data, form.size);
  }
}

// ---- new database ---------------------------------------------------------------

void CPdbDatabase::CreateTable(const char* name, const char* type, const char* creator) {
  std::memset(header_, 0, sizeof header_);
  SetHeader16(pdb::kAttributesOffset, 0);
  SetHeader16(pdb::kVersionOffset, 1);
  std::size_t nameLength = std::strlen(name);
  if (nameLength > pdb::kMaxNameLength) throw CErrX(kMsgDatabaseNameTooLong);
  std::memcpy(header_ + pdb::kNameOffset, name, nameLength + 1);
  std::uint32_t now = PalmTimeNow();
  SetHeader32(pdb::kCreationDateOffset, now);
  SetHeader32(pdb::kModificationDateOffset, now);
  SetHeader32(pdb::kLastBackupDateOffset, now);
  if (std::strlen(type) != pdb::kTypeLength) throw CErrX(kMsgTypeNotFourChars);
  if (std::strlen(creator) != pdb::kTypeLength) throw CErrX(kMsgCreatorNotFourChars);
  std::memcpy(header_ + pdb::kTypeOffset, type, pdb::kTypeLength);
  std::memcpy(header_ + pdb::kCreatorOffset, creator, pdb::kTypeLength);
  editing_ = false;
  adding_ = false;
}

// ---- cursor and editing -------------------------------------------------------------

CPdbRecord* CPdbDatabase::GetCurrentRecord() const {
  if (current_ < 0 || current_ >= liveRecords_.GetCount()) return nullptr;
  return GetLiveRecord(current_);
}

void CPdbDatabase::MoveTo(std::int32_t position, bool strict) {
  std::int32_t count = liveRecords_.GetCount();
  bool allowed = strict ? position >= 0 && position < count : position >= -1 && position <= count;
  if (!allowed) throw CErrX(kMsgInvalidCursorOperation);
  current_ = position;
  editing_ = false;
  adding_ = false;
}

void CPdbDatabase::Edit() {
  if (GetCurrentRecord() == nullptr) throw CErrX(kMsgNoCurrentRecord);
  editing_ = true;
  adding_ = false;
}

void CPdbDatabase::AddNew() {
  adding_ = true;
  editing_ = false;
}

bool CPdbDatabase::CancelUpdate() {
  bool pending = editing_ || adding_;
  editing_ = false;
  adding_ = false;
  return pending;
}

std::uint32_t CPdbDatabase::AllocateUniqueID() {
  EnsureIndexed();
  std::uint32_t seed = GetUniqueIDSeed();
  do {
    seed = seed >= pdb::kMaxUniqueID ? 1 : seed + 1;
  } while (index_.Find(seed) != nullptr);
  SetHeader32(pdb::kUniqueIDSeedOffset, seed);
  return seed;
}

void CPdbDatabase::Update(CRecordEncoder* encoder) {
  if (!editing_ && !adding_) return;
  CPdbRecord* currentRecord = GetCurrentRecord();
  if (editing_ && currentRecord == nullptr) throw CErrX(kMsgNoCurrentRecord);
  if (encoder != nullptr) encoder->EncodeRecord(editRecord_);
  if (editRecord_.Size() >= pdb::kRecordSizeLimit) throw CErrX(kMsgRecordTooLarge);
  if (adding_ && liveRecords_.GetCount() + deletedRecords_.GetCount() >= pdb::kMaxRecords) {
    throw CErrX(kMsgTooManyRecords);
  }
  editRecord_.uniqueID &= pdb::kMaxUniqueID;
  if (editRecord_.uniqueID == 0) editRecord_.uniqueID = AllocateUniqueID();
  const std::uint32_t id = editRecord_.uniqueID;

  // The stored record keeps its place in the index when its ID stays; an ID
  // that another record holds is refused. Room for one more record is made
  // first, so that nothing below can fail once the record has changed.
  const bool changesID = adding_ || id != currentRecord->uniqueID;
  if (changesID) {
    EnsureIndexed();
    if (index_.Find(id) != nullptr) throw CErrX(kMsgDuplicateUniqueID);
    index_.ReserveOneMore();
  }

  std::unique_ptr<CPdbRecord> added;
  CPdbRecord* target = currentRecord;
  if (adding_) {
    added.reset(new CPdbRecord());
    target = added.get();
  }
  target->Assign(editRecord_.GetBuffer(), editRecord_.Size());
  if (adding_) {
    liveRecords_.Add(target);  // the last step that can fail
    added.release();           // the live list holds it now
    current_ = liveRecords_.GetCount() - 1;
  } else if (changesID) {
    index_.Remove(target);
  }
  target->archived = false;
  target->deleted = false;
  target->category = editRecord_.category;
  target->secret = editRecord_.secret;
  target->uniqueID = id;
  target->index = current_;
  target->dirty = true;
  if (changesID) index_.Insert(target);
  SaveOrDefer();
}

void CPdbDatabase::Delete(std::int32_t mode) {
  CPdbRecord* record = GetCurrentRecord();
  if (record == nullptr) throw CErrX(kMsgNoCurrentRecord);
  if (!IsDeleteMode(mode)) throw CErrX(kMsgInvalidArgument);
  if (mode != kdRecordRemove) deletedRecords_.Add(record);
  if (mode == kdRecordDelete) record->deleted = true;
  if (mode == kdRecordArchive) record->archived = true;
  liveRecords_.RemoveAt(current_);
  if (mode == kdRecordRemove) {
    if (indexed_) index_.Remove(record);
    if (!loaded_.Holds(record)) delete record;  // the arena's goes with it
  }
  RenumberLiveRecords();
  editing_ = false;
  adding_ = false;
  SaveOrDefer();
}

void CPdbDatabase::LookupUniqueID(std::uint32_t uniqueID) {
  EnsureIndexed();
  const CPdbRecord* record = index_.Find(uniqueID);
  if (record == nullptr) throw CErrX(kMsgNoRecordForUniqueID);
  if (record->deleted || record->archived) throw CErrX(kMsgRecordDeletedOrArchived);
  MoveTo(record->index, true);
}

void CPdbDatabase::RenumberLiveRecords() {
  for (std::int32_t i = 0; i < liveRecords_.GetCount(); ++i) {
    if (!loaded_.IsEmpty(liveRecords_[i])) liveRecords_[i]->index = i;  // else set when built
  }
}

// ---- info blocks ------------------------------------------------------------------

CMemFile& CPdbDatabase::BlockOf(InfoBlock block) {
  return block == InfoBlock::kSortInfo ? sortInfo_ : appInfo_;
}

const CMemFile& CPdbDatabase::GetBlockStream(InfoBlock block) const {
  return block == InfoBlock::kSortInfo ? sortInfo_ : appInfo_;
}

CVariant CPdbDatabase::GetBlock(InfoBlock block) const {
  const CMemFile& stream = GetBlockStream(block);
  return CVariant::Array(CSafeArray::Bytes(stream.GetBuffer(), stream.Size()));
}

void CPdbDatabase::SetBlock(InfoBlock block, const CVariant& value) {
  CMemFile& stream = BlockOf(block);
  VarType type = value.GetType();
  if (type == VT_EMPTY || type == VT_NULL) {
    stream.Reset();
  } else if (value.IsByteArray()) {
    const CSafeArray& array = value.GetArray();
    if (array.GetDimensions() != 1 || array.GetElementCount() >= pdb::kRecordSizeLimit) {
      throw CErrX(kMsgNotByteArray);
    }
    stream.Assign(array.GetData().data(), static_cast<std::uint32_t>(array.GetElementCount()));
  } else {
    throw CErrX(kMsgInvalidFieldValue);
  }
  SaveOrDefer();
}

// ---- batches ----------------------------------------------------------------------

CPdbBatch::CPdbBatch(CPdbDatabase& database) : database_(database) {
  ++database_.openBatches_;
}

CPdbBatch::~CPdbBatch() {
  Close();
}

bool CPdbBatch::Close() {
  if (!open_) return false;
  open_ = false;
  return --database_.openBatches_ == 0;
}

void CPdbBatch::Commit() {
  if (!Close() || !database_.saveDeferred_) return;
  database_.Save();  // on failure the save stays owed, to the next commit
  database_.saveDeferred_ = false;
}

}  // namespace kd
