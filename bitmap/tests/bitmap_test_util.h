// Building device bitmaps and reading BMP images in tests.
#ifndef KDDAO_BITMAP_TESTS_BITMAP_TEST_UTIL_H_
#define KDDAO_BITMAP_TESTS_BITMAP_TEST_UTIL_H_

#include <cstdint>
#include <string>
#include <vector>

namespace kd::testing {

using Bytes = std::vector<std::uint8_t>;

// A device bitmap header followed by `rows`.
Bytes DeviceBitmap(std::uint16_t width, std::uint16_t height, std::uint16_t rowBytes,
                   std::uint8_t depth, std::uint16_t density, const Bytes& rows,
                   std::uint32_t reserved = 0, const char* signature = "bm",
                   std::uint8_t version = 2);

// Little-endian fields of a BMP image.
std::uint32_t Bmp32(const Bytes& image, std::size_t offset);
std::uint16_t Bmp16(const Bytes& image, std::size_t offset);

// What an operation raised: "ok", "text: ..." or "code N: ...".
template <typename Operation>
std::string Raised(Operation&& operation);

}  // namespace kd::testing

#include "engine/tests/engine_test_util.h"

namespace kd::testing {
template <typename Operation>
std::string Raised(Operation&& operation) {
  return Outcome(std::forward<Operation>(operation));
}
}  // namespace kd::testing

#endif  // KDDAO_BITMAP_TESTS_BITMAP_TEST_UTIL_H_

namespace kd::testing {
// A BMP image: headers, `table` (4 bytes an entry), then `rows` as given
// (bottom row first, each already padded to a multiple of 4 bytes).
Bytes BmpImage(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel,
               const Bytes& table, const Bytes& rows, std::uint32_t resolution = 720);
}  // namespace kd::testing
