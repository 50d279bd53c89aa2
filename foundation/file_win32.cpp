// CFile over Windows file handles (CreateFileA: paths in the ANSI code page).
#include <windows.h>

#include <cstring>

#include "foundation/errors.h"
#include "foundation/fault_injection.h"
#include "foundation/file.h"

namespace kd {

namespace {
HANDLE AsHandle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}
}  // namespace

void CFile::RaiseSystemError(const char* step) const {
  const DWORD code = GetLastError();
  char text[128];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                        text[length - 1] == ' ' || text[length - 1] == '.')) {
    --length;
  }
  text[length] = '\0';
  if (length == 0) {
    RaiseAccessError("cannot %s the file: error %lu", step, static_cast<unsigned long>(code));
  }
  RaiseAccessError("cannot %s the file: %s", step, text);
}

void CFile::Open(const char* name, std::uint32_t access, std::uint32_t share,
                 std::uint32_t creation, std::uint32_t flags) {
  Close();
  SetName(name);

  SECURITY_ATTRIBUTES security = {};
  security.nLength = sizeof security;
  security.bInheritHandle = TRUE;
  HANDLE handle =
      CreateFileA(name, access, share, &security, creation, flags | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) RaiseSystemError("open");
  handle_ = reinterpret_cast<std::intptr_t>(handle);
}

void CFile::Read(void* buffer, std::uint32_t count) {
  if (!IsOpen()) RaiseAccessError("the file is not open");
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::uint32_t done = 0;
  while (done < count) {
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), bytes + done, count - done, &got, nullptr)) {
      RaiseSystemError("read");
    }
    if (got == 0) {
      RaiseAccessError("the file ends %u bytes before the %u asked for", count - done, count);
    }
    done += got;
  }
}

void CFile::Write(const void* buffer, std::uint32_t count) {
  if (!IsOpen()) RaiseAccessError("the file is not open");
  if (ShouldFail(FaultPoint::kFileWrite)) RaiseAccessError("a write failed (fault injection)");
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  std::uint32_t done = 0;
  while (done < count) {
    DWORD put = 0;
    if (!WriteFile(AsHandle(handle_), bytes + done, count - done, &put, nullptr) || put == 0) {
      RaiseSystemError("write");
    }
    done += put;
  }
}

void CFile::Close() {
  if (IsOpen()) CloseHandle(AsHandle(handle_));
  handle_ = kInvalidHandle;
}

void CFile::Seek(std::uint32_t position) {
  if (!IsOpen()) RaiseAccessError("the file is not open");
  if (position > 0x7FFFFFFFu) RaiseAccessError("position %u lies past 2 GiB", position);
  if (SetFilePointer(AsHandle(handle_), static_cast<LONG>(position), nullptr, FILE_BEGIN) ==
      INVALID_SET_FILE_POINTER) {
    RaiseSystemError("seek in");
  }
}

void CFile::Truncate() {
  if (!IsOpen()) RaiseAccessError("the file is not open");
  if (!SetEndOfFile(AsHandle(handle_))) RaiseSystemError("truncate");
}

std::uint32_t CFile::GetSize() {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(AsHandle(handle_), &size)) return 0;
  if (size.QuadPart > 0xFFFFFFFFLL) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(size.QuadPart);
}

std::uint32_t CFile::GetPosition() {
  if (!IsOpen()) RaiseAccessError("the file is not open");
  LARGE_INTEGER zero = {};
  LARGE_INTEGER position;
  if (!SetFilePointerEx(AsHandle(handle_), zero, &position, FILE_CURRENT)) {
    RaiseSystemError("find the position in");
  }
  if (position.QuadPart > 0xFFFFFFFFLL) RaiseAccessError("the position lies past 4 GiB");
  return static_cast<std::uint32_t>(position.QuadPart);
}

void CFile::Flush() {
  if (!IsOpen()) RaiseAccessError("the file is not open");
  if (ShouldFail(FaultPoint::kFileFlush)) RaiseAccessError("a flush failed (fault injection)");
  if (!FlushFileBuffers(AsHandle(handle_))) RaiseSystemError("flush");
}

}  // namespace kd
