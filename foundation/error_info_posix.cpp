// Portable error description: one text per thread, read back by callers.
#include "foundation/errors.h"

namespace kd {

namespace {
thread_local bool t_hasDescription = false;
thread_local char16_t t_description[kDescriptionCapacity];
}  // namespace

void SetErrorDescription(const char16_t* description) {
  std::size_t length = 0;
  while (description != nullptr && description[length] != u'\0' &&
         length + 1 < kDescriptionCapacity) {
    t_description[length] = description[length];
    ++length;
  }
  t_description[length] = u'\0';
  t_hasDescription = true;
}

std::u16string GetErrorDescription() {
  return t_hasDescription ? std::u16string(t_description) : std::u16string();
}

bool HasErrorDescription() {
  return t_hasDescription;
}

void ClearErrorDescription() {
  t_hasDescription = false;
  t_description[0] = u'\0';
}

}  // namespace kd
