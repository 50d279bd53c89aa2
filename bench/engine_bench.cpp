// engine_bench: how fast the database engine loads, walks, looks up, commits
// and creates databases, and how much memory a loaded database holds, each
// set against a floor measured in the same run on the same files. One line per
// workload; see docs/benchmarks.md. It exits 0 whether or not a goal is met (it
// is a measurement, not a test) and 1 when the engine gives a wrong result or
// a file operation fails.
//
//   engine_bench [--reps N] [--dir PARENT]
//
// --reps   timed repetitions of each workload and floor (default 7)
// --dir    where the scratch directory is made (default $TMPDIR or /tmp)
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <malloc.h>
#include <algorithm>
#include <cstdint>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/bench_support.h"
#include "engine/pdb_database.h"
#include "foundation/errors.h"
#include "foundation/messages.h"
#include "testing/temp_dir.h"

#ifndef KD_BENCH_BUILD_TYPE
#define KD_BENCH_BUILD_TYPE "unknown"
#endif

namespace kd::bench {
namespace {

constexpr std::uint32_t kRecordCount = 65535;
constexpr std::uint32_t kRecordSize = 100;
constexpr std::uint32_t kSmallCount = 1000;  // the smallest database; the 1k-ID sample
constexpr std::uint32_t kMiddleCount = 8000;
constexpr std::uint64_t kSeed = 0x6B6444616F426E63ull;
constexpr std::uint64_t kEditSeed = 0x456469745365656Full;
constexpr std::uint32_t kHeaderSize = 80;  // a new, empty database file

constexpr double kLoadGoal = 4.0;    // load <= 4 x read floor
constexpr double kCommitGoal = 3.0;  // commit <= 3 x write floor (with fsync)
constexpr double kLookupGoal = 2.0;  // growth of the per-ID time (see RunLookup)
constexpr double kMemoryGoal = 1.5;  // load and commit peaks <= 1.5 x file size
constexpr int kSmallRepsFactor = 5;  // the 1k-lookup samples are short: take more

struct Options {
  int reps = 7;
  std::string parent;
};

struct GoalResult {
  std::string name;
  bool met;
};

std::vector<GoalResult> g_goals;

[[noreturn]] void Wrong(const std::string& what) {
  throw std::runtime_error("wrong result: " + what);
}

const char* Verdict(bool met) {
  return met ? "met" : "NOT MET";
}

void AddGoal(const std::string& name, bool met) {
  g_goals.push_back({name, met});
}

// ---- output -----------------------------------------------------------------

void PrintFloor(const char* name, const Summary& s, const char* what) {
  std::printf("floor  %-26s %9.3f ms  [best %9.3f]  %s\n", name, s.median, s.best, what);
}

// A workload line; `goal` 0 means the ratio is for information only.
void PrintWorkload(const char* name, const Summary& s, const Summary& floor, const char* floorName,
                   double goal) {
  double ratio = s.median / floor.median;
  std::printf("%-33s %9.3f ms  [best %9.3f]  ratio %6.2f x %s", name, s.median, s.best, ratio,
              floorName);
  if (goal > 0) {
    bool met = ratio <= goal;
    std::printf(" (goal <= %g)  %s", goal, Verdict(met));
    AddGoal(name, met);
  }
  std::printf("\n");
}

double Mib(double bytes) {
  return bytes / (1024.0 * 1024.0);
}

// ---- fixture ----------------------------------------------------------------

// Checks every record of a loaded fixture database against the generator.
void VerifyFixture(const CPdbDatabase& db, std::uint32_t count) {
  if (db.GetLiveCount() != static_cast<std::int32_t>(count) || db.GetDeletedCount() != 0) {
    Wrong("the fixture loads with " + std::to_string(db.GetLiveCount()) + " records");
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    const CPdbRecord* record = db.GetLiveRecord(static_cast<std::int32_t>(i));
    std::vector<std::uint8_t> expected = FixtureRecordBytes(kSeed, i, kRecordSize);
    if (record->uniqueID != i + 1 || record->Size() != kRecordSize ||
        std::memcmp(record->GetBuffer(), expected.data(), kRecordSize) != 0) {
      Wrong("fixture record " + std::to_string(i) + " differs after loading");
    }
  }
}

// Writes the fixture image straight from the file layout, checks that the
// engine reads back every record, then has the engine save it once, so that
// the file the workloads use is the engine's own output. (Adding the records
// through the engine would cost one full durable rewrite per record.)
std::uint64_t MakeFixture(const std::string& path, std::uint32_t count,
                          const std::vector<std::uint8_t>& image) {
  WriteNewFile(path, image.data(), image.size(), true);
  {
    CPdbDatabase db(path.c_str());
    db.Load();
    VerifyFixture(db, count);
    db.Save();
  }
  CPdbDatabase db(path.c_str());
  db.Load();
  VerifyFixture(db, count);
  FileBytes saved = ReadWholeFile(path);
  if (saved.size != image.size()) Wrong("the engine saves the fixture with another size");
  return saved.size;
}

// ---- workloads ----------------------------------------------------------------

void RunLoad(const Options& options, const std::string& path, std::uint64_t fileSize) {
  std::vector<double> readFloor;
  std::vector<double> load;
  for (int r = -1; r < options.reps; ++r) {  // round -1 warms caches and is not kept
    Clock::time_point start = Clock::now();
    FileBytes bytes = ReadWholeFile(path);
    double readMs = MillisecondsSince(start);
    if (bytes.size != fileSize) Wrong("read floor read " + std::to_string(bytes.size));
    bytes.data.reset();

    start = Clock::now();
    auto db = std::make_unique<CPdbDatabase>(path.c_str());
    db->Load();
    double loadMs = MillisecondsSince(start);
    if (db->GetLiveCount() != static_cast<std::int32_t>(kRecordCount)) Wrong("load count");
    db.reset();
    if (r >= 0) {
      readFloor.push_back(readMs);
      load.push_back(loadMs);
    }
  }
  Summary floor = Summarize(readFloor);
  PrintFloor("read", floor, "open, fstat, one read of the whole file into new memory, close");
  PrintWorkload("load", Summarize(load), floor, "read floor", kLoadGoal);
}

std::uint64_t SumBytes(const std::uint8_t* bytes, std::size_t count) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < count; ++i)
    sum += bytes[i];
  return sum;
}

void RunIterate(const Options& options, const std::string& path,
                const std::vector<std::uint8_t>& image) {
  CPdbDatabase db(path.c_str());
  db.Load();
  const std::uint8_t* data = image.data() + FixtureDataOffset(kRecordCount, kRecordSize, 0);
  const std::size_t dataSize = static_cast<std::size_t>(kRecordCount) * kRecordSize;
  const std::uint64_t expected = SumBytes(data, dataSize);
  std::vector<double> floorMs;
  std::vector<double> iterateMs;
  for (int r = -1; r < options.reps; ++r) {
    Clock::time_point start = Clock::now();
    std::uint64_t flat = SumBytes(data, dataSize);
    double floorSample = MillisecondsSince(start);

    start = Clock::now();
    std::uint64_t sum = 0;
    for (std::uint32_t i = 0; i < kRecordCount; ++i) {
      db.MoveTo(static_cast<std::int32_t>(i), true);
      const CPdbRecord* record = db.GetCurrentRecord();
      sum += SumBytes(record->GetBuffer(), record->Size());
    }
    double iterateSample = MillisecondsSince(start);
    if (flat != expected || sum != expected) Wrong("iterate checksum");
    if (r >= 0) {
      floorMs.push_back(floorSample);
      iterateMs.push_back(iterateSample);
    }
  }
  Summary floor = Summarize(floorMs);
  PrintFloor("memory", floor, "summing the same record bytes in one contiguous buffer");
  PrintWorkload("iterate", Summarize(iterateMs), floor, "memory floor (no goal)", 0);
}

// Looks up every ID of `ids` and checks where the cursor lands (record i has
// ID i + 1). Returns the milliseconds taken.
double LookupPass(CPdbDatabase& db, const std::vector<std::uint32_t>& ids) {
  std::uint32_t misplaced = 0;
  Clock::time_point start = Clock::now();
  for (std::uint32_t id : ids) {
    db.LookupUniqueID(id);
    misplaced += db.GetCurrent() != static_cast<std::int32_t>(id - 1);
  }
  double ms = MillisecondsSince(start);
  if (misplaced != 0) Wrong(std::to_string(misplaced) + " lookups landed on the wrong record");
  return ms;
}

// The lookup floor: a plain hash map from ID to the engine's own record, so
// that a lookup ends on the same record object (and the same cache lines) as
// the engine's. Returns the milliseconds taken.
using ReferenceIndex = std::unordered_map<std::uint32_t, const CPdbRecord*>;

double ReferencePass(const ReferenceIndex& index, const std::vector<std::uint32_t>& ids) {
  std::uint32_t misplaced = 0;
  Clock::time_point start = Clock::now();
  for (std::uint32_t id : ids) {
    auto found = index.find(id);
    misplaced += found == index.end() || found->second->deleted || found->second->archived ||
                 found->second->index != static_cast<std::int32_t>(id - 1);
  }
  double ms = MillisecondsSince(start);
  if (misplaced != 0) Wrong("the reference index misses " + std::to_string(misplaced) + " IDs");
  return ms;
}

std::vector<std::uint32_t> ShuffledIds(std::uint32_t count, std::uint64_t seed) {
  std::vector<std::uint32_t> ids(count);
  for (std::uint32_t i = 0; i < count; ++i)
    ids[i] = i + 1;
  std::mt19937_64 random(seed);
  std::shuffle(ids.begin(), ids.end(), random);
  return ids;
}

// Constant time per ID. Every ID of databases of 1,000, 8,000 and 65,535
// records is looked up in shuffled order; the per-ID time may grow with the
// record count only through cache effects, which the reference index (a plain
// hash map onto the same records) shows in the same run. The goal compares the
// growth from 1,000 to 65,535 records: the engine's at most twice the
// reference's. A search through the record list would grow about 65 times.
// The first 1,000 IDs of the large database (records 0..999) are also timed,
// for information: a search from the front of the list would make them about
// 65 times cheaper per ID than the average.
void RunLookup(const Options& options, const std::vector<std::string>& paths) {
  struct Case {
    std::uint32_t count;
    std::unique_ptr<CPdbDatabase> db;
    ReferenceIndex reference;
    std::vector<std::uint32_t> ids;
    std::vector<double> engineMs;
    std::vector<double> referenceMs;
  };
  std::vector<Case> cases;
  for (std::size_t k = 0; k < paths.size(); ++k) {
    Case c;
    c.db = std::make_unique<CPdbDatabase>(paths[k].c_str());
    c.db->Load();
    c.count = static_cast<std::uint32_t>(c.db->GetLiveCount());
    c.reference.reserve(c.count);
    for (std::uint32_t i = 0; i < c.count; ++i) {
      const CPdbRecord* record = c.db->GetLiveRecord(static_cast<std::int32_t>(i));
      c.reference.emplace(record->uniqueID, record);
    }
    c.ids = ShuffledIds(c.count, kSeed + k);
    cases.push_back(std::move(c));
  }
  Case& large = cases.back();  // paths run from the smallest to the largest
  const std::vector<std::uint32_t> first = ShuffledIds(kSmallCount, kSeed + 99);
  std::vector<double> firstMs;
  // Each series runs on its own (after one warm-up pass), so that one index
  // does not evict the other's cache lines between samples. Short passes are
  // repeated so that every size gets a comparable share of samples.
  for (Case& c : cases) {
    const int passes =
        options.reps * std::max<int>(1, static_cast<int>(kRecordCount / c.count / 8));
    for (int p = -1; p < passes; ++p) {
      double sample = LookupPass(*c.db, c.ids);
      if (p >= 0) c.engineMs.push_back(sample);
    }
    if (&c == &large) {
      for (int p = -1; p < options.reps * kSmallRepsFactor; ++p) {
        double sample = LookupPass(*large.db, first);
        if (p >= 0) firstMs.push_back(sample);
      }
    }
    for (int p = -1; p < passes; ++p) {
      double sample = ReferencePass(c.reference, c.ids);
      if (p >= 0) c.referenceMs.push_back(sample);
    }
  }
  auto perId = [](const Summary& s, std::uint32_t count) { return s.median * 1e6 / count; };
  std::vector<double> enginePerId;
  std::vector<double> referencePerId;
  for (const Case& c : cases) {
    Summary e = Summarize(c.engineMs);
    Summary f = Summarize(c.referenceMs);
    enginePerId.push_back(perId(e, c.count));
    referencePerId.push_back(perId(f, c.count));
    std::string name = "lookup (" + std::to_string(c.count) + "-record db)";
    std::printf("%-33s %9.3f ms  [best %9.3f]  %6.1f ns per ID; floor %5.1f ns (ratio %5.2f)\n",
                name.c_str(), e.median, e.best, enginePerId.back(), referencePerId.back(),
                enginePerId.back() / referencePerId.back());
  }
  Summary f = Summarize(firstMs);
  double perFirst = perId(f, kSmallCount);
  std::printf("%-33s %9.3f ms  [best %9.3f]  %6.1f ns per ID; all IDs / these: %.2f per ID\n",
              "lookup (first 1,000 IDs, large)", f.median, f.best, perFirst,
              enginePerId.back() / perFirst);
  double engineGrowth = enginePerId.back() / enginePerId.front();
  double referenceGrowth = referencePerId.back() / referencePerId.front();
  double ratio = engineGrowth / referenceGrowth;
  bool met = ratio <= kLookupGoal;
  std::printf(
      "%-33s per-ID growth %u -> %u records: engine %.2f x, floor %.2f x; "
      "ratio %.2f (goal <= %g)  %s\n",
      "lookup constant time per ID", cases.front().count, large.count, engineGrowth,
      referenceGrowth, ratio, kLookupGoal, Verdict(met));
  AddGoal("lookup constant time per ID", met);
}

// A durable replacement as the engine does it, with plain calls: write a new
// file, fsync, close, rename it over `target`, fsync the directory.
void DurableReplace(const testing::TempDir& dir, const std::string& target, const void* data,
                    std::size_t size) {
  const std::string temporary = dir.File("floor-replace.tmp");
  WriteNewFile(temporary, data, size, true);
  RenameFile(temporary, target);
  SyncDirectory(dir.path());
}

void RunCommit(const Options& options, const testing::TempDir& dir, const std::string& path,
               const std::vector<std::uint8_t>& image, std::uint64_t fileSize) {
  CPdbDatabase db(path.c_str());
  db.Load();
  const std::string floorPath = dir.File("floor-write.tmp");
  const std::string victim = dir.File("floor-victim.tmp");
  std::map<std::uint32_t, std::vector<std::uint8_t>> written;
  std::vector<double> syncMs, plainMs, replaceMs, commitMs;
  for (int r = -1; r < options.reps; ++r) {
    Clock::time_point start = Clock::now();
    WriteNewFile(floorPath, image.data(), fileSize, true);
    double syncSample = MillisecondsSince(start);
    RemoveFile(floorPath);

    start = Clock::now();
    WriteNewFile(floorPath, image.data(), fileSize, false);
    double plainSample = MillisecondsSince(start);
    RemoveFile(floorPath);

    WriteNewFile(victim, image.data(), fileSize, true);
    start = Clock::now();
    DurableReplace(dir, victim, image.data(), fileSize);
    double replaceSample = MillisecondsSince(start);
    RemoveFile(victim);

    const auto index = static_cast<std::uint32_t>((r + 1) * 7919u % kRecordCount);
    std::vector<std::uint8_t> bytes =
        FixtureRecordBytes(kEditSeed, static_cast<std::uint32_t>(r + 1), kRecordSize);
    start = Clock::now();
    db.MoveTo(static_cast<std::int32_t>(index), true);
    db.Edit();
    db.GetEditRecord().Assign(bytes.data(), kRecordSize);
    db.GetEditRecord().uniqueID = index + 1;
    db.Update(nullptr);
    double commitSample = MillisecondsSince(start);
    written[index] = bytes;
    if (r >= 0) {
      syncMs.push_back(syncSample);
      plainMs.push_back(plainSample);
      replaceMs.push_back(replaceSample);
      commitMs.push_back(commitSample);
    }
  }
  // Every commit must have reached the file.
  CPdbDatabase check(path.c_str());
  check.Load();
  for (const auto& [index, bytes] : written) {
    const CPdbRecord* record = check.GetLiveRecord(static_cast<std::int32_t>(index));
    if (record->Size() != kRecordSize ||
        std::memcmp(record->GetBuffer(), bytes.data(), kRecordSize) != 0) {
      Wrong("commit of record " + std::to_string(index) + " not in the file");
    }
  }
  Summary floor = Summarize(syncMs);
  PrintFloor("write + fsync", floor, "create, one write of the file's size, fsync, close");
  PrintFloor("write (no fsync)", Summarize(plainMs), "the same without fsync (information)");
  PrintFloor("write + fsync + rename", Summarize(replaceMs),
             "the same, renamed over a file, directory fsynced (information)");
  PrintWorkload("commit", Summarize(commitMs), floor, "write floor", kCommitGoal);
}

void RunCreate(const Options& options, const testing::TempDir& dir) {
  std::vector<std::uint8_t> header(kHeaderSize, 0);
  const std::string floorPath = dir.File("floor-header.tmp");
  std::vector<double> floorMs, replaceMs, createMs;
  for (int r = -1; r < options.reps; ++r) {
    Clock::time_point start = Clock::now();
    WriteNewFile(floorPath, header.data(), header.size(), true);
    double floorSample = MillisecondsSince(start);
    RemoveFile(floorPath);

    start = Clock::now();
    WriteNewFile(floorPath, header.data(), header.size(), true);
    RenameFile(floorPath, dir.File("floor-header.pdb"));
    SyncDirectory(dir.path());
    double replaceSample = MillisecondsSince(start);
    RemoveFile(dir.File("floor-header.pdb"));

    const std::string path = dir.File("created.pdb");
    start = Clock::now();
    auto db = std::make_unique<CPdbDatabase>(path.c_str());
    db->CreateTable("BenchNew", "DATA", "KdBn");
    db->Save();
    double createSample = MillisecondsSince(start);
    db.reset();
    FileBytes created = ReadWholeFile(path);
    if (created.size != kHeaderSize) Wrong("a new database is not 80 bytes");
    RemoveFile(path);
    if (r >= 0) {
      floorMs.push_back(floorSample);
      replaceMs.push_back(replaceSample);
      createMs.push_back(createSample);
    }
  }
  Summary floor = Summarize(floorMs);
  PrintFloor("write 80 B + fsync", floor, "create, write 80 bytes, fsync, close");
  PrintFloor("write 80 B + fsync + rename", Summarize(replaceMs),
             "the same, renamed, directory fsynced (information)");
  PrintWorkload("create", Summarize(createMs), floor, "80-byte write floor (no goal)", 0);
}

// ---- memory -------------------------------------------------------------------

// Runs in a freshly executed copy of this program, so that no memory freed by
// earlier workloads can be reused unseen: loads the database, then commits one
// record, and prints in the /proc status format (kB unless marked B):
//   BaseRss     resident size before loading
//   LoadPeak    peak resident size while constructing and loading
//   Held        resident size with the database loaded
//   HeapHeld    heap bytes in use for the loaded database (B)
//   CommitPeak  peak resident size during one commit (from the loaded state)
//   Walked      resident size once every record has been read after that (a
//               load builds its records when they are first used)
//   PeakReset   1 when the peak could be reset before each phase
int MemoryProbe(const std::string& path) {
  std::string status = ReadProcSelfStatus();
  std::int64_t baseRss = StatusField(status, "VmRSS");
  std::uint64_t heapBefore = HeapBytesInUse();
  bool reset = ResetPeakResidentSize();
  auto db = std::make_unique<CPdbDatabase>(path.c_str());
  db->Load();
  status = ReadProcSelfStatus();
  std::int64_t loadPeak = StatusField(status, "VmHWM");
  std::int64_t held = StatusField(status, "VmRSS");
  std::uint64_t heapHeld = HeapBytesInUse() - heapBefore;
  reset = ResetPeakResidentSize() && reset;
  std::vector<std::uint8_t> bytes = FixtureRecordBytes(kEditSeed, 0, kRecordSize);
  db->MoveTo(0, true);
  db->Edit();
  db->GetEditRecord().Assign(bytes.data(), kRecordSize);
  db->GetEditRecord().uniqueID = 1;
  db->Update(nullptr);
  std::int64_t commitPeak = StatusField(ReadProcSelfStatus(), "VmHWM");
  std::uint64_t sum = 0;
  for (std::int32_t i = 0; i < db->GetLiveCount(); ++i)
    sum += db->GetLiveRecord(i)->Size();
  if (sum != static_cast<std::uint64_t>(kRecordCount) * kRecordSize) return 1;
  const std::int64_t walked = StatusField(ReadProcSelfStatus(), "VmRSS");
  std::printf(
      "BaseRss:\t%lld kB\nLoadPeak:\t%lld kB\nHeld:\t%lld kB\nHeapHeld:\t%llu B\n"
      "Walked:\t%lld kB\nCommitPeak:\t%lld kB\nPeakReset:\t%d\n",
      static_cast<long long>(baseRss), static_cast<long long>(loadPeak),
      static_cast<long long>(held), static_cast<unsigned long long>(heapHeld),
      static_cast<long long>(walked), static_cast<long long>(commitPeak), reset ? 1 : 0);
  return 0;
}

std::string RunProbeProcess(const std::string& path) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
  pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    const char* args[] = {"engine_bench", "--memory-probe", path.c_str(), nullptr};
    ::execv("/proc/self/exe", const_cast<char* const*>(args));
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  std::string output;
  char buffer[512];
  ssize_t got;
  while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
    output.append(buffer, static_cast<std::size_t>(got));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("the memory probe failed: " + output);
  }
  return output;
}

void RunMemory(const std::string& path, std::uint64_t fileSize) {
  std::string report = RunProbeProcess(path);
  std::int64_t base = StatusField(report, "BaseRss");
  std::int64_t loadPeak = StatusField(report, "LoadPeak");
  std::int64_t held = StatusField(report, "Held");
  std::int64_t heapHeld = StatusField(report, "HeapHeld");
  std::int64_t walked = StatusField(report, "Walked");
  std::int64_t commitPeak = StatusField(report, "CommitPeak");
  bool reset = StatusField(report, "PeakReset") == 1;
  if (base < 0 || loadPeak < 0 || held < 0 || heapHeld < 0 || walked < 0 || commitPeak < 0) {
    throw std::runtime_error("unreadable memory probe report: " + report);
  }
  auto bytesAbove = [base](std::int64_t kib) { return static_cast<double>(kib - base) * 1024; };
  double file = static_cast<double>(fileSize);
  const bool loadMet = bytesAbove(loadPeak) <= kMemoryGoal * file;
  const bool commitMet = bytesAbove(commitPeak) <= kMemoryGoal * file;
  std::printf("load memory  %.2f MiB  ratio %.2f x file size (goal <= %g)  %s\n",
              Mib(bytesAbove(loadPeak)), bytesAbove(loadPeak) / file, kMemoryGoal,
              Verdict(loadMet));
  std::printf("commit memory %.2f MiB  ratio %.2f x file size (goal <= %g)  %s\n",
              Mib(bytesAbove(commitPeak)), bytesAbove(commitPeak) / file, kMemoryGoal,
              Verdict(commitMet));
  std::printf(
      "   resident above the %.1f MiB baseline: load peak %.2f MiB (%.2f x), "
      "held %.2f MiB (%.2f x), commit peak %.2f MiB (%.2f x)%s\n",
      Mib(static_cast<double>(base) * 1024), Mib(bytesAbove(loadPeak)), bytesAbove(loadPeak) / file,
      Mib(bytesAbove(held)), bytesAbove(held) / file, Mib(bytesAbove(commitPeak)),
      bytesAbove(commitPeak) / file,
      reset ? "" : " [peak reset refused: commit peak includes the load]");
  // What a record costs beside its bytes in the file image: resident memory
  // above the baseline and the image, per record, before and after every
  // record has been read. (Large blocks are mapped, not heap: the heap line
  // counts only the small allocations.)
  auto perRecord = [&](std::int64_t kib) { return (bytesAbove(kib) - file) / kRecordCount; };
  std::printf(
      "   per record beyond the file image: %.0f bytes once loaded, %.0f bytes once every "
      "record has been read\n",
      perRecord(held), perRecord(walked));
  std::printf("   heap in use for the loaded database: %.2f MiB (%.2f x)\n",
              Mib(static_cast<double>(heapHeld)), static_cast<double>(heapHeld) / file);
  AddGoal("load memory", loadMet);
  AddGoal("commit memory", commitMet);
}

// ---- main -------------------------------------------------------------------------

std::string CpuModel() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("model name", 0) == 0) {
      std::size_t colon = line.find(':');
      if (colon != std::string::npos) return line.substr(colon + 2);
    }
  }
  return "unknown CPU";
}

void PrintHeader(const Options& options, const testing::TempDir& dir, std::uint64_t fileSize) {
  char date[64];
  std::time_t now = std::time(nullptr);
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", std::localtime(&now));
  utsname system;
  ::uname(&system);
  std::printf("engine_bench  %s  %s %s, %s, %ld cores, build %s\n", date, system.sysname,
              system.release, CpuModel().c_str(), ::sysconf(_SC_NPROCESSORS_ONLN),
              KD_BENCH_BUILD_TYPE);
  std::printf("database: %u records x %u bytes, file %llu bytes (%.2f MiB) in %s (%s)\n",
              kRecordCount, kRecordSize, static_cast<unsigned long long>(fileSize),
              Mib(static_cast<double>(fileSize)), dir.path().c_str(),
              FileSystemType(dir.path()).c_str());
  std::printf(
      "each time is the median of %d repetitions after one warm-up round "
      "[best in brackets]; ratios are of medians; files are in the page cache\n\n",
      options.reps);
}

int Run(const Options& options) {
  testing::TempDir dir(options.parent);
  const std::string path = dir.File("bench.pdb");
  const std::string smallPath = dir.File("small.pdb");
  const std::string middlePath = dir.File("middle.pdb");
  const std::vector<std::uint8_t> image = BuildFixtureImage(kRecordCount, kRecordSize, kSeed);
  const std::uint64_t fileSize = MakeFixture(path, kRecordCount, image);
  MakeFixture(smallPath, kSmallCount, BuildFixtureImage(kSmallCount, kRecordSize, kSeed));
  MakeFixture(middlePath, kMiddleCount, BuildFixtureImage(kMiddleCount, kRecordSize, kSeed));
  PrintHeader(options, dir, fileSize);

  RunLoad(options, path, fileSize);
  RunIterate(options, path, image);
  RunLookup(options, {smallPath, middlePath, path});
  RunCommit(options, dir, path, image, fileSize);
  RunCreate(options, dir);
  RunMemory(path, fileSize);

  int met = 0;
  for (const GoalResult& goal : g_goals)
    met += goal.met;
  std::printf("\ngoals met: %d of %zu", met, g_goals.size());
  for (const GoalResult& goal : g_goals) {
    if (!goal.met) std::printf("  [not met: %s]", goal.name.c_str());
  }
  std::printf("\n");
  return 0;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  const char* tmp = std::getenv("TMPDIR");
  options.parent = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--reps" && i + 1 < argc) {
      options.reps = std::atoi(argv[++i]);
      if (options.reps < 1 || options.reps > 1000) return false;
    } else if (arg == "--dir" && i + 1 < argc) {
      options.parent = argv[++i];
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace kd::bench

int main(int argc, char** argv) {
  // A fixed threshold: every large block (the floor's buffer, the engine's
  // file image and record blocks) is fresh memory from the system in every
  // round, whatever the workloads before it freed. Otherwise the allocator's
  // adaptive threshold hands one side warm memory and the other cold.
  mallopt(M_MMAP_THRESHOLD, getenv("KD_BENCH_WARM") ? 256 << 20 : 128 * 1024);
  if (!kd::FoundationStart(nullptr, kd::kDefaultSlotSize)) {
    std::fprintf(stderr, "engine_bench: the foundation did not start\n");
    return 1;
  }
  int result = 1;
  try {
    if (argc == 3 && std::strcmp(argv[1], "--memory-probe") == 0) {
      result = kd::bench::MemoryProbe(argv[2]);
    } else {
      kd::bench::Options options;
      if (!kd::bench::ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: engine_bench [--reps N (1-1000)] [--dir PARENT]\n");
        kd::FoundationStop();
        return 2;
      }
      std::setvbuf(stdout, nullptr, _IOLBF, 0);
      result = kd::bench::Run(options);
    }
  } catch (const kd::CErr& error) {
    std::fprintf(stderr, "engine_bench: engine error: %s\n", error.GetText());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "engine_bench: %s\n", error.what());
  }
  kd::FoundationStop();
  return result;
}
