// Assertions on the errors the engine raises.
#ifndef KDDAO_ENGINE_TESTS_ENGINE_TEST_UTIL_H_
#define KDDAO_ENGINE_TESTS_ENGINE_TEST_UTIL_H_

#include <string>

#include "foundation/errors.h"

namespace kd::testing {

// What an operation raised: "code N: text" for a coded error, "text: ..." for
// a text error, "ok" when it raised nothing.
template <typename Operation>
std::string Outcome(Operation&& operation) {
  try {
    operation();
  } catch (const CErrX& error) {
    return "code " + std::to_string(error.GetCode()) + ": " + error.GetText();
  } catch (const CErr& error) {
    return std::string("text: ") + error.GetText();
  }
  return "ok";
}

inline std::string CannotAccess(const std::string& path) {
  return "text: Cannot access file '" + path + "'.";
}

}  // namespace kd::testing

#endif  // KDDAO_ENGINE_TESTS_ENGINE_TEST_UTIL_H_
