// Result codes of the automation interfaces, with the values the platform uses.
#ifndef KDDAO_FOUNDATION_HRESULT_H_
#define KDDAO_FOUNDATION_HRESULT_H_

#include <cstdint>

namespace kd {

// A 32-bit automation result: negative means failure.
using HRESULT = std::int32_t;

namespace hr {
constexpr HRESULT kOk = 0;
constexpr HRESULT kFalse = 1;
constexpr HRESULT kNoInterface = static_cast<HRESULT>(0x80004002);
constexpr HRESULT kPointer = static_cast<HRESULT>(0x80004003);
constexpr HRESULT kFail = static_cast<HRESULT>(0x80004005);
constexpr HRESULT kUnexpected = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT kOutOfMemory = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT kInvalidArg = static_cast<HRESULT>(0x80070057);
constexpr HRESULT kDispTypeMismatch = static_cast<HRESULT>(0x80020005);
constexpr HRESULT kDispOverflow = static_cast<HRESULT>(0x8002000A);
constexpr HRESULT kDispBadVarType = static_cast<HRESULT>(0x80020008);
constexpr HRESULT kClassNotAvailable = static_cast<HRESULT>(0x80040111);
constexpr HRESULT kNoAggregation = static_cast<HRESULT>(0x80040110);

// Severity bit and facility 4 (interface): the result of a library message code.
constexpr HRESULT kInterfaceFailureBase = static_cast<HRESULT>(0x80040000);

// 0x80070000 | the low 16 bits of a system error code; 0 stays 0x80070000.
constexpr HRESULT FromSystemError(std::uint32_t error) {
  return static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}
}  // namespace hr

constexpr bool Failed(HRESULT result) {
  return result < 0;
}
constexpr bool Succeeded(HRESULT result) {
  return result >= 0;
}

}  // namespace kd

#endif  // KDDAO_FOUNDATION_HRESULT_H_
