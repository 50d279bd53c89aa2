#include "server/wire.h"

#include <vector>

namespace kdcom {

namespace {

// A plain VARIANT of a type the portable values hold, for the numeric types
// and plain objects they do not: empty when `value` needs no widening.
bool Widen(const VARIANT& value, VARIANT* widened) {
  VARTYPE target = VT_EMPTY;
  switch (value.vt) {
    case VT_CY:
    case VT_DECIMAL:
    case VT_I8:
    case VT_UI8:
      target = VT_R8;
      break;
    case VT_INT:
      target = VT_I4;
      break;
    case VT_UINT:
      target = VT_UI4;
      break;
    case VT_UNKNOWN:
      target = VT_DISPATCH;
      break;
    default:
      return false;
  }
  VariantInit(widened);
  if (value.vt == VT_UNKNOWN) {
    IDispatch* dispatch = nullptr;
    if (value.punkVal == nullptr ||
        FAILED(value.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
      return false;  // not an automation object: refused as the type it is
    }
    widened->vt = VT_DISPATCH;
    widened->pdispVal = dispatch;
    return true;
  }
  const HRESULT changed = VariantChangeType(widened, const_cast<VARIANT*>(&value), 0, target);
  if (FAILED(changed)) throw kd::CPlatformError(static_cast<kd::HRESULT>(changed));
  return true;
}

// An array of elements the portable values do not hold (variants, as scripts
// build them, strings, objects): its element type and bounds, without
// elements. Wherever the objects take an array they take bytes only, so they
// refuse it by its type, as any value of a wrong type.
bool IsArrayOfOtherElements(const VARIANT& value) {
  if ((value.vt & VT_ARRAY) == 0) return false;
  const auto element = static_cast<kd::VarType>(value.vt & VT_TYPEMASK);
  return kd::VarTypeSize(element) == 0;
}

kd::CVariant ArrayShape(const VARIANT& value) {
  SAFEARRAY* array = (value.vt & VT_BYREF) != 0 ? *value.pparray : value.parray;
  std::vector<kd::SafeArrayBound> bounds(array == nullptr ? 0 : SafeArrayGetDim(array));
  for (UINT d = 0; d < bounds.size(); ++d) {
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array, d + 1, &lower);
    SafeArrayGetUBound(array, d + 1, &upper);
    bounds[d] = {static_cast<std::uint32_t>(upper - lower + 1), static_cast<std::int32_t>(lower)};
  }
  const auto element = static_cast<kd::VarType>(value.vt & VT_TYPEMASK);
  kd::CVariant shape = kd::CVariant::Array(kd::CSafeArray(element, std::move(bounds)));
  return (value.vt & VT_BYREF) != 0 ? shape.AsByRef() : shape;
}

}  // namespace

bool HasNullReference(const VARIANT& value) {
  if ((value.vt & VT_BYREF) == 0) return false;
  if (value.byref == nullptr) return true;
  if (value.vt != (VT_BYREF | VT_VARIANT)) return false;
  const VARIANT& inner = *value.pvarVal;  // one level: what the operation is given
  return (inner.vt & VT_BYREF) != 0 && inner.byref == nullptr;
}

kd::CVariant ImportVariant(const VARIANT& value) {
  const VARIANT& plain = value.vt == (VT_BYREF | VT_VARIANT) ? *value.pvarVal : value;
  if (IsArrayOfOtherElements(plain)) return ArrayShape(plain);
  VARIANT widened;
  if (!Widen(plain, &widened)) return kd::FromPlatformVariant(plain);
  try {
    kd::CVariant result = kd::FromPlatformVariant(widened);
    VariantClear(&widened);
    return result;
  } catch (...) {
    VariantClear(&widened);
    throw;
  }
}

}  // namespace kdcom
