// What a test sees of an operation: what it raised inside the library, or the
// HRESULT and error description a caller of the objects reads; and the error
// texts that tests of several folders expect.
#ifndef KDDAO_TESTING_OUTCOMES_H_
#define KDDAO_TESTING_OUTCOMES_H_

#include <string>
#include <utility>

#include "foundation/errors.h"
#include "foundation/hresult.h"

namespace kd::testing {

// What `operation` raised: "code N: text" for a coded error, "text: ..." for a
// text error, "ok" when it raised nothing. With `reason`, also the reason the
// error carries there ("" for none, and when nothing was raised).
template <typename Operation>
std::string Raised(Operation&& operation, std::string* reason) {
  reason->clear();
  try {
    std::forward<Operation>(operation)();
  } catch (const CErrX& error) {
    *reason = error.GetReason();
    return "code " + std::to_string(error.GetCode()) + ": " + error.GetText();
  } catch (const CErr& error) {
    *reason = error.GetReason();
    return std::string("text: ") + error.GetText();
  }
  return "ok";
}
template <typename Operation>
std::string Raised(Operation&& operation) {
  std::string reason;
  return Raised(std::forward<Operation>(operation), &reason);
}

// The text error of a file that cannot be opened, read or written.
std::string CannotAccess(const std::string& path);

// What a caller reads after an operation of the objects: "ok", or the HRESULT
// in hexadecimal and the thread's error description, e.g.
// "80042720 Recordset not opened.".
std::string Result(HRESULT result);

// `text` in the ANSI code page, widened as the objects take their strings.
std::u16string Wide(const std::string& text);

// Results of the objects' operations, as Result gives them.
inline constexpr char kNotOpened[] = "80042720 Recordset not opened.";
inline constexpr char kNoCurrentRecord[] = "80042715 No current record.";
inline constexpr char kInvalidCursor[] = "80042717 Invalid cursor operation.";
inline constexpr char kNoRecordForID[] = "80042718 No record found for this UniqueId.";
inline constexpr char kDeletedOrArchived[] =
    "80042719 Record exists in database, but with a deleted or archived status.";
inline constexpr char kDuplicateID[] =
    "80042721 Database already contains a record with this UniqueID.";
inline constexpr char kInvalidValue[] = "8004271E Invalid value for this field.";
inline constexpr char kNotByteArray[] = "80042725 Value must be a single dimension Byte array.";
inline constexpr char kNoTerminator[] = "8004272F No string termination character found in record.";

}  // namespace kd::testing

#endif  // KDDAO_TESTING_OUTCOMES_H_
