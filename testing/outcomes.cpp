#include "testing/outcomes.h"

#include <cstdio>

#include "foundation/codepage.h"

namespace kd::testing {

std::string CannotAccess(const std::string& path) {
  return "text: Cannot access file '" + path + "'.";
}

std::string Result(HRESULT result) {
  if (result == hr::kOk) return "ok";
  char code[16];
  std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(result));
  return std::string(code) + " " + ToAnsi(GetErrorDescription());
}

std::u16string Wide(const std::string& text) {
  return ToWide(text);
}

}  // namespace kd::testing
