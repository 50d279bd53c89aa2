// Coercion of automation values between the types the objects use: VT_EMPTY,
// VT_NULL, VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_R4, VT_R8, VT_BOOL,
// VT_DATE and VT_BSTR, with the platform's rules ("C"/English locale):
// floating point to integer rounds half to even, values out of range raise
// DISP_E_OVERFLOW, impossible conversions DISP_E_TYPEMISMATCH, booleans are
// -1/0. Windows calls VariantChangeType; the portable build has its own
// implementation of the same rules.
#ifndef KDDAO_FOUNDATION_COERCION_H_
#define KDDAO_FOUNDATION_COERCION_H_

#include "foundation/variant.h"

namespace kd {

// `value` coerced to `target` (a by-reference value is coerced from what it
// refers to). A value already of type `target` comes back unchanged. Raises
// CPlatformError with the platform's HRESULT and no description.
CVariant ChangeType(const CVariant& value, VarType target);

}  // namespace kd

#endif  // KDDAO_FOUNDATION_COERCION_H_
