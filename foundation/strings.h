// CString: a growable narrow string, used where text is read byte by byte.
#ifndef KDDAO_FOUNDATION_STRINGS_H_
#define KDDAO_FOUNDATION_STRINGS_H_

#include <cstdint>

#include "foundation/object.h"

namespace kd {

// Owns its heap block. Capacities are multiples of 64, always larger than what
// was asked.
class CString : public CObject {
 public:
  CString() = default;
  CString(const CString&) = delete;
  CString& operator=(const CString&) = delete;
  ~CString() override;

  // Makes room for a string of `length` characters and the terminator.
  // Raises 60000; the string then stays as it was.
  void Reserve(std::int32_t length);
  // Reserve(0), then the empty string.
  void Empty();
  // Appends one byte; appending a zero byte leaves the text unchanged.
  void AppendChar(char c);
  // The zero-terminated text, never null (a string without a block is made
  // empty first).
  const char* GetBuffer();
  std::int32_t GetLength() const;
  std::int32_t GetCapacity() const { return capacity_; }

 private:
  char* data_ = nullptr;
  std::int32_t capacity_ = 0;
};

}  // namespace kd

#endif  // KDDAO_FOUNDATION_STRINGS_H_
