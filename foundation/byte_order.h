// Byte order. Every multi-byte number in a database file and inside records is
// big-endian, every one in a BMP image little-endian; this header is the one
// place that orders bytes.
#ifndef KDDAO_FOUNDATION_BYTE_ORDER_H_
#define KDDAO_FOUNDATION_BYTE_ORDER_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kd {

// Reverse the bytes of a value in place.
inline void Swap16(std::uint16_t& value) {
  value = static_cast<std::uint16_t>((value >> 8) | (value << 8));
}
inline void Swap32(std::uint32_t& value) {
  value =
      (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) | (value << 24);
}
inline void Swap64(std::uint64_t& value) {
  std::uint32_t high = static_cast<std::uint32_t>(value >> 32);
  std::uint32_t low = static_cast<std::uint32_t>(value);
  Swap32(high);
  Swap32(low);
  value = (static_cast<std::uint64_t>(low) << 32) | high;
}

// Big-endian loads and stores at a byte address.
inline std::uint16_t LoadBigEndian16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t LoadBigEndian24(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[2];
}
inline std::uint32_t LoadBigEndian32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}
inline std::uint64_t LoadBigEndian64(const std::uint8_t* p) {
  return (static_cast<std::uint64_t>(LoadBigEndian32(p)) << 32) | LoadBigEndian32(p + 4);
}
inline void StoreBigEndian16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}
inline void StoreBigEndian24(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 16);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v);
}
inline void StoreBigEndian32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}
inline void StoreBigEndian64(std::uint8_t* p, std::uint64_t v) {
  StoreBigEndian32(p, static_cast<std::uint32_t>(v >> 32));
  StoreBigEndian32(p + 4, static_cast<std::uint32_t>(v));
}

// Little-endian loads and stores (the BMP image layout, host order of streams).
inline std::uint16_t LoadLittleEndian16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadLittleEndian32(const std::uint8_t* p) {
  return p[0] | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16) |
         (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t LoadLittleEndian64(const std::uint8_t* p) {
  return LoadLittleEndian32(p) | (static_cast<std::uint64_t>(LoadLittleEndian32(p + 4)) << 32);
}
inline void StoreLittleEndian16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreLittleEndian32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline void StoreLittleEndian64(std::uint8_t* p, std::uint64_t v) {
  StoreLittleEndian32(p, static_cast<std::uint32_t>(v));
  StoreLittleEndian32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// Unsigned numbers of `width` bytes (1 to 4), as the fields of fixed layouts
// and the raw object's accessors hold them. REQUIRES: 1 <= width <= 4.
inline std::uint32_t LoadBigEndianN(const std::uint8_t* p, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i)
    value = (value << 8) | p[i];
  return value;
}
inline void StoreBigEndianN(std::uint8_t* p, std::uint32_t v, std::size_t width) {
  for (std::size_t i = width; i-- > 0; v >>= 8)
    p[i] = static_cast<std::uint8_t>(v);
}
inline std::uint32_t LoadLittleEndianN(const std::uint8_t* p, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = width; i-- > 0;)
    value = (value << 8) | p[i];
  return value;
}
inline void StoreLittleEndianN(std::uint8_t* p, std::uint32_t v, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i, v >>= 8)
    p[i] = static_cast<std::uint8_t>(v);
}

// Bit patterns of IEEE 754 values.
inline std::uint32_t BitsOfFloat(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}
inline float FloatOfBits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
inline std::uint64_t BitsOfDouble(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}
inline double DoubleOfBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace kd

#endif  // KDDAO_FOUNDATION_BYTE_ORDER_H_
