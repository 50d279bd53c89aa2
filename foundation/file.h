// CFile: a stream over an operating-system file, opened with the access,
// sharing, creation disposition and flags of the platform's file interface.
// Every failure raises the text error 60002 "Cannot access file '%s'." naming
// the path as opened, with what failed and the system's word for it as the
// reason ("cannot open the file: No such file or directory").
#ifndef KDDAO_FOUNDATION_FILE_H_
#define KDDAO_FOUNDATION_FILE_H_

#include <cstdint>
#include <vector>

#include "foundation/errors.h"
#include "foundation/stream.h"

namespace kd {

namespace file {
// Access (combinable).
constexpr std::uint32_t kRead = 0x80000000u;
constexpr std::uint32_t kWrite = 0x40000000u;
// Sharing (combinable): what other openers may do meanwhile. Windows enforces
// it; POSIX has no mandatory sharing and ignores it.
constexpr std::uint32_t kShareNone = 0;
constexpr std::uint32_t kShareRead = 1;
constexpr std::uint32_t kShareWrite = 2;
// Creation disposition.
constexpr std::uint32_t kCreateNew = 1;         // create; fail if it exists
constexpr std::uint32_t kCreateAlways = 2;      // create or truncate
constexpr std::uint32_t kOpenExisting = 3;      // must exist
constexpr std::uint32_t kOpenAlways = 4;        // open, or create if missing; no truncation
constexpr std::uint32_t kTruncateExisting = 5;  // must exist; truncated
// Flags (combinable).
constexpr std::uint32_t kNoFlags = 0;
constexpr std::uint32_t kSequentialScan = 0x08000000u;
}  // namespace file

// Longest path a CFile accepts, in bytes; longer paths are refused with 60002
// before anything is opened.
constexpr std::uint32_t kMaxPathLength = 259;

// The whole file at `path`, read in one go. Raises 60002 naming the path.
std::vector<std::uint8_t> ReadWholeFile(const char* path);

class CFile : public CStream {
 public:
  CFile();
  ~CFile() override;

  // Copies `name` into the name field and opens it. Raises 60002 with the path.
  void Open(const char* name, std::uint32_t access, std::uint32_t share, std::uint32_t creation,
            std::uint32_t flags);
  // The two ways the library opens database and description files.
  void OpenForReading(const char* name);  // read, share read/write, must exist, sequential
  void OpenForWriting(const char* name);  // write, share read/write, open always, sequential

  // Raises 60002 when fewer than `count` bytes arrive (end of file included).
  void Read(void* buffer, std::uint32_t count) override;
  // Raises 60002 when fewer than `count` bytes are written.
  void Write(const void* buffer, std::uint32_t count) override;
  // Closes the handle if open; closing a closed file does nothing.
  void Close() override;
  // Absolute position, a signed 32-bit distance; raises 60002 on failure.
  void Seek(std::uint32_t position) override;
  // Ends the file at the current position; raises 60002 on failure.
  void Truncate() override;
  // The file's size in bytes (saturated at 0xFFFFFFFF); raises nothing.
  std::uint32_t GetSize() override;
  // Raises 60002 on failure.
  std::uint32_t GetPosition() override;
  // Flushes written data to the storage device; raises 60002 on failure.
  void Flush();

  bool IsOpen() const { return handle_ != kInvalidHandle; }
  const char* GetName() const { return name_; }

 private:
  // The one way a file operation fails: 60002 naming the file, with the
  // reason (a printf format).
  [[noreturn]] void RaiseAccessError(const char* format, ...) const KD_PRINTF_FORMAT(2, 3);
  // RaiseAccessError("cannot <step> the file: <the system's text for its last error>").
  [[noreturn]] void RaiseSystemError(const char* step) const;
  // Keeps `name` (cut to the name field) for messages; raises 60002 naming the
  // whole path when it is empty or longer than kMaxPathLength.
  void SetName(const char* name);

  static constexpr std::intptr_t kInvalidHandle = -1;
  char name_[kMaxPathLength + 1];
  std::intptr_t handle_;  // a file descriptor, or a Windows HANDLE
};

}  // namespace kd

#endif  // KDDAO_FOUNDATION_FILE_H_
