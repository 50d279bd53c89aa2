// Text across the automation boundary: UTF-16 automation strings outside,
// narrow text in the system's ANSI code page inside. Windows uses the code page
// of CP_ACP; the portable build uses Windows-1252, the character set of the
// hand-helds, where characters without a mapping become "?".
#ifndef KDDAO_FOUNDATION_CODEPAGE_H_
#define KDDAO_FOUNDATION_CODEPAGE_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace kd {

// UTF-16 to the ANSI code page. Raises CPlatformError: 0x8007000E when memory
// runs out, 0x80070000 | the system's last error when conversion fails.
std::string ToAnsi(std::u16string_view text);

// ANSI code page to UTF-16. Raises CPlatformError as ToAnsi.
std::u16string ToWide(std::string_view text);

// Non-allocating forms for error reporting: convert the zero-terminated `text`
// into `out` (`outSize` units, terminator included), truncating to fit. Never
// raise; a null `text` gives the empty text.
void ToAnsiInto(const char16_t* text, char* out, std::size_t outSize);
void ToWideInto(const char* text, char16_t* out, std::size_t outSize);

}  // namespace kd

#endif  // KDDAO_FOUNDATION_CODEPAGE_H_
