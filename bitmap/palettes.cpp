// The fixed colour tables of the device bitmap depths.
#include <array>
#include <cstdint>

#include "bitmap/device_bitmap.h"

namespace kd {

namespace {

using Entry = std::array<std::uint8_t, 3>;  // red, green, blue

// The 8-bit system palette: 215 colours of a 6 x 6 x 6 cube in the order of
// its two halves, ten greys, five named colours, and black to the end.
constexpr Entry SystemColour(int index) {
  constexpr std::uint8_t kLevels[6] = {0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00};
  constexpr std::uint8_t kGreys[10] = {0x11, 0x22, 0x44, 0x55, 0x77, 0x88, 0xAA, 0xBB, 0xDD, 0xEE};
  if (index <= 214) {
    int half = index / 108;
    int j = index % 108;
    return Entry{kLevels[j / 18], kLevels[j % 6], kLevels[3 * half + (j / 6) % 3]};
  }
  if (index <= 224) {
    std::uint8_t grey = kGreys[index - 215];
    return Entry{grey, grey, grey};
  }
  switch (index) {
    case 225:
      return Entry{0xC0, 0xC0, 0xC0};
    case 226:
      return Entry{0x80, 0x00, 0x00};
    case 227:
      return Entry{0x80, 0x00, 0x80};
    case 228:
      return Entry{0x00, 0x80, 0x00};
    case 229:
      return Entry{0x00, 0x80, 0x80};
    default:
      return Entry{0x00, 0x00, 0x00};
  }
}

// A table in BMP order (blue, green, red, 0), or red first when `rgb`.
template <std::size_t N>
constexpr std::array<std::uint8_t, N * 4> Table(Entry (*colour)(int), bool rgb) {
  std::array<std::uint8_t, N * 4> table{};
  for (std::size_t i = 0; i < N; ++i) {
    Entry c = colour(static_cast<int>(i));
    table[4 * i + 0] = rgb ? c[0] : c[2];
    table[4 * i + 1] = c[1];
    table[4 * i + 2] = rgb ? c[2] : c[0];
  }
  return table;
}

constexpr Entry Grey(std::uint8_t level) {
  return Entry{level, level, level};
}
constexpr Entry OneBit(int index) {
  return Grey(index == 0 ? 0xFF : 0x00);
}
constexpr Entry TwoBit(int index) {
  return index < 4 ? Grey(static_cast<std::uint8_t>(0xFF - 0x55 * index)) : Entry{0, 0, 0};
}
constexpr Entry FourBit(int index) {
  return Grey(static_cast<std::uint8_t>(0xFF - 0x11 * index));
}

}  // namespace

const std::array<std::uint8_t, 2 * 4> Palette1Bit = Table<2>(OneBit, false);
const std::array<std::uint8_t, 4 * 4> Palette2Bit = Table<4>(TwoBit, false);
const std::array<std::uint8_t, 16 * 4> Palette2BitPadded = Table<16>(TwoBit, false);
const std::array<std::uint8_t, 16 * 4> Palette4Bit = Table<16>(FourBit, false);
const std::array<std::uint8_t, 256 * 4> Palette8Bit = Table<256>(SystemColour, false);
const std::array<std::uint8_t, 256 * 4> Palette8BitRgb = Table<256>(SystemColour, true);

}  // namespace kd
