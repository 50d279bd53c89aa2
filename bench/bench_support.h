// Support for the benchmark programs: the fixture database image (built with
// the test kit's image builder), timing summaries, the floors (plain file
// reads and writes the engine is compared with), and reading the process's
// memory counters. Scratch directories are the test kit's TempDir. Linux only.
#ifndef KDDAO_BENCH_BENCH_SUPPORT_H_
#define KDDAO_BENCH_BENCH_SUPPORT_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kd::bench {

// ---- fixture ----------------------------------------------------------------

// The data of record `index` (0-based) of a fixture made with `seed`: `size`
// pseudo-random bytes that depend only on the three arguments.
std::vector<std::uint8_t> FixtureRecordBytes(std::uint64_t seed, std::uint32_t index,
                                             std::uint32_t size);

// The file image of a database of `count` records of `size` bytes each: header,
// record list, gap, no info blocks, then the data of each record. Record i has
// unique ID i + 1, attributes 0 and the data FixtureRecordBytes(seed, i, size);
// the unique-ID seed is `count`. Name "BenchData", type "DATA", creator "KdBn",
// fixed dates, modification number 0. Throws std::invalid_argument when the
// format cannot hold it.
std::vector<std::uint8_t> BuildFixtureImage(std::uint32_t count, std::uint32_t size,
                                            std::uint64_t seed);

// Offset of record i's data in BuildFixtureImage(count, size, ...).
std::uint32_t FixtureDataOffset(std::uint32_t count, std::uint32_t size, std::uint32_t i);

// ---- timing -------------------------------------------------------------------

using Clock = std::chrono::steady_clock;

inline double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Summary {
  double median = 0;  // the middle sample; the mean of the two middle ones for an even count
  double best = 0;    // the smallest sample
};

// Median and best of `samples` (at least one).
Summary Summarize(std::vector<double> samples);

// ---- files --------------------------------------------------------------------

// The read floor: open, find the size, read the whole file with one read call
// (repeated only if the kernel returns less) into a newly allocated buffer,
// close. Throws std::runtime_error on failure.
struct FileBytes {
  std::unique_ptr<std::uint8_t[]> data;
  std::size_t size = 0;
};
FileBytes ReadWholeFile(const std::string& path);

// The write floor: creates `path` (which must not exist), writes `size` bytes
// with one write call (repeated only for a short write), fsyncs when `sync`,
// closes. Throws std::runtime_error on failure.
void WriteNewFile(const std::string& path, const void* data, std::size_t size, bool sync);

// fsyncs the directory `path`. Throws std::runtime_error on failure.
void SyncDirectory(const std::string& path);

// Renames `from` to `to`, replacing it. Throws std::runtime_error on failure.
void RenameFile(const std::string& from, const std::string& to);

// Removes `path`; a missing file is not an error.
void RemoveFile(const std::string& path);

// Name of the file system that holds `path` ("ext4", "tmpfs", ...), or its
// magic number in hexadecimal when unknown.
std::string FileSystemType(const std::string& path);

// ---- memory -----------------------------------------------------------------

// The integer that follows "`field`:" at the start of a line of `text`, in the
// format of /proc/<pid>/status ("VmHWM:\t  1234 kB" gives 1234), or -1 when no
// line has that field.
std::int64_t StatusField(const std::string& text, const std::string& field);

// The whole of /proc/self/status, or "" when it cannot be read.
std::string ReadProcSelfStatus();

// Resets the peak resident size (VmHWM) to the current resident size through
// /proc/self/clear_refs. Returns false when the kernel refuses.
bool ResetPeakResidentSize();

// Heap bytes in use according to the allocator (arena and mmap'ed blocks).
std::uint64_t HeapBytesInUse();

}  // namespace kd::bench

#endif  // KDDAO_BENCH_BENCH_SUPPORT_H_
