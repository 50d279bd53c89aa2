// Elsewhere than on Windows the portable rules are the coercion.
#include "foundation/coercion.h"

namespace kd {

CVariant ChangeType(const CVariant& value, VarType target) {
  return PortableChangeType(value, target);
}

}  // namespace kd
