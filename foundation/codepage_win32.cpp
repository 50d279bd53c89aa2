// Windows code page: the system's ANSI code page (CP_ACP) with default flags.
#include <windows.h>

#include <climits>
#include <new>

#include "foundation/codepage.h"
#include "foundation/errors.h"

namespace kd {

namespace {

[[noreturn]] void RaiseConversionFailure() {
  throw CPlatformError(hr::FromSystemError(GetLastError()));
}

int CheckedLength(std::size_t length) {
  if (length > static_cast<std::size_t>(INT_MAX)) throw CPlatformError(hr::kOutOfMemory);
  return static_cast<int>(length);
}

std::size_t Length(const char16_t* text) {
  std::size_t length = 0;
  while (text != nullptr && text[length] != u'\0')
    ++length;
  return length;
}

}  // namespace

std::string ToAnsi(std::u16string_view text) {
  if (text.empty()) return std::string();
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
  int wideLength = CheckedLength(text.size());
  int needed = WideCharToMultiByte(CP_ACP, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) RaiseConversionFailure();
  try {
    std::string result(static_cast<std::size_t>(needed), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, wide, wideLength, &result[0], needed, nullptr, nullptr) <=
        0) {
      RaiseConversionFailure();
    }
    return result;
  } catch (const std::bad_alloc&) {
    throw CPlatformError(hr::kOutOfMemory);
  }
}

std::u16string ToWide(std::string_view text) {
  if (text.empty()) return std::u16string();
  int narrowLength = CheckedLength(text.size());
  int needed = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), narrowLength, nullptr, 0);
  if (needed <= 0) RaiseConversionFailure();
  try {
    std::u16string result(static_cast<std::size_t>(needed), u'\0');
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), narrowLength,
                            reinterpret_cast<wchar_t*>(&result[0]), needed) <= 0) {
      RaiseConversionFailure();
    }
    return result;
  } catch (const std::bad_alloc&) {
    throw CPlatformError(hr::kOutOfMemory);
  }
}

void ToAnsiInto(const char16_t* text, char* out, std::size_t outSize) {
  if (outSize == 0) return;
  out[0] = '\0';
  int room = outSize - 1 > INT_MAX ? INT_MAX : static_cast<int>(outSize - 1);
  std::size_t length = Length(text);
  if (length > static_cast<std::size_t>(room)) length = static_cast<std::size_t>(room);
  // A conversion that does not fit fails as a whole: retry with less input.
  for (int units = static_cast<int>(length); units > 0; --units) {
    int written = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(text), units, out,
                                      room, nullptr, nullptr);
    if (written > 0) {
      out[written] = '\0';
      return;
    }
  }
}

void ToWideInto(const char* text, char16_t* out, std::size_t outSize) {
  if (outSize == 0) return;
  out[0] = u'\0';
  if (text == nullptr) return;
  int room = outSize - 1 > INT_MAX ? INT_MAX : static_cast<int>(outSize - 1);
  std::size_t length = 0;
  while (text[length] != '\0')
    ++length;
  if (length > static_cast<std::size_t>(room)) length = static_cast<std::size_t>(room);
  for (int bytes = static_cast<int>(length); bytes > 0; --bytes) {
    int written = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, bytes,
                                      reinterpret_cast<wchar_t*>(out), room);
    if (written > 0) {
      out[written] = u'\0';
      return;
    }
  }
}

}  // namespace kd
