#include "foundation/errors.h"

#include <cstdio>
#include <cstring>

#include "foundation/codepage.h"

namespace kd {

namespace {

// Copies `text` into `out` of `size` bytes, truncating, always terminated.
void CopyTruncated(char* out, std::size_t size, const char* text) {
  if (size == 0) return;
  std::size_t length = std::strlen(text);
  if (length > size - 1) length = size - 1;
  std::memcpy(out, text, length);
  out[length] = '\0';
}

// Appends to a bounded output buffer, dropping what does not fit.
class BoundedWriter {
 public:
  BoundedWriter(char* out, std::size_t size) : out_(out), size_(size) {}
  void Put(char c) {
    if (length_ + 1 < size_) out_[length_++] = c;
  }
  void Put(const char* text) {
    while (*text != '\0')
      Put(*text++);
  }
  void Terminate() {
    if (size_ > 0) out_[length_] = '\0';
  }

 private:
  char* out_;
  std::size_t size_;
  std::size_t length_ = 0;
};

void PutNumber(BoundedWriter& writer, long long number) {
  char digits[24];
  int count = 0;
  unsigned long long magnitude = number < 0 ? 0ULL - static_cast<unsigned long long>(number)
                                            : static_cast<unsigned long long>(number);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) writer.Put('-');
  while (count > 0)
    writer.Put(digits[--count]);
}

}  // namespace

void FormatMessageText(char* out, std::size_t size, const char* format, const MessageArg* args,
                       std::size_t argCount) {
  BoundedWriter writer(out, size);
  std::size_t next = 0;
  for (const char* p = format; *p != '\0'; ++p) {
    if (p[0] != '%' || (p[1] != 's' && p[1] != 'd' && p[1] != '%')) {
      writer.Put(*p);
      continue;
    }
    ++p;
    if (*p == '%') {
      writer.Put('%');
    } else if (*p == 's') {
      const char* text = next < argCount && args[next].isText ? args[next].text : nullptr;
      writer.Put(text != nullptr ? text : "(null)");
      ++next;
    } else {
      PutNumber(writer, next < argCount && !args[next].isText ? args[next].number : 0);
      ++next;
    }
  }
  writer.Terminate();
}

// An error loads its message and formats its text in storage of its own, never
// in a shared slot, so failures on other threads cannot overwrite it while it
// is being built or after.
CErr::CErr(const char* text) {
  CopyTruncated(text_, sizeof text_, text != nullptr ? text : "");
}

void CErr::Format(std::int32_t id, const MessageArg* args, std::size_t argCount) {
  char format[kErrorTextCapacity];
  LoadMessageInto(id, format, sizeof format);
  FormatMessageText(text_, sizeof text_, format, args, argCount);
}

void CErr::SetReason(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  SetReasonV(format, args);
  va_end(args);
}

void CErr::SetReasonV(const char* format, std::va_list args) {
  if (std::vsnprintf(reason_, sizeof reason_, format, args) < 0) reason_[0] = '\0';
}

CErrX::CErrX(MessageId code) : code_(code) {
  Format(code, nullptr, 0);
}

CErrX::CErrX(const CErr& textError) : code_(kMsgGenericError) {
  const MessageArg args[] = {MessageArg(textError.GetText())};
  Format(kMsgGenericError, args, 1);
  if (textError.GetReason()[0] != '\0') SetReason("%s", textError.GetReason());
}

CErrX::CErrX(const CPlatformError& platformError) : code_(kMsgGenericOleError) {
  const char16_t* description = platformError.GetDescription();
  char narrow[kDescriptionCapacity * 2];
  if (description != nullptr) ToAnsiInto(description, narrow, sizeof narrow);
  const MessageArg args[] = {MessageArg(description != nullptr ? narrow : nullptr)};
  Format(kMsgGenericOleError, args, 1);
}

CPlatformError::CPlatformError(HRESULT result) : result_(result), hasDescription_(false) {
  description_[0] = u'\0';
}

CPlatformError::CPlatformError(HRESULT result, const char16_t* description)
    : result_(result), hasDescription_(description != nullptr) {
  std::size_t length = 0;
  if (description != nullptr) {
    while (description[length] != u'\0' && length + 1 < kDescriptionCapacity) {
      description_[length] = description[length];
      ++length;
    }
  }
  description_[length] = u'\0';
}

namespace {
thread_local char t_reason[kErrorTextCapacity];
}  // namespace

HRESULT ReportError(const CErrX& error) {
  char16_t description[kDescriptionCapacity];
  ToWideInto(error.GetText(), description, kDescriptionCapacity);
  SetErrorDescription(description);
  CopyTruncated(t_reason, sizeof t_reason, error.GetReason());
  return ResultFromMessage(error.GetCode());
}

std::string GetErrorReason() {
  return t_reason;
}

}  // namespace kd
