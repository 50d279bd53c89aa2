// Windows bridge between CVariant and the platform's VARIANT, for the Windows
// build of the coercion rules and for the automation server. Every type a
// CVariant holds crosses it both ways: VT_EMPTY, VT_NULL, the scalars, VT_BSTR,
// VT_DISPATCH, safe arrays of scalar elements (any number of dimensions and
// lower bounds, data copied) and by-reference values.
#ifndef KDDAO_FOUNDATION_VARIANT_WIN32_H_
#define KDDAO_FOUNDATION_VARIANT_WIN32_H_

#include <windows.h>

#include <oleauto.h>

// The platform's headers define GetObject as a macro (GetObjectW), which would
// rename CVariant::GetObject wherever both are seen. Files that include them
// include this header before variant.h.
#undef GetObject

#include "foundation/hresult.h"
#include "foundation/variant.h"

namespace kd {

// An object of the platform (an IDispatch a caller handed in) held by a
// VT_DISPATCH CVariant. Keeps one reference to it for its lifetime.
class CPlatformObject : public CAutomationObject {
 public:
  // Takes a reference of its own on `dispatch` (AddRef). REQUIRES: not null.
  explicit CPlatformObject(IDispatch* dispatch);
  // Releases that reference.
  ~CPlatformObject() override;
  CPlatformObject(const CPlatformObject&) = delete;
  CPlatformObject& operator=(const CPlatformObject&) = delete;

  // The object, without a new reference.
  IDispatch* Get() const { return dispatch_; }

 private:
  IDispatch* dispatch_;
};

// Writes `value` into `*out` as a VARIANT the caller owns and frees with
// VariantClear. `*out` is initialised here (VariantInit) without releasing
// what it held: pass a VARIANT that holds nothing to release. A by-reference
// CVariant is written as the plain value it holds, since it owns no storage a
// VT_BYREF VARIANT could point to. A VT_DISPATCH value hands out its
// CPlatformObject's IDispatch with a new reference (a null object gives a null
// IDispatch). Returns S_OK, or on failure leaves `*out` VT_EMPTY and returns
// DISP_E_TYPEMISMATCH for an object that is not a CPlatformObject,
// DISP_E_BADVARTYPE for an array of an element type the platform cannot
// carry, E_INVALIDARG for an array without dimensions or E_OUTOFMEMORY.
HRESULT ToPlatformVariant(const CVariant& value, VARIANT* out);

// A copy of `value`: strings (a null BSTR reads as ""), arrays (their bounds
// and data) and objects (wrapped in a CPlatformObject holding a new reference;
// a null IDispatch gives a null object). A VT_BYREF VARIANT gives a copy of
// what it refers to, marked by reference (CVariant::AsByRef); a reference to a
// VARIANT gives that VARIANT's value so marked. Raises CPlatformError with no
// description: DISP_E_BADVARTYPE for a type a CVariant cannot hold (VT_CY,
// VT_DECIMAL, VT_I8, VT_UNKNOWN, arrays of strings, ...), E_POINTER for a
// null reference or array, E_INVALIDARG for a reference to a reference.
CVariant FromPlatformVariant(const VARIANT& value);

}  // namespace kd

#endif  // KDDAO_FOUNDATION_VARIANT_WIN32_H_
