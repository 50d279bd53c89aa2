// Portable code page: Windows-1252. Bytes 0x80-0x9F carry the printable
// characters of that code page; the five bytes it leaves undefined map to the
// control characters of the same value, as on Windows.
#include <new>

#include "foundation/codepage.h"
#include "foundation/errors.h"

namespace kd {

namespace {

constexpr char16_t kHighControlRange[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr char kDefaultChar = '?';

char16_t WideFromAnsi(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControlRange[byte - 0x80];
  return byte;
}

char AnsiFromWide(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
  for (int i = 0; i < 32; ++i) {
    if (kHighControlRange[i] == unit) return static_cast<char>(0x80 + i);
  }
  return kDefaultChar;
}

}  // namespace

std::string ToAnsi(std::u16string_view text) {
  try {
    std::string result;
    result.reserve(text.size());
    for (char16_t unit : text)
      result.push_back(AnsiFromWide(unit));
    return result;
  } catch (const std::bad_alloc&) {
    throw CPlatformError(hr::kOutOfMemory);
  }
}

std::u16string ToWide(std::string_view text) {
  try {
    std::u16string result;
    result.reserve(text.size());
    for (char byte : text)
      result.push_back(WideFromAnsi(static_cast<unsigned char>(byte)));
    return result;
  } catch (const std::bad_alloc&) {
    throw CPlatformError(hr::kOutOfMemory);
  }
}

void ToAnsiInto(const char16_t* text, char* out, std::size_t outSize) {
  if (outSize == 0) return;
  std::size_t length = 0;
  while (text != nullptr && text[length] != u'\0' && length + 1 < outSize) {
    out[length] = AnsiFromWide(text[length]);
    ++length;
  }
  out[length] = '\0';
}

void ToWideInto(const char* text, char16_t* out, std::size_t outSize) {
  if (outSize == 0) return;
  std::size_t length = 0;
  while (text != nullptr && text[length] != '\0' && length + 1 < outSize) {
    out[length] = WideFromAnsi(static_cast<unsigned char>(text[length]));
    ++length;
  }
  out[length] = u'\0';
}

}  // namespace kd
