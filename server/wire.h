// Arguments as they cross the automation interfaces, and their portable
// counterparts. Each dual interface method is forwarded to the portable object
// by ForwardCall: every argument is checked and converted in, the operation
// runs, and out-values are written back only when it succeeded.
//
//   wire type        portable parameter     notes
//   long             std::int32_t
//   KD_DeleteMode    std::int32_t           passed on unchanged
//   VARIANT_BOOL     std::int16_t           -1/0; any nonzero is true
//   double, float    double, float
//   BSTR             const std::u16string&  a null BSTR is ""
//   VARIANT          const CVariant&        a variable passed by reference
//                                           (VT_BYREF | VT_VARIANT) is read
//                                           through, one level
//   T* (out)         T*                     null gives E_POINTER; BSTR and
//                                           VARIANT outs start null/empty
#ifndef KDDAO_SERVER_WIRE_H_
#define KDDAO_SERVER_WIRE_H_

#include "foundation/variant_win32.h"

#include <cstdint>
#include <new>
#include <string>
#include <tuple>
#include <utility>

#include "foundation/errors.h"
#include "server/KdDao_h.h"

namespace kdcom {

// The portable value of a VARIANT argument. A reference to a VARIANT is read
// through one level; number types the portable values do not hold (currency,
// decimal, 64-bit and machine-sized integers) arrive as doubles or 32-bit
// integers, and an object given as IUnknown as its IDispatch when it has one.
// Raises kd::CPlatformError when the value cannot be held.
kd::CVariant ImportVariant(const VARIANT& value);

// A null pointer inside a by-reference VARIANT.
bool HasNullReference(const VARIANT& value);

template <typename Wire>
struct WireArg;

// Arguments passed by value with a plain conversion.
template <typename Wire, typename Portable>
struct ScalarIn {
  explicit ScalarIn(Wire wire) : value(static_cast<Portable>(wire)) {}
  HRESULT Prepare() { return S_OK; }
  Portable Get() const { return value; }
  HRESULT Commit() { return S_OK; }
  Portable value;
};

// Out-parameters of a plain type: written back on success only.
template <typename Wire, typename Portable>
struct ScalarOut {
  explicit ScalarOut(Wire* wire) : out(wire) {}
  HRESULT Prepare() { return out == nullptr ? E_POINTER : S_OK; }
  Portable* Get() { return &value; }
  HRESULT Commit() {
    *out = static_cast<Wire>(value);
    return S_OK;
  }
  Wire* out;
  Portable value{};
};

template <>
struct WireArg<LONG> : ScalarIn<LONG, std::int32_t> {
  using ScalarIn::ScalarIn;
};
template <>
struct WireArg<KD_DeleteMode> : ScalarIn<KD_DeleteMode, std::int32_t> {
  using ScalarIn::ScalarIn;
};
template <>
struct WireArg<VARIANT_BOOL> : ScalarIn<VARIANT_BOOL, std::int16_t> {
  using ScalarIn::ScalarIn;
};
template <>
struct WireArg<double> : ScalarIn<double, double> {
  using ScalarIn::ScalarIn;
};
template <>
struct WireArg<float> : ScalarIn<float, float> {
  using ScalarIn::ScalarIn;
};
template <>
struct WireArg<LONG*> : ScalarOut<LONG, std::int32_t> {
  using ScalarOut::ScalarOut;
};
template <>
struct WireArg<VARIANT_BOOL*> : ScalarOut<VARIANT_BOOL, std::int16_t> {
  using ScalarOut::ScalarOut;
};
template <>
struct WireArg<double*> : ScalarOut<double, double> {
  using ScalarOut::ScalarOut;
};
template <>
struct WireArg<float*> : ScalarOut<float, float> {
  using ScalarOut::ScalarOut;
};

template <>
struct WireArg<BSTR> {
  explicit WireArg(BSTR wire) {
    if (wire != nullptr) {
      value.assign(reinterpret_cast<const char16_t*>(wire), SysStringLen(wire));
    }
  }
  HRESULT Prepare() { return S_OK; }
  const std::u16string& Get() const { return value; }
  HRESULT Commit() { return S_OK; }
  std::u16string value;
};

template <>
struct WireArg<BSTR*> {
  explicit WireArg(BSTR* wire) : out(wire) {}
  HRESULT Prepare() {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return S_OK;
  }
  std::u16string* Get() { return &value; }
  HRESULT Commit() {
    *out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(value.data()),
                             static_cast<UINT>(value.size()));
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
  }
  BSTR* out;
  std::u16string value;
};

template <>
struct WireArg<VARIANT> {
  explicit WireArg(const VARIANT& wire) : in(wire) {}
  // A conversion failure is reported like any failure of the operation.
  HRESULT Prepare() {
    if (HasNullReference(in)) return E_POINTER;
    return static_cast<HRESULT>(kd::ErrorBoundary([&] { value = ImportVariant(in); }));
  }
  const kd::CVariant& Get() const { return value; }
  HRESULT Commit() { return S_OK; }
  VARIANT in;  // the caller's, not owned
  kd::CVariant value;
};

template <>
struct WireArg<VARIANT*> {
  explicit WireArg(VARIANT* wire) : out(wire) {}
  HRESULT Prepare() {
    if (out == nullptr) return E_POINTER;
    VariantInit(out);
    return S_OK;
  }
  kd::CVariant* Get() { return &value; }
  HRESULT Commit() { return static_cast<HRESULT>(kd::ToPlatformVariant(value, out)); }
  VARIANT* out;
  kd::CVariant value;
};

// Calls `operation` of `object` with the portable forms of `wire`. Returns the
// first failure of an argument check, else the operation's result (its error
// description already set), else the first failure of writing an out-value.
// Nothing is thrown to the caller: an exception the operation does not turn
// into a result gives E_UNEXPECTED.
template <typename Object, typename... Params, typename... Wire>
HRESULT ForwardCall(Object& object, kd::HRESULT (Object::*operation)(Params...), Wire... wire) {
  static_assert(sizeof...(Params) == sizeof...(Wire), "one wire argument per parameter");
  try {
    std::tuple<WireArg<Wire>...> args{WireArg<Wire>(wire)...};
    return std::apply(
        [&](auto&... arg) {
          HRESULT result = S_OK;
          ((result = SUCCEEDED(result) ? arg.Prepare() : result), ...);
          if (FAILED(result)) return result;
          result = static_cast<HRESULT>((object.*operation)(arg.Get()...));
          if (FAILED(result)) return result;
          ((result = SUCCEEDED(result) ? arg.Commit() : result), ...);
          return result;
        },
        args);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace kdcom

#endif  // KDDAO_SERVER_WIRE_H_
