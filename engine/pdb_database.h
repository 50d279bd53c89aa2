// CPdbDatabase: one Palm OS record database held wholly in memory, with its
// cursor, edit record and the operations that change it. Every change that is
// committed (Update, Delete, SetBlock, a new database) rewrites the whole file
// at once through Save; closing writes nothing.
//
// A CPdbBatch (below) defers those saves, so that many changes cost one write.
//
// Ownership: the database owns every record, each of which is in exactly one
// of the live and deleted lists: the records a load builds, and the file image
// they borrow from, through the load's arena (record_arena.h); records added
// since, from the heap. The unique-ID index only points at them.
#ifndef KDDAO_ENGINE_PDB_DATABASE_H_
#define KDDAO_ENGINE_PDB_DATABASE_H_

#include <cstdint>
#include <memory>
#include <string>

#include "engine/pdb_format.h"
#include "engine/pdb_record.h"
#include "engine/record_arena.h"
#include "engine/record_encoder.h"
#include "engine/record_index.h"
#include "foundation/containers.h"
#include "foundation/errors.h"
#include "foundation/messages.h"
#include "foundation/stream.h"
#include "foundation/variant.h"

namespace kd {

// How Delete treats the current record.
enum KD_DeleteMode : std::int32_t {
  kdRecordDelete = 0,   // marked deleted; only its list entry stays in the file
  kdRecordArchive = 1,  // marked deleted; its data stays in the file
  kdRecordRemove = 2,   // gone from the file
};

// The two info blocks.
enum class InfoBlock : std::int32_t { kAppInfo = 0, kSortInfo = 1 };

class CPdbDatabase {
 public:
  // An engine for the database file at `path` (narrow, ANSI code page); then
  // either Load or CreateTable. A path longer than 259 characters raises 60002.
  explicit CPdbDatabase(const char* path);
  ~CPdbDatabase();
  CPdbDatabase(const CPdbDatabase&) = delete;
  CPdbDatabase& operator=(const CPdbDatabase&) = delete;

  // Reads the whole file. Every failure reaches the caller as a text error:
  // 60002 naming the path when the file cannot be read or its offsets are
  // inconsistent, 10020 for a chained record list.
  void Load();

  // Writes the whole database to a temporary file beside the target, flushes
  // it and replaces the target with it in one step. On failure the old file
  // stays as it was and 60002 naming the path is raised (as a text error);
  // the in-memory state keeps its changes, the incremented modification number
  // included.
  void Save();

  // Makes a freshly constructed engine a new, empty database: name of at most
  // 31 bytes (10010), type (10012) and creator (10011) of exactly 4 bytes. The
  // owner then calls Save.
  void CreateTable(const char* name, const char* type, const char* creator);

  // Moves the cursor. Strict moves accept 0 to count - 1, others -1 to count;
  // anything else raises 10007 and leaves the cursor where it was. Clears both
  // edit marks.
  void MoveTo(std::int32_t position, bool strict);
  // Starts editing the current record (10005 without one). The edit record is
  // not reloaded.
  void Edit();
  // Starts a new record; the cursor does not move.
  void AddNew();
  // Commits the edit record (nothing happens unless an edit or an addition is
  // pending): `encoder` (may be null) rebuilds it first; then the limits
  // (10018, 10019), the unique ID (allocated when 0; 10017 when another record
  // has it), the store, and Save. Unique IDs are kept to their 24 file bits:
  // an ID above 0xFFFFFF is cut to its low 24 bits first, so two records can
  // never share an ID in the file.
  void Update(CRecordEncoder* encoder);
  // Deletes the current record (10005 without one) in `mode`, one of
  // KD_DeleteMode (other values raise 10025 and change nothing), and saves.
  void Delete(std::int32_t mode);
  // Makes the live record with `uniqueID` current: 10008 when no record has it,
  // 10009 when it is deleted or archived.
  void LookupUniqueID(std::uint32_t uniqueID);
  // A unique ID that no record holds, after the seed and within 1..0xFFFFFF
  // (wrapping to 1); the seed advances to it.
  std::uint32_t AllocateUniqueID();
  // Drops a pending edit or addition: clears both marks. Returns whether one
  // was pending.
  bool CancelUpdate();

  // A copy of a block as a one-dimensional byte array (lower bound 0).
  CVariant GetBlock(InfoBlock block) const;
  // Replaces a block: empty or null clears it; a by-value byte array of one
  // dimension and fewer than 65520 elements replaces it (10021 otherwise); any
  // other value raises 10014. Then saves.
  void SetBlock(InfoBlock block, const CVariant& value);

  // ---- read access ----
  const char* GetPath() const { return path_; }
  std::int32_t GetLiveCount() const { return liveRecords_.GetCount(); }
  std::int32_t GetCurrent() const { return current_; }
  bool IsBOF() const { return current_ < 0; }
  bool IsEOF() const { return current_ >= GetLiveCount(); }
  // The current record, or null at BOF and EOF.
  CPdbRecord* GetCurrentRecord() const;
  // A record of a load is built from the file image the first time it is
  // asked for, so that reading only the header costs no memory per record.
  CPdbRecord* GetLiveRecord(std::int32_t index) const;
  std::int32_t GetDeletedCount() const { return deletedRecords_.GetCount(); }
  CPdbRecord* GetDeletedRecord(std::int32_t index) const;
  CPdbRecord& GetEditRecord() { return editRecord_; }
  const CPdbRecord& GetEditRecord() const { return editRecord_; }
  bool IsEditing() const { return editing_; }
  bool IsAdding() const { return adding_; }
  const CMemFile& GetBlockStream(InfoBlock block) const;

  // Header fields in host order.
  std::string GetName() const;
  std::uint16_t GetAttributes() const;
  std::uint16_t GetVersion() const;
  std::uint32_t GetCreationDate() const;
  std::uint32_t GetModificationDate() const;
  std::uint32_t GetLastBackupDate() const;
  std::uint32_t GetModificationNumber() const;
  std::string GetType() const;
  std::string GetCreator() const;
  std::uint32_t GetUniqueIDSeed() const;
  const std::uint8_t* GetHeaderImage() const { return header_; }

 private:
  friend class CPdbBatch;
  struct RecordEntry;

  // What Update, Delete and SetBlock call last: Save, or while a batch is open
  // only a note that a save is owed.
  void SaveOrDefer();

  void LoadFromFile();
  void SaveToFile();
  void WriteImage(class CBufferedWriter& writer, const std::uint8_t* entries);
  // The one way the engine refuses its file, in loading or saving: 60002
  // naming the path (a text error), or for `message` 10020 the coded
  // chained-list error, with the reason (a printf format) beside it.
  [[noreturn]] void RaiseFileError(MessageId message, const char* format, ...) const
      KD_PRINTF_FORMAT(3, 4);

  std::uint16_t Header16(std::uint32_t offset) const;
  std::uint32_t Header32(std::uint32_t offset) const;
  void SetHeader16(std::uint32_t offset, std::uint16_t value);
  void SetHeader32(std::uint32_t offset, std::uint32_t value);

  void RenumberLiveRecords();
  CMemFile& BlockOf(InfoBlock block);
  // Forgets every record: the index and the lists, the records from the heap,
  // then the arena that holds what the last load built.
  void DropRecords();
  // `record`, a record of the lists, built first when it is a slot of the
  // load that was not used yet.
  CPdbRecord* Use(CPdbRecord* record) const;
  // Builds the record of the empty slot `slot` from its entry in the image.
  void BuildLoaded(CPdbRecord* slot) const;
  // A record as a file holds it: its entry's attribute byte and unique ID,
  // and the data written for it (none for a deleted record).
  struct StoredForm {
    std::uint8_t attributes;
    std::uint32_t uniqueID;
    const std::uint8_t* data;
    std::uint32_t size;
  };
  // What the load's image holds for slot `entry`, as it was read.
  StoredForm LoadedForm(std::uint32_t entry) const;
  // Record `position` in file order (the live records, then the deleted and
  // archived ones) as a save writes it: from the load's image while its slot
  // is not built, so that saving builds no record.
  StoredForm FormToSave(std::int32_t position) const;
  // Indexes every record by unique ID (building them all) the first time an
  // operation needs the index; from then on the index follows every change.
  void EnsureIndexed();

  char path_[260];
  std::uint8_t header_[pdb::kHeaderImageSize];
  CMemFile appInfo_;
  CMemFile sortInfo_;
  CArray<CPdbRecord*> liveRecords_;
  CArray<CPdbRecord*> deletedRecords_;
  CRecordIndex index_;
  bool indexed_ = false;
  // What the last load read: its image and record slots, the number of
  // entries of its record list and the image's size.
  mutable CRecordArena loaded_;
  std::uint32_t loadedCount_ = 0;
  std::uint32_t loadedSize_ = 0;
  std::int32_t current_ = -1;
  bool editing_ = false;
  bool adding_ = false;
  CPdbRecord editRecord_;
  // Batches open on this database, and whether a commit under them was
  // deferred.
  std::int32_t openBatches_ = 0;
  bool saveDeferred_ = false;
};

// A C++-only scope that gathers the commits of a database into one save: while
// it is open, Update, Delete and SetBlock change the database in memory only,
// and Commit then saves once, so that the file is written once and its
// modification number rises by one for the whole batch. Batches may nest; the
// outermost Commit saves. Not part of the automation objects.
class CPdbBatch {
 public:
  // REQUIRES: `database` outlives the batch.
  explicit CPdbBatch(CPdbDatabase& database);
  // Ends the batch; without Commit nothing is written: the changes stay in
  // memory unsaved, as after a failed Save, and the file stays as it was.
  ~CPdbBatch();
  CPdbBatch(const CPdbBatch&) = delete;
  CPdbBatch& operator=(const CPdbBatch&) = delete;

  // Ends the batch and, when it is the outermost one and a commit under it was
  // deferred, saves. Raises as Save; the file then stays as it was. Calling it
  // again does nothing.
  void Commit();

 private:
  // Ends the batch without saving; returns whether it was the outermost.
  bool Close();

  CPdbDatabase& database_;
  bool open_ = true;
};

}  // namespace kd

#endif  // KDDAO_ENGINE_PDB_DATABASE_H_
