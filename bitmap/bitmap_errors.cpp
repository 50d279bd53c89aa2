#include "bitmap/bitmap_errors.h"

#include <cstdarg>

#include "bitmap/device_bitmap.h"
#include "foundation/messages.h"

namespace kd {

void RaiseBitmapError(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  CErr error(kBitmapErrorText);
  error.SetReasonV(format, args);
  va_end(args);
  throw error;
}

void RaiseConversionError(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  CErr error(kMsgBitmapConversionFailed);
  error.SetReasonV(format, args);
  va_end(args);
  throw error;
}

void RaiseCorruptedBitmap(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  CErrX error(kMsgCorruptedBitmap);
  error.SetReasonV(format, args);
  va_end(args);
  throw error;
}

}  // namespace kd
