// PLACEHOLDER: replaced by the portable coercion rules.
#include "foundation/coercion.h"
#include "foundation/errors.h"
namespace kd {
CVariant ChangeType(const CVariant& value, VarType target) {
  if (value.GetBaseType() == target) return value;
  throw CPlatformError(hr::kDispTypeMismatch);
}
}  // namespace kd
