#include "bench/bench_support.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

#include "engine/pdb_format.h"
#include "testing/pdb_image.h"

namespace kd::bench {

namespace {

std::uint64_t SplitMix64(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw std::runtime_error(what + " '" + path + "': " + std::strerror(errno));
}

}  // namespace

// ---- fixture ----------------------------------------------------------------

std::vector<std::uint8_t> FixtureRecordBytes(std::uint64_t seed, std::uint32_t index,
                                             std::uint32_t size) {
  std::uint64_t state = seed ^ (static_cast<std::uint64_t>(index) * 0xD1B54A32D192ED03ull);
  std::vector<std::uint8_t> bytes(size);
  for (std::uint32_t i = 0; i < size; i += 8) {
    std::uint64_t word = SplitMix64(state);
    for (std::uint32_t k = 0; k < 8 && i + k < size; ++k)
      bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
  }
  return bytes;
}

std::uint32_t FixtureDataOffset(std::uint32_t count, std::uint32_t size, std::uint32_t i) {
  std::uint32_t listEnd = pdb::kRecordListOffset + count * pdb::kRecordEntrySize;
  return listEnd + (count > 0 ? pdb::kGapSize : 0) + i * size;
}

std::vector<std::uint8_t> BuildFixtureImage(std::uint32_t count, std::uint32_t size,
                                            std::uint64_t seed) {
  if (count > static_cast<std::uint32_t>(pdb::kMaxRecords) || size >= pdb::kRecordSizeLimit) {
    throw std::invalid_argument("fixture too large for the file format");
  }
  testing::PdbImage image;
  image.name = "BenchData";
  image.type = "DATA";
  image.creator = "KdBn";
  // Fixed dates (Palm time, seconds since 1904) keep the image reproducible.
  image.creationDate = image.modificationDate = image.lastBackupDate = 0xE0000000u;
  image.modificationNumber = 0;
  image.uniqueIDSeed = count;
  image.records.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    image.records.push_back({i + 1, 0, FixtureRecordBytes(seed, i, size)});
  }
  return image.Build();
}

// ---- timing -------------------------------------------------------------------

Summary Summarize(std::vector<double> samples) {
  if (samples.empty()) throw std::invalid_argument("no samples");
  std::sort(samples.begin(), samples.end());
  const std::size_t n = samples.size();
  Summary summary;
  summary.best = samples.front();
  summary.median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
  return summary;
}

// ---- files --------------------------------------------------------------------

FileBytes ReadWholeFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("cannot open", path);
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    ::close(fd);
    Fail("cannot stat", path);
  }
  FileBytes file;
  file.size = static_cast<std::size_t>(info.st_size);
  // Not value-initialised: the read is what touches the memory, as in a load.
  file.data.reset(new std::uint8_t[file.size]);
  std::size_t done = 0;
  while (done < file.size) {
    ssize_t got = ::read(fd, file.data.get() + done, file.size - done);
    if (got <= 0) {
      ::close(fd);
      Fail("cannot read", path);
    }
    done += static_cast<std::size_t>(got);
  }
  ::close(fd);
  return file;
}

void WriteNewFile(const std::string& path, const void* data, std::size_t size, bool sync) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) Fail("cannot create", path);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t done = 0;
  while (done < size) {
    ssize_t put = ::write(fd, bytes + done, size - done);
    if (put <= 0) {
      ::close(fd);
      Fail("cannot write", path);
    }
    done += static_cast<std::size_t>(put);
  }
  if (sync && ::fsync(fd) != 0) {
    ::close(fd);
    Fail("cannot fsync", path);
  }
  if (::close(fd) != 0) Fail("cannot close", path);
}

void SyncDirectory(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail("cannot open directory", path);
  int result = ::fsync(fd);
  ::close(fd);
  if (result != 0) Fail("cannot fsync directory", path);
}

void RenameFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) Fail("cannot rename", from);
}

void RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) Fail("cannot remove", path);
}

std::string FileSystemType(const std::string& path) {
  struct statfs info;
  if (::statfs(path.c_str(), &info) != 0) return "unknown";
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53ul:
      return "ext2/3/4";
    case 0x01021994ul:
      return "tmpfs";
    case 0x58465342ul:
      return "xfs";
    case 0x9123683Eul:
      return "btrfs";
    case 0x794C7630ul:
      return "overlayfs";
    default: {
      char text[32];
      std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(info.f_type));
      return text;
    }
  }
}

// ---- memory -----------------------------------------------------------------

std::int64_t StatusField(const std::string& text, const std::string& field) {
  const std::string prefix = field + ":";
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (text.compare(at, prefix.size(), prefix) == 0) {
      std::size_t p = at + prefix.size();
      while (p < end && (text[p] == ' ' || text[p] == '\t'))
        ++p;
      if (p == end || text[p] < '0' || text[p] > '9') return -1;
      std::int64_t value = 0;
      for (; p < end && text[p] >= '0' && text[p] <= '9'; ++p)
        value = value * 10 + (text[p] - '0');
      return value;
    }
    at = end + 1;
  }
  return -1;
}

std::string ReadProcSelfStatus() {
  std::ifstream in("/proc/self/status");
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool ResetPeakResidentSize() {
  int fd = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool done = ::write(fd, "5", 1) == 1;
  ::close(fd);
  return done;
}

std::uint64_t HeapBytesInUse() {
  struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
}

}  // namespace kd::bench
