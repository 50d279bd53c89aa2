// Windows bridge between CVariant and VARIANT. Inside namespace kd the names
// VT_I4, ... are the CVariant type codes; the platform's own are written
// ::VT_I4, ... (the numbers are the same).
#include <windows.h>

#include <oleauto.h>

#include "foundation/variant_win32.h"

#include <cstring>
#include <memory>
#include <vector>

#include "foundation/errors.h"

namespace kd {

CPlatformObject::CPlatformObject(IDispatch* dispatch) : dispatch_(dispatch) {
  dispatch_->AddRef();
}

CPlatformObject::~CPlatformObject() {
  dispatch_->Release();
}

namespace {

// Element types a CSafeArray holds, with their sizes (0 for any other).
std::size_t ElementSize(VARTYPE type) {
  return VarTypeSize(static_cast<VarType>(type));
}

HRESULT ArrayToPlatform(const CSafeArray& array, SAFEARRAY** out) {
  const VARTYPE elementType = array.GetElementType();
  if (ElementSize(elementType) == 0) return hr::kDispBadVarType;
  const std::vector<SafeArrayBound>& bounds = array.GetBounds();
  if (bounds.empty()) return hr::kInvalidArg;
  std::vector<SAFEARRAYBOUND> platformBounds(bounds.size());
  for (std::size_t i = 0; i < bounds.size(); ++i) {
    platformBounds[i].cElements = bounds[i].elements;
    platformBounds[i].lLbound = bounds[i].lowerBound;
  }
  SAFEARRAY* created =
      SafeArrayCreate(elementType, static_cast<UINT>(platformBounds.size()), platformBounds.data());
  if (created == nullptr) return hr::kOutOfMemory;
  const std::vector<std::uint8_t>& data = array.GetData();
  if (!data.empty()) {
    void* target = nullptr;
    const ::HRESULT locked = SafeArrayAccessData(created, &target);
    if (FAILED(locked)) {
      SafeArrayDestroy(created);
      return static_cast<HRESULT>(locked);
    }
    std::memcpy(target, data.data(), data.size());
    SafeArrayUnaccessData(created);
  }
  *out = created;
  return hr::kOk;
}

CSafeArray ArrayFromPlatform(SAFEARRAY* array, VARTYPE elementType) {
  if (array == nullptr) throw CPlatformError(hr::kPointer);
  const std::size_t size = ElementSize(elementType);
  if (size == 0 || array->cbElements != size) throw CPlatformError(hr::kDispBadVarType);
  const UINT dimensions = SafeArrayGetDim(array);
  std::vector<SafeArrayBound> bounds(dimensions);
  for (UINT d = 0; d < dimensions; ++d) {
    LONG lower = 0;
    LONG upper = 0;
    SafeArrayGetLBound(array, d + 1, &lower);
    SafeArrayGetUBound(array, d + 1, &upper);
    bounds[d].lowerBound = lower;
    bounds[d].elements = static_cast<std::uint32_t>(upper - lower + 1);
  }
  CSafeArray copy(static_cast<VarType>(elementType), std::move(bounds));
  std::vector<std::uint8_t>& data = copy.GetData();
  if (!data.empty()) {
    void* source = nullptr;
    const ::HRESULT locked = SafeArrayAccessData(array, &source);
    if (FAILED(locked)) throw CPlatformError(static_cast<HRESULT>(locked));
    std::memcpy(data.data(), source, data.size());
    SafeArrayUnaccessData(array);
  }
  return copy;
}

// A VARIANT holding what `reference` (a VT_BYREF VARIANT) points to, sharing
// its strings, arrays and objects: valid while `reference` is.
VARIANT Dereference(const VARIANT& reference) {
  if (reference.byref == nullptr) throw CPlatformError(hr::kPointer);
  const VARTYPE type = static_cast<VARTYPE>(reference.vt & ~::VT_BYREF);
  if (type == ::VT_VARIANT) {
    const VARIANT& inner = *reference.pvarVal;
    if (inner.vt == (::VT_BYREF | ::VT_VARIANT)) throw CPlatformError(hr::kInvalidArg);
    return inner;
  }
  VARIANT plain;
  VariantInit(&plain);
  plain.vt = type;
  if ((type & ::VT_ARRAY) != 0) {
    plain.parray = *reference.pparray;
    return plain;
  }
  switch (type) {
    case ::VT_I1:
      plain.cVal = *reference.pcVal;
      break;
    case ::VT_UI1:
      plain.bVal = *reference.pbVal;
      break;
    case ::VT_I2:
      plain.iVal = *reference.piVal;
      break;
    case ::VT_UI2:
      plain.uiVal = *reference.puiVal;
      break;
    case ::VT_I4:
      plain.lVal = *reference.plVal;
      break;
    case ::VT_UI4:
      plain.ulVal = *reference.pulVal;
      break;
    case ::VT_R4:
      plain.fltVal = *reference.pfltVal;
      break;
    case ::VT_R8:
      plain.dblVal = *reference.pdblVal;
      break;
    case ::VT_DATE:
      plain.date = *reference.pdate;
      break;
    case ::VT_BOOL:
      plain.boolVal = *reference.pboolVal;
      break;
    case ::VT_BSTR:
      plain.bstrVal = *reference.pbstrVal;
      break;
    case ::VT_DISPATCH:
      plain.pdispVal = *reference.ppdispVal;
      break;
    default:
      throw CPlatformError(hr::kDispBadVarType);
  }
  return plain;
}

}  // namespace

HRESULT ToPlatformVariant(const CVariant& value, VARIANT* out) {
  VariantInit(out);
  const VarType type = value.GetBaseType();
  if (value.IsArray()) {
    SAFEARRAY* array = nullptr;
    const HRESULT result = ArrayToPlatform(value.GetArray(), &array);
    if (Failed(result)) return result;
    out->vt = static_cast<VARTYPE>(type);
    out->parray = array;
    return hr::kOk;
  }
  switch (type) {
    case VT_EMPTY:
    case VT_NULL:
      break;
    case VT_I1:
      out->cVal = static_cast<CHAR>(value.GetI1());
      break;
    case VT_UI1:
      out->bVal = value.GetUI1();
      break;
    case VT_I2:
      out->iVal = value.GetI2();
      break;
    case VT_UI2:
      out->uiVal = value.GetUI2();
      break;
    case VT_I4:
      out->lVal = value.GetI4();
      break;
    case VT_UI4:
      out->ulVal = value.GetUI4();
      break;
    case VT_R4:
      out->fltVal = value.GetR4();
      break;
    case VT_R8:
      out->dblVal = value.GetR8();
      break;
    case VT_DATE:
      out->date = value.GetDate();
      break;
    case VT_BOOL:
      out->boolVal = value.GetBool();
      break;
    case VT_BSTR: {
      const std::u16string& text = value.GetString();
      BSTR copy = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                    static_cast<UINT>(text.size()));
      if (copy == nullptr) return hr::kOutOfMemory;
      out->bstrVal = copy;
      break;
    }
    case VT_DISPATCH: {
      const ObjectRef& object = value.GetObject();
      IDispatch* dispatch = nullptr;
      if (object != nullptr) {
        const auto* platform = dynamic_cast<const CPlatformObject*>(object.get());
        if (platform == nullptr) return hr::kDispTypeMismatch;
        dispatch = platform->Get();
        dispatch->AddRef();
      }
      out->pdispVal = dispatch;
      break;
    }
    default:
      return hr::kDispBadVarType;
  }
  out->vt = static_cast<VARTYPE>(type);
  return hr::kOk;
}

CVariant FromPlatformVariant(const VARIANT& value) {
  if ((value.vt & ::VT_BYREF) != 0) {
    const VARIANT plain = Dereference(value);
    return FromPlatformVariant(plain).AsByRef();
  }
  if ((value.vt & ::VT_ARRAY) != 0) {
    const auto elementType = static_cast<VARTYPE>(value.vt & ~::VT_ARRAY);
    return CVariant::Array(ArrayFromPlatform(value.parray, elementType));
  }
  switch (value.vt) {
    case ::VT_EMPTY:
      return CVariant();
    case ::VT_NULL:
      return CVariant::Null();
    case ::VT_I1:
      return CVariant::I1(static_cast<std::int8_t>(value.cVal));
    case ::VT_UI1:
      return CVariant::UI1(value.bVal);
    case ::VT_I2:
      return CVariant::I2(value.iVal);
    case ::VT_UI2:
      return CVariant::UI2(value.uiVal);
    case ::VT_I4:
      return CVariant::I4(value.lVal);
    case ::VT_UI4:
      return CVariant::UI4(value.ulVal);
    case ::VT_R4:
      return CVariant::R4(value.fltVal);
    case ::VT_R8:
      return CVariant::R8(value.dblVal);
    case ::VT_DATE:
      return CVariant::Date(value.date);
    case ::VT_BOOL:
      return CVariant::BoolBits(value.boolVal);
    case ::VT_BSTR:
      if (value.bstrVal == nullptr) return CVariant::String(std::u16string());
      return CVariant::String(std::u16string(reinterpret_cast<const char16_t*>(value.bstrVal),
                                             SysStringLen(value.bstrVal)));
    case ::VT_DISPATCH:
      if (value.pdispVal == nullptr) return CVariant::Object(nullptr);
      return CVariant::Object(std::make_shared<CPlatformObject>(value.pdispVal));
    default:
      throw CPlatformError(hr::kDispBadVarType);
  }
}

}  // namespace kd
