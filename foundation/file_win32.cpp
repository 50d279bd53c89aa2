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

void CFile::Open(const char* name, std::uint32_t access, std::uint32_t share,
                 std::uint32_t creation, std::uint32_t flags) {
  Close();
  SetName(name);

  SECURITY_ATTRIBUTES security = {};
  security.nLength = sizeof security;
  security.bInheritHandle = TRUE;
  HANDLE handle =
      CreateFileA(name, access, share, &security, creation, flags | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) RaiseAccessError();
  handle_ = reinterpret_cast<std::intptr_t>(handle);
}

void CFile::Read(void* buffer, std::uint32_t count) {
  if (!IsOpen()) RaiseAccessError();
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::uint32_t done = 0;
  while (done < count) {
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), bytes + done, count - done, &got, nullptr) || got == 0) {
      RaiseAccessError();
    }
    done += got;
  }
}

void CFile::Write(const void* buffer, std::uint32_t count) {
  if (!IsOpen() || ShouldFail(FaultPoint::kFileWrite)) RaiseAccessError();
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  std::uint32_t done = 0;
  while (done < count) {
    DWORD put = 0;
    if (!WriteFile(AsHandle(handle_), bytes + done, count - done, &put, nullptr) || put == 0) {
      RaiseAccessError();
    }
    done += put;
  }
}

void CFile::Close() {
  if (IsOpen()) CloseHandle(AsHandle(handle_));
  handle_ = kInvalidHandle;
}

void CFile::Seek(std::uint32_t position) {
  if (!IsOpen() || position > 0x7FFFFFFFu) RaiseAccessError();
  if (SetFilePointer(AsHandle(handle_), static_cast<LONG>(position), nullptr, FILE_BEGIN) ==
      INVALID_SET_FILE_POINTER) {
    RaiseAccessError();
  }
}

void CFile::Truncate() {
  if (!IsOpen() || !SetEndOfFile(AsHandle(handle_))) RaiseAccessError();
}

std::uint32_t CFile::GetSize() {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(AsHandle(handle_), &size)) return 0;
  if (size.QuadPart > 0xFFFFFFFFLL) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(size.QuadPart);
}

std::uint32_t CFile::GetPosition() {
  if (!IsOpen()) RaiseAccessError();
  LARGE_INTEGER zero = {};
  LARGE_INTEGER position;
  if (!SetFilePointerEx(AsHandle(handle_), zero, &position, FILE_CURRENT) ||
      position.QuadPart > 0xFFFFFFFFLL) {
    RaiseAccessError();
  }
  return static_cast<std::uint32_t>(position.QuadPart);
}

void CFile::Flush() {
  if (!IsOpen() || ShouldFail(FaultPoint::kFileFlush)) RaiseAccessError();
  if (!FlushFileBuffers(AsHandle(handle_))) RaiseAccessError();
}

}  // namespace kd
