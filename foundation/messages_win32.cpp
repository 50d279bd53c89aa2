// Windows message loading: the STRINGTABLE resource of the module, converted
// to the ANSI code page by LoadStringA.
#include <windows.h>

#include "foundation/messages.h"

namespace kd {

void LoadMessageText(void* moduleHandle, std::int32_t id, char* buffer, std::size_t size) {
  if (size == 0) return;
  buffer[0] = '\0';
  HINSTANCE module =
      moduleHandle != nullptr ? static_cast<HINSTANCE>(moduleHandle) : GetModuleHandleW(nullptr);
  int limit = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
  int length = LoadStringA(module, static_cast<UINT>(id), buffer, limit);
  if (length <= 0) buffer[0] = '\0';
}

}  // namespace kd
