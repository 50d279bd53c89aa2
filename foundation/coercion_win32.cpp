// Windows coercion: the platform's VariantChangeType with no flags, in the
// user's locale, across the VARIANT bridge. The portable rules
// (PortableChangeType) are compared with it by the Windows tests.
#include <windows.h>

#include <oleauto.h>

#include "foundation/variant_win32.h"

#include "foundation/coercion.h"
#include "foundation/coercion_rules.h"
#include "foundation/errors.h"

namespace kd {

namespace {

// A VARIANT cleared when it goes out of scope.
class CScopedVariant {
 public:
  CScopedVariant() { VariantInit(&value_); }
  ~CScopedVariant() { VariantClear(&value_); }
  CScopedVariant(const CScopedVariant&) = delete;
  CScopedVariant& operator=(const CScopedVariant&) = delete;

  VARIANT* Get() { return &value_; }

 private:
  VARIANT value_;
};

}  // namespace

// A value of the target type comes back as it is (a by-reference one as its
// plain value). A target a CVariant cannot hold is refused before converting:
// with DISP_E_BADVARTYPE when the platform rejects the type code itself, with
// DISP_E_TYPEMISMATCH otherwise. Everything else is the platform's answer.
CVariant ChangeType(const CVariant& value, VarType target) {
  if (value.GetBaseType() == target) {
    if (!value.IsByRef()) return value;
    if (target == VT_DISPATCH) return CVariant::Object(value.GetObject());
  } else if (!coercion::IsHeldTarget(target)) {
    CScopedVariant empty;
    CScopedVariant probe;
    const ::HRESULT result = VariantChangeType(probe.Get(), empty.Get(), 0, target);
    throw CPlatformError(result == DISP_E_BADVARTYPE ? hr::kDispBadVarType : hr::kDispTypeMismatch);
  }

  CScopedVariant source;
  const HRESULT bridged = ToPlatformVariant(value, source.Get());
  if (Failed(bridged)) throw CPlatformError(bridged);
  CScopedVariant result;
  const ::HRESULT changed = VariantChangeType(result.Get(), source.Get(), 0, target);
  if (FAILED(changed)) throw CPlatformError(static_cast<HRESULT>(changed));
  return FromPlatformVariant(*result.Get());
}

}  // namespace kd
