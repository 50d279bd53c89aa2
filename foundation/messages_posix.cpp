// Portable message loading: the table compiled into the library.
#include <cstring>

#include "foundation/messages.h"

namespace kd {

void LoadMessageText(void* /*moduleHandle*/, std::int32_t id, char* buffer, std::size_t size) {
  if (size == 0) return;
  const char* text = CompiledMessageText(id);
  if (text == nullptr) text = "";
  std::size_t length = std::strlen(text);
  if (length > size - 1) length = size - 1;
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
}

}  // namespace kd
