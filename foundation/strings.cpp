#include "foundation/strings.h"

#include <cstring>

#include "foundation/errors.h"
#include "foundation/memory.h"

namespace kd {

CString::~CString() {
  MemFree(data_);
}

void CString::Reserve(std::int32_t length) {
  if (length < 0 || length > 0x7FFFFF00 - 64) throw CErr(kMsgOutOfMemory);
  std::int32_t needed = length + 1;
  if (needed <= capacity_) return;
  std::int32_t newCapacity = (needed & ~63) + 64;
  bool wasEmpty = data_ == nullptr;
  data_ = static_cast<char*>(MemRealloc(data_, static_cast<std::size_t>(newCapacity)));
  if (wasEmpty) data_[0] = '\0';
  capacity_ = newCapacity;
}

void CString::Empty() {
  Reserve(0);
  data_[0] = '\0';
}

void CString::AppendChar(char c) {
  std::int32_t length = GetLength();
  Reserve(length + 2);
  data_[length] = c;
  data_[length + 1] = '\0';
}

const char* CString::GetBuffer() {
  if (data_ == nullptr) Empty();
  return data_;
}

std::int32_t CString::GetLength() const {
  return data_ == nullptr ? 0 : static_cast<std::int32_t>(std::strlen(data_));
}

}  // namespace kd
