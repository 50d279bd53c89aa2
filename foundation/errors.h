// Errors and their reporting.
//
// Every failure inside the library travels as a thrown error object:
//   CErr            a text error (message text only);
//   CErrX           a coded error (text and message id), derived from CErr;
//   CPlatformError  an automation-support error (failed HRESULT, optional
//                   description), raised by variant, string and array routines.
// The public operations of the automation objects run their bodies inside
// ErrorBoundary, which turns each of them into an HRESULT and the calling
// thread's error description.
//
// Raising allocates nothing: each error object loads its message and formats
// its text in fixed storage of its own (truncated to 511 characters), so no
// other thread's errors can overwrite it.
#ifndef KDDAO_FOUNDATION_ERRORS_H_
#define KDDAO_FOUNDATION_ERRORS_H_

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <type_traits>

#include "foundation/hresult.h"
#include "foundation/messages.h"

// printf-style argument checks, for formats with the C99 conversions (%zu,
// %llu), which the Windows build's printf family provides too.
#ifdef __MINGW_PRINTF_FORMAT
#define KD_PRINTF_FORMAT(f, a) __attribute__((format(__MINGW_PRINTF_FORMAT, f, a)))
#else
#define KD_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#endif

namespace kd {

// Longest error text kept, terminator included; longer texts are truncated.
constexpr std::size_t kErrorTextCapacity = 512;
// Length of the error description buffer in UTF-16 units, terminator included.
constexpr std::size_t kDescriptionCapacity = 512;

// One argument of a message format: `%s` takes a text, `%d` a number.
struct MessageArg {
  MessageArg(const char* text) : text(text), isText(true) {}  // NOLINT: implicit by design
  MessageArg(int number) : number(number), isText(false) {}   // NOLINT: implicit by design
  const char* text = nullptr;
  long long number = 0;
  bool isText;
};

// Formats `format` into `out` (`size` bytes, always terminated, truncated to
// fit). Understands %s, %d and %%; a missing or null text argument is written
// as "(null)", a missing number as 0; other % sequences stand as they are.
void FormatMessageText(char* out, std::size_t size, const char* format, const MessageArg* args,
                       std::size_t argCount);

// Text error. Thrown and caught by value.
class CErr {
 public:
  // From a literal text: a copy of `text`.
  explicit CErr(const char* text);

  // From a message id and its arguments (const char* for %s, int for %d): the
  // message loaded from the table and formatted.
  template <typename... Args>
  explicit CErr(MessageId id, Args... args) {
    static_assert(((std::is_same<Args, const char*>::value || std::is_same<Args, char*>::value ||
                    std::is_same<Args, int>::value) &&
                   ...),
                  "message arguments are texts (const char*) or numbers (int)");
    const MessageArg list[] = {MessageArg(args)..., MessageArg(0)};
    Format(id, list, sizeof...(Args));
  }

  // The message text.
  const char* GetText() const { return text_; }

  // Which rule refused an input and where ("" for an error without one), kept
  // beside the text, which stays what callers of the objects get. Set by the
  // one raising function of each reader of files, descriptions and bitmaps.
  const char* GetReason() const { return reason_; }
  // Sets the reason, printf-style (truncated to 511 characters).
  void SetReason(const char* format, ...) KD_PRINTF_FORMAT(2, 3);
  void SetReasonV(const char* format, std::va_list args);

 protected:
  CErr() { text_[0] = '\0'; }
  void Format(std::int32_t id, const MessageArg* args, std::size_t argCount);

 private:
  char text_[kErrorTextCapacity];
  char reason_[kErrorTextCapacity] = "";
};

class CPlatformError;

// Coded error: a text and its message id.
class CErrX : public CErr {
 public:
  // A message without placeholders, raised by its id.
  explicit CErrX(MessageId code);
  // The boundary's conversion of a text error: 10000 "Generic error: %s".
  explicit CErrX(const CErr& textError);
  // The boundary's conversion of a platform error: 10015 "Generic OLE error: %s."
  // with its description in the ANSI code page ("(null)" when it has none).
  explicit CErrX(const CPlatformError& platformError);

  std::int32_t GetCode() const { return code_; }

 private:
  std::int32_t code_;
};

// Error of the automation support: a failed HRESULT and an optional
// description.
class CPlatformError {
 public:
  explicit CPlatformError(HRESULT result);
  CPlatformError(HRESULT result, const char16_t* description);

  HRESULT GetResult() const { return result_; }
  // The description, or null when the error carries none.
  const char16_t* GetDescription() const { return hasDescription_ ? description_ : nullptr; }

 private:
  HRESULT result_;
  bool hasDescription_;
  char16_t description_[kDescriptionCapacity];
};

// Installs the error's text as the calling thread's error description, and its
// reason as the thread's error reason, and returns 0x80040000 | its code.
HRESULT ReportError(const CErrX& error);

// The reason beside the last error reported on this thread ("" when it had
// none, or before any): for C++ callers and tools, which show it under the
// description. Reading it does not remove it.
std::string GetErrorReason();

// The HRESULT that reports message `code`.
constexpr HRESULT ResultFromMessage(std::int32_t code) {
  return static_cast<HRESULT>(static_cast<std::uint32_t>(hr::kInterfaceFailureBase) |
                              static_cast<std::uint32_t>(code));
}

// Platform hooks for the thread's error description (error info on Windows,
// a thread-local text elsewhere).
//   SetErrorDescription: installs `description` (null-terminated UTF-16).
//   GetErrorDescription: the installed description, or "" when there is none;
//                        reading does not remove it.
//   HasErrorDescription: whether one is installed.
//   ClearErrorDescription: removes it.
void SetErrorDescription(const char16_t* description);
std::u16string GetErrorDescription();
bool HasErrorDescription();
void ClearErrorDescription();

// The public operation boundary. Runs `body`; on success returns S_OK and
// leaves the thread's error description untouched. Handlers, in order: coded
// error -> its own code; text error -> 10000 around its text; platform error
// -> 10015 around its description. Memory that runs out counts as the text
// error 60000 "Out of memory.", whether the standard allocator said so or an
// automation routine (the platform error 0x8007000E). Other exceptions are
// not caught.
template <typename Body>
HRESULT ErrorBoundary(Body&& body) {
  try {
    body();
    return hr::kOk;
  } catch (const CErrX& error) {
    return ReportError(error);
  } catch (const CErr& error) {
    return ReportError(CErrX(error));
  } catch (const CPlatformError& error) {
    if (error.GetResult() == hr::kOutOfMemory) return ReportError(CErrX(CErr(kMsgOutOfMemory)));
    return ReportError(CErrX(error));
  } catch (const std::bad_alloc&) {
    return ReportError(CErrX(CErr(kMsgOutOfMemory)));
  }
}

// The boundary of a property get: E_POINTER for a null out-pointer (nothing
// else happens), else `body` inside ErrorBoundary, its result stored in `*out`
// only on success.
template <typename T, typename Body>
HRESULT PropertyBoundary(T* out, Body&& body) {
  if (out == nullptr) return hr::kPointer;
  return ErrorBoundary([&] { *out = body(); });
}

}  // namespace kd

#endif  // KDDAO_FOUNDATION_ERRORS_H_
