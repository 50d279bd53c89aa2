// kdpdb's text and bytes: the tool's error, UTF-8 and UTF-16, hexadecimal
// digits and whole files.
#ifndef KDDAO_TOOLS_KDPDB_TEXT_BYTES_H_
#define KDDAO_TOOLS_KDPDB_TEXT_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kdpdb {

// A failure of the tool itself (bad arguments, unreadable input files, a
// value that does not fit its field). Its text goes to standard error.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using Bytes = std::vector<std::uint8_t>;

// UTF-8 (the command line, the terminal) to UTF-16 (the library's strings);
// raises ToolError for bytes that are not UTF-8.
std::u16string Utf8ToUtf16(std::string_view text);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Lower-case hexadecimal digits, two a byte.
std::string ToHex(const std::uint8_t* data, std::size_t count);
inline std::string ToHex(const Bytes& bytes) {
  return ToHex(bytes.data(), bytes.size());
}
// Hexadecimal digits (either case, an even count) to bytes; false otherwise.
bool FromHex(std::string_view text, Bytes* bytes);

// Whole files; ToolError naming the path when they cannot be read or written.
Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);

}  // namespace kdpdb

#endif  // KDDAO_TOOLS_KDPDB_TEXT_BYTES_H_
