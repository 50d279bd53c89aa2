// Bytes written as hexadecimal digits, for the inputs that the fuzz targets
// found and the unit tests keep as regression cases.
#ifndef KDDAO_TESTING_HEX_H_
#define KDDAO_TESTING_HEX_H_

#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace kd::testing {

// The bytes of `digits`: pairs of hexadecimal digits, either case; spaces and
// line breaks between pairs are passed over. Throws std::invalid_argument for
// anything else.
inline std::vector<std::uint8_t> Hex(std::string_view digits) {
  auto value = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw std::invalid_argument("not a hexadecimal digit");
  };
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (digits[i] == ' ' || digits[i] == '\n') continue;
    if (i + 1 >= digits.size()) throw std::invalid_argument("an odd number of digits");
    bytes.push_back(static_cast<std::uint8_t>(value(digits[i]) * 16 + value(digits[i + 1])));
    ++i;
  }
  return bytes;
}

}  // namespace kd::testing

#endif  // KDDAO_TESTING_HEX_H_
